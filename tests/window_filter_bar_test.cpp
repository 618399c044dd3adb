// The filter bar over the tabs: it drives the calls table, the statistics and the status bar,
// shows the menu filter that is on and why an expression was not applied.

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "window/follow_controller.h"
#include "window/statistics/statistics_window.h"
#include "window/where_bar.h"
#include "window/window_settings.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

// calls-trace.txt: eight calls, 2 and 7 failed; calls 1 and 2 begin before 10:43.
class FilterBarTest : public WindowTest {
 protected:
  WhereBar* Bar() const { return window_->findChild<WhereBar*>(); }
  void Type(const QString& keys) {
    QTest::keyClicks(Bar()->lineEdit(), keys);
    Settle();
  }
  void Key(Qt::Key key) {
    QTest::keyClick(Bar()->lineEdit(), key);
    Settle();
  }
  template <typename T>
  T* Child(const char* name) const {
    return window_->findChild<T*>(QLatin1String(name));
  }
  QString CallCount() const { return Child<QLabel>("callCount")->text(); }
  QString ShownCalls() const {
    const QAbstractItemModel* calls = Child<QTreeView>("callList")->model();
    QStringList numbers;
    for (int row = 0; row < calls->rowCount(); ++row) {
      numbers << calls->index(row, 0).data().toString();
    }
    return numbers.join(QLatin1Char(' '));
  }
};

TEST_F(FilterBarTest, TheExpressionChoosesTheCallsTheirStatisticsAndShowsInTheStatusBar) {
  window_->show();  // the table takes the calls when in sight
  OpenThroughMenu(kExamples + "calls-trace.txt");
  window_->findChild<QTabWidget*>()->setCurrentIndex(1);
  EXPECT_TRUE(Bar()->isVisibleTo(window_.get()));
  Type(QStringLiteral("to:10:43"));
  EXPECT_EQ(ShownCalls(), "1 2");
  EXPECT_EQ(CallCount(), "2 of 8 calls, 1 failed");
  EXPECT_TRUE(StatusCount().endsWith(QString::fromUtf8(" \u00b7 to:10:43")))
      << StatusCount().toStdString();
  Trigger("isdnShowStatistics");
  const StatisticsWindow* statistics = window_->findChild<StatisticsWindow*>();
  ASSERT_NE(statistics, nullptr);
  EXPECT_EQ(statistics->Statistics().calls, 2u);

  // The menu filter narrows the messages only; the tab's own choices narrow the calls further.
  Trigger("isdnFilterH225");
  EXPECT_EQ(ShownCalls(), "1 2");
  auto* text = Child<QLineEdit>("callFilterText");
  auto* outcome = Child<QComboBox>("callOutcome");
  text->setText("2145550100");
  outcome->setCurrentText("Failed");
  EXPECT_EQ(CallCount(), "1 of 8 calls, 1 failed");
  Trigger("isdnReload");
  EXPECT_EQ(ShownCalls(), "2");
  OpenThroughMenu(kExamples + "calls-trace.txt");
  EXPECT_EQ(text->text(), "");
  EXPECT_EQ(outcome->currentText(), "All calls");
  EXPECT_EQ(ShownCalls(), "1 2");
  EXPECT_EQ(statistics->Statistics().calls, 2u);

  // The count says how many of the calls shown failed.
  Key(Qt::Key_Escape);
  EXPECT_EQ(statistics->Statistics().calls, 8u);
  text->setText("172.16");
  EXPECT_EQ(ShownCalls(), "4 7");
  EXPECT_EQ(CallCount(), "2 of 8 calls, 1 failed");
}

TEST_F(FilterBarTest, TheMenuFilterShowsAsALabelThatItsCrossOrEscSwitchesOff) {
  OpenThroughMenu(kExamples + "calls-trace.txt");
  auto* label = Child<QWidget>("menuFilter");
  EXPECT_FALSE(label->isVisibleTo(window_.get()));
  Trigger("isdnFilterPRI");
  EXPECT_TRUE(label->isVisibleTo(window_.get()));
  EXPECT_EQ(Child<QLabel>("menuFilterText")->text(), "PRI only");
  Child<QToolButton>("clearMenuFilter")->click();
  Settle();
  EXPECT_FALSE(Action("isdnFilterPRI")->isChecked());
  EXPECT_FALSE(label->isVisibleTo(window_.get()));

  // Esc empties the bar first, then switches This Call off.
  SelectRow(7);
  Trigger("isdnFilterCall");
  EXPECT_EQ(Child<QLabel>("menuFilterText")->text(), "call 2");
  Type(QStringLiteral("type:setup"));
  Key(Qt::Key_Escape);
  EXPECT_TRUE(Action("isdnFilterCall")->isChecked());
  EXPECT_TRUE(StatusCount().startsWith("5 of 40 messages")) << StatusCount().toStdString();
  Key(Qt::Key_Escape);
  EXPECT_FALSE(Action("isdnFilterCall")->isChecked());
  EXPECT_TRUE(StatusCount().startsWith("40 messages")) << StatusCount().toStdString();
}

TEST_F(FilterBarTest, ABadExpressionSaysWhyUnderTheBar) {
  OpenThroughMenu(kExamples + "calls-trace.txt");
  const auto* why = Child<QLabel>("whereError");
  Type(QStringLiteral("tpye:setup"));
  EXPECT_TRUE(why->isVisibleTo(window_.get()));
  EXPECT_EQ(why->text(), "Not applied: \"tpye:setup\": unknown field \"tpye\"");
  Bar()->lineEdit()->setSelection(0, 4);
  Type(QStringLiteral("type"));
  EXPECT_FALSE(why->isVisibleTo(window_.get()));
  EXPECT_TRUE(StatusCount().startsWith("8 of 40 messages")) << StatusCount().toStdString();
}

// A SETUP at 10:50:SECOND of call reference `reference`.
std::string SetupAt(int second, int reference) {
  char text[256];
  std::snprintf(text, sizeof text,
                "01/15/2004 10:50:%02d.000 CCP|In  Message -- PriSetupMsg\n"
                "01/15/2004 10:50:%02d.000 CCP|MMan_Id= 1. (IpAddr=0501a8c0 IpPort=2427)\n"
                "01/15/2004 10:50:%02d.000 CCP|IsdnMsgData= 08 02 %02x %02x 05\n",
                second, second, second, reference / 256, reference % 256);
  return text;
}

// Saved widths wider than the window: the list scrolls sideways, and still follows new messages.
// The bar's calls take those of the new messages it keeps.
TEST_F(FilterBarTest, AFollowedListAtItsBottomStaysThereAndTheBarsCallsGrow) {
  SaveColumnWidths({200, 200, 200, 200, 200, 200, 200, 200});
  window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  window_->findChild<FollowController*>()->SetMissingPathWait(std::chrono::milliseconds(0));
  window_->show();
  const QString trace = WriteTrace("growing.txt", "");
  const auto append = [&](int second, int reference) {
    std::ofstream(trace.toStdString(), std::ios::app) << SetupAt(second, reference);
  };
  for (int call = 1; call <= 40; ++call) {
    append(call, call);
  }
  ASSERT_TRUE(window_->OpenTraceFiles({trace}, true));
  Settle();
  Type(QStringLiteral("from:10:50:21"));
  window_->findChild<QTabWidget*>()->setCurrentIndex(1);
  EXPECT_EQ(CallCount(), "20 of 40 calls, none failed");
  window_->findChild<QTabWidget*>()->setCurrentIndex(0);
  List()->scrollToBottom();
  List()->horizontalScrollBar()->setValue(List()->horizontalScrollBar()->maximum());
  const QScrollBar* scroll = List()->verticalScrollBar();
  for (int more = 1; more <= 20; ++more) {
    append(45, 1000 + more);
    ASSERT_TRUE(WaitUntil([&] { return List()->model()->rowCount() == 20 + more; },
                          [] { QTest::qWait(5); }, "the appended message"));
    EXPECT_EQ(scroll->value(), scroll->maximum()) << more;
  }
  window_->findChild<QTabWidget*>()->setCurrentIndex(1);
  EXPECT_EQ(CallCount(), "40 of 60 calls, none failed");
}

// Columns that fit until the rows need a vertical scroll bar: the horizontal one that then comes
// takes a row's height after the list was scrolled to its bottom.
TEST_F(FilterBarTest, AFollowedListStaysAtItsBottomWhenAHorizontalScrollBarComes) {
  window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  window_->show();
  const QString trace = WriteTrace("narrow.txt", SetupAt(1, 1));
  ASSERT_TRUE(window_->OpenTraceFiles({trace}, true));
  Settle();
  QHeaderView* header = List()->header();
  const int scrollBar = List()->verticalScrollBar()->sizeHint().width();
  const int last = header->count() - 1;
  const int others = header->sectionPosition(last);
  header->resizeSection(0, header->sectionSize(0) + List()->viewport()->width() - others -
                               header->minimumSectionSize() - scrollBar / 2);
  const QScrollBar* scroll = List()->verticalScrollBar();
  for (int call = 2; call <= 60; call += 6) {
    for (int k = 0; k < 6; ++k) {
      std::ofstream(trace.toStdString(), std::ios::app) << SetupAt(call + k, call + k);
    }
    ASSERT_TRUE(WaitUntil([&] { return List()->model()->rowCount() == call + 5; },
                          [] { QTest::qWait(5); }, "the appended messages"));
    Settle();
    ASSERT_EQ(scroll->value(), scroll->maximum()) << call;
  }
  EXPECT_TRUE(List()->horizontalScrollBar()->isVisible())
      << header->length() << " " << List()->viewport()->width() << " " << others << " "
      << header->sectionPosition(last) << " " << scrollBar << " " << scroll->isVisible();
}

// The Call column, last while one file is read, stretches with the window; that width is not the
// user's, and kept it would push the File column out of sight.
TEST_F(FilterBarTest, TheFileColumnOfSeveralFilesShowsInAFreshWindow) {
  window_->show();
  Settle();
  OpenThroughMenu(QStringList{kPlain, kExamples + "calls-trace.txt"});
  const QHeaderView* header = List()->header();
  EXPECT_LE(header->sectionViewportPosition(MessageListModel::File) +
                header->sectionSize(MessageListModel::File),
            List()->viewport()->width());
}

}  // namespace
}  // namespace sigrune
