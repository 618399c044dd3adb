#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QXmlStreamReader>
#include <filesystem>

#include "window/statistics/statistics_chart.h"
#include "window/statistics/statistics_window.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

// From the first minute to the last, a bar of one minute while they are 1,440 at most, else of
// ten minutes, an hour, a day or more.
TEST(StatisticsChart, GroupsTheMinutesWhenTheyAreTooManyForBars) {
  const std::tuple<std::int64_t, std::int64_t, std::int64_t, std::size_t> cases[] = {
      {600, 600, 1, 1},
      {600, 600 + 1439, 1, 1440},
      {600, 600 + 1440, 10, 145},
      {605, 605 + 14'399, 60, 241},  // 1,441 bars of ten minutes, for starting within one
      {600, 600 + 14'400, 60, 241},
      {0, 1440 * 60 - 1, 60, 1440},
      {0, 1440 * 60, 1440, 61},
      {-1440, 1440 * 1440 * 3, 1440 * 4, 1082},
  };
  for (const auto& [first, last, barMinutes, bars] : cases) {
    CallStatistics statistics;
    statistics.calls = 2;
    statistics.minutes = {{first, {}}, {last, {}}};
    statistics.minutes[0].outcomes[CallOutcome::Failed] = 1;
    statistics.minutes[1].outcomes[CallOutcome::Answered] = 1;
    const StatisticsChart chart(statistics, QFont());
    EXPECT_EQ(chart.BarMinutes(), barMinutes) << first << " to " << last;
    ASSERT_EQ(chart.Bars(), bars) << first << " to " << last;
    EXPECT_EQ(chart.BarCounts(0)[CallOutcome::Failed], 1u);
    EXPECT_EQ(chart.BarCounts(bars - 1)[CallOutcome::Answered], 1u);
  }
}

QStringList SvgTexts(const std::string& path) {
  QXmlStreamReader svg(QByteArray::fromStdString(ReadFile(path)));
  QStringList texts;
  while (!svg.atEnd()) {
    if (svg.readNext() == QXmlStreamReader::StartElement && svg.name() == QLatin1String("text")) {
      texts << svg.readElementText();
    }
  }
  return texts;
}

class StatisticsTest : public WindowTest {
 protected:
  StatisticsWindow* ShowStatistics() {
    Trigger("isdnShowStatistics");
    return window_->findChild<StatisticsWindow*>();
  }
  QTreeView* Calls() const { return window_->findChild<QTreeView*>(QStringLiteral("callList")); }
  QString CallsShown() const {
    return window_->findChild<QLabel*>(QStringLiteral("callCount"))->text() + " / " +
           window_->findChild<QLabel*>(QStringLiteral("callGroup"))->text();
  }
};

// The trace of `sigrune-cli stats`'s test: twenty calls from 23:58 to 00:03, two with no time.
TEST_F(StatisticsTest, BarsAndRowsChooseTheCallsOfTheCallsTable) {
  const QString trace = QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/call-statistics.txt");
  OpenThroughMenu(trace);
  StatisticsWindow* statistics = ShowStatistics();
  ASSERT_NE(statistics, nullptr);
  EXPECT_EQ(statistics->findChild<QLabel*>(QStringLiteral("statisticsHeading"))->text(),
            "20 calls, 6 failed, 2 with no time; a bar is a minute");
  const StatisticsChart& chart = statistics->Chart();
  ASSERT_EQ(chart.Bars(), 6u);
  auto* gateways = statistics->findChild<QTreeView*>(QStringLiteral("statisticsGateways"));
  ASSERT_EQ(gateways->model()->rowCount(), 5);
  EXPECT_EQ(gateways->model()->index(2, 4).data(), "3 (42.9 %)");
  EXPECT_EQ(gateways->model()->index(3, 10).data(), "34 No channel available");

  auto* view = statistics->findChild<QWidget*>(QStringLiteral("statisticsChart"));
  const auto clickBar = [&](std::size_t bar) {
    QTest::mouseClick(view, Qt::LeftButton, {},
                      chart.BarRect(bar, view->size()).center().toPoint());
  };
  const auto clickRow = [&](const char* table, int row) {
    auto* tree = statistics->findChild<QTreeView*>(QLatin1String(table));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualRect(tree->model()->index(row, 0)).center());
  };
  clickBar(1);  // 23:59 has no call
  EXPECT_EQ(CallsShown(), "20 calls, 6 failed / ");
  clickBar(2);
  EXPECT_EQ(CallsShown(), "6 of 20 calls, 6 failed / Calls of 2004-01-16 00:00");
  EXPECT_EQ(window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->currentWidget(),
            window_->findChild<QWidget*>(QStringLiteral("callsTab")));
  clickRow("statisticsGateways", 3);
  EXPECT_EQ(CallsShown(), "5 of 20 calls, 6 failed / Calls of 10.1.1.6 PRI");
  EXPECT_EQ(Calls()->model()->index(0, 0).data(), "2");
  clickRow("statisticsCauses", 0);
  EXPECT_EQ(CallsShown(), "5 of 20 calls, 6 failed / Calls with cause 16 Normal call clearing");
  window_->findChild<QToolButton*>(QStringLiteral("clearCallGroup"))->click();
  EXPECT_EQ(Calls()->model()->rowCount(), 20);

  const std::string folder = TemporaryPath("statistics");
  std::filesystem::create_directories(folder);
  for (const auto& [button, path] :
       {std::pair{"exportSvg", folder + "/chart"}, std::pair{"exportPng", folder + "/chart.png"},
        std::pair{"exportPng", trace.toStdString()}}) {
    dialogs_.saveAnswers.push_back(QString::fromStdString(path));
    statistics->findChild<QPushButton*>(QLatin1String(button))->click();
  }
  const QStringList texts = SvgTexts(folder + "/chart.svg");
  for (const char* text : {"answered", "no answer", "00:00", "2004-01-16",
                           "2004-01-15 23:58 to 2004-01-16 00:03, and 2 calls with no time"}) {
    EXPECT_TRUE(texts.contains(QLatin1String(text))) << text;
  }
  EXPECT_EQ(QImage(QString::fromStdString(folder + "/chart.png")).size(), chart.FileSize());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, "cannot write " + trace + ": it is the open trace");
  std::filesystem::remove_all(folder);

  // Another trace is counted in the same window.
  OpenThroughMenu(WriteTrace("service.txt", "IsdnMsgData=03 02 00 00 0f\n"));
  EXPECT_EQ(statistics->Chart().Bars(), 0u);
  EXPECT_EQ(statistics->findChild<QLabel*>(QStringLiteral("statisticsHeading"))->text(),
            "No calls in this trace");
  EXPECT_EQ(ShowStatistics(), statistics);
}

}  // namespace
}  // namespace sigrune
