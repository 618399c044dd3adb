#pragma once

// The message list: a flat model over the message store. It keeps no lines; each cell is made
// from the store when the view asks for it, so a million messages cost no more than the rows
// shown on screen.

#include <QAbstractTableModel>
#include <cstddef>
#include <vector>

#include "trace/message_store.h"
#include "trace/summary_line.h"

namespace sigrune {

class MessageListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Timestamp, GatewayIp, Direction, Protocol, MessageType, CallReference, Columns };
  // The whole summary line of the row, tabs and padding included.
  static constexpr int SummaryLineRole = Qt::UserRole + 1;
  // The 1-based number of the message the row shows.
  static constexpr int MessageNumberRole = Qt::UserRole + 2;

  using QAbstractTableModel::QAbstractTableModel;

  // Shows every message of the store, or only the messages numbered in `rowMessageNumbers`
  // (row r showing message rowMessageNumbers[r]). Both must outlive the model or the next call.
  void SetRows(const MessageStore* store, const std::vector<std::size_t>* rowMessageNumbers);

  // The 1-based message number of a row, 0 for a row that does not exist.
  std::size_t MessageNumberOfRow(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  // The view asks for a row's cells one after the other; the fields are made once per row.
  const SummaryFields& FieldsOf(std::size_t messageNumber) const;

  const MessageStore* store_ = nullptr;
  const std::vector<std::size_t>* rowMessageNumbers_ = nullptr;
  mutable std::size_t cachedMessageNumber_ = 0;
  mutable SummaryFields cachedFields_;
};

}  // namespace sigrune
