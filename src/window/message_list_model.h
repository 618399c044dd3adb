#pragma once

// The message list: a flat model over the trace document's rows. It keeps no lines; each cell is
// made from the store when the view asks for it, so a million messages cost no more than the rows
// shown on screen.

#include <QAbstractTableModel>
#include <QStringList>

#include "document/trace_document.h"
#include "trace/message_number.h"
#include "trace/summary_line.h"

namespace sigrune {

class MessageListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Call: the number of the message's call, and File: the base name of its file, shown only
  // when the trace was read from several; neither is part of the summary line.
  enum Column {
    Timestamp,
    GatewayIp,
    Direction,
    Protocol,
    MessageType,
    CallReference,
    Call,
    File,
    Columns
  };
  // The whole summary line of the row, tabs and padding included.
  static constexpr int SummaryLineRole = Qt::UserRole + 1;
  // The 1-based number of the message the row shows.
  static constexpr int MessageNumberRole = Qt::UserRole + 2;

  using QAbstractTableModel::QAbstractTableModel;

  // Takes the document's rows afresh, in one reset, after a load or a filter changed them; none
  // for no document. The document must outlive the model or the next call.
  void ShowRowsOf(const TraceDocument* document);
  // After messages were appended to the document: takes the rows it gained at its end, in one
  // insert; false when there were none.
  bool ShowAppendedRows();

  // The message a row shows; no message for a row that does not exist.
  MessageNumber MessageNumberOfRow(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  // The view asks for a row's cells one after the other; the fields are made once per row.
  const SummaryFields& FieldsOf(MessageNumber message) const;

  const TraceDocument* document_ = nullptr;
  // The rows the view was told of: the document's may grow before the view is told.
  int rows_ = 0;
  // The base names of the trace's files, when it has several.
  QStringList fileNames_;
  mutable MessageNumber cachedMessage_;
  mutable SummaryFields cachedFields_;
};

}  // namespace sigrune
