#include "window/message_list_model.h"

#include <QFont>
#include <algorithm>
#include <climits>

#include "trace/text_utilities.h"
#include "window/table_text.h"

namespace sigrune {

void MessageListModel::ShowRowsOf(const TraceDocument* document) {
  beginResetModel();
  document_ = document;
  cachedMessage_ = {};
  endResetModel();
}

const SummaryFields& MessageListModel::FieldsOf(MessageNumber message) const {
  if (message != cachedMessage_) {
    cachedFields_ = BuildSummaryFields(document_->Store(), IndexOf(message).value);
    cachedMessage_ = message;
  }
  return cachedFields_;
}

MessageNumber MessageListModel::MessageNumberOfRow(int row) const {
  if (document_ == nullptr || row < 0) {
    return {};
  }
  return document_->MessageAtRow(static_cast<std::size_t>(row));
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || document_ == nullptr) {
    return 0;
  }
  return static_cast<int>(std::min<std::size_t>(document_->RowCount(), INT_MAX));
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Columns;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
  const MessageNumber message = MessageNumberOfRow(index.row());
  if (!message) {
    return {};
  }
  if (role == MessageNumberRole) {
    return QVariant::fromValue(static_cast<qulonglong>(message.value));
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != SummaryLineRole) {
    return {};
  }
  if (index.column() == Call && role != SummaryLineRole) {
    const CallNumber call = document_->Calls().CallOf(message);
    return call ? QString::number(call.value) : QString();
  }
  const SummaryFields& fields = FieldsOf(message);
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
  static const char* const kHeadings[Columns] = {
      "Timestamp", "Gateway IP", "Direction", "Protocol", "Message Type", "Call Reference", "Call"};
  return ColumnHeading(kHeadings, section, orientation, role);
}

}  // namespace sigrune
