#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "trace/message_time.h"
#include "window/ladder/flow_window.h"
#include "window/ladder/ladder_view.h"
#include "window/ladder/lane_names_store.h"
#include "window/picture_title.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

struct TimeCase {
  const char* what;
  std::vector<const char*> timestamps;  // "" for a message without a time
  std::vector<const char*> absolute;
  std::vector<const char*> relative;
};

TEST(LadderPicture, TimesAreAbsoluteOrFromTheFirstAndBlankWithoutOne) {
  const TimeCase cases[] = {
      {"milliseconds, an untimed and an earlier message",
       {"01/15/2004 10:42:05.118", "", "01/15/2004 10:42:05.113", "01/15/2004 10:43:00.9"},
       {"10:42:05.118", "", "10:42:05.113", "10:43:00.900"},
       {"0.000", "", "-0.005", "55.782"}},
      {"microseconds",
       {"2004-01-15 10:42:05.118250", "2004-01-15 10:42:05.2"},
       {"10:42:05.118250", "10:42:05.200000"},
       {"0.000000", "0.081750"}},
      {"past midnight",
       {"01/15/2004 23:59:59.9", "01/16/2004 00:00:00.1"},
       {"2004-01-15 23:59:59.900", "2004-01-16 00:00:00.100"},
       {"0.000", "0.200"}},
      {"no time at all", {"", "x"}, {"", ""}, {"", ""}},
  };
  for (const TimeCase& test : cases) {
    CallFlow flow;
    flow.lanes = {{false, "10.1.1.5", Protocol::Pri}, {true, "", Protocol::None}};
    for (const char* timestamp : test.timestamps) {
      FlowArrow& arrow = flow.arrows.emplace_back();
      arrow.time = ParseMessageTime(timestamp);
    }
    LadderPicture picture(std::move(flow), QFont());
    for (const LadderTime time : {LadderTime::Absolute, LadderTime::Relative}) {
      picture.SetTime(time);
      const auto& expected = time == LadderTime::Absolute ? test.absolute : test.relative;
      for (std::size_t row = 0; row < expected.size(); ++row) {
        EXPECT_EQ(picture.TimeText(row), expected[row]) << test.what << ", row " << row;
      }
    }
  }
}

class FlowTest : public WindowTest {
 protected:
  // Calls > Show Flow; the window it opened.
  FlowWindow* ShowFlow() {
    const auto before = window_->findChildren<FlowWindow*>().size();
    Action("isdnShowFlow")->trigger();
    const QList<FlowWindow*> flows = window_->findChildren<FlowWindow*>();
    return flows.size() > before ? flows.constLast() : nullptr;
  }
  // Answers the save dialog with the path and clicks the export button.
  void Export(FlowWindow& flow, const char* button, const std::string& path) {
    dialogs_.saveAnswers.push_back(QString::fromStdString(path));
    flow.findChild<QPushButton*>(QLatin1String(button))->click();
  }
};

// Call 1 (10.1.1.5, in, 8 messages) with its related leg, call 2 (10.20.20.33, out, 5), and
// call 3 (10.1.1.6, out, failed, 5).
TEST_F(FlowTest, ShowFlowDrawsTheCallsFollowsTheListNamesLanesAndExports) {
  const QString trace = QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/call-legs.txt");
  OpenThroughMenu(trace);
  EXPECT_EQ(ShowFlow(), nullptr);
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            "Select a call, or a message of a call, first.");

  window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(1);
  auto* calls = window_->findChild<QTreeView*>(QStringLiteral("callList"));
  calls->selectionModel()->select(calls->model()->index(2, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  calls->selectionModel()->select(calls->model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  FlowWindow* flow = ShowFlow();
  ASSERT_NE(flow, nullptr);
  EXPECT_EQ(flow->windowTitle(), "Flow of calls 1, 3");
  EXPECT_EQ(flow->Picture().Flow().lanes.size(), 4u);
  EXPECT_EQ(flow->Picture().Flow().arrows.size(), 18u);
  flow->findChild<QCheckBox*>(QStringLiteral("withRelated"))->setChecked(false);
  const CallFlow& ladder = flow->Picture().Flow();
  ASSERT_EQ(ladder.lanes.size(), 3u);
  EXPECT_TRUE(ladder.lanes[1].server);
  ASSERT_EQ(ladder.arrows.size(), 13u);

  // A click on an arrow shows its message; Down the next one; the list's selection marks its own.
  LadderView& view = flow->View();
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.RowRect(2).center());
  Settle();
  EXPECT_EQ(window_->Document().CurrentMessage(), ladder.arrows[2].message);
  EXPECT_TRUE(
      Pane()->toPlainText().startsWith(QString::fromStdString(ladder.arrows[2].name) + ", pd = 8"));
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_EQ(window_->Document().CurrentMessage(), ladder.arrows[3].message);
  EXPECT_EQ(List()->currentIndex().row(), static_cast<int>(ladder.arrows[3].message.value - 1));
  SelectRow(0);
  EXPECT_EQ(view.SelectedRow(), 0u);

  // A lane named in one ladder is named in every ladder, and in the files.
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.LaneRect(0).center());
  auto* name = view.findChild<QLineEdit*>(QStringLiteral("laneName"));
  ASSERT_TRUE(name != nullptr && name->isVisible());
  QTest::keyClicks(name, "Dallas PRI 1");
  QTest::keyClick(name, Qt::Key_Return);

  const std::string folder = TemporaryPath("ladder");
  std::filesystem::create_directories(folder);
  Export(*flow, "exportSvg", folder + "/ladder");  // the suffix is added
  Export(*flow, "exportPng", folder + "/ladder.png");
  Export(*flow, "exportPdf", folder + "/ladder.pdf");
  Export(*flow, "exportSvg", trace.toStdString());
  const QString title = QStringLiteral(
      "Flow of calls 1, 3 \u00b7 call-legs.txt \u00b7 no filter \u00b7 2004-01-15 10:00:00 to "
      "10:00:31");
  const QStringList texts = SvgTexts(folder + "/ladder.svg");
  for (const QString& text :
       {QStringLiteral("Dallas PRI 1"), QStringLiteral("server"), QStringLiteral("10.1.1.6"),
        QStringLiteral("SETUP"), QStringLiteral("CALL_PROC"), QStringLiteral("RELEASE_COMP"),
        QStringLiteral("from 2145550100, to 1001"), title}) {
    EXPECT_TRUE(texts.contains(text)) << text.toStdString();
  }
  EXPECT_EQ(QImage(QString::fromStdString(folder + "/ladder.png")).height(),
            flow->Picture().Height() + TitleBandHeight(title, flow->Picture().Width()));
  EXPECT_TRUE(ReadFile(folder + "/ladder.pdf").starts_with("%PDF"));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, "cannot write " + trace + ": it is the open trace");

  // A new trace closes the ladders of the old one.
  const QPointer<FlowWindow> closed = flow;
  OpenThroughMenu(trace);
  EXPECT_TRUE(closed.isNull() || !closed->isVisible());
  std::filesystem::remove_all(folder);
}

TEST_F(FlowTest, ALaneNameIsAtMostAHundredCharacters) {
  const OwnSettings own;
  // As a hand-edited file may hold it: the ladders get its first hundred characters.
  WriteFile(own.File("lane-names.ini"), "[names]\n10.1.1.5=" + std::string(1'000'000, 'n') + "\n");
  EXPECT_EQ(LaneNamesStore().Name("10.1.1.5"), QString(100, 'n'));

  // The rename field takes no more.
  OpenThroughMenu(QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/call-legs.txt"));
  SelectRow(0);
  FlowWindow* flow = ShowFlow();
  ASSERT_NE(flow, nullptr);
  ASSERT_EQ(flow->Picture().Flow().lanes[0].address, "10.1.1.5");
  LadderView& view = flow->View();
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.LaneRect(0).center());
  auto* name = view.findChild<QLineEdit*>(QStringLiteral("laneName"));
  ASSERT_NE(name, nullptr);
  name->clear();
  QTest::keyClicks(name, QString(150, 'm'));
  EXPECT_EQ(name->text(), QString(100, 'm'));
  QTest::keyClick(name, Qt::Key_Return);
  EXPECT_EQ(LaneNamesStore().Name("10.1.1.5"), QString(100, 'm'));
}

// A picture goes where its path leads, as every export does: through the program's own
// descriptor, into a FIFO, beside a regular file that it then replaces.
TEST_F(FlowTest, APictureToATargetThatIsNotARegularFileIsWrittenInPlace) {
  OpenThroughMenu(QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/call-legs.txt"));
  SelectRow(1);
  FlowWindow* flow = ShowFlow();
  ASSERT_NE(flow, nullptr);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("sigrune-" + std::to_string(getpid()) + "-pictures");
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory(folder);
  const std::string log = WriteFile(folder / "app.log", "earlier\n");
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
  std::filesystem::create_symlink("/dev/fd/" + std::to_string(fd), folder / "picture.png");
  Export(*flow, "exportPng", folder / "picture.png");
  ::close(fd);
  const std::string logged = ReadFile(log);
  EXPECT_EQ(logged.substr(0, 12), "earlier\n\x89PNG");
  const QString title =
      LadderTitle(window_->Document(), flow->Picture().Flow(), flow->windowTitle());
  EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(logged.substr(8))).height(),
            flow->Picture().Height() + TitleBandHeight(title, flow->Picture().Width()));

  const std::string fifo = folder / "ladder.svg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Opened before the export, so that a FIFO replaced by a file cannot keep the reader waiting.
  const int reading = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  std::string drawn;
  std::thread reader([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    pollfd ready{reading, POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
      if (::poll(&ready, 1, 50) == 1) {
        char piece[4096];
        const ssize_t got = ::read(reading, piece, sizeof piece);
        if (got <= 0) {
          break;  // the writer has closed it
        }
        drawn.append(piece, static_cast<std::size_t>(got));
      }
    }
  });
  Export(*flow, "exportSvg", fifo);
  reader.join();
  ::close(reading);
  EXPECT_TRUE(drawn.starts_with("<?xml")) << drawn.substr(0, 100);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_TRUE(dialogs_.messages.empty());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"app.log", "ladder.svg", "picture.png"}));
  std::filesystem::remove_all(folder);
}

TEST_F(FlowTest, ALadderTooTallForAPngIsOfferedAsSvgOrPdf) {
  std::string trace;
  for (int message = 0; message < 600; ++message) {
    trace += message == 0 ? "In  Message -- PriSetupMsg\nIsdnMsgData=08 02 00 01 05\n"
                          : "Out Message -- PriInfoMsg\nIsdnMsgData=08 02 80 01 7b\n";
  }
  OpenThroughMenu(WriteTrace("tall.txt", trace));
  SelectRow(0);
  FlowWindow* flow = ShowFlow();
  ASSERT_NE(flow, nullptr);
  ASSERT_GT(flow->Picture().Height(), 20000);
  dialogs_.choiceAnswers.push_back(0);
  Export(*flow, "exportPng", TemporaryPath("tall"));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.messages[0].text.contains("a PNG image holds at most 20,000"));
  EXPECT_EQ(dialogs_.lastSaveTitle, "Export Flow as SVG");
}

}  // namespace
}  // namespace sigrune
