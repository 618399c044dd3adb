#include "window/message_list_model.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <climits>

#include "util/text_utilities.h"
#include "window/table_text.h"

namespace sigrune {

namespace {

// Red mixed into the palette's text colour: dark red on a light base, light red on a dark one.
QColor FailedCallColour() {
  const QColor text = QGuiApplication::palette().color(QPalette::Text);
  const auto mix = [](int red, int ofText) { return (red * 65 + ofText * 35) / 100; };
  return QColor(mix(255, text.red()), mix(0, text.green()), mix(0, text.blue()));
}

int ClampedRows(std::size_t rows) {
  return static_cast<int>(std::min<std::size_t>(rows, INT_MAX));
}

}  // namespace

void MessageListModel::ShowRowsOf(const TraceDocument* document) {
  beginResetModel();
  document_ = document;
  cachedMessage_ = {};
  rows_ = document != nullptr ? ClampedRows(document->RowCount()) : 0;
  fileNames_.clear();
  if (document != nullptr && document->Paths().size() > 1) {
    for (const std::string& path : document->Paths()) {
      fileNames_ << QFileInfo(QFile::decodeName(path.c_str())).fileName();
    }
  }
  endResetModel();
}

bool MessageListModel::ShowAppendedRows() {
  // The cached fields point into the store, which may have moved as it grew.
  cachedMessage_ = {};
  const int rows = document_ != nullptr ? ClampedRows(document_->RowCount()) : 0;
  if (rows <= rows_) {
    return false;
  }
  beginInsertRows({}, rows_, rows - 1);
  rows_ = rows;
  endInsertRows();
  return true;
}

const SummaryFields& MessageListModel::FieldsOf(MessageNumber message) const {
  if (message != cachedMessage_) {
    cachedFields_ = BuildSummaryFields(document_->Store(), IndexOf(message));
    cachedMessage_ = message;
  }
  return cachedFields_;
}

MessageNumber MessageListModel::MessageNumberOfRow(int row) const {
  if (document_ == nullptr || row < 0 || row >= rows_) {
    return {};
  }
  return document_->MessageAtRow(static_cast<std::size_t>(row));
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) {
    return 0;
  }
  return fileNames_.isEmpty() ? File : Columns;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
  const MessageNumber message = MessageNumberOfRow(index.row());
  if (!message) {
    return {};
  }
  if (role == MessageNumberRole) {
    return QVariant::fromValue(static_cast<qulonglong>(message.value));
  }
  if (role == Qt::ForegroundRole) {
    const CallTable& calls = document_->Calls();
    const CallNumber call = calls.CallOf(message);
    return call && calls.Record(call).outcome == CallOutcome::Failed ? QVariant(FailedCallColour())
                                                                     : QVariant();
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != SummaryLineRole) {
    return {};
  }
  if (index.column() == Call && role != SummaryLineRole) {
    const CallNumber call = document_->Calls().CallOf(message);
    return call ? QString::number(call.value) : QString();
  }
  if (index.column() == File && role != SummaryLineRole) {
    const std::uint32_t file = document_->Store().msgFiles[IndexOf(message).value];
    return static_cast<qsizetype>(file) < fileNames_.size() ? fileNames_[file] : QString();
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
  static const char* const kHeadings[Columns] = {"Timestamp", "Gateway IP",   "Direction",
                                                 "Protocol",  "Message Type", "Call Reference",
                                                 "Call",      "File"};
  return ColumnHeading(kHeadings, section, orientation, role);
}

}  // namespace sigrune
