#include "window/statistics/statistics_tables.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <algorithm>
#include <span>

#include "util/text_utilities.h"
#include "window/calls/outcome_colours.h"
#include "window/table_text.h"
#include "writers/statistics_csv.h"

namespace sigrune {

namespace {

// What the bar delegate draws: the share (0 to 1) and the bar's colour.
constexpr int kShareRole = Qt::UserRole;
constexpr int kShareColourRole = Qt::UserRole + 1;
double Share(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

QString ShareCell(std::uint64_t part, std::uint64_t whole) {
  return QStringLiteral("%1 (%2 %)")
      .arg(GroupedCount(part), QString::fromStdString(ShareText(part, whole)));
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

QString NaturalKey(const QString& text) {
  QString key;
  for (qsizetype k = 0; k < text.size();) {
    qsizetype end = k;
    while (end < text.size() && text[end].isDigit()) {
      ++end;
    }
    if (end > k) {
      key += text.mid(k, end - k).rightJustified(20, QLatin1Char('0'));
      k = end;
    } else {
      key += text[k++];
    }
  }
  return key;
}

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

QTreeView* MakeTable(const char* objectName, QAbstractItemModel* model, int sortColumn,
                     Qt::SortOrder order, QSortFilterProxyModel* sorted) {
  auto* view = new QTreeView;
  view->setObjectName(QLatin1String(objectName));
  if (sorted == nullptr) {
    sorted = new QSortFilterProxyModel(view);
  } else {
    sorted->setParent(view);
  }
  sorted->setSortRole(kSortRole);
  sorted->setSourceModel(model);
  view->setModel(sorted);
  view->header()->setSortIndicator(sortColumn, order);
  view->setSortingEnabled(true);
  view->setUniformRowHeights(true);
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setAllColumnsShowFocus(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->header()->setStretchLastSection(true);
  return view;
}

QString GroupedCount(std::uint64_t number) {
  return QString::fromStdString(GroupedDigits(number));
}

QString CauseCell(std::int16_t cause) {
  return cause < 0 ? QString()
                   : QString::number(cause) + QLatin1Char(' ') + FromLatin1(CauseValueName(cause));
}

void GatewayStatisticsModel::Show(const MessageStore* store, const CallStatistics* statistics) {
  beginResetModel();
  store_ = store;
  statistics_ = statistics;
  endResetModel();
}

const GatewayCounts& GatewayStatisticsModel::Row(int row) const {
  return statistics_->gateways[static_cast<std::size_t>(row)];
}

int GatewayStatisticsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || statistics_ == nullptr
             ? 0
             : static_cast<int>(statistics_->gateways.size());
}

int GatewayStatisticsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::size(kGatewayHeadings));
}

QVariant GatewayStatisticsModel::headerData(int section, Qt::Orientation orientation,
                                            int role) const {
  return ColumnHeading(kGatewayHeadings, section, orientation, role);
}

QVariant GatewayStatisticsModel::data(const QModelIndex& index, int role) const {
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
          return GroupedCount(calls);
        case GatewayColumn::TopFailureCause:
          return CauseCell(gateway.topFailureCause);
        default:
          return barred ? ShareCell(gateway.outcomes[outcomeOf(column)], calls)
                        : GroupedCount(gateway.outcomes[outcomeOf(column)]);
      }
    case Qt::TextAlignmentRole:
      return counted && !barred ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
             : column == GatewayColumn::Calls
                 ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                 : QVariant();
    case kShareRole:
      return barred && calls > 0 ? QVariant(Share(gateway.outcomes[outcomeOf(column)], calls))
                                 : QVariant();
    case kSortRole:
      switch (column) {
        case GatewayColumn::Gateway:
          return NaturalKey(FromLatin1(store_->gatewayIpTexts[gateway.gatewayIpIndex]));
        case GatewayColumn::Protocol:
          return FromLatin1(ProtocolText(gateway.protocol));
        case GatewayColumn::Calls:
          return QVariant::fromValue<qulonglong>(calls);
        case GatewayColumn::TopFailureCause:
          return gateway.topFailureCause;
        default:
          return barred ? QVariant(Share(gateway.outcomes[outcomeOf(column)], calls))
                        : QVariant::fromValue<qulonglong>(gateway.outcomes[outcomeOf(column)]);
      }
    case kShareColourRole:
      return OutcomeFill(outcomeOf(column), QApplication::palette());
    default:
      return {};
  }
}

void CauseStatisticsModel::Show(const CallStatistics* statistics, bool withAnswered) {
  beginResetModel();
  statistics_ = statistics;
  withAnswered_ = withAnswered;
  endResetModel();
}

const std::vector<CauseCounts>& CauseStatisticsModel::Causes() const {
  return withAnswered_ ? statistics_->causes : statistics_->unansweredCauses;
}

std::uint64_t CauseStatisticsModel::CallsWithCause() const {
  return withAnswered_ ? statistics_->callsWithCause : statistics_->unansweredCallsWithCause;
}

const CauseCounts& CauseStatisticsModel::Row(int row) const {
  return Causes()[static_cast<std::size_t>(row)];
}

int CauseStatisticsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || statistics_ == nullptr ? 0 : static_cast<int>(Causes().size());
}

int CauseStatisticsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::size(kCauseHeadings));
}

QVariant CauseStatisticsModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
  return ColumnHeading(kCauseHeadings, section, orientation, role);
}

QVariant CauseStatisticsModel::data(const QModelIndex& index, int role) const {
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
          return GroupedCount(cause.calls);
        case CauseColumn::Share:
          return QString::fromStdString(ShareText(cause.calls, CallsWithCause())) +
                 QLatin1String(" %");
      }
      return {};
    case kSortRole:
      switch (column) {
        case CauseColumn::Cause:
          return cause.cause;
        case CauseColumn::Name:
          return FromLatin1(CauseValueName(cause.cause));
        case CauseColumn::Calls:
        case CauseColumn::Share:
          return cause.calls;
      }
      return {};
    case Qt::TextAlignmentRole:
      return column == CauseColumn::Cause || column == CauseColumn::Calls
                 ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                 : QVariant();
    case kShareRole:
      return column == CauseColumn::Share && CallsWithCause() > 0
                 ? QVariant(Share(cause.calls, CallsWithCause()))
                 : QVariant();
    case kShareColourRole:
      return QApplication::palette().color(QPalette::Highlight);
    default:
      return {};
  }
}

QTreeView* MakeGatewayTable(GatewayStatisticsModel* model) {
  // Unsorted at first: in the order `stats` lists them, until a heading is clicked.
  QTreeView* gateways = MakeTable("statisticsGateways", model, -1, Qt::AscendingOrder);
  gateways->setItemDelegate(new ShareBarDelegate(gateways));
  SizeColumns(*gateways, kGatewayWidest);
  for (const GatewayColumn barred : {GatewayColumn::Answered, GatewayColumn::Failed}) {
    const int column = static_cast<int>(barred);
    gateways->header()->resizeSection(
        column, gateways->header()->sectionSize(column) + ShareBarDelegate::kBarWidth + 6);
  }
  return gateways;
}

QTreeView* MakeCauseTable(CauseStatisticsModel* model) {
  QTreeView* causes = MakeTable("statisticsCauses", model, static_cast<int>(CauseColumn::Calls),
                                Qt::DescendingOrder);
  causes->setItemDelegate(new ShareBarDelegate(causes));
  SizeColumns(*causes, std::span(kCauseWidest, std::size(kCauseWidest) - 1));
  causes->header()->resizeSection(
      static_cast<int>(CauseColumn::Share),
      causes->header()->sectionSize(static_cast<int>(CauseColumn::Share)) +
          ShareBarDelegate::kBarWidth + 6);
  return causes;
}

int ModelRow(const QModelIndex& index) {
  const auto* sorted = qobject_cast<const QSortFilterProxyModel*>(index.model());
  return sorted != nullptr ? sorted->mapToSource(index).row() : index.row();
}

int WholeGatewayTableWidth(const QTreeView& gateways) {
  const int last = static_cast<int>(GatewayColumn::TopFailureCause);
  int wanted = gateways.fontMetrics().horizontalAdvance(QLatin1String(kGatewayWidest[last])) +
               8 * gateways.fontMetrics().averageCharWidth();
  for (int column = 0; column < last; ++column) {
    wanted += gateways.header()->sectionSize(column);
  }
  return wanted;
}

}  // namespace sigrune
