#include "window/statistics/kpi_table.h"

#include <QCoreApplication>
#include <QFont>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <climits>

#include "window/statistics/statistics_tables.h"
#include "window/table_text.h"

namespace sigrune {

namespace {

constexpr int kTotalRole = Qt::UserRole + 3;

constexpr const char* kKpiHeadings[] = {
    "Gateway",  "Protocol",     "Calls",      "Answered",       "Busy",       "No answer",
    "Rejected", "Cancelled",    "Failed",     "None",           "ASR %",      "NER %",
    "ACD s",    "PDD median s", "PDD 95th s", "Setup median s", "Peak calls", "Peak at"};
static_assert(std::size(kKpiHeadings) == kKpiColumns);
constexpr const char* kKpiHeadingTips[] = {
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel",
                      "Answer-seizure ratio: the answered calls in % of the calls"),
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel",
                      "Network effectiveness ratio: the answered, busy, not answered and rejected "
                      "calls in % of the calls"),
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel",
                      "Average call duration: the mean talk time of the answered calls, from the "
                      "first CONNECT to the last message"),
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel",
                      "Post-dial delay, the median: from the SETUP to the first ALERTING, "
                      "PROGRESS or CONNECT"),
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel",
                      "Post-dial delay, the 95th percentile (nearest rank)"),
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel",
                      "Setup time, the median: from the SETUP to the first CONNECT"),
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel", "The most calls in progress at one instant"),
    QT_TRANSLATE_NOOP("sigrune::KpiStatisticsModel",
                      "The start of the first call at the first instant of the peak"),
};
constexpr const char* kKpiWidest[] = {
    "192.168.100.200", "H225",    "999,999", "999,999", "99,999", "99,999",
    "99,999",          "99,999",  "99,999",  "99,999",  "100.0",  "100.0",
    "9999.999",        "999.999", "999.999", "999.999", "99,999", "01/15/2004 10:00:00.000"};

// The `all` row stays under the others, whichever way they are sorted.
class TotalLastProxy : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
    const bool leftTotal = left.data(kTotalRole).toBool();
    const bool rightTotal = right.data(kTotalRole).toBool();
    if (leftTotal != rightTotal) {
      return sortOrder() == Qt::AscendingOrder ? rightTotal : leftTotal;
    }
    return QSortFilterProxyModel::lessThan(left, right);
  }
};

double Seconds(const std::optional<std::uint64_t>& nanoseconds) {
  return nanoseconds ? static_cast<double>(*nanoseconds) / 1e9 : -1.0;
}

double Percent(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? -1.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

// A gateway's text as a filter's value: quoted when a blank or a quote would end it.
QString FilterValue(const std::string& text) {
  if (text.find_first_of(" \t\r\n\v\f\"") == std::string::npos) {
    return FromLatin1(text);
  }
  QString quoted = FromLatin1(text);
  quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

void KpiStatisticsModel::Show(const MessageStore* store, const CallTable* calls,
                              std::vector<KpiRow> rows) {
  beginResetModel();
  store_ = store;
  calls_ = calls;
  rows_ = store != nullptr ? std::move(rows) : std::vector<KpiRow>();
  cells_.clear();
  for (const KpiRow& row : rows_) {
    const std::array<std::string, kKpiColumns> texts = KpiCells(*store_, *calls_, row);
    std::array<QString, kKpiColumns>& cells = cells_.emplace_back();
    for (std::size_t column = 0; column < kKpiColumns; ++column) {
      cells[column] = FromLatin1(texts[column]);
    }
    // Counts grouped, as the other tables show them.
    cells[2] = GroupedCount(row.outcomes.Total());
    for (std::size_t k = 0; k < std::size(kCallOutcomes); ++k) {
      cells[3 + k] = GroupedCount(row.outcomes.calls[k]);
    }
    if (row.peakCall) {
      cells[16] = GroupedCount(row.peakConcurrent);
    }
  }
  endResetModel();
}

int KpiStatisticsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int KpiStatisticsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kKpiColumns);
}

QVariant KpiStatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && section >= 0 &&
      section < static_cast<int>(kKpiColumns) && kKpiHeadingTips[section] != nullptr) {
    return QCoreApplication::translate("sigrune::KpiStatisticsModel", kKpiHeadingTips[section]);
  }
  return ColumnHeading(kKpiHeadings, section, orientation, role);
}

QVariant KpiStatisticsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
    return {};
  }
  const KpiRow& row = Row(index.row());
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return cells_[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(column)];
    case Qt::TextAlignmentRole:
      return column >= 2 && column < 17 ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                                        : QVariant();
    case Qt::FontRole:
      if (row.kind == KpiRow::Kind::All) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    case kSortRole:
      return SortKey(row, column);
    case kTotalRole:
      return row.kind == KpiRow::Kind::All;
    default:
      return {};
  }
}

QVariant KpiStatisticsModel::SortKey(const KpiRow& row, int column) const {
  const OutcomeCounts& outcomes = row.outcomes;
  const std::uint64_t calls = outcomes.Total();
  switch (column) {
    case 0:
      return row.kind == KpiRow::Kind::Gateway
                 ? NaturalKey(FromLatin1(store_->gatewayIpTexts[row.gatewayIpIndex]))
                 : QString();
    case 1:
      return FromLatin1(ProtocolText(row.protocol));
    case 2:
      return QVariant::fromValue<qulonglong>(calls);
    case 10:
      return Percent(outcomes[CallOutcome::Answered], calls);
    case 11:
      return Percent(std::uint64_t{outcomes[CallOutcome::Answered]} + outcomes[CallOutcome::Busy] +
                         outcomes[CallOutcome::NoAnswer] + outcomes[CallOutcome::Rejected],
                     calls);
    case 12:
      return row.talkCalls == 0 ? -1.0
                                : static_cast<double>(row.talkNanoseconds) /
                                      static_cast<double>(row.talkCalls) / 1e9;
    case 13:
      return Seconds(row.pddMedian);
    case 14:
      return Seconds(row.pddP95);
    case 15:
      return Seconds(row.setupMedian);
    case 16:
      return QVariant::fromValue<qulonglong>(row.peakConcurrent);
    case 17:
      return row.peakCall
                 ? QVariant::fromValue<qlonglong>(
                       store_->msgTimes[IndexOf(calls_->Record(row.peakCall).firstMessage).value])
                 : QVariant::fromValue<qlonglong>(LLONG_MIN);
    default:
      return QVariant::fromValue<qulonglong>(outcomes.calls[static_cast<std::size_t>(column - 3)]);
  }
}

QTreeView* MakeKpiTable(KpiStatisticsModel* model) {
  QTreeView* table = MakeTable("statisticsKpis", model, -1, Qt::AscendingOrder, new TotalLastProxy);
  SizeColumns(*table, kKpiWidest);
  return table;
}

QString KpiRowFilter(const MessageStore& store, const KpiRow& row) {
  if (row.kind != KpiRow::Kind::Gateway) {
    return {};
  }
  QStringList terms{QLatin1String("gw:") + FilterValue(store.gatewayIpTexts[row.gatewayIpIndex])};
  if (row.protocol != Protocol::None) {
    terms << QLatin1String("proto:") + FromLatin1(ProtocolText(row.protocol)).toLower();
  }
  return terms.join(QLatin1Char(' '));
}

QString ChannelFilter(const MessageStore& store, const ChannelRow& row) {
  return QLatin1String("gw:") + FilterValue(store.gatewayIpTexts[row.gatewayIpIndex]) +
         QLatin1String(" channel:") + QString::number(row.channel);
}

}  // namespace sigrune
