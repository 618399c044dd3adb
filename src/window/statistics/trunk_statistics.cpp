#include "window/statistics/trunk_statistics.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "calls/call_concurrency.h"
#include "calls/call_kpis.h"
#include "window/picture_title.h"
#include "window/statistics/channel_map.h"
#include "window/statistics/concurrency_chart.h"
#include "window/statistics/kpi_table.h"
#include "window/statistics/statistics_chart.h"
#include "window/statistics/statistics_tables.h"

namespace sigrune {

// A picture drawn by its owner, with a tool tip and a click at a point of it.
class PictureView : public QWidget {
 public:
  std::function<void(QPainter&, QSize)> paint;
  std::function<QString(QPoint)> toolTipAt;
  std::function<void(QPoint)> clicked;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    paint(painter, size());
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) {
      clicked(event->position().toPoint());
    }
  }
  bool event(QEvent* event) override {
    if (event->type() != QEvent::ToolTip) {
      return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    if (const QString text = toolTipAt(help->pos()); !text.isEmpty()) {
      QToolTip::showText(help->globalPos(), text, this);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
};

namespace {

QScrollArea* Scrolled(QWidget* view) {
  auto* area = new QScrollArea;
  area->setWidget(view);
  area->setWidgetResizable(true);
  return area;
}

}  // namespace

std::optional<QString> ExportStatisticsPicture(
    QWidget* parent, Dialogs& dialogs, const TraceDocument& document, const QString& caption,
    LadderFormat format, QSize size, const std::function<void(QPainter&)>& paint,
    const QString& what, MessageTime first, MessageTime last) {
  QString error;
  const std::optional<QString> path =
      ChoosePictureTarget(dialogs, parent, caption, format, document.Path(), error);
  if (!path) {
    return std::nullopt;
  }
  if (error.isEmpty()) {
    QString title = PictureTitle(document, first, last);
    if (!what.isEmpty()) {
      title = what + QStringLiteral(" \u00b7 ") + title;
    }
    error = ExportPicture(size, paint, format, *path, title);
  }
  if (!error.isEmpty()) {
    dialogs.ShowMessage(parent, MessageIcon::Critical, caption, error);
    return std::nullopt;
  }
  return path;
}

TrunkStatistics::TrunkStatistics(const TraceDocument& document, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), document_(document), dialogs_(dialogs) {
  kpiModel_ = new KpiStatisticsModel(this);
  kpis_ = MakeKpiTable(kpiModel_);
  for (const auto signal : {&QTreeView::clicked, &QTreeView::activated}) {
    connect(kpis_, signal, this,
            [this](const QModelIndex& index) { ChooseKpiRow(ModelRow(index)); });
  }
  noKpis_ = new QLabel;
  noKpis_->setObjectName(QStringLiteral("kpisEmpty"));
  noKpis_->setAlignment(Qt::AlignCenter);
  kpiStack_ = new QStackedWidget;
  kpiStack_->addWidget(kpis_);
  kpiStack_->addWidget(noKpis_);

  // A heading over each picture, with the buttons that export it.
  const auto pictureBox = [this](QLabel* heading, const char* name, bool map, QWidget* view) {
    auto* controls = new QHBoxLayout;
    controls->addWidget(heading, 1);
    controls->addWidget(new QLabel(tr("Export:")));
    for (const LadderFormat format : {LadderFormat::Png, LadderFormat::Svg}) {
      const PictureFormatEntry& entry = PictureFormatOf(format);
      auto* button = new QPushButton(PictureExportText(entry.button));
      button->setObjectName(QLatin1String(name) + QLatin1String(entry.name));
      button->setAutoDefault(false);
      connect(button, &QPushButton::clicked, this, [this, map, format] { Export(map, format); });
      controls->addWidget(button);
    }
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(Scrolled(view), 1);
    return box;
  };

  concurrencyView_ = new PictureView;
  concurrencyView_->setObjectName(QStringLiteral("concurrencyChart"));
  concurrencyView_->paint = [this](QPainter& painter, QSize size) {
    concurrency_->Paint(painter, ScreenChartColours(concurrencyView_->palette()), size);
  };
  concurrencyView_->toolTipAt = [this](QPoint point) {
    const std::optional<std::size_t> bar = concurrency_->BarAt(point, concurrencyView_->size());
    return bar ? concurrency_->BarToolTip(*bar) : QString();
  };
  concurrencyView_->clicked = [](QPoint) {};
  concurrencyHeading_ = new QLabel;
  concurrencyHeading_->setObjectName(QStringLiteral("concurrencyHeading"));

  mapView_ = new PictureView;
  mapView_->setObjectName(QStringLiteral("channelMap"));
  mapView_->paint = [this](QPainter& painter, QSize size) {
    map_->Paint(painter, ScreenChartColours(mapView_->palette()), size);
  };
  mapView_->toolTipAt = [this](QPoint point) {
    const ChannelRow* row = map_->CellAt(point);
    return row != nullptr ? map_->ToolTip(*row) : QString();
  };
  mapView_->clicked = [this](QPoint point) {
    if (const ChannelRow* row = map_->CellAt(point)) {
      ChooseChannel(static_cast<std::size_t>(row - map_->Rows().data()));
    }
  };
  auto* mapHeading = new QLabel(
      tr("B-channels of the PRI gateways: the failed share of each channel's calls, the suspects "
         "framed and marked with !"));
  mapHeading->setWordWrap(true);

  auto* splitter = new QSplitter(Qt::Vertical);
  splitter->addWidget(kpiStack_);
  splitter->addWidget(pictureBox(concurrencyHeading_, "concurrency", false, concurrencyView_));
  splitter->addWidget(pictureBox(mapHeading, "channelMap", true, mapView_));
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 2);
  splitter->setStretchFactor(2, 1);
  splitter->setSizes({170, 330, 220});
  splitter->setChildrenCollapsible(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);
}

TrunkStatistics::~TrunkStatistics() = default;

void TrunkStatistics::Recount(std::optional<std::span<const CallNumber>> counted,
                              std::uint64_t calls, MessageTime first, MessageTime last) {
  const MessageStore& store = document_.Store();
  const CallTable& table = document_.Calls();
  first_ = first;
  last_ = last;
  kpiModel_->Show(
      &store, &table,
      calls == 0 ? std::vector<KpiRow>() : CountKpis(store, table, counted, KpiGrouping::Gateway));
  noKpis_->setText(tr("No calls in this trace"));
  kpiStack_->setCurrentWidget(calls == 0 ? static_cast<QWidget*>(noKpis_) : kpis_);

  concurrency_ = std::make_unique<ConcurrencyChart>(store, CountConcurrency(store, table, counted),
                                                    calls, concurrencyView_->font());
  concurrencyView_->setMinimumWidth(concurrency_->MinimumWidth());
  concurrencyView_->setMinimumHeight(fontMetrics().height() * 12);
  const std::int64_t minutes = concurrency_->Counts().barMinutes;
  const QString bar = minutes == 1      ? tr("minute")
                      : minutes < 60    ? tr("%1 minutes").arg(minutes)
                      : minutes == 60   ? tr("hour")
                      : minutes == 1440 ? tr("day")
                                        : tr("%1 days").arg(minutes / 1440);
  concurrencyHeading_->setText(
      tr("Calls in progress at once: the most in each %1, the busiest of each line dotted")
          .arg(bar));
  concurrencyView_->update();

  map_ = std::make_unique<ChannelMap>(store, CountChannels(store, table, counted), calls,
                                      mapView_->font());
  mapView_->setMinimumSize(map_->Size());
  mapView_->update();
}

int TrunkStatistics::WholeWidth() const {
  // Room for the frames and a vertical scroll bar besides the columns.
  const int frames =
      4 * fontMetrics().averageCharWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  int columns = 0;
  for (int column = 0; column < kpis_->header()->count(); ++column) {
    columns += kpis_->header()->sectionSize(column);
  }
  return std::max(columns, map_->Size().width()) + frames;
}

void TrunkStatistics::ChooseKpiRow(int row) {
  if (row >= 0 && row < kpiModel_->rowCount()) {
    emit FilterChosen(KpiRowFilter(document_.Store(), kpiModel_->Row(row)));
  }
}

void TrunkStatistics::ChooseChannel(std::size_t row) {
  if (row < map_->Rows().size()) {
    emit FilterChosen(ChannelFilter(document_.Store(), map_->Rows()[row]));
  }
}

void TrunkStatistics::Export(bool map, LadderFormat format) {
  std::optional<QString> path;
  if (map) {
    const ChannelMap& picture = *map_;
    const QSize size = picture.Size();
    path = ExportStatisticsPicture(
        this, dialogs_, document_, tr("Export Channel Map"), format, size,
        [&picture, size](QPainter& painter) { picture.Paint(painter, PaperChartColours(), size); },
        tr("Channel map"), first_, last_);
  } else {
    const ConcurrencyChart& chart = *concurrency_;
    const QSize size = chart.FileSize();
    path = ExportStatisticsPicture(
        this, dialogs_, document_, tr("Export Concurrent Calls"), format, size,
        [&chart, size](QPainter& painter) { chart.Paint(painter, PaperChartColours(), size); },
        tr("Calls in progress at once"), first_, last_);
  }
  if (path) {
    emit Exported(*path);
  }
}

}  // namespace sigrune
