#include "window/call_list_filter.h"

#include "trace/text_utilities.h"
#include "window/call_list_model.h"

namespace sigrune {

namespace {

bool OutcomeChosen(const CallRecord& call, OutcomeChoice choice) {
  switch (choice) {
    case OutcomeChoice::All:
      return true;
    case OutcomeChoice::Failed:
      return call.outcome == CallOutcome::Failed;
    case OutcomeChoice::NotAnswered:
      return call.outcome != CallOutcome::Answered;
    case OutcomeChoice::Answered:
      return call.outcome == CallOutcome::Answered;
    case OutcomeChoice::Busy:
      return call.outcome == CallOutcome::Busy;
    case OutcomeChoice::NoAnswer:
      return call.outcome == CallOutcome::NoAnswer;
    case OutcomeChoice::Rejected:
      return call.outcome == CallOutcome::Rejected;
    case OutcomeChoice::Cancelled:
      return call.outcome == CallOutcome::Cancelled;
    case OutcomeChoice::NoOutcome:
      return call.outcome == CallOutcome::None;
    case OutcomeChoice::Open:
      return call.ended == CallEnded::Open;
  }
  return true;
}

}  // namespace

CallListFilter::CallListFilter(CallListModel* calls, QObject* parent)
    : QSortFilterProxyModel(parent), calls_(calls) {
  setSourceModel(calls);
  setSortRole(CallListModel::SortRole);
}

void CallListFilter::SetOutcomeChoice(OutcomeChoice choice) {
  choice_ = choice;
  invalidateRowsFilter();
}

void CallListFilter::SetMatchText(const QString& text) {
  text_ = text.trimmed().toLatin1();
  textMatchesNothing_ = QString::fromLatin1(text_) != text.trimmed();
  invalidateRowsFilter();
}

CallNumber CallListFilter::CallOfRow(int row) const {
  return calls_->CallOfRow(mapToSource(index(row, 0)).row());
}

bool CallListFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const CallRecord& call = calls_->RecordOfRow(sourceRow);
  if (!OutcomeChosen(call, choice_)) {
    return false;
  }
  if (text_.isEmpty()) {
    return !textMatchesNothing_;
  }
  const std::string_view text(text_.constData(), static_cast<std::size_t>(text_.size()));
  return Contains(call.calling, text) || Contains(call.called, text) ||
         Contains(calls_->GatewayOfRow(sourceRow), text);
}

}  // namespace sigrune
