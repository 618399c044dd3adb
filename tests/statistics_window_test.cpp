#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

#include "window/calls/outcome_colours.h"
#include "window/ladder/ladder_export.h"
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
  EXPECT_EQ(CallsShown(), "6 of 20 calls, 4 failed / Calls of 2004-01-16 00:00");
  EXPECT_EQ(window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->currentWidget(),
            window_->findChild<QWidget*>(QStringLiteral("callsTab")));
  clickRow("statisticsGateways", 3);
  EXPECT_EQ(CallsShown(), "5 of 20 calls, 2 failed / Calls of 10.1.1.6 PRI");
  EXPECT_EQ(Calls()->model()->index(0, 0).data(), "2");
  clickRow("statisticsCauses", 3);
  EXPECT_EQ(CallsShown(),
            "2 of 20 calls, none failed / Calls not answered with cause 16 Normal call clearing");
  window_->findChild<QToolButton*>(QStringLiteral("clearCallGroup"))->click();
  EXPECT_EQ(Calls()->model()->rowCount(), 20);

  Trigger("isdnFilterPRI");
  const std::string folder = TemporaryPath("statistics");
  std::filesystem::create_directories(folder);
  for (const auto& [button, path] :
       {std::pair{"exportSvg", folder + "/chart"}, std::pair{"exportPng", folder + "/chart.png"},
        std::pair{"exportPng", trace.toStdString()}}) {
    dialogs_.saveAnswers.push_back(QString::fromStdString(path));
    statistics->findChild<QPushButton*>(QLatin1String(button))->click();
  }
  // The picture says what it shows: the trace, the filter, the span of the counted calls.
  const QString title = QStringLiteral(
      "call-statistics.txt \u00b7 filter: PRI only \u00b7 2004-01-15 23:58:10 to 2004-01-16 "
      "00:03:00");
  const QStringList texts = SvgTexts(folder + "/chart.svg");
  for (const QString& text : {QStringLiteral("answered"), QStringLiteral("no answer"),
                              QStringLiteral("00:00"), QStringLiteral("2004-01-16"),
                              QStringLiteral("2004-01-15 23:58 to 2004-01-16 00:03, and 2 calls "
                                             "with no time"),
                              title}) {
    EXPECT_TRUE(texts.contains(text)) << text.toStdString();
  }
  EXPECT_EQ(QImage(QString::fromStdString(folder + "/chart.png")).size(),
            chart.FileSize() + QSize(0, TitleBandHeight(title, chart.FileSize().width())));
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

// Addresses by their numbers, shares as numbers (as texts, 28.6 % would lead 100.0 %); the causes
// of the calls not answered, those of every call at a switch. A row chosen is the one shown.
TEST_F(StatisticsTest, TheTablesSortByAnyColumnAndTheCausesLeaveOutAnsweredCalls) {
  OpenThroughMenu(QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/call-statistics.txt"));
  StatisticsWindow* statistics = ShowStatistics();
  auto* gateways = statistics->findChild<QTreeView*>(QStringLiteral("statisticsGateways"));
  auto* causes = statistics->findChild<QTreeView*>(QStringLiteral("statisticsCauses"));
  const auto column = [](const QTreeView* table, int shown) {
    QStringList texts;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
      texts << table->model()->index(row, shown).data().toString();
    }
    return texts.join(QLatin1String(", "));
  };
  // As `stats` lists them until a heading is clicked; the addresses then sort by their numbers.
  EXPECT_EQ(column(gateways, 0), "10.1.1.10, 10.1.1.5, 10.1.1.5, 10.1.1.6, 10.20.20.33");
  gateways->header()->setSortIndicator(0, Qt::AscendingOrder);
  EXPECT_EQ(column(gateways, 0), "10.1.1.5, 10.1.1.5, 10.1.1.6, 10.1.1.10, 10.20.20.33");
  gateways->header()->setSortIndicator(3, Qt::DescendingOrder);
  EXPECT_EQ(column(gateways, 3), "2 (100.0 %), 2 (28.6 %), 0 (0.0 %), 0 (0.0 %), 0 (0.0 %)");
  emit gateways->activated(gateways->model()->index(0, 0));
  EXPECT_EQ(CallsShown(), "2 of 20 calls, none failed / Calls of 10.1.1.5 H225");

  EXPECT_EQ(column(causes, 0), "17, 34, 41, 16, 18, 21");
  EXPECT_EQ(column(causes, 2), "23.1 %, 23.1 %, 23.1 %, 15.4 %, 7.7 %, 7.7 %");
  statistics->findChild<QCheckBox*>(QStringLiteral("causesWithAnswered"))->setChecked(true);
  EXPECT_EQ(column(causes, 0), "16, 17, 34, 41, 18, 21");
  EXPECT_EQ(column(causes, 2), "31.3 %, 18.8 %, 18.8 %, 18.8 %, 6.3 %, 6.3 %");
  causes->header()->setSortIndicator(0, Qt::AscendingOrder);
  EXPECT_EQ(column(causes, 0), "16, 17, 18, 21, 34, 41");
  emit causes->activated(causes->model()->index(2, 0));
  EXPECT_EQ(CallsShown(), "1 of 20 calls, none failed / Calls with cause 18 No user responding");
}

// CIELAB of a colour as read with common vision, or with the red-green dichromacies simulated
// (Machado, Oliveira and Fernandes, 2009, severity 1, on linear RGB).
enum class Vision { Common, Deuteranopia, Protanopia };
std::array<double, 3> Lab(const QColor& colour, Vision vision) {
  const auto linear = [](double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  std::array<double, 3> rgb{linear(colour.redF()), linear(colour.greenF()), linear(colour.blueF())};
  constexpr double kDichromacies[2][3][3] = {{{0.367322, 0.860646, -0.227968},
                                              {0.280085, 0.672501, 0.047413},
                                              {-0.01182, 0.04294, 0.968881}},
                                             {{0.152286, 1.052583, -0.204868},
                                              {0.114503, 0.786281, 0.099216},
                                              {-0.003882, -0.048116, 1.051998}}};
  if (vision != Vision::Common) {
    const auto& m = kDichromacies[vision == Vision::Deuteranopia ? 0 : 1];
    const std::array<double, 3> seen = rgb;
    for (int i = 0; i < 3; ++i) {
      rgb[i] = std::clamp(m[i][0] * seen[0] + m[i][1] * seen[1] + m[i][2] * seen[2], 0.0, 1.0);
    }
  }
  const double x = (0.4124 * rgb[0] + 0.3576 * rgb[1] + 0.1805 * rgb[2]) / 0.95047;
  const double y = 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
  const double z = (0.0193 * rgb[0] + 0.1192 * rgb[1] + 0.9505 * rgb[2]) / 1.08883;
  const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; };
  return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

double Distance(const QColor& a, const QColor& b, Vision vision) {
  const auto p = Lab(a, vision);
  const auto q = Lab(b, vision);
  return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

// The seven fills stay apart by a clear margin for each vision, on light and dark bases and on
// paper, and stand off their base; the table's texts read on it.
TEST(OutcomeColours, TheSevenDifferForEveryVisionAndReadOnLightAndDarkBases) {
  constexpr double kApart = 15;  // CIE 1976 units; 2.3 is the least a reader notices
  for (const QColor base : {QColor(Qt::white), QColor(0xef, 0xef, 0xef), QColor(0x2b, 0x2b, 0x2b),
                            QColor(0x12, 0x12, 0x12)}) {
    QPalette palette;
    palette.setColor(QPalette::Base, base);
    for (const CallOutcome a : kCallOutcomes) {
      const QColor text = OutcomeTextColour(a, palette);
      EXPECT_GE(ContrastRatio(text, base), 4.5)
          << base.name().toStdString() << " " << OutcomeText(a);
      EXPECT_GE(Distance(OutcomeFill(a, palette), base, Vision::Common), kApart) << OutcomeText(a);
      for (const CallOutcome b : kCallOutcomes) {
        if (a >= b) {
          continue;
        }
        const std::string pair = base.name().toStdString() + " " + std::string(OutcomeText(a)) +
                                 "/" + std::string(OutcomeText(b));
        EXPECT_GE(Distance(text, OutcomeTextColour(b, palette), Vision::Common), kApart) << pair;
        for (const Vision vision : {Vision::Common, Vision::Deuteranopia, Vision::Protanopia}) {
          EXPECT_GE(Distance(OutcomeFill(a, palette), OutcomeFill(b, palette), vision), kApart)
              << pair;
          EXPECT_GE(Distance(OutcomeFillOnPaper(a), OutcomeFillOnPaper(b), vision), kApart) << pair;
        }
      }
    }
  }
}

}  // namespace
}  // namespace sigrune
