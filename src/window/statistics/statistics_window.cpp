#include "window/statistics/statistics_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "util/text_utilities.h"
#include "window/calls/outcome_colours.h"
#include "window/statistics/statistics_chart.h"
#include "window/statistics/statistics_tables.h"
#include "window/statistics/trunk_statistics.h"
#include "window/table_text.h"
#include "window/trace_names.h"

namespace sigrune {

// The chart at its own width, the bar under the mouse named in a tool tip.
class ChartView : public QWidget {
 public:
  std::function<void(std::size_t bar)> barClicked;

  void Show(const StatisticsChart* chart) {
    chart_ = chart;
    chosen_.reset();
    if (chart != nullptr) {
      setMinimumWidth(chart->MinimumWidth());
    }
    update();
  }
  void Choose(std::optional<std::size_t> bar) {
    chosen_ = bar;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (chart_ != nullptr) {
      QPainter painter(this);
      chart_->Paint(painter, ScreenChartColours(palette()), size(), chosen_);
    }
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (chart_ == nullptr || event->button() != Qt::LeftButton) {
      return;
    }
    if (const std::optional<std::size_t> bar = chart_->BarAt(event->position().toPoint(), size());
        bar && barClicked) {
      barClicked(*bar);
    }
  }
  bool event(QEvent* event) override {
    if (event->type() != QEvent::ToolTip || chart_ == nullptr) {
      return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<std::size_t> bar = chart_->BarAt(help->pos(), size());
    if (!bar) {
      QToolTip::hideText();
      return true;
    }
    QStringList lines{
        chart_->BarText(*bar) + QLatin1String(": ") +
        QString::fromStdString(CountOf(chart_->BarCounts(*bar).Total(), "call", "calls"))};
    for (const CallOutcome outcome : kCallOutcomes) {
      if (const std::uint32_t calls = chart_->BarCounts(*bar)[outcome]; calls > 0) {
        lines << FromLatin1(OutcomeText(outcome)) + QLatin1String(": ") + GroupedCount(calls);
      }
    }
    QToolTip::showText(help->globalPos(), lines.join(QLatin1Char('\n')), this);
    return true;
  }

 private:
  const StatisticsChart* chart_ = nullptr;
  std::optional<std::size_t> chosen_;
};

StatisticsWindow::StatisticsWindow(const TraceDocument& document, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), document_(document), dialogs_(dialogs) {
  setObjectName(QStringLiteral("statisticsWindow"));

  heading_ = new QLabel;
  heading_->setObjectName(QStringLiteral("statisticsHeading"));
  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(tr("Calls by start time, stacked by outcome")), 1);
  controls->addWidget(new QLabel(tr("Export chart:")));
  // A chart is one page: no PDF.
  for (const LadderFormat format : {LadderFormat::Png, LadderFormat::Svg}) {
    const PictureFormatEntry& entry = PictureFormatOf(format);
    auto* button = new QPushButton(PictureExportText(entry.button));
    button->setObjectName(QLatin1String(entry.objectName));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, format = entry.format] { Export(format); });
    controls->addWidget(button);
  }

  chartView_ = new ChartView;
  chartView_->setObjectName(QStringLiteral("statisticsChart"));
  chartView_->barClicked = [this](std::size_t bar) { ChooseBar(bar); };
  chartArea_ = new QScrollArea;
  chartArea_->setWidget(chartView_);
  chartArea_->setWidgetResizable(true);
  chartArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  chartArea_->setMinimumHeight(fontMetrics().height() * 16);

  gatewayModel_ = new GatewayStatisticsModel(this);
  gateways_ = MakeGatewayTable(gatewayModel_);
  causeModel_ = new CauseStatisticsModel(this);
  causes_ = MakeCauseTable(causeModel_);

  for (QTreeView* table : {gateways_, causes_}) {
    const auto choose = [this, table](const QModelIndex& index) {
      table == gateways_ ? ChooseGateway(ModelRow(index)) : ChooseCause(ModelRow(index));
    };
    connect(table, &QTreeView::clicked, this, choose);
    connect(table, &QTreeView::activated, this, choose);
  }

  // Answered calls are mostly cleared with 16, which would lead the causes of failures.
  withAnswered_ = new QCheckBox(tr("Causes of &answered calls too"));
  withAnswered_->setObjectName(QStringLiteral("causesWithAnswered"));
  connect(withAnswered_, &QCheckBox::toggled, this, [this](bool checked) {
    causes_->clearSelection();
    causeModel_->Show(&statistics_, checked);
  });
  auto* causeBox = new QWidget;
  auto* causeLayout = new QVBoxLayout(causeBox);
  causeLayout->setContentsMargins(0, 0, 0, 0);
  causeLayout->addWidget(withAnswered_);
  causeLayout->addWidget(causes_, 1);

  auto* splitter = new QSplitter(Qt::Vertical);
  splitter->addWidget(chartArea_);
  splitter->addWidget(gateways_);
  splitter->addWidget(causeBox);
  // The chart first: it is what is looked at; the tables hold a few rows each.
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 1);
  splitter->setStretchFactor(2, 1);
  splitter->setSizes({420, 170, 170});
  splitter->setChildrenCollapsible(false);

  auto* outcomes = new QWidget;
  auto* outcomesLayout = new QVBoxLayout(outcomes);
  outcomesLayout->addLayout(controls);
  outcomesLayout->addWidget(splitter, 1);

  trunks_ = new TrunkStatistics(document_, dialogs_);
  connect(trunks_, &TrunkStatistics::FilterChosen, this, &StatisticsWindow::FilterChosen);
  connect(trunks_, &TrunkStatistics::Exported, this,
          [this](const QString& path) { status_->setText(tr("Written to %1.").arg(path)); });
  auto* tabs = new QTabWidget;
  tabs->setObjectName(QStringLiteral("statisticsTabs"));
  tabs->addTab(outcomes, tr("&Outcomes"));
  tabs->addTab(trunks_, tr("&Trunks"));

  status_ = new QLabel(
      tr("Click a bar, a row or a channel to list its calls in the Calls tab; a row of Trunks "
         "or a channel does it through the filter bar."));
  status_->setObjectName(QStringLiteral("statisticsStatus"));
  status_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(tabs, 1);
  layout->addWidget(status_);

  Recount();
  const QRect screen = this->screen() != nullptr ? this->screen()->availableGeometry() : QRect();
  // The tab's frame besides the tables.
  const int wanted = std::max(WholeGatewayTableWidth(*gateways_), trunks_->WholeWidth()) +
                     4 * fontMetrics().averageCharWidth();
  resize(std::clamp(wanted, 900, std::max(900, screen.width() - 40)),
         std::clamp(800, 600, std::max(600, screen.height() - 80)));
}

StatisticsWindow::~StatisticsWindow() {
  // The counts and the chart go before QWidget's destructor hides the views that read them.
  gatewayModel_->Show(nullptr, nullptr);
  causeModel_->Show(nullptr, withAnswered_->isChecked());
  chartView_->Show(nullptr);
}

void StatisticsWindow::Recount() {
  // The tables let go of the counts before they change.
  gatewayModel_->Show(nullptr, nullptr);
  causeModel_->Show(nullptr, withAnswered_->isChecked());
  // The calls the filter bar keeps, as the calls table shows them.
  statistics_ = document_.HasWhere() ? CountCallStatistics(document_.Store(), document_.Calls(),
                                                           document_.WhereCalls())
                                     : CountCallStatistics(document_.Store(), document_.Calls());
  auto chart = std::make_unique<StatisticsChart>(statistics_, chartView_->font());
  chartView_->Show(chart.get());
  chart_ = std::move(chart);
  gatewayModel_->Show(&document_.Store(), &statistics_);
  causeModel_->Show(&statistics_, withAnswered_->isChecked());
  trunks_->Recount(document_.HasWhere()
                       ? std::optional<std::span<const CallNumber>>(document_.WhereCalls())
                       : std::nullopt,
                   statistics_.calls, statistics_.firstStart, statistics_.lastStart);

  const QString files = NameOfFiles(DecodedPaths(document_.Paths()));
  setWindowTitle(files.isEmpty() ? tr("Statistics") : tr("Statistics of %1").arg(files));
  if (statistics_.calls == 0) {
    heading_->setText(tr("No calls in this trace"));
    return;
  }
  std::uint64_t failed = 0;
  for (const GatewayCounts& gateway : statistics_.gateways) {
    failed += gateway.outcomes[CallOutcome::Failed];
  }
  QString heading =
      QString::fromStdString(CountOf(statistics_.calls, "call", "calls")) +
      (failed == 0 ? tr(", none failed") : tr(", %1 failed").arg(GroupedCount(failed)));
  if (const std::uint64_t untimed = statistics_.untimed.Total(); untimed > 0) {
    heading += tr(", %1 with no time").arg(GroupedCount(untimed));
  }
  if (chart_->Bars() > 0) {
    const std::int64_t minutes = chart_->BarMinutes();
    const QString bar = minutes == 1      ? tr("a minute")
                        : minutes < 60    ? tr("%1 minutes").arg(minutes)
                        : minutes == 60   ? tr("an hour")
                        : minutes == 1440 ? tr("a day")
                                          : tr("%1 days").arg(minutes / 1440);
    heading += tr("; a bar is %1").arg(bar);
  }
  heading_->setText(heading);
}

void StatisticsWindow::ChooseBar(std::size_t bar) {
  if (bar >= chart_->Bars() || chart_->BarCounts(bar).Total() == 0) {
    return;
  }
  chartView_->Choose(bar);
  gateways_->clearSelection();
  causes_->clearSelection();
  emit GroupChosen(chart_->BarGroup(bar), tr("Calls of %1").arg(chart_->BarText(bar)));
}

void StatisticsWindow::ChooseGateway(int row) {
  if (row < 0 || row >= gatewayModel_->rowCount()) {
    return;
  }
  const GatewayCounts& counts = gatewayModel_->Row(row);
  StatisticsGroup group;
  group.kind = StatisticsGroup::Kind::Gateway;
  group.gateway = document_.Store().gatewayIpTexts[counts.gatewayIpIndex];
  group.protocol = counts.protocol;
  chartView_->Choose(std::nullopt);
  causes_->clearSelection();
  emit GroupChosen(group,
                   tr("Calls of %1 %2")
                       .arg(FromLatin1(group.gateway), FromLatin1(ProtocolText(group.protocol))));
}

void StatisticsWindow::ChooseCause(int row) {
  if (row < 0 || row >= causeModel_->rowCount()) {
    return;
  }
  StatisticsGroup group;
  group.kind = StatisticsGroup::Kind::Cause;
  group.cause = causeModel_->Row(row).cause;
  group.withAnswered = causeModel_->WithAnswered();
  chartView_->Choose(std::nullopt);
  gateways_->clearSelection();
  emit GroupChosen(group, group.withAnswered
                              ? tr("Calls with cause %1").arg(CauseCell(group.cause))
                              : tr("Calls not answered with cause %1").arg(CauseCell(group.cause)));
}

void StatisticsWindow::Export(LadderFormat format) {
  const StatisticsChart& chart = *chart_;
  const QSize size = chart.FileSize();
  if (const std::optional<QString> path = ExportStatisticsPicture(
          this, dialogs_, document_, tr("Export Chart"), format, size,
          [&chart, size](QPainter& painter) { chart.Paint(painter, PaperChartColours(), size); },
          QString(), statistics_.firstStart, statistics_.lastStart)) {
    status_->setText(tr("Written to %1.").arg(*path));
  }
}

}  // namespace sigrune
