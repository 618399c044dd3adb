#include "window/message_list_model.h"

#include <QFont>
#include <algorithm>
#include <climits>

#include "trace/text_utilities.h"

namespace sigrune {

namespace {

QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void MessageListModel::SetRows(const MessageStore* store,
                               const std::vector<std::size_t>* rowMessageNumbers) {
  beginResetModel();
  store_ = store;
  rowMessageNumbers_ = rowMessageNumbers;
  cachedMessageNumber_ = 0;
  endResetModel();
}

const SummaryFields& MessageListModel::FieldsOf(std::size_t messageNumber) const {
  if (messageNumber != cachedMessageNumber_) {
    cachedFields_ = BuildSummaryFields(*store_, messageNumber - 1);
    cachedMessageNumber_ = messageNumber;
  }
  return cachedFields_;
}

std::size_t MessageListModel::MessageNumberOfRow(int row) const {
  if (store_ == nullptr || row < 0 || row >= rowCount()) {
    return 0;
  }
  const auto index = static_cast<std::size_t>(row);
  return rowMessageNumbers_ != nullptr ? (*rowMessageNumbers_)[index] : index + 1;
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || store_ == nullptr) {
    return 0;
  }
  const std::size_t rows =
      rowMessageNumbers_ != nullptr ? rowMessageNumbers_->size() : store_->msgCount;
  return static_cast<int>(std::min<std::size_t>(rows, INT_MAX));
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Columns;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
  const std::size_t number = MessageNumberOfRow(index.row());
  if (number == 0) {
    return {};
  }
  if (role == MessageNumberRole) {
    return QVariant::fromValue(static_cast<qulonglong>(number));
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != SummaryLineRole) {
    return {};
  }
  const SummaryFields& fields = FieldsOf(number);
  if (role == SummaryLineRole) {
    std::string line;
    AppendSummaryLine(line, fields);
    return FromLatin1(line);
  }
  switch (index.column()) {
    case Timestamp:
      return FromLatin1(fields.timestamp);
    case GatewayIp:
      return FromLatin1(fields.gatewayIp);
    case Direction:
      return FromLatin1(fields.direction);
    case Protocol:
      return FromLatin1(fields.protocol);
    case MessageType:
      return FromLatin1(TrimBlanks(fields.messageType));
    case CallReference:
      return fields.hasCallReference ? "0x" + FromLatin1(fields.callReferenceDigits) : QString();
    default:
      return {};
  }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) {
    return {};
  }
  if (role == Qt::FontRole) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role != Qt::DisplayRole) {
    return {};
  }
  static const char* const kHeadings[Columns] = {"Timestamp", "Gateway IP",   "Direction",
                                                 "Protocol",  "Message Type", "Call Reference"};
  return section >= 0 && section < Columns ? tr(kHeadings[section]) : QVariant();
}

}  // namespace sigrune
