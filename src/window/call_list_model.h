#pragma once

// The calls table: a flat model over the trace document's call records, row k showing call k + 1.
// It keeps no texts; each cell is made when the view asks for it.

#include <QAbstractTableModel>

#include "calls/call_table.h"
#include "document/trace_document.h"

namespace sigrune {

class CallListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    Number,
    Start,
    Duration,
    Gateway,
    Direction,
    Calling,
    Called,
    Outcome,
    Messages,
    Cause,  // last: its names are long
    Columns
  };
  // What a column sorts by: numbers as numbers, durations as seconds, start times in the order
  // of the trace, texts as texts.
  static constexpr int SortRole = Qt::UserRole + 1;

  using QAbstractTableModel::QAbstractTableModel;

  // Takes the document's calls afresh, in one reset, after a load; none for no document. The
  // document must outlive the model or the next call.
  void ShowCallsOf(const TraceDocument* document);

  // The call a row shows; none for a row that does not exist.
  CallNumber CallOfRow(int row) const;
  // The record of a row that exists.
  const CallRecord& RecordOfRow(int row) const;
  // The gateway address of a row that exists, Latin-1.
  std::string_view GatewayOfRow(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QVariant Text(int row, const CallRecord& call, int column) const;
  QVariant SortKey(int row, const CallRecord& call, int column) const;

  const TraceDocument* document_ = nullptr;
};

}  // namespace sigrune
