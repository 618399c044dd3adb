// The calls table: its columns and their widths, the related leg's link, sorting with a
// selection, the right-click menu and the suffixes its save dialogs add.

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

#include "h225_calls_trace.h"
#include "window/calls/call_rows.h"
#include "window/calls/calls_pane.h"
#include "window/ladder/flow_window.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

const QString kLegs = QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/call-legs.txt");

std::string Message(const char* time, const char* kind, const char* address, const char* octets) {
  const std::string at = std::string("01/15/2004 ") + time + " CCP|";
  return at + kind + "\n" + at + "MMan_Id= 1. (IpAddr=" + address + " IpPort=2427)\n" + at +
         "IsdnMsgData1= " + octets + "\n";
}

// Call 1 comes in on 10.1.1.5 from a 20-digit number; the server places call 2 for it on
// 192.168.200.200, to "=1+2", which the gateway clears with cause 34; call 3 stays open.
const std::string kDigits20 =
    "6c 15 81 31 32 33 34 35 36 37 38 39 30 31 32 33 34 35 36 37 38 39 30";
const std::string kWideTrace =
    Message("10:00:00.000", "In  Message -- PriSetupMsg -- Protocol= PriNi2Protocol", "0501010a",
            ("08 02 00 01 05 " + kDigits20 + " 70 05 81 3d 31 2b 32").c_str()) +
    Message("10:00:00.400", "Out Message -- H225SetupMsg -- Protocol= H225Protocol", "c8c8a8c0",
            ("08 02 0d 2a 05 " + kDigits20 + " 70 05 81 3d 31 2b 32").c_str()) +
    Message("10:00:02.000", "In  Message -- H225DisconnectMsg -- Protocol= H225Protocol",
            "c8c8a8c0", "08 02 8d 2a 45 08 02 81 a2") +
    Message("10:00:02.010", "Out Message -- PriDisconnectMsg -- Protocol= PriNi2Protocol",
            "0501010a", "08 02 80 01 45 08 02 81 a2") +
    Message("10:01:00.000", "In  Message -- PriSetupMsg -- Protocol= PriNi2Protocol", "0601010a",
            "08 02 00 03 05 6c 08 81 35 35 35 30 31 34 32");

class CallsTableTest : public WindowTest {
 protected:
  void Open(const QString& trace) {
    OpenThroughMenu(trace);
    window_->resize(1500, 600);
    window_->show();
    window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  QTreeView* Table() const { return window_->findChild<QTreeView*>(QStringLiteral("callList")); }
  std::vector<CallNumber> Selected() const {
    return window_->findChild<CallsPane*>()->SelectedCalls();
  }
  QModelIndex Cell(CallNumber call, CallColumn column) const {
    const QAbstractItemModel* model = Table()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      if (model->index(row, 0).data().toUInt() == call.value) {
        return model->index(row, static_cast<int>(column));
      }
    }
    return {};
  }
  // The current call, when its row is in sight.
  CallNumber CurrentInView() const {
    const QModelIndex current = Table()->currentIndex();
    return {Table()->viewport()->rect().contains(Table()->visualRect(current))
                ? current.siblingAtColumn(0).data().toUInt()
                : 0};
  }
  void Click(const QModelIndex& cell) const {
    Table()->scrollTo(cell);
    QTest::mouseClick(Table()->viewport(), Qt::LeftButton, {}, Table()->visualRect(cell).center());
  }
};

TEST_F(CallsTableTest, ColumnsFitTheirWidestTextsAndHeadings) {
  Open(WriteTrace("wide.txt", kWideTrace));
  // Here the rows are few enough to be measured; the heading's size holds its sort mark. The
  // cause takes what is left, elided, whole in its tooltip.
  const QHeaderView* header = Table()->header();
  for (int column = 0; column < static_cast<int>(CallColumn::Cause); ++column) {
    EXPECT_GE(header->sectionSize(column),
              std::max(static_cast<const QAbstractItemView*>(Table())->sizeHintForColumn(column),
                       header->sectionSizeHint(column)))
        << column;
  }
  EXPECT_EQ(Cell({1}, CallColumn::Cause).data(Qt::ToolTipRole), "34 No channel available");
}

struct LinkCase {
  const char* narrowing;  // the table's own text field
  CallNumber from;
  bool byKey;  // Enter on the cell rather than a click
  CallNumber to;
};

TEST_F(CallsTableTest, TheRelatedNumberIsALinkToTheOtherLeg) {
  Open(kLegs);
  EXPECT_TRUE(Cell({1}, CallColumn::Related).data(Qt::FontRole).value<QFont>().underline());
  EXPECT_FALSE(Cell({3}, CallColumn::Related).data(Qt::FontRole).value<QFont>().underline());
  auto* text = window_->findChild<QLineEdit*>(QStringLiteral("callFilterText"));
  const LinkCase cases[] = {
      {"", {1}, false, {2}},
      {"", {4}, true, {5}},
      {"10.1.1.5", {1}, false, {2}},  // call 2 is on 10.20.20.33: the field is cleared
  };
  for (const LinkCase& test : cases) {
    text->setText(QLatin1String(test.narrowing));
    const QModelIndex cell = Cell(test.from, CallColumn::Related);
    if (test.byKey) {
      Table()->setCurrentIndex(cell);
      QTest::keyClick(Table()->viewport(), Qt::Key_Return);
    } else {
      Click(cell);
    }
    EXPECT_EQ(Selected(), std::vector<CallNumber>{test.to}) << test.from.value;
    EXPECT_EQ(CurrentInView(), test.to) << test.from.value;
    EXPECT_EQ(text->text(), "");
  }
  // Enter elsewhere on a row still shows the call's messages.
  Table()->setCurrentIndex(Cell({3}, CallColumn::Number));
  QTest::keyClick(Table()->viewport(), Qt::Key_Return);
  EXPECT_TRUE(StatusCount().startsWith("5 of 41 messages")) << StatusCount().toStdString();
}

TEST_F(CallsTableTest, ASortKeepsTheSelectedCallsAndTheCurrentOneInView) {
  Open(kLegs);
  window_->resize(1500, 260);  // a few rows in sight: descending, call 3 goes out of it
  Click(Cell({3}, CallColumn::Number));
  Table()->selectionModel()->select(Cell({25}, CallColumn::Number),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const QHeaderView* header = Table()->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(5, header->height() / 2));
  EXPECT_EQ(Selected(), (std::vector<CallNumber>{{3}, {25}}));
  EXPECT_EQ(CurrentInView(), CallNumber{3});
  Trigger("isdnShowFlow");
  EXPECT_EQ(window_->findChildren<FlowWindow*>().size(), 1);
}

TEST_F(CallsTableTest, MediaAndReleaseReasonSortAndNarrowTheCalls) {
  Open(WriteTrace("h225.txt", h225calls::ThreeCalls()));
  EXPECT_EQ(Cell({1}, CallColumn::Media).data().toString(), "192.0.2.10:16384 g711Alaw64k");
  EXPECT_EQ(Cell({3}, CallColumn::ReleaseReason).data().toString(), "adaptiveBusy");
  const auto shown = [&] {
    std::string calls;
    for (int row = 0; row < Table()->model()->rowCount(); ++row) {
      calls += Table()->model()->index(row, 0).data().toString().toStdString();
    }
    return calls;
  };
  Table()->sortByColumn(static_cast<int>(CallColumn::ReleaseReason), Qt::AscendingOrder);
  EXPECT_EQ(shown(), "231");
  Table()->sortByColumn(static_cast<int>(CallColumn::Media), Qt::DescendingOrder);
  EXPECT_EQ(shown(), "213");
  window_->findChild<QLineEdit*>(QStringLiteral("callFilterText"))->setText("adaptive");
  EXPECT_EQ(shown(), "3");
}

TEST_F(CallsTableTest, TheRightClickMenuActsOnTheSelectedCalls) {
  Open(WriteTrace("wide.txt", kWideTrace));
  Click(Cell({2}, CallColumn::Number));
  Table()->selectionModel()->select(Cell({1}, CallColumn::Number),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  emit Table()->customContextMenuRequested(
      Table()->visualRect(Cell({2}, CallColumn::Called)).center());
  auto* menu = window_->findChild<QMenu*>(QStringLiteral("callMenu"));
  QStringList entries;
  for (const QAction* action : menu->actions()) {
    entries << action->text();
  }
  menu->close();
  EXPECT_EQ(entries.join('|'),
            "Show &Flow|This &Call|Go to &Related Leg||&Copy||Export Calls to &pcap…|"
            "Save Calls as CS&V…");
  // The rows as the table shows them, each cell guarded as the calls' CSV guards it.
  Table()->setFocus();
  QTest::keyClick(Table(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            "Call,Start,Duration,Gateway,Protocol,Direction,Calling,Called,Outcome,Cleared by,"
            "Messages,Related,Channel,PDD,Media,Release reason,Cause\n"
            "1,01/15/2004 10:00:00.000,2.010,10.1.1.5,PRI,in,12345678901234567890,'=1+2,"
            "failed (open),server,2,2,,,,,34 No channel available\n"
            "2,01/15/2004 10:00:00.400,1.600,192.168.200.200,H225,out,12345678901234567890,"
            "'=1+2,failed (open),gateway,2,1,,,,,34 No channel available\n");
  window_->findChild<QAction*>(QStringLiteral("callGoToRelated"))->trigger();
  EXPECT_EQ(Selected(), std::vector<CallNumber>{{1}});
  window_->findChild<QAction*>(QStringLiteral("callThisCall"))->trigger();
  EXPECT_TRUE(StatusCount().startsWith("2 of 5 messages")) << StatusCount().toStdString();
}

TEST_F(CallsTableTest, TheSaveDialogsAddTheirSuffix) {
  Open(WriteTrace("wide.txt", kWideTrace));
  Table()->selectAll();
  const char* const cases[][3] = {
      // action, the name the dialog gives, the file made
      {"callSaveCalls", "calls", "calls.csv"},
      {"isdnSaveCalls", "calls.txt", "calls.txt"},
      {"exportCallsPcap", "legs", "legs.pcap"},
  };
  for (const auto& [action, name, written] : cases) {
    const std::filesystem::path folder = TemporaryPath("suffixes");
    std::filesystem::create_directory(folder);
    dialogs_.saveAnswers.push_back(QString::fromStdString((folder / name).string()));
    Trigger(action);
    EXPECT_TRUE(std::filesystem::exists(folder / written)) << action << " " << name;
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
}  // namespace sigrune
