#include <QApplication>
#include <QGroupBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <string>
#include <vector>

#include "window/calls/call_triage.h"
#include "window/find_all_panel.h"
#include "window/ladder/flow_window.h"
#include "window/ladder/ladder_view.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

// Call 1 (10.1.1.5, in, 8 messages) with its related leg, call 2 (10.20.20.33, out, 5), and
// call 3 (10.1.1.6, out, failed, 5).
const QString kLegs = QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/call-legs.txt");

struct Line {
  const char* time;
  bool in;
  const char* address;
  const char* octets;
};

std::string TraceText(const std::vector<Line>& lines) {
  std::string text;
  for (const Line& line : lines) {
    const std::string time = std::string("01/15/2004 10:00:") + line.time;
    text += time + (line.in ? " CCP|In  Message" : " CCP|Out Message") +
            " -- PriMsg -- Protocol= PriNi2Protocol\n" + time +
            " CCP|MMan_Id= 1. (IpAddr=" + line.address + " IpPort=2427)\n" + time +
            " CCP|IsdnMsgData1= 08 02 " + line.octets + "\n";
  }
  return text;
}

class TriageTest : public WindowTest {
 protected:
  void ShowCallsTab() {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(1);
    Settle();
  }
  QTreeView* Calls() const { return window_->findChild<QTreeView*>(QStringLiteral("callList")); }
  CallTriage& Triage() const { return *window_->findChild<CallTriage*>(); }
  QSplitter* Splitter(const char* name) const {
    return window_->findChild<QSplitter*>(QLatin1String(name));
  }
  void SelectCall(int row) {
    Calls()->setCurrentIndex(Calls()->model()->index(row, 0));
    Settle();
  }
  QString Focused() const {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
  }
};

TEST_F(TriageTest, TheCallsTabShowsTheSelectedCallsLadderDetailAndMessageAndKeepsItsSplitters) {
  const OwnSettings own;
  window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  ASSERT_TRUE(window_->OpenTraceFile(kLegs));
  Settle();
  ShowCallsTab();
  auto* frame = window_->findChild<QGroupBox*>(QStringLiteral("tesselFrame"));
  EXPECT_FALSE(frame->isVisible());
  EXPECT_FALSE(window_->findChild<FindAllPanel*>()->isVisible());
  const QList<int> first = Splitter("callsSplitter")->sizes();
  EXPECT_GE(first[0], first[1]);

  // The call with its related leg; its first message shows beside the ladder.
  SelectCall(0);
  const LadderPicture* picture = Triage().Picture();
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Rows(), 13u);
  EXPECT_EQ(picture->CallTag(0), "");  // each leg on a lane of its own
  EXPECT_EQ(Triage().Ladder().SelectedRow(), 0u);
  EXPECT_TRUE(Triage().Text().toPlainText().startsWith("SETUP, pd = 8"));

  // An arrow clicked shows its message here, leaving the tab and the list's message as they are.
  LadderView& ladder = Triage().Ladder();
  const MessageNumber listed = window_->Document().CurrentMessage();
  QTest::mouseClick(ladder.viewport(), Qt::LeftButton, {}, ladder.RowRect(2).center());
  Settle();
  const FlowArrow& arrow = picture->Flow().arrows[2];
  EXPECT_TRUE(Triage().Text().toPlainText().startsWith(QString::fromStdString(arrow.name) + ","));
  EXPECT_EQ(window_->Document().CurrentMessage(), listed);
  EXPECT_TRUE(Splitter("callsSplitter")->isVisible());

  SelectCall(2);
  EXPECT_EQ(Triage().Picture()->Rows(), 5u);
  window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(0);
  EXPECT_TRUE(frame->isVisible());

  // The sizes the user gave come back in the next window.
  Splitter("callsSplitter")->setSizes({300, 500});
  Splitter("triageSplitter")->setSizes({200, 700});
  const QList<int> calls = Splitter("callsSplitter")->sizes();
  const QList<int> triage = Splitter("triageSplitter")->sizes();
  window_->close();
  window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  ShowCallsTab();
  EXPECT_EQ(Splitter("callsSplitter")->sizes(), calls);
  EXPECT_EQ(Splitter("triageSplitter")->sizes(), triage);
}

// A call turned back through the server: in and out on one PRI gateway.
TEST_F(TriageTest, ACallTurnedBackIsDetailedAndItsLegsOnOneLaneAreTaggedTheSelectedOneStronger) {
  const char* const kSetup =
      "05 04 03 80 90 a2 18 03 a9 83 81 6c 0b 81 32 31 34 35 35 35 30 31 30 30 70 05 81 31 30 30 ";
  const std::string in = std::string("00 01 ") + kSetup + "31";
  const std::string out = std::string("00 02 ") + kSetup + "32";
  const QString trace = WriteTrace("turned-back.txt",
                                   TraceText({{"00.000", true, "0501010a", in.c_str()},
                                              {"00.004", false, "0501010a", "80 01 02"},
                                              {"00.100", false, "0501010a", out.c_str()},
                                              {"00.916", true, "0501010a", "80 02 45 08 02 82 a2"},
                                              {"00.920", false, "0501010a", "00 02 4d"},
                                              {"00.930", true, "0501010a", "80 02 5a"},
                                              {"00.940", false, "0501010a", "80 01 45 08 02 82 a2"},
                                              {"00.950", true, "0501010a", "00 01 4d"},
                                              {"00.960", false, "0501010a", "80 01 5a"}}));
  ASSERT_TRUE(window_->OpenTraceFile(trace));
  Settle();
  ASSERT_EQ(window_->Document().Calls().calls.size(), 2u);
  ASSERT_EQ(window_->Document().Calls().calls[0].related.value, 2u);
  ShowCallsTab();
  SelectCall(0);
  EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("callDetail"))->text(),
            QString::fromUtf8(
                "Call 1 \u00b7 in \u00b7 10.1.1.5 PRI \u00b7 2145550100 \u2192 1001 \u00b7 failed "
                "\u00b7 cause 34 No channel available (public network serving the local user) "
                "\u00b7 cleared by the server \u00b7 first fault: call 2 (out, 10.1.1.5 PRI) "
                "DISCONNECT cause 34, 0.816 s after its SETUP"));
  for (const int row : {0, 1}) {
    SelectCall(row);
    const LadderPicture& picture = *Triage().Picture();
    ASSERT_EQ(picture.Rows(), 9u);
    for (std::size_t arrow = 0; arrow < picture.Rows(); ++arrow) {
      const CallNumber call = picture.Flow().arrows[arrow].call;
      EXPECT_EQ(picture.CallTag(arrow), QString::number(call.value)) << row << ", " << arrow;
      EXPECT_EQ(picture.Strong(arrow), call == Triage().Call()) << row << ", " << arrow;
    }
  }
  // In the ladder window the first call given is the one drawn strong.
  Action("isdnShowFlow")->trigger();
  const FlowWindow* flow = window_->findChild<FlowWindow*>();
  ASSERT_NE(flow, nullptr);
  EXPECT_TRUE(flow->Picture().Strong(2));  // call 2's SETUP
  EXPECT_FALSE(flow->Picture().Strong(0));
}

TEST_F(TriageTest, TabGoesInVisualOrderF6SwitchesTableAndLadderAndLaddersTakeTheFocus) {
  ASSERT_TRUE(window_->OpenTraceFile(kLegs));
  Settle();
  ShowCallsTab();
  SelectCall(0);
  window_->findChild<QWidget*>(QStringLiteral("callFilterText"))->setFocus();
  QStringList order;
  for (int step = 0; step < 4; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order << Focused();
  }
  EXPECT_EQ(order, QStringList({"callOutcome", "callList", "triageLadder", "triageText"}));

  Calls()->setFocus();
  QTest::keyClick(Calls(), Qt::Key_F6);
  ASSERT_EQ(Focused(), "triageLadder");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  Settle();
  EXPECT_EQ(Triage().Ladder().SelectedRow(), 1u);
  EXPECT_EQ(Triage().Message(), Triage().Picture()->Flow().arrows[1].message);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
  EXPECT_EQ(Focused(), "callList");

  // The ladder window gives its ladder the focus once it is active.
  Action("isdnShowFlow")->trigger();
  FlowWindow* flow = window_->findChild<FlowWindow*>();
  ASSERT_NE(flow, nullptr);
  EXPECT_EQ(flow->focusWidget(), &flow->View());
}

TEST_F(TriageTest, ALadderOfManyCallsNamesFiveInItsTitleAndFitsTheScreen) {
  std::vector<std::string> octets;
  std::vector<std::string> addresses;
  std::vector<Line> lines;
  for (int call = 0; call < 20; ++call) {
    char address[9];
    std::snprintf(address, sizeof address, "%02x01010a", call + 1);
    addresses.emplace_back(address);
    octets.push_back("00 01 05 04 03 80 90 a2");
  }
  for (std::size_t call = 0; call < addresses.size(); ++call) {
    lines.push_back({"00.000", true, addresses[call].c_str(), octets[call].c_str()});
    lines.push_back({"00.010", false, addresses[call].c_str(), "80 01 5a"});
  }
  ASSERT_TRUE(window_->OpenTraceFile(WriteTrace("many.txt", TraceText(lines))));
  Settle();
  ShowCallsTab();
  Calls()->selectAll();
  Action("isdnShowFlow")->trigger();
  const FlowWindow* flow = window_->findChild<FlowWindow*>();
  ASSERT_NE(flow, nullptr);
  EXPECT_EQ(flow->windowTitle(), "Flow of calls 1, 2, 3, 4, 5 + 15 more");
  EXPECT_TRUE(flow->findChild<QLabel*>(QStringLiteral("flowCalls"))->text().endsWith("+ 15 more"));
  EXPECT_LE(flow->width(), flow->screen()->availableGeometry().width());
}

}  // namespace
}  // namespace sigrune
