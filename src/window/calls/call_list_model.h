#pragma once

// The calls table: a flat model over the trace document's call records and the rows chosen from
// them (an outcome, a text, a column's order). A change of choice rebuilds the rows and resets the
// model once; the cells are made when the view asks for them.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "calls/call_table.h"
#include "document/trace_document.h"
#include "window/calls/call_rows.h"

namespace sigrune {

class CallListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  // Takes the document's calls afresh after a load, keeping the choice; none for no document.
  // The document must outlive the model or the next call.
  void ShowCallsOf(const TraceDocument* document);
  void SetOutcomeChoice(OutcomeChoice outcome);
  // Calls whose calling or called number or gateway address contains the text.
  void SetMatchText(const QString& text);
  // The calls of an entry of the statistics; none: every call.
  void SetGroup(std::optional<StatisticsGroup> group);

  // Shows every call again: no outcome, text or group chosen; the order stays.
  void ClearChoice();

  // The call a row shows; none for a row that does not exist.
  CallNumber CallOfRow(int row) const;
  // The row that shows a call; -1 when it is not shown.
  int RowOfCall(CallNumber call) const;
  // The other leg of the call a row shows; none when it has none.
  CallNumber RelatedOfRow(int row) const;
  // For each column, the texts among which is the widest its cells show (WidestCallTexts).
  std::array<QStringList, kCallColumns> WidestTexts() const;
  // The calls of the trace, shown or not.
  std::size_t CallCount() const;
  // The failed among the calls shown.
  std::size_t FailedRows() const { return failedRows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  void ChooseRows();
  QString Text(int number, const CallRecord& call, CallColumn column) const;

  const TraceDocument* document_ = nullptr;
  CallRowsChoice choice_;
  std::optional<StatisticsGroup> group_;  // choice_.group points here
  QByteArray text_;                       // Latin-1, as the numbers and addresses are
  bool textMatchesNothing_ = false;       // it holds a character that is not Latin-1
  std::vector<std::uint32_t> rows_;       // call number - 1 of each row
  std::size_t failedRows_ = 0;
};

}  // namespace sigrune
