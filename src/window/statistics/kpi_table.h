#pragma once

// The statistics window's table of the figures trunks are judged by, a row per gateway and
// protocol and the `all` row, with the columns `sigrune-cli kpi` gives; and the filter bar's
// texts that keep the calls of a row or of a channel.

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <vector>

#include "calls/call_kpis.h"

class QTreeView;

namespace sigrune {

class KpiStatisticsModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  // The rows of CountKpis by gateway; the store and calls must outlive them.
  void Show(const MessageStore* store, const CallTable* calls, std::vector<KpiRow> rows);
  const KpiRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  QVariant SortKey(const KpiRow& row, int column) const;

  const MessageStore* store_ = nullptr;
  const CallTable* calls_ = nullptr;
  std::vector<KpiRow> rows_;
  std::vector<std::array<QString, kKpiColumns>> cells_;
};

// In the core's order until a heading is clicked; the `all` row stays last in either order.
QTreeView* MakeKpiTable(KpiStatisticsModel* model);

// "gw:10.1.1.5 proto:pri"; empty for the `all` row, whose calls are every call.
QString KpiRowFilter(const MessageStore& store, const KpiRow& row);
// "gw:10.1.1.5 channel:7"
QString ChannelFilter(const MessageStore& store, const ChannelRow& row);

}  // namespace sigrune
