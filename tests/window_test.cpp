#include <gtest/gtest.h>

#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <memory>

#include "platform/qt_platform.h"
#include "version.h"
#include "window/application.h"
#include "window/main_window.h"
#include "window/message_list_model.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

struct MenuEntry {
  const char* name;
  const char* caption;
  QKeySequence shortcut;
  bool enabledAtStart;
  bool checkable;
};

TEST_F(WindowTest, MenusHaveTheirCaptionsShortcutsAndStates) {
  const MenuEntry entries[] = {
      {"isdnOpen", "&Open...", QKeySequence("Ctrl+O"), true, false},
      {"isdnReload", "&Reload", QKeySequence(Qt::Key_F5), false, false},
      {"isdnFollow", "&Follow", {}, false, true},
      {"isdnSave", "&Save As Tessel...", QKeySequence("Ctrl+S"), true, false},
      {"isdnExportPcap", "Export to &pcap…", {}, false, false},
      {"isdnExit", "E&xit", QKeySequence("Ctrl+Q"), true, false},
      {"isdnFind", "&Find...", QKeySequence("Ctrl+F"), false, false},
      {"isdnFindAgain", "Find Again", QKeySequence(Qt::Key_F3), false, false},
      {"isdnFindBackwards", "Find Again &Backwards", QKeySequence("Shift+F3"), false, false},
      {"isdnGoToMessage", "&Go to Message…", QKeySequence("Ctrl+G"), false, false},
      {"isdnGoTo", "Jump to line number", QKeySequence(Qt::Key_F4), true, false},
      {"isdnFilter", "&Selected Call", QKeySequence("Ctrl+L"), false, true},
      {"isdnFilterCall", "This &Call", QKeySequence("Ctrl+Shift+L"), false, true},
      {"isdnFilterGW", "This &Gateway", {}, false, true},
      {"isdnFilterPRI", "&PRI Only", {}, false, true},
      {"isdnFilterH225", "&H225 Only", {}, false, true},
      {"isdnShowFlow", "Show &Flow", QKeySequence("Ctrl+Shift+F"), false, false},
      {"isdnShowStatistics", "&Statistics", {}, false, false},
      {"isdnSaveCalls", "Save Calls as CS&V…", {}, false, false},
      {"isdnReleaseNotes", "&Release Notes", {}, true, false},
      {"isdnAbout", "&About", {}, true, false},
  };
  QStringList menus;
  for (const QAction* menu : window_->menuBar()->actions()) {
    menus << menu->text();
  }
  EXPECT_EQ(menus, QStringList({"&File", "&Edit", "Fi&lter", "&Calls", "&Help"}));
  for (const MenuEntry& entry : entries) {
    const QAction* action = Action(entry.name);
    ASSERT_NE(action, nullptr) << entry.name;
    EXPECT_EQ(action->text(), QString::fromUtf8(entry.caption)) << entry.name;
    EXPECT_EQ(action->shortcut(), entry.shortcut) << entry.name;
    EXPECT_EQ(action->isEnabled(), entry.enabledAtStart) << entry.name;
    EXPECT_EQ(action->isCheckable(), entry.checkable) << entry.name;
  }
  EXPECT_EQ(window_->windowTitle(), "Calyxo (Marovia 3.X)");

  EXPECT_EQ(StatusCount(), "No trace open");

  OpenThroughMenu(kPlain);
  for (const MenuEntry& entry : entries) {
    EXPECT_TRUE(Action(entry.name)->isEnabled()) << entry.name;
    EXPECT_FALSE(Action(entry.name)->isChecked()) << entry.name;
  }
  EXPECT_EQ(window_->windowTitle(), "plain-trace.txt - Calyxo (Marovia 3.X)");
  EXPECT_EQ(List()->model()->rowCount(), 21);
  EXPECT_EQ(StatusCount(), "21 messages \u00b7 3 calls \u00b7 0 failed");
  EXPECT_EQ(dialogs_.lastNameFilters, QStringList({"Traces (*.txt *.log *.xml *.gz)", "All (*)",
                                                   "Text (*.txt)", "Log (*.log)", "XML (*.xml)"}));
  EXPECT_EQ(dialogs_.lastSelectedFilter, "Traces (*.txt *.log *.xml *.gz)");
}

// Texts the window has always shown, odd as they look.
TEST_F(WindowTest, ThePanesFrameAndTheAboutBoxKeepTheirTexts) {
  const auto* frame = window_->findChild<QGroupBox*>(QStringLiteral("tesselFrame"));
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->title(), "Tessel Translation ");
  Trigger("isdnAbout");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(dialogs_.messages[0].title, "About...");
  // ".0." between the minor version and the revision, whatever the patch number.
  EXPECT_EQ(dialogs_.messages[0].text,
            QString::fromUtf8(kDescription) + QString("\nVersion %1.%2.0.%3")
                                                  .arg(kVersionMajor)
                                                  .arg(kVersionMinor)
                                                  .arg(kVersionRevision));
}

TEST_F(WindowTest, ListRowsAreTheSummaryLines) {
  OpenThroughMenu(kExamples + "tracelist-trace.xml");
  const QString expected =
      QString::fromLatin1(ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/tracelist-trace.list"));
  QString rows;
  for (int row = 0; row < List()->model()->rowCount(); ++row) {
    rows += RowLine(row) + "\n";
  }
  EXPECT_EQ(rows, expected);
  const QAbstractItemModel* model = List()->model();
  EXPECT_EQ(model->index(2, MessageListModel::Timestamp).data(), "2004-01-16 08:02:14.051");
  EXPECT_EQ(model->index(2, MessageListModel::GatewayIp).data(), "10.1.1.30");
  EXPECT_EQ(model->index(2, MessageListModel::Direction).data(), "Out");
  EXPECT_EQ(model->index(2, MessageListModel::Protocol).data(), "PRI");
  EXPECT_EQ(model->index(2, MessageListModel::MessageType).data(), "SETUP");
  EXPECT_EQ(model->index(2, MessageListModel::CallReference).data(), "0x000a");
  EXPECT_EQ(model->headerData(5, Qt::Horizontal).toString(), "Call Reference");
  EXPECT_TRUE(model->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
}

TEST_F(WindowTest, SelectingARowShowsItsMessageInThePane) {
  OpenThroughMenu(kPlain);
  SelectRow(2);
  EXPECT_EQ(window_->Document().CurrentMessage(), MessageNumber{3});
  // The pane shows what `sigrune-cli show` prints, but for the final line end.
  const QString shown =
      QString::fromLatin1(ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace-message-3.txt"));
  EXPECT_EQ(Pane()->toPlainText() + "\n", shown);
  const auto fontAt = [&](qsizetype position) {
    QTextCursor cursor(Pane()->document());
    cursor.setPosition(static_cast<int>(position));
    return cursor.charFormat().font();
  };
  EXPECT_EQ(fontAt(1).pointSize(), 8);
  EXPECT_EQ(fontAt(1).family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  const qsizetype dump = shown.indexOf("\nEntire Message") + 2;
  EXPECT_EQ(fontAt(dump).pointSize(), 10);
  EXPECT_EQ(fontAt(dump).family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());

  List()->setFocus();
  QTest::keyClick(List(), Qt::Key_Down);
  Settle();
  EXPECT_EQ(window_->Document().CurrentMessage(), MessageNumber{4});
  EXPECT_TRUE(Pane()->toPlainText().startsWith("CALL_PROC, pd = 8, callref = 0x8001\n"));
  EXPECT_EQ(window_->statusBar()->findChildren<QLabel*>().constLast()->text(), "Message 4");

  // A message that does not decode is shown as far as it goes, without a box: no octet; a call
  // reference longer than the message.
  OpenThroughMenu(WriteTrace("failing.txt", "IsdnMsgData=8\nIsdnMsgData=08 02 81\n"));
  const QString status = "This message could not be decoded: Subscript out of range";
  SelectRow(0);
  EXPECT_EQ(Pane()->toPlainText(), status + "\n\nEntire Message: \n0010:  ");
  EXPECT_EQ(window_->statusBar()->currentMessage(), status);
  SelectRow(1);
  EXPECT_EQ(Pane()->toPlainText(), status + "\n\nEntire Message: \n0010:  08 02 81 ");
  EXPECT_TRUE(dialogs_.messages.empty());

  // 20,001 lines of decoded text and 1,253 of dump: the first 10,000 are shown, and copied.
  std::string shifts = "IsdnMsgData=08 01 01 05 ";
  for (int octet = 0; octet < 20'000; ++octet) {
    shifts += "90";
  }
  OpenThroughMenu(WriteTrace("many-lines.txt", shifts + "\n"));
  SelectRow(0);
  const QStringList lines = Pane()->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 10'001);
  EXPECT_EQ(lines[9'999], "Locking Shift to CodeSet 0   Decode Error: shift from codeset 0 to 0");
  EXPECT_EQ(lines[10'000],
            "… 11,254 more lines not shown: Export or `sigrune-cli show` gives the "
            "whole message");
  Pane()->selectAll();
  Pane()->copy();
  EXPECT_EQ(QApplication::clipboard()->text(), Pane()->toPlainText());
}

TEST_F(WindowTest, LoadsInTheBackgroundAndACancelLeavesTheTraceAsItWas) {
  OpenThroughMenu(kPlain);
  SelectRow(2);
  const QString pane = Pane()->toPlainText();
  // A gigabyte of nothing in particular: long enough to load for the test to act.
  const std::string big = TemporaryPath("background-load.txt");
  WriteFile(big, "IsdnMsgData=08 01 01 05\n");
  ASSERT_EQ(::truncate(big.c_str(), 1 << 30), 0);
  // The event loop turns while the trace loads; after a few turns, Cancel.
  int ticks = 0;
  QTimer ticking;
  QObject::connect(&ticking, &QTimer::timeout, [&] {
    if (window_->Busy() && ++ticks == 5) {
      window_->CancelOperation();
    }
  });
  ticking.start(1);

  ASSERT_TRUE(window_->OpenTraceFile(QString::fromStdString(big)));
  EXPECT_FALSE(window_->OpenTraceFile(kPlain));
  for (const char* entry :
       {"isdnOpen", "isdnReload", "isdnSave", "isdnFindAgain", "isdnFilterPRI"}) {
    EXPECT_FALSE(Action(entry)->isEnabled()) << entry;
  }
  Settle();
  EXPECT_GE(ticks, 5);
  EXPECT_EQ(window_->windowTitle(), "plain-trace.txt - Calyxo (Marovia 3.X)");
  EXPECT_EQ(List()->model()->rowCount(), 21);
  EXPECT_EQ(List()->currentIndex().row(), 2);
  EXPECT_EQ(Pane()->toPlainText(), pane);
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            "Reading background-load.txt cancelled; nothing changed.");
  EXPECT_TRUE(Action("isdnOpen")->isEnabled());
  EXPECT_TRUE(dialogs_.messages.empty());
  std::remove(big.c_str());
}

TEST_F(WindowTest, AFailedOpenIsToldAndChangesNothing) {
  OpenThroughMenu(kPlain);
  SelectRow(2);
  const QString pane = Pane()->toPlainText();
  const QString empty = WriteTrace("empty.txt", "no messages\n");
  OpenThroughMenu(std::nullopt);
  OpenThroughMenu(empty);
  OpenThroughMenu(QStringLiteral("/nonexistent/trace.txt"));
  EXPECT_EQ(window_->windowTitle(), "plain-trace.txt - Calyxo (Marovia 3.X)");
  EXPECT_EQ(List()->model()->rowCount(), 21);
  EXPECT_EQ(List()->currentIndex().row(), 2);
  EXPECT_EQ(Pane()->toPlainText(), pane);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(dialogs_.messages[0].title, "Merrow");
  EXPECT_EQ(dialogs_.messages[0].text, empty + " does not contain Q931 Messages.");
  EXPECT_EQ(dialogs_.messages[1].icon, MessageIcon::Critical);
  EXPECT_EQ(dialogs_.messages[1].title, "Error!");
  EXPECT_EQ(dialogs_.messages[1].text,
            "Exception caught! Error in isdnOpen. Description: cannot open "
            "/nonexistent/trace.txt: No such file or directory");
}

TEST_F(WindowTest, LinesSkippedAsTooLongAreNotedOncePerOpenedFile) {
  const QString trace =
      WriteTrace("long-line.txt", "IsdnMsgData=08 01 01 05\n" + std::string(17u << 20, 'x') +
                                      "\nIsdnMsgData=08 01 01 07\n");
  const QString note = "1 line longer than 16 MiB was skipped (line 2)";
  OpenThroughMenu(trace);
  EXPECT_EQ(StatusCount(), "2 messages \u00b7 1 call \u00b7 0 failed; " + note);
  Trigger("isdnReload");
  OpenThroughMenu(trace);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].text, trace + ": " + note + ".");
  EXPECT_EQ(dialogs_.messages[1].text, dialogs_.messages[0].text);
  std::remove(trace.toStdString().c_str());
}

TEST(WindowApplication, MessageBoxesAreCentredOnTheWindow) {
  QWidget window;
  window.setGeometry(200, 150, 900, 640);
  window.show();
  QRect box;
  QTimer::singleShot(0, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* shown = qobject_cast<QMessageBox*>(widget)) {
        box = shown->frameGeometry();
        shown->accept();
      }
    }
  });
  QtDialogs().ShowMessage(&window, MessageIcon::Critical, "Error!", "Something went wrong.");
  ASSERT_FALSE(box.isEmpty());
  EXPECT_LE((box.center() - window.frameGeometry().center()).manhattanLength(), 1)
      << box.x() << "," << box.y();
}

TEST(WindowApplication, WithoutADisplayAnswersHelpAndVersionAndSaysWhyItCannotOpen) {
  const auto run = [](const char* option, std::string& output) {
    const std::string command =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '") +
        SIGRUNE_WINDOW_PROGRAM + "' " + option + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      output.append(buffer, got);
    }
    return pclose(pipe);
  };
  std::string help;
  EXPECT_EQ(run("--help", help), 0);
  EXPECT_EQ(
      help.rfind(std::string("Usage: ") + SIGRUNE_WINDOW_PROGRAM + " [options] [TRACE...]\n", 0),
      0u)
      << help;
  std::string version;
  EXPECT_EQ(run("-v", version), 0);
  EXPECT_EQ(version, std::string("sigrune ") + kVersion + "\n");
  std::string noDisplay;
  EXPECT_EQ(run(SIGRUNE_SOURCE_DIR "/examples/plain-trace.txt", noDisplay), 1 << 8);
  EXPECT_EQ(noDisplay.rfind("sigrune: no display to open the window on", 0), 0u) << noDisplay;
}

TEST(WindowApplication, OpensTheTracesGivenOnTheCommandLine) {
  FakeDialogs dialogs;
  FakeLauncher launcher;
  QString caption;
  int rows = -1;
  bool following = false;
  // Read the window once its load has ended (a loaded machine may take a while to get there).
  QTimer poll;
  int ticks = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const bool late = ++ticks > kWaitLimit / std::chrono::milliseconds(20);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* window = qobject_cast<MainWindow*>(widget);
      if (window == nullptr ||
          (!late && (window->Busy() ||
                     window->findChild<QAbstractItemView*>("isdnList")->model()->rowCount() == 0))) {
        continue;
      }
      if (late) {
        ADD_FAILURE() << "gave up after " << kWaitLimit.count()
                      << " s waiting for the window to show the traces";
      }
      caption = window->windowTitle();
      rows = window->findChild<QAbstractItemView*>("isdnList")->model()->rowCount();
      following = window->findChild<QAction*>("isdnFollow")->isChecked();
      window->close();
    }
  });
  poll.start(20);
  EXPECT_EQ(RunWindowApplication({"sigrune", kExamples + "tracelist-trace.xml", kPlain, "--follow"},
                                 dialogs, launcher),
            0);
  EXPECT_EQ(caption, "plain-trace.txt + 1 more - Calyxo (Marovia 3.X)");
  EXPECT_EQ(rows, 31);
  EXPECT_TRUE(following);
  poll.stop();
  EXPECT_EQ(RunWindowApplication({"sigrune", "--follow"}, dialogs, launcher), 2);
}

}  // namespace
}  // namespace sigrune
