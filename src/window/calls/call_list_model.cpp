#include "window/calls/call_list_model.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <climits>
#include <utility>

#include "calls/call_kpis.h"
#include "calls/call_texts.h"
#include "window/calls/call_headline.h"
#include "window/calls/outcome_colours.h"
#include "window/table_text.h"

namespace sigrune {

void CallListModel::ShowCallsOf(const TraceDocument* document) {
  document_ = document;
  ChooseRows();
}

void CallListModel::SetOutcomeChoice(OutcomeChoice outcome) {
  choice_.outcome = outcome;
  ChooseRows();
}

void CallListModel::SetMatchText(const QString& text) {
  const QString trimmed = text.trimmed();
  text_ = trimmed.toLatin1();
  textMatchesNothing_ = QString::fromLatin1(text_) != trimmed;
  choice_.text = std::string_view(text_.constData(), static_cast<std::size_t>(text_.size()));
  ChooseRows();
}

void CallListModel::SetGroup(std::optional<StatisticsGroup> group) {
  group_ = std::move(group);
  choice_.group = group_ ? &*group_ : nullptr;
  ChooseRows();
}

void CallListModel::ClearChoice() {
  text_.clear();
  textMatchesNothing_ = false;
  group_.reset();
  choice_.outcome = OutcomeChoice::All;
  choice_.text = {};
  choice_.group = nullptr;
  ChooseRows();
}

void CallListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kCallColumns) {
    return;
  }
  choice_.column = static_cast<CallColumn>(column);
  choice_.descending = order == Qt::DescendingOrder;
  ChooseRows();
}

void CallListModel::ChooseRows() {
  beginResetModel();
  rows_.clear();
  failedRows_ = 0;
  if (document_ != nullptr && !textMatchesNothing_) {
    choice_.calls = document_->HasWhere() ? &document_->WhereCalls() : nullptr;
    rows_ = ChooseCallRows(document_->Store(), document_->Calls(), choice_);
    for (const std::uint32_t row : rows_) {
      failedRows_ += document_->Calls().calls[row].outcome == CallOutcome::Failed ? 1 : 0;
    }
  }
  endResetModel();
}

CallNumber CallListModel::CallOfRow(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? CallNumber{rows_[row] + 1}
                                                                  : CallNumber{};
}

int CallListModel::RowOfCall(CallNumber call) const {
  const auto found = std::find(rows_.begin(), rows_.end(), call.value - 1);
  return call && found != rows_.end() ? static_cast<int>(found - rows_.begin()) : -1;
}

CallNumber CallListModel::RelatedOfRow(int row) const {
  const CallNumber call = CallOfRow(row);
  return call ? document_->Calls().Record(call).related : CallNumber{};
}

std::array<QStringList, kCallColumns> CallListModel::WidestTexts() const {
  std::array<QStringList, kCallColumns> widest;
  if (document_ == nullptr) {
    return widest;
  }
  const auto texts = WidestCallTexts(document_->Store(), document_->Calls());
  for (std::size_t column = 0; column < texts.size(); ++column) {
    for (const std::string& text : texts[column]) {
      widest[column] << FromLatin1(text);
    }
  }
  for (const CallOutcome outcome : kCallOutcomes) {
    CallRecord call;
    call.outcome = outcome;
    call.ended = CallEnded::Open;
    widest[static_cast<std::size_t>(CallColumn::Outcome)] << CallOutcomeLabel(call);
  }
  return widest;
}

std::size_t CallListModel::CallCount() const {
  return document_ != nullptr ? document_->Calls().calls.size() : 0;
}

int CallListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::min<std::size_t>(rows_.size(), INT_MAX));
}

int CallListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kCallColumns;
}

QVariant CallListModel::data(const QModelIndex& index, int role) const {
  const CallNumber number = CallOfRow(index.row());
  if (!number || index.column() < 0 || index.column() >= kCallColumns) {
    return {};
  }
  const CallRecord& call = document_->Calls().Record(number);
  const auto column = static_cast<CallColumn>(index.column());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return Text(static_cast<int>(number.value), call, column);
    case Qt::ForegroundRole:
      // The other leg's number is a link to it.
      if (column == CallColumn::Related && call.related) {
        return QGuiApplication::palette().color(QPalette::Link);
      }
      // The calls that did not go through stand out whole; the others by their outcome alone.
      if (column == CallColumn::Outcome ||
          (call.outcome != CallOutcome::Answered && call.outcome != CallOutcome::None)) {
        return OutcomeTextColour(call.outcome, QGuiApplication::palette());
      }
      return {};
    case Qt::FontRole:
      if (call.ended == CallEnded::Open || (column == CallColumn::Related && call.related)) {
        QFont font;
        font.setItalic(call.ended == CallEnded::Open);
        font.setUnderline(column == CallColumn::Related && call.related);
        return font;
      }
      return {};
    case Qt::TextAlignmentRole:
      if (column == CallColumn::Number || column == CallColumn::Duration ||
          column == CallColumn::Messages || column == CallColumn::Related ||
          column == CallColumn::Channel || column == CallColumn::Pdd) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      }
      return {};
    default:
      return {};
  }
}

QString CallListModel::Text(int number, const CallRecord& call, CallColumn column) const {
  const MessageStore& store = document_->Store();
  switch (column) {
    case CallColumn::Number:
      return QString::number(number);
    case CallColumn::Start:
      return FromLatin1(StartTimeText(store, call));
    case CallColumn::Duration:
      return FromLatin1(DurationText(store, call));
    case CallColumn::Gateway:
      return FromLatin1(store.gatewayIpTexts[call.gatewayIpIndex]);
    case CallColumn::Protocol:
      return FromLatin1(ProtocolText(call.protocol));
    case CallColumn::Direction:
      return FromLatin1(DirectionText(call.direction));
    case CallColumn::Calling:
      return FromLatin1(document_->Calls().Calling(call));
    case CallColumn::Called:
      return FromLatin1(document_->Calls().Called(call));
    case CallColumn::Outcome:
      return CallOutcomeLabel(call);
    case CallColumn::ClearedBy:
      return FromLatin1(ClearedByText(call.clearedBy));
    case CallColumn::Messages:
      return QString::number(call.messageCount);
    case CallColumn::Related:
      return call.related ? QString::number(call.related.value) : QString();
    case CallColumn::Channel:
      return call.channel < 0 ? QString() : QString::number(call.channel);
    case CallColumn::Pdd: {
      const std::optional<std::uint64_t> pdd = PostDialDelay(store, call);
      return pdd ? FromLatin1(MeanSecondsText(*pdd, 1)) : QString();
    }
    case CallColumn::Media:
      return FromLatin1(MediaText(document_->Calls(), call));
    case CallColumn::ReleaseReason:
      return FromLatin1(ReleaseReasonText(document_->Calls(), call));
    case CallColumn::Cause:
      return call.cause < 0
                 ? QString()
                 : FromLatin1(CauseText(call)) + QLatin1Char(' ') + FromLatin1(CauseName(call));
  }
  return {};
}

QVariant CallListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kHeadings[kCallColumns] = {
      "Call",    "Start",  "Duration", "Gateway",        "Protocol", "Direction",
      "Calling", "Called", "Outcome",  "Cleared by",     "Messages", "Related",
      "Channel", "PDD",    "Media",    "Release reason", "Cause"};
  return ColumnHeading(kHeadings, section, orientation, role);
}

}  // namespace sigrune
