// Several trace files opened as one trace, and a trace followed as it grows.

#include <sys/stat.h>

#include <QAbstractItemModel>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "window/application.h"
#include "window/follow_controller.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

std::string Message(const char* time, const char* header, const char* octets) {
  return std::string(time) + " CCP|" + header + "\n" + time +
         " CCP|MMan_Id= 1. (IpAddr=0501a8c0 IpPort=2427)\n" + time + " CCP|IsdnMsgData= " + octets +
         "\n";
}

const std::string kSetup =
    Message("01/15/2004 10:23:45.678", "In  Message -- PriSetupMsg", "08 02 00 01 05");
const std::string kProceeding =
    Message("01/15/2004 10:23:46.001", "Out Message -- PriCallProceedingMsg", "08 02 80 01 02");
const std::string kH225Setup =
    Message("01/15/2004 10:23:47.002", "Out Message -- H225SetupMsg", "08 01 07 05");

class WindowFilesTest : public WindowTest {
 protected:
  // Turns the event loop until `done`, for ten seconds at most.
  static bool WaitFor(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (done()) {
        loop.quit();
      }
    });
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return done();
  }
  int Rows() const { return List()->model()->rowCount(); }
  QString FollowState() const {
    return window_->findChild<QLabel*>(QStringLiteral("followState"))->text();
  }
};

TEST_F(WindowFilesTest, SeveralFilesAreOneTraceWithAFileColumn) {
  const QString later = WriteTrace("later.txt", "noise\n" + kProceeding);
  const QString earlier = WriteTrace("earlier.txt", kSetup);
  OpenThroughMenu(QStringList{later, earlier});
  EXPECT_EQ(window_->windowTitle(), "earlier.txt + 1 more - Calyxo (Marovia 3.X)");
  const QAbstractItemModel* model = List()->model();
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(model->headerData(MessageListModel::File, Qt::Horizontal).toString(), "File");
  EXPECT_EQ(model->index(1, MessageListModel::File).data().toString(), QFileInfo(later).fileName());
  EXPECT_EQ(model->index(1, MessageListModel::MessageType).data().toString(), "CALL_PROC");

  // Jump to line opens the message's own file at its own line.
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", "/nonexistent");
  launcher_.documentsOpen = false;
  SelectRow(1);
  Trigger("isdnGoTo");
  qputenv("PATH", path);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            "No text editor could open " + later + ". Message 2 is at line 2.");

  Trigger("isdnReload");
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(model->columnCount(), MessageListModel::Columns);
  OpenThroughMenu(kPlain);
  EXPECT_EQ(model->columnCount(), MessageListModel::File);
  EXPECT_EQ(window_->windowTitle(), "plain-trace.txt - Calyxo (Marovia 3.X)");

  // A file given twice is read once, which is said once; a compressed one cannot be followed.
  OpenThroughMenu(QStringList{earlier, earlier});
  const QString twice = earlier + " was given twice and read once";
  EXPECT_EQ(StatusCount(), "1 message \u00b7 1 call \u00b7 0 failed; " + twice);
  ASSERT_EQ(system(("gzip -kf '" + earlier.toStdString() + "'").c_str()), 0);
  OpenThroughMenu(earlier + ".gz");
  Trigger("isdnFollow");
  EXPECT_FALSE(Action("isdnFollow")->isChecked());
  ASSERT_EQ(dialogs_.messages.size(), 3u);
  EXPECT_EQ(dialogs_.messages[1].text, twice + ".");
  EXPECT_EQ(dialogs_.messages[2].text, "cannot follow " + earlier + ".gz: it is compressed");
}

TEST_F(WindowFilesTest, AFollowedTraceGrowsByInsertedRows) {
  const QString trace = WriteTrace("growing.txt", kSetup);
  const auto append = [&](const std::string& text) {
    std::ofstream(trace.toStdString(), std::ios::app) << text;
  };
  window_->findChild<FollowController*>()->SetMissingPathWait(std::chrono::milliseconds(0));
  window_->show();
  ASSERT_TRUE(window_->OpenTraceFiles({trace}, true));
  Settle();
  EXPECT_TRUE(Action("isdnFollow")->isChecked());
  int inserts = 0;
  int resets = 0;
  const QObject counting;  // gone before the window, which resets its list as it goes
  QObject::connect(List()->model(), &QAbstractItemModel::rowsInserted, &counting,
                   [&] { ++inserts; });
  QObject::connect(List()->model(), &QAbstractItemModel::modelReset, &counting, [&] { ++resets; });

  std::string many;
  for (int message = 0; message < 100; ++message) {
    many += kProceeding;
  }
  append(many.substr(0, 100));
  append(many.substr(100));
  ASSERT_TRUE(WaitFor([&] { return Rows() == 101; })) << Rows();
  EXPECT_GE(inserts, 1);
  EXPECT_EQ(resets, 0);
  EXPECT_TRUE(FollowState().startsWith("Following, last read ")) << FollowState().toStdString();
  const QScrollBar* scroll = List()->verticalScrollBar();
  EXPECT_GT(scroll->maximum(), 0);
  EXPECT_EQ(scroll->value(), scroll->maximum());

  // Filtered, the list takes the rows the filter keeps; scrolled up, it stays put.
  Trigger("isdnFilterH225");
  append(kH225Setup + kProceeding);
  ASSERT_TRUE(WaitFor([&] { return Rows() == 1; })) << Rows();
  Trigger("isdnFilterH225");
  List()->verticalScrollBar()->setValue(3);
  append(kProceeding);
  ASSERT_TRUE(WaitFor([&] { return Rows() == 104; })) << Rows();
  EXPECT_EQ(List()->verticalScrollBar()->value(), 3);
  EXPECT_EQ(resets, 2);  // the filter's on and off
  window_->findChild<QTabWidget*>()->setCurrentIndex(1);
  EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("callCount"))->text(),
            "2 calls, none failed");

  // A reload stops following; File > Follow reads on.
  Trigger("isdnReload");
  EXPECT_FALSE(Action("isdnFollow")->isChecked());
  EXPECT_EQ(FollowState(), "");
  Trigger("isdnFollow");
  append(kProceeding);
  ASSERT_TRUE(WaitFor([&] { return Rows() == 105; })) << Rows();

  // A file that disappears stops the following, keeping what was read.
  QFile::remove(trace);
  ASSERT_TRUE(WaitFor([&] { return !Action("isdnFollow")->isChecked(); }));
  EXPECT_EQ(Rows(), 105);
  EXPECT_EQ(FollowState(), trace + " disappeared: following stopped");
}

// While following, the last line without its line end is not a line yet; whatever takes the
// path is waited for, as the status bar says, until a file that can be read comes.
TEST_F(WindowFilesTest, AFollowedTraceHoldsAHalfLineAndWaitsForAReadableFile) {
  const std::size_t half = kProceeding.size() - 6;
  const QString trace = WriteTrace("held.txt", kSetup + kProceeding.substr(0, half));
  const auto append = [&](const std::string& text) {
    std::ofstream(trace.toStdString(), std::ios::app) << text;
  };
  window_->show();
  ASSERT_TRUE(window_->OpenTraceFiles({trace}, true));
  Settle();
  EXPECT_EQ(Rows(), 1);
  append(kProceeding.substr(half));
  ASSERT_TRUE(WaitFor([&] { return Rows() == 2; })) << Rows();
  EXPECT_TRUE(RowLine(1).contains("CALL_PROC")) << RowLine(1).toStdString();

  const std::string path = trace.toStdString();
  ASSERT_EQ(mkfifo((path + ".fifo").c_str(), 0600), 0);
  ASSERT_EQ(std::rename((path + ".fifo").c_str(), path.c_str()), 0);
  const QString waiting = "cannot follow " + trace + ": it is a FIFO; waiting for a readable file";
  ASSERT_TRUE(WaitFor([&] { return FollowState() == waiting; })) << FollowState().toStdString();
  EXPECT_TRUE(Action("isdnFollow")->isChecked());
  const QString next = WriteTrace("held.txt.next", kH225Setup);
  ASSERT_EQ(std::rename(next.toStdString().c_str(), path.c_str()), 0);
  ASSERT_TRUE(WaitFor([&] { return Rows() == 3; })) << Rows();
  EXPECT_TRUE(FollowState().startsWith("Following")) << FollowState().toStdString();

  // Opened without following, the half line is a whole one; File > Follow reads the trace again,
  // holding it.
  Trigger("isdnFollow");
  append(kProceeding.substr(0, half));
  OpenThroughMenu(trace);
  EXPECT_EQ(Rows(), 2);
  Trigger("isdnFollow");
  EXPECT_TRUE(Action("isdnFollow")->isChecked());
  EXPECT_EQ(Rows(), 1);
  append(kProceeding.substr(half));
  ASSERT_TRUE(WaitFor([&] { return Rows() == 2; })) << Rows();
  EXPECT_TRUE(RowLine(1).contains("CALL_PROC")) << RowLine(1).toStdString();
  Trigger("isdnFollow");
  QFile::remove(trace);
}

}  // namespace
}  // namespace sigrune
