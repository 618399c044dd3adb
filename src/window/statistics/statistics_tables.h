#pragma once

// The statistics window's tables: the gateways with their answered and failed shares, and the
// causes, each share drawn as a small bar beside its text. Each sorts by any of its columns.

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <span>

#include "calls/call_statistics.h"
#include "trace/message_store.h"

class QSortFilterProxyModel;
class QTreeView;

namespace sigrune {

class GatewayStatisticsModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Show(const MessageStore* store, const CallStatistics* statistics);
  const GatewayCounts& Row(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const MessageStore* store_ = nullptr;
  const CallStatistics* statistics_ = nullptr;
};

class CauseStatisticsModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  // The causes of the calls not answered, or of every call.
  void Show(const CallStatistics* statistics, bool withAnswered);
  bool WithAnswered() const { return withAnswered_; }
  const CauseCounts& Row(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const std::vector<CauseCounts>& Causes() const;
  std::uint64_t CallsWithCause() const;

  const CallStatistics* statistics_ = nullptr;
  bool withAnswered_ = false;
};

// The tables of the models, their columns sized from the fonts, never by measuring the rows: the
// gateways by address, the causes most calls first, until a heading is clicked.
QTreeView* MakeGatewayTable(GatewayStatisticsModel* model);
QTreeView* MakeCauseTable(CauseStatisticsModel* model);
// The model's row that a table's (sorted) index shows.
int ModelRow(const QModelIndex& index);
// The width that shows the gateway table whole, its last column (which stretches) at the width
// of a long cause.
int WholeGatewayTableWidth(const QTreeView& gateways);

// What a column of the statistics' tables sorts by: numbers and shares as numbers, texts as texts.
inline constexpr int kSortRole = Qt::UserRole + 2;
// Digits padded, so that 10.1.1.9 comes before 10.1.1.10.
QString NaturalKey(const QString& text);
// A table of the statistics over `model`, sorted through `sorted` (a plain proxy when none) by
// kSortRole; no column sorted while `sortColumn` is -1.
QTreeView* MakeTable(const char* objectName, QAbstractItemModel* model, int sortColumn,
                     Qt::SortOrder order, QSortFilterProxyModel* sorted = nullptr);
// Sizes the columns from the fonts, for the heading and the widest text each usually holds, never
// by measuring the rows.
void SizeColumns(QTreeView& view, std::span<const char* const> widest);

// "1,234"
QString GroupedCount(std::uint64_t number);
// "16 Normal call clearing"; empty for no cause (negative).
QString CauseCell(std::int16_t cause);

}  // namespace sigrune
