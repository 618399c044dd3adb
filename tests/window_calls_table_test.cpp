// The calls table: its columns and their widths, the related leg's link, sorting with a
// selection, the right-click menu and the suffixes its save dialogs add.

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

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
  CallsPane* Pane() const { return window_->findChild<CallsPane*>(); }
  QModelIndex Cell(CallNumber call, CallColumn column) const {
    for (int row = 0; row < Table()->model()->rowCount(); ++row) {
      if (Table()->model()->index(row, 0).data().toUInt() == call.value) {
        return Table()->model()->index(row, static_cast<int>(column));
      }
    }
    return {};
  }
  CallNumber CurrentCall() const {
    return {Table()->currentIndex().siblingAtColumn(0).data().toUInt()};
  }
  void Click(const QModelIndex& cell) const {
    Table()->scrollTo(cell);
    QTest::mouseClick(Table()->viewport(), Qt::LeftButton, {}, Table()->visualRect(cell).center());
  }
  bool InView(const QModelIndex& cell) const {
    return Table()->viewport()->rect().contains(Table()->visualRect(cell));
  }
};

std::vector<std::uint32_t> Numbers(const std::vector<CallNumber>& calls) {
  std::vector<std::uint32_t> numbers;
  for (const CallNumber call : calls) {
    numbers.push_back(call.value);
  }
  return numbers;
}

TEST_F(CallsTableTest, ColumnsFitTheirWidestTextsAndHeadings) {
  Open(WriteTrace("wide.txt", kWideTrace));
  const QAbstractItemModel* model = Table()->model();
  QStringList headings;
  for (int column = 0; column < model->columnCount(); ++column) {
    headings << model->headerData(column, Qt::Horizontal).toString();
  }
  EXPECT_EQ(headings.join(','),
            "Call,Start,Duration,Gateway,Protocol,Direction,Calling,Called,Outcome,Cleared by,"
            "Messages,Related,Cause");
  EXPECT_EQ(Cell({2}, CallColumn::Protocol).data(), "H225");
  EXPECT_EQ(Cell({2}, CallColumn::ClearedBy).data(), "gateway");
  EXPECT_EQ(Cell({1}, CallColumn::ClearedBy).data(), "server");
  const QHeaderView* header = Table()->header();
  // The cells' and the headings' own sizes (the heading's with its sort mark), here measured
  // over every row; the cause takes what is left, elided, and says itself whole in a tooltip.
  for (int column = 0; column < static_cast<int>(CallColumn::Cause); ++column) {
    EXPECT_GE(header->sectionSize(column),
              static_cast<const QAbstractItemView*>(Table())->sizeHintForColumn(column))
        << headings[column].toStdString();
    EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
        << headings[column].toStdString();
  }
  EXPECT_EQ(Table()->textElideMode(), Qt::ElideRight);
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
  const QModelIndex link = Cell({1}, CallColumn::Related);
  EXPECT_TRUE(link.data(Qt::FontRole).value<QFont>().underline());
  EXPECT_EQ(link.data(Qt::ForegroundRole).value<QColor>(),
            QGuiApplication::palette().color(QPalette::Link));
  EXPECT_FALSE(Cell({3}, CallColumn::Related).data(Qt::FontRole).value<QFont>().underline());

  auto* text = window_->findChild<QLineEdit*>(QStringLiteral("callFilterText"));
  const LinkCase cases[] = {
      {"", {1}, false, {2}},
      {"", {4}, true, {5}},
      // Call 2 is on 10.20.20.33: the field is cleared to show it.
      {"10.1.1.5", {1}, false, {2}},
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
    EXPECT_EQ(Numbers(Pane()->SelectedCalls()), std::vector<std::uint32_t>{test.to.value})
        << test.narrowing << " from " << test.from.value;
    EXPECT_EQ(CurrentCall(), test.to);
    EXPECT_TRUE(InView(Table()->currentIndex()));
    EXPECT_EQ(text->text(), "");
  }
  // Enter elsewhere on a row still shows the call's messages.
  Table()->setCurrentIndex(Cell({3}, CallColumn::Number));
  QTest::keyClick(Table()->viewport(), Qt::Key_Return);
  EXPECT_TRUE(StatusCount().startsWith("5 of 41 messages")) << StatusCount().toStdString();
}

TEST_F(CallsTableTest, ASortKeepsTheSelectedCallsAndTheCurrentOneInView) {
  Open(kLegs);
  window_->resize(1500, 260);  // a few rows in sight
  QTest::qWait(1);
  Click(Cell({3}, CallColumn::Number));
  Table()->selectionModel()->select(Cell({25}, CallColumn::Number),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  // Descending by call number: call 3 goes out of sight unless followed.
  const QHeaderView* header = Table()->header();
  for (const CallColumn column : {CallColumn::Number, CallColumn::Calling}) {
    const int x = header->sectionViewportPosition(static_cast<int>(column)) + 5;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    EXPECT_EQ(Numbers(Pane()->SelectedCalls()), (std::vector<std::uint32_t>{3, 25}));
    EXPECT_EQ(CurrentCall(), CallNumber{3});
    EXPECT_TRUE(InView(Table()->currentIndex()));
  }
  Trigger("isdnShowFlow");
  EXPECT_EQ(window_->findChildren<FlowWindow*>().size(), 1);
}

TEST_F(CallsTableTest, TheRightClickMenuActsOnTheSelectedCalls) {
  Open(WriteTrace("wide.txt", kWideTrace));
  Click(Cell({2}, CallColumn::Number));
  Table()->selectionModel()->select(Cell({1}, CallColumn::Number),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  emit Table()->customContextMenuRequested(
      Table()->visualRect(Cell({2}, CallColumn::Calling)).center());
  auto* menu = window_->findChild<QMenu*>(QStringLiteral("callMenu"));
  QStringList entries;
  for (const QAction* action : menu->actions()) {
    entries << action->text() + (action->isEnabled() ? "" : " (off)");
  }
  menu->close();
  EXPECT_EQ(entries.join('|'),
            "Show &Flow|This &Call|Go to &Related Leg||&Copy||Export Calls to &pcap…|"
            "Save Calls as CS&V…");
  EXPECT_EQ(Numbers(Pane()->SelectedCalls()), (std::vector<std::uint32_t>{1, 2}));

  // The rows as the table shows them, each cell guarded as the calls' CSV guards it.
  Table()->setFocus();
  QTest::keyClick(Table(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(
      QGuiApplication::clipboard()->text(),
      "Call,Start,Duration,Gateway,Protocol,Direction,Calling,Called,Outcome,Cleared by,"
      "Messages,Related,Cause\n"
      "1,01/15/2004 10:00:00.000,2.010,10.1.1.5,PRI,in,12345678901234567890,'=1+2,failed (open),"
      "server,2,2,34 No channel available\n"
      "2,01/15/2004 10:00:00.400,1.600,192.168.200.200,H225,out,12345678901234567890,"
      "'=1+2,failed (open),gateway,2,1,34 No channel available\n");

  window_->findChild<QAction*>(QStringLiteral("callGoToRelated"))->trigger();
  EXPECT_EQ(CurrentCall(), CallNumber{1});
  window_->findChild<QAction*>(QStringLiteral("callShowFlow"))->trigger();
  EXPECT_EQ(window_->findChildren<FlowWindow*>().size(), 1);
  window_->findChild<QAction*>(QStringLiteral("callSaveCalls"))->trigger();
  EXPECT_EQ(dialogs_.lastSaveTitle, "Save Calls as CSV");
  window_->findChild<QAction*>(QStringLiteral("callThisCall"))->trigger();
  EXPECT_TRUE(StatusCount().startsWith("2 of 5 messages")) << StatusCount().toStdString();
}

struct SuffixCase {
  const char* action;
  const char* name;     // as the dialog gives it
  const char* written;  // the file made
};

TEST_F(CallsTableTest, TheSaveDialogsAddTheirSuffix) {
  Open(WriteTrace("wide.txt", kWideTrace));
  const SuffixCase cases[] = {
      {"isdnSaveCalls", "calls", "calls.csv"},
      {"isdnSaveCalls", "calls.txt", "calls.txt"},
      {"isdnExportPcap", "capture", "capture.pcap"},
      {"exportCallsPcap", "legs", "legs.pcap"},
  };
  Table()->selectAll();
  for (const SuffixCase& test : cases) {
    const std::filesystem::path folder = TemporaryPath("suffixes");
    std::filesystem::create_directory(folder);
    dialogs_.saveAnswers.push_back(QString::fromStdString((folder / test.name).string()));
    Trigger(test.action);
    std::vector<std::string> made;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      made.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(made, std::vector<std::string>{test.written}) << test.action << " " << test.name;
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
}  // namespace sigrune
