#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "window/ladder/ladder_export.h"
#include "window/statistics/channel_map.h"
#include "window/statistics/concurrency_chart.h"
#include "window/statistics/statistics_chart.h"
#include "window/statistics/statistics_window.h"
#include "window/statistics/trunk_statistics.h"
#include "window/where_bar.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

// A message `seconds` after 10:00 on 01/15/2004; `gateway` as the log writes it (0501010a for
// 10.1.1.5).
std::string Message(double seconds, bool fromGateway, const char* gateway, int crv,
                    const std::string& octets, bool h225 = false) {
  const int milliseconds = static_cast<int>(seconds * 1000 + 0.5);
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "01/15/2004 10:%02d:%02d.%03d CCP|", milliseconds / 60000,
                milliseconds / 1000 % 60, milliseconds % 1000);
  char header[24];
  std::snprintf(header, sizeof header, "08 02 %02x %02x ", (crv >> 8) | (fromGateway ? 0 : 0x80),
                crv & 0xFF);
  return std::string(stamp) + (fromGateway ? "In " : "Out") + " Message -- " +
         (h225 ? "H225Msg\n" : "PriMsg\n") + stamp + "MMan_Id= 1. (IpAddr=" + gateway +
         " IpPort=2427)\n" + stamp + "IsdnMsgData1= " + header + octets + "\n";
}

// Calls on 10.1.1.5 PRI every two seconds: the first five on channel 1 fail (cause 41), the next
// ten on channel 2 are answered (the sixth and seventh after 10 and 2 s of post-dial delay); one
// H.225 call on 10.1.1.5, and two answered on channel 10 of 10.1.1.10.
std::string KpiTrace() {
  std::string trace;
  const auto call = [&](const char* gateway, int crv, double start, int channel, bool failed,
                        double pdd, bool h225 = false) {
    char setup[32];
    std::snprintf(setup, sizeof setup, "05 18 03 a9 83 %02x", 0x80 | channel);
    trace += Message(start, true, gateway, crv, h225 ? "05" : setup, h225) +
             Message(start + pdd, false, gateway, crv, "01", h225);
    if (failed) {
      trace += Message(start + pdd + 0.5, false, gateway, crv, "5a 08 02 82 a9", h225);
    } else {
      trace += Message(start + pdd + 0.5, false, gateway, crv, "07", h225) +
               Message(start + pdd + 10, true, gateway, crv, "5a 08 02 82 90", h225);
    }
  };
  for (int k = 0; k < 15; ++k) {
    call("0501010a", k + 1, 2 * k, k < 5 ? 1 : 2, k < 5, k == 5 ? 10 : k == 6 ? 2 : 0.5);
  }
  call("0501010a", 100, 5, 0, false, 1, true);
  call("0a01010a", 1, 70, 10, false, 0.5);
  call("0a01010a", 2, 72, 10, false, 0.5);
  return trace;
}

class KpiTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window_->show();  // the calls table shows what changed once it is in sight
    OpenThroughMenu(WriteTrace("kpi.txt", KpiTrace()));
    Trigger("isdnShowStatistics");
    statistics_ = window_->findChild<StatisticsWindow*>();
    ASSERT_NE(statistics_, nullptr);
    trunks_ = statistics_->findChild<TrunkStatistics*>();
    statistics_->findChild<QTabWidget*>(QStringLiteral("statisticsTabs"))
        ->setCurrentWidget(trunks_);
  }
  QTreeView* Kpis() const {
    return statistics_->findChild<QTreeView*>(QStringLiteral("statisticsKpis"));
  }
  QString Column(const QTreeView* table, int column) const {
    QStringList texts;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
      texts << table->model()->index(row, column).data().toString();
    }
    return texts.join(QLatin1String(", "));
  }
  QString BarText() const { return window_->findChild<WhereBar*>()->Text(); }
  QString CallCount() const {
    return window_->findChild<QLabel*>(QStringLiteral("callCount"))->text();
  }
  bool CallsTabShown() const {
    return window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->currentWidget() ==
           window_->findChild<QWidget*>(QStringLiteral("callsTab"));
  }

  StatisticsWindow* statistics_ = nullptr;
  TrunkStatistics* trunks_ = nullptr;
};

// In the core's order at first, then by numbers as numbers (15 after 2 as texts), the `all` row
// last whichever way.
TEST_F(KpiTest, TheKpiTableSortsByNumbersAndKeepsTheAllRowLast) {
  EXPECT_EQ(Column(Kpis(), 0), "10.1.1.10, 10.1.1.5, 10.1.1.5, all");
  EXPECT_EQ(Column(Kpis(), 2), "2, 1, 15, 18");
  EXPECT_EQ(Column(Kpis(), 10), "100.0, 100.0, 66.7, 72.2");    // ASR
  EXPECT_EQ(Column(Kpis(), 13), "0.500, 1.000, 0.500, 0.500");  // PDD median
  const struct {
    int column;
    Qt::SortOrder order;
    const char* gateways;
  } sorts[] = {
      {0, Qt::AscendingOrder, "10.1.1.5, 10.1.1.5, 10.1.1.10, all"},
      {2, Qt::DescendingOrder, "10.1.1.5, 10.1.1.10, 10.1.1.5, all"},
      {2, Qt::AscendingOrder, "10.1.1.5, 10.1.1.10, 10.1.1.5, all"},
      {14, Qt::DescendingOrder, "10.1.1.5, 10.1.1.5, 10.1.1.10, all"},  // 10.000 over 1.000
  };
  for (const auto& [column, order, gateways] : sorts) {
    Kpis()->header()->setSortIndicator(column, order);
    EXPECT_EQ(Column(Kpis(), 0), gateways) << column;
  }
  EXPECT_EQ(Column(Kpis(), 1), "PRI, H225, PRI, ");
}

// A row or a channel replaces the filter bar's text with the terms that keep its calls, and the
// Calls tab lists them; the statistics then count those calls alone; `all` clears the bar.
TEST_F(KpiTest, ARowOrAChannelSetsTheFilterBarAndShowsTheCallsTab) {
  const auto clickRow = [&](int row) {
    QTest::mouseClick(Kpis()->viewport(), Qt::LeftButton, {},
                      Kpis()->visualRect(Kpis()->model()->index(row, 0)).center());
    Settle();
  };
  clickRow(2);
  EXPECT_EQ(BarText(), "gw:10.1.1.5 proto:pri");
  EXPECT_TRUE(CallsTabShown());
  EXPECT_EQ(CallCount(), "15 of 18 calls, 5 failed");
  EXPECT_EQ(Column(Kpis(), 0), "10.1.1.5, all");
  clickRow(1);
  EXPECT_EQ(BarText(), "");
  EXPECT_EQ(CallCount(), "18 calls, 5 failed");

  const ChannelMap& map = trunks_->Map();
  ASSERT_EQ(map.Rows().size(), 3u);
  auto* view = statistics_->findChild<QWidget*>(QStringLiteral("channelMap"));
  QTest::mouseClick(view, Qt::LeftButton, {}, map.CellRect(map.Rows()[2]).center());
  Settle();
  EXPECT_EQ(BarText(), "gw:10.1.1.5 channel:2");
  EXPECT_EQ(CallCount(), "10 of 18 calls, none failed");
}

// The suspect is marked by a text, not by its colour alone; the tooltip has the `channels`
// figures.
TEST_F(KpiTest, TheChannelMapMarksTheSuspectAndNamesItsFigures) {
  const ChannelMap& map = trunks_->Map();
  EXPECT_EQ(map.Gateways(), 2);
  QStringList cells;
  for (const ChannelRow& row : map.Rows()) {
    cells << ChannelMap::CellText(row);
  }
  EXPECT_EQ(cells.join(QLatin1Char(' ')), "0 100! 0");
  EXPECT_NE(ChannelMap::ShareFill(map.Rows()[1]), ChannelMap::ShareFill(map.Rows()[0]));
  EXPECT_EQ(map.ToolTip(map.Rows()[1]),
            "10.1.1.5, channel 1\nCalls: 5\nAnswered: 0\nFailed: 5\nOther: 0\nFailure share: "
            "100.0 %\nTop cause: 41 Temporary failure\nSuspect: 5 failed calls or more, at 3 "
            "times the gateway's share or more");
  EXPECT_EQ(map.CellAt(map.CellRect(map.Rows()[0]).center()), &map.Rows()[0]);
  EXPECT_EQ(map.CellAt(QPoint(0, 0)), nullptr);

  // Every gateway's name in the text's colour, not in the dotted boxes' muted one.
  QImage image(map.Size(), QImage::Format_RGB32);
  QPainter painter(&image);
  map.Paint(painter, PaperChartColours(), map.Size());
  painter.end();
  for (const std::size_t row : {0u, 1u}) {
    const QRect cell = map.CellRect(map.Rows()[row]);
    int darkest = 255;
    for (int x = 0; x < map.CellRect(map.Rows()[1]).left(); ++x) {
      for (int y = cell.top(); y < cell.bottom(); ++y) {
        darkest = std::min(darkest, qGray(image.pixel(x, y)));
      }
    }
    EXPECT_LT(darkest, 0x40) << row;
  }
}

// The most calls at once agrees with the table's peak; the busiest minute is named.
TEST_F(KpiTest, TheConcurrencyChartHasALinePerGatewayAndNamesItsPeak) {
  const ConcurrencyChart& chart = trunks_->Concurrency();
  ASSERT_EQ(chart.Counts().series.size(), 3u);
  EXPECT_EQ(chart.Bars(), 2u);
  EXPECT_EQ(QString::number(chart.Counts().series[2].peak), Kpis()->model()->index(2, 16).data());
  EXPECT_EQ(chart.PeakText(2), "10.1.1.5 PRI: 8 at 10:00");
  EXPECT_EQ(chart.BarToolTip(1),
            "2004-01-15 10:01\n10.1.1.10 PRI: 2 at once\n10.1.1.5 H225: 0 at once\n10.1.1.5 PRI: "
            "0 at once");
}

// Each picture as PNG and SVG, titled with what it shows under the trace's own title.
TEST_F(KpiTest, TheChartAndTheMapExportAsPngAndSvg) {
  const std::string folder = TemporaryPath("kpi-export");
  std::filesystem::create_directories(folder);
  const struct {
    const char* prefix;
    QSize size;
    const char* what;
    const char* text;
  } pictures[] = {
      {"concurrency", trunks_->Concurrency().FileSize(), "Calls in progress at once",
       "10.1.1.5 PRI: 8 at 10:00"},
      {"channelMap", trunks_->Map().Size(), "Channel map", "100!"},
  };
  for (const auto& [prefix, size, what, text] : pictures) {
    const std::string base = folder + "/" + prefix;
    for (const char* format : {"PNG", "SVG"}) {
      dialogs_.saveAnswers.push_back(QString::fromStdString(base));
      statistics_->findChild<QPushButton*>(QLatin1String(prefix) + QLatin1String(format))->click();
    }
    const QString title =
        QLatin1String(what) + QStringLiteral(
                                  " \u00b7 kpi.txt \u00b7 no filter \u00b7 2004-01-15 "
                                  "10:00:00 to 10:01:12");
    EXPECT_EQ(QImage(QString::fromStdString(base + ".png")).size(),
              size + QSize(0, TitleBandHeight(title, size.width())))
        << prefix;
    const QStringList texts = SvgTexts(base + ".svg");
    EXPECT_TRUE(texts.contains(title)) << prefix;
    EXPECT_TRUE(texts.contains(QLatin1String(text))) << prefix;
  }
  EXPECT_TRUE(dialogs_.messages.empty());
  std::filesystem::remove_all(folder);
}

TEST_F(KpiTest, EachAdditionSaysSoWhenTheTraceHasNoCalls) {
  OpenThroughMenu(WriteTrace("service.txt", "IsdnMsgData=03 02 00 00 0f\n"));
  auto* empty = statistics_->findChild<QLabel*>(QStringLiteral("kpisEmpty"));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(qobject_cast<QStackedWidget*>(empty->parentWidget())->currentWidget(), empty);
  EXPECT_EQ(empty->text(), "No calls in this trace");
  EXPECT_EQ(trunks_->Concurrency().EmptyText(), "No calls in this trace");
  EXPECT_EQ(trunks_->Map().EmptyText(), "No calls in this trace");
}

// Channel and PDD: the B-channel and the post-dial delay, sorted as numbers (10 after 2).
TEST_F(KpiTest, TheCallsTableShowsChannelAndPddSortedAsNumbers) {
  auto* calls = window_->findChild<QTreeView*>(QStringLiteral("callList"));
  const QAbstractItemModel* model = calls->model();
  EXPECT_EQ(model->headerData(12, Qt::Horizontal).toString(), "Channel");
  EXPECT_EQ(model->headerData(13, Qt::Horizontal).toString(), "PDD");
  const auto top = [&](int column) {
    QStringList texts;
    for (int row = 0; row < 3; ++row) {
      texts << model->index(row, column).data().toString();
    }
    return texts.join(QLatin1String(", "));
  };
  const struct {
    int column;
    Qt::SortOrder order;
    const char* cells;
  } sorts[] = {
      {12, Qt::DescendingOrder, "10, 10, 2"},
      {12, Qt::AscendingOrder, ", 1, 1"},  // the H.225 call has no channel
      {13, Qt::DescendingOrder, "10.000, 2.000, 1.000"},
  };
  for (const auto& [column, order, cells] : sorts) {
    calls->header()->setSortIndicator(column, order);
    EXPECT_EQ(top(column), cells) << column;
  }
  // Sized to what the calls hold, as the other columns are: no wider for the PDD than its text.
  const QFontMetrics metrics(calls->font());
  EXPECT_GE(calls->header()->sectionSize(13), metrics.horizontalAdvance(QStringLiteral("10.000")));
  EXPECT_LT(calls->header()->sectionSize(13),
            metrics.horizontalAdvance(QStringLiteral("10.000")) * 4);
}

}  // namespace
}  // namespace sigrune
