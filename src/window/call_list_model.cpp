#include "window/call_list_model.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <climits>
#include <limits>

#include "calls/call_texts.h"
#include "window/call_headline.h"

namespace sigrune {

namespace {

// Amber and red that keep their contrast on the palette's base: darker shades on a light one,
// lighter on a dark one.
QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant OutcomeColour(CallOutcome outcome) {
  const bool dark = QGuiApplication::palette().color(QPalette::Base).lightness() < 128;
  switch (outcome) {
    case CallOutcome::Failed:
      return dark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc0, 0x1c, 0x1c);
    case CallOutcome::Busy:
    case CallOutcome::NoAnswer:
    case CallOutcome::Rejected:
    case CallOutcome::Cancelled:
      return dark ? QColor(0xff, 0xc1, 0x4d) : QColor(0x9a, 0x5b, 0x00);
    case CallOutcome::Answered:
    case CallOutcome::None:
      break;
  }
  return {};
}

}  // namespace

void CallListModel::ShowCallsOf(const TraceDocument* document) {
  beginResetModel();
  document_ = document;
  endResetModel();
}

CallNumber CallListModel::CallOfRow(int row) const {
  return row >= 0 && row < rowCount() ? CallNumber{static_cast<std::uint32_t>(row) + 1}
                                      : CallNumber{};
}

const CallRecord& CallListModel::RecordOfRow(int row) const {
  return document_->Calls().calls[static_cast<std::size_t>(row)];
}

std::string_view CallListModel::GatewayOfRow(int row) const {
  return document_->Store().gatewayIpTexts[RecordOfRow(row).gatewayIpIndex];
}

int CallListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || document_ == nullptr) {
    return 0;
  }
  return static_cast<int>(std::min<std::size_t>(document_->Calls().calls.size(), INT_MAX));
}

int CallListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Columns;
}

QVariant CallListModel::data(const QModelIndex& index, int role) const {
  if (!CallOfRow(index.row())) {
    return {};
  }
  const CallRecord& call = RecordOfRow(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return Text(index.row(), call, index.column());
    case SortRole:
      return SortKey(index.row(), call, index.column());
    case Qt::ForegroundRole:
      return OutcomeColour(call.outcome);
    case Qt::FontRole:
      if (call.ended == CallEnded::Open) {
        QFont open;
        open.setItalic(true);
        return open;
      }
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == Number || index.column() == Duration || index.column() == Messages) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      }
      return {};
    default:
      return {};
  }
}

QVariant CallListModel::Text(int row, const CallRecord& call, int column) const {
  const MessageStore& store = document_->Store();
  switch (column) {
    case Number:
      return QString::number(row + 1);
    case Start:
      return FromLatin1(StartTimeText(store, call));
    case Duration:
      return FromLatin1(DurationText(store, call));
    case Gateway:
      return FromLatin1(store.gatewayIpTexts[call.gatewayIpIndex]);
    case Direction:
      return FromLatin1(DirectionText(call.direction));
    case Calling:
      return FromLatin1(call.calling);
    case Called:
      return FromLatin1(call.called);
    case Outcome:
      return CallOutcomeLabel(call);
    case Messages:
      return QString::number(call.messageCount);
    case Cause:
      return call.cause < 0
                 ? QString()
                 : FromLatin1(CauseText(call)) + QLatin1Char(' ') + FromLatin1(CauseName(call));
    default:
      return {};
  }
}

QVariant CallListModel::SortKey(int row, const CallRecord& call, int column) const {
  switch (column) {
    case Number:
    case Start:  // calls are numbered in the order they began
      return row;
    case Duration: {
      // Unknown durations first; a negative one sorts below zero.
      const MessageTime first = document_->Store().msgTimes[IndexOf(call.firstMessage).value];
      const MessageTime last = document_->Store().msgTimes[IndexOf(call.lastMessage).value];
      return first == kNoTime || last == kNoTime
                 ? -std::numeric_limits<double>::infinity()
                 : static_cast<double>(last) - static_cast<double>(first);
    }
    case Cause:
      return static_cast<int>(call.cause);
    case Messages:
      return static_cast<qulonglong>(call.messageCount);
    default:
      return Text(row, call, column);
  }
}

QVariant CallListModel::headerData(int section, Qt::Orientation orientation, int role) const {
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
  static const char* const kHeadings[Columns] = {"Call",      "Start",   "Duration", "Gateway",
                                                 "Direction", "Calling", "Called",   "Outcome",
                                                 "Messages",  "Cause"};
  return section >= 0 && section < Columns ? tr(kHeadings[section]) : QVariant();
}

}  // namespace sigrune
