#include "window/statistics_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "calls/statistics_csv.h"
#include "trace/text_utilities.h"
#include "window/outcome_colours.h"
#include "window/statistics_chart.h"
#include "window/table_text.h"
#include "window/trace_names.h"

namespace sigrune {

namespace {

// What the bar delegate draws: the share (0 to 1) and the bar's colour.
constexpr int kShareRole = Qt::UserRole;
constexpr int kShareColourRole = Qt::UserRole + 1;

QString Grouped(std::uint64_t number) {
  return QString::fromStdString(GroupedDigits(number));
}

QString ShareCell(std::uint64_t part, std::uint64_t whole) {
  return QStringLiteral("%1 (%2 %)")
      .arg(Grouped(part), QString::fromStdString(ShareText(part, whole)));
}

QString CauseCell(std::int16_t cause) {
  return cause < 0 ? QString()
                   : QString::number(cause) + QLatin1Char(' ') + FromLatin1(CauseValueName(cause));
}

// Sizes the columns from the fonts, for the heading and the widest text each usually holds, never
// by measuring the rows.
void SizeColumns(QTreeView& view, std::span<const char* const> widest) {
  const QFontMetrics metrics(view.font());
  QFont bold = view.font();
  bold.setBold(true);
  const QFontMetrics headingMetrics(bold);
  for (int column = 0; column < static_cast<int>(widest.size()); ++column) {
    const QString heading =
        view.model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int width = std::max(
        headingMetrics.horizontalAdvance(heading),
        metrics.horizontalAdvance(QLatin1String(widest[static_cast<std::size_t>(column)])));
    view.header()->resizeSection(column, width + 2 * metrics.averageCharWidth());
  }
}

QTreeView* MakeTable(const char* objectName, QAbstractItemModel* model) {
  auto* view = new QTreeView;
  view->setObjectName(QLatin1String(objectName));
  view->setModel(model);
  view->setUniformRowHeights(true);
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setAllColumnsShowFocus(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->header()->setStretchLastSection(true);
  return view;
}

// A cell with a share: a small bar, then its text.
class ShareBarDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  static constexpr int kBarWidth = 48;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QVariant share = index.data(kShareRole);
    if (!share.isValid()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QStyle* style = item.widget != nullptr ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    const QRect cell = item.rect.adjusted(4, 0, -4, 0);
    const int height = std::max(4, cell.height() / 2);
    const QRect track(cell.left(), cell.center().y() - height / 2 + 1,
                      std::min(kBarWidth, cell.width() / 2), height);
    QColor empty = item.palette.color(QPalette::Text);
    empty.setAlphaF(0.15f);
    painter->fillRect(track, empty);
    painter->fillRect(
        QRectF(track.left(), track.top(), track.width() * share.toDouble(), track.height()),
        index.data(kShareColourRole).value<QColor>());
    const bool selected = (item.state & QStyle::State_Selected) != 0;
    painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(cell.adjusted(track.width() + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      text);
  }
};

enum class GatewayColumn {
  Gateway,
  Protocol,
  Calls,
  Answered,
  Failed,
  Busy,
  NoAnswer,
  Rejected,
  Cancelled,
  None,
  TopFailureCause
};
constexpr const char* kGatewayHeadings[] = {
    "Gateway",   "Protocol", "Calls",     "Answered", "Failed",           "Busy",
    "No answer", "Rejected", "Cancelled", "None",     "Top failure cause"};
constexpr const char* kGatewayWidest[] = {"192.168.100.200",
                                          "H225",
                                          "999,999",
                                          "99,999 (100.0 %)",
                                          "99,999 (100.0 %)",
                                          "99,999",
                                          "99,999",
                                          "99,999",
                                          "99,999",
                                          "99,999",
                                          "1 Unallocated/unassigned number"};

// The names last: they are long.
enum class CauseColumn { Cause, Calls, Share, Name };
constexpr const char* kCauseHeadings[] = {"Cause", "Calls", "Share", "Name"};
constexpr const char* kCauseWidest[] = {"127", "9,999,999", "100.0 %", ""};

}  // namespace

class GatewayStatisticsModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Show(const MessageStore* store, const CallStatistics* statistics) {
    beginResetModel();
    store_ = store;
    statistics_ = statistics;
    endResetModel();
  }
  const GatewayCounts& Row(int row) const {
    return statistics_->gateways[static_cast<std::size_t>(row)];
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() || statistics_ == nullptr
               ? 0
               : static_cast<int>(statistics_->gateways.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kGatewayHeadings));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    return ColumnHeading(kGatewayHeadings, section, orientation, role);
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) {
      return {};
    }
    const GatewayCounts& gateway = Row(index.row());
    const auto column = static_cast<GatewayColumn>(index.column());
    const std::uint64_t calls = gateway.outcomes.Total();
    const auto outcomeOf = [](GatewayColumn counted) {
      constexpr CallOutcome kOutcomes[] = {
          CallOutcome::Answered, CallOutcome::Failed,    CallOutcome::Busy, CallOutcome::NoAnswer,
          CallOutcome::Rejected, CallOutcome::Cancelled, CallOutcome::None};
      return kOutcomes[static_cast<int>(counted) - static_cast<int>(GatewayColumn::Answered)];
    };
    const bool counted = column >= GatewayColumn::Answered && column <= GatewayColumn::None;
    const bool barred = column == GatewayColumn::Answered || column == GatewayColumn::Failed;
    switch (role) {
      case Qt::DisplayRole:
      case Qt::ToolTipRole:
        switch (column) {
          case GatewayColumn::Gateway:
            return FromLatin1(store_->gatewayIpTexts[gateway.gatewayIpIndex]);
          case GatewayColumn::Protocol:
            return FromLatin1(ProtocolText(gateway.protocol));
          case GatewayColumn::Calls:
            return Grouped(calls);
          case GatewayColumn::TopFailureCause:
            return CauseCell(gateway.topFailureCause);
          default:
            return barred ? ShareCell(gateway.outcomes[outcomeOf(column)], calls)
                          : Grouped(gateway.outcomes[outcomeOf(column)]);
        }
      case Qt::TextAlignmentRole:
        return counted && !barred ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
               : column == GatewayColumn::Calls
                   ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
      case kShareRole:
        return barred && calls > 0
                   ? QVariant(static_cast<double>(gateway.outcomes[outcomeOf(column)]) /
                              static_cast<double>(calls))
                   : QVariant();
      case kShareColourRole:
        return OutcomeFill(outcomeOf(column), QApplication::palette());
      default:
        return {};
    }
  }

 private:
  const MessageStore* store_ = nullptr;
  const CallStatistics* statistics_ = nullptr;
};

class CauseStatisticsModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Show(const CallStatistics* statistics) {
    beginResetModel();
    statistics_ = statistics;
    endResetModel();
  }
  const CauseCounts& Row(int row) const {
    return statistics_->causes[static_cast<std::size_t>(row)];
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() || statistics_ == nullptr
               ? 0
               : static_cast<int>(statistics_->causes.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kCauseHeadings));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    return ColumnHeading(kCauseHeadings, section, orientation, role);
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) {
      return {};
    }
    const CauseCounts& cause = Row(index.row());
    const auto column = static_cast<CauseColumn>(index.column());
    switch (role) {
      case Qt::DisplayRole:
      case Qt::ToolTipRole:
        switch (column) {
          case CauseColumn::Cause:
            return QString::number(cause.cause);
          case CauseColumn::Name:
            return FromLatin1(CauseValueName(cause.cause));
          case CauseColumn::Calls:
            return Grouped(cause.calls);
          case CauseColumn::Share:
            return QString::fromStdString(ShareText(cause.calls, statistics_->callsWithCause)) +
                   QLatin1String(" %");
        }
        return {};
      case Qt::TextAlignmentRole:
        return column == CauseColumn::Cause || column == CauseColumn::Calls
                   ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
      case kShareRole:
        return column == CauseColumn::Share && statistics_->callsWithCause > 0
                   ? QVariant(static_cast<double>(cause.calls) /
                              static_cast<double>(statistics_->callsWithCause))
                   : QVariant();
      case kShareColourRole:
        return QApplication::palette().color(QPalette::Highlight);
      default:
        return {};
    }
  }

 private:
  const CallStatistics* statistics_ = nullptr;
};

// The chart at its own width, the bar under the mouse named in a tool tip.
class ChartView : public QWidget {
 public:
  std::function<void(std::size_t bar)> barClicked;

  void Show(const StatisticsChart* chart) {
    chart_ = chart;
    chosen_.reset();
    setMinimumWidth(chart->MinimumWidth());
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
        lines << FromLatin1(OutcomeText(outcome)) + QLatin1String(": ") + Grouped(calls);
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
  controls->addWidget(heading_, 1);
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
  gateways_ = MakeTable("statisticsGateways", gatewayModel_);
  gateways_->setItemDelegate(new ShareBarDelegate(gateways_));
  SizeColumns(*gateways_, kGatewayWidest);
  for (const GatewayColumn barred : {GatewayColumn::Answered, GatewayColumn::Failed}) {
    const int column = static_cast<int>(barred);
    gateways_->header()->resizeSection(
        column, gateways_->header()->sectionSize(column) + ShareBarDelegate::kBarWidth + 6);
  }
  causeModel_ = new CauseStatisticsModel(this);
  causes_ = MakeTable("statisticsCauses", causeModel_);
  causes_->setItemDelegate(new ShareBarDelegate(causes_));
  SizeColumns(*causes_, std::span(kCauseWidest, std::size(kCauseWidest) - 1));
  causes_->header()->resizeSection(
      static_cast<int>(CauseColumn::Share),
      causes_->header()->sectionSize(static_cast<int>(CauseColumn::Share)) +
          ShareBarDelegate::kBarWidth + 6);

  for (QTreeView* table : {gateways_, causes_}) {
    const auto choose = [this, table](const QModelIndex& index) {
      table == gateways_ ? ChooseGateway(index.row()) : ChooseCause(index.row());
    };
    connect(table, &QTreeView::clicked, this, choose);
    connect(table, &QTreeView::activated, this, choose);
  }

  auto* splitter = new QSplitter(Qt::Vertical);
  splitter->addWidget(chartArea_);
  splitter->addWidget(gateways_);
  splitter->addWidget(causes_);
  // The chart first: it is what is looked at; the tables hold a few rows each.
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 1);
  splitter->setStretchFactor(2, 1);
  splitter->setSizes({420, 170, 170});
  splitter->setChildrenCollapsible(false);

  status_ = new QLabel(tr("Click a bar, a gateway or a cause to list its calls in the Calls tab."));
  status_->setObjectName(QStringLiteral("statisticsStatus"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls);
  layout->addWidget(splitter, 1);
  layout->addWidget(status_);

  Recount();
  const QRect screen = this->screen() != nullptr ? this->screen()->availableGeometry() : QRect();
  // The gateway table whole, its last column (which stretches) at the width of a long cause.
  const int last = static_cast<int>(GatewayColumn::TopFailureCause);
  int wanted = fontMetrics().horizontalAdvance(QLatin1String(kGatewayWidest[last])) +
               8 * fontMetrics().averageCharWidth();
  for (int column = 0; column < last; ++column) {
    wanted += gateways_->header()->sectionSize(column);
  }
  resize(std::clamp(wanted, 900, std::max(900, screen.width() - 40)),
         std::clamp(800, 600, std::max(600, screen.height() - 80)));
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::Recount() {
  // The tables let go of the counts before they change.
  gatewayModel_->Show(nullptr, nullptr);
  causeModel_->Show(nullptr);
  statistics_ = CountCallStatistics(document_.Store(), document_.Calls());
  auto chart = std::make_unique<StatisticsChart>(statistics_, chartView_->font());
  chartView_->Show(chart.get());
  chart_ = std::move(chart);
  gatewayModel_->Show(&document_.Store(), &statistics_);
  causeModel_->Show(&statistics_);

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
  QString heading = QString::fromStdString(CountOf(statistics_.calls, "call", "calls")) +
                    (failed == 0 ? tr(", none failed") : tr(", %1 failed").arg(Grouped(failed)));
  if (const std::uint64_t untimed = statistics_.untimed.Total(); untimed > 0) {
    heading += tr(", %1 with no time").arg(Grouped(untimed));
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
  chartView_->Choose(std::nullopt);
  gateways_->clearSelection();
  emit GroupChosen(group, tr("Calls with cause %1").arg(CauseCell(group.cause)));
}

void StatisticsWindow::Export(LadderFormat format) {
  QString error;
  const std::optional<QString> path =
      ChoosePictureTarget(dialogs_, this, tr("Export Chart"), format, document_.Path(), error);
  if (!path) {
    return;
  }
  if (error.isEmpty()) {
    const StatisticsChart& chart = *chart_;
    const QSize size = chart.FileSize();
    error = ExportPicture(
        size,
        [&chart, size](QPainter& painter) { chart.Paint(painter, PaperChartColours(), size); },
        format, *path, windowTitle());
  }
  if (!error.isEmpty()) {
    dialogs_.ShowMessage(this, MessageIcon::Critical, tr("Export Chart"), error);
    return;
  }
  status_->setText(tr("Written to %1.").arg(*path));
}

}  // namespace sigrune
