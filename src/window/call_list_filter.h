#pragma once

// The calls the table shows and their order: an outcome chosen in the selector and a text typed in
// the filter field, which a call's calling or called number or its gateway address contains.

#include <QByteArray>
#include <QSortFilterProxyModel>

#include "calls/call_table.h"

namespace sigrune {

class CallListModel;

// The outcome selector's entries, in its order.
enum class OutcomeChoice {
  All,
  Failed,
  NotAnswered,  // every outcome but answered
  Answered,
  Busy,
  NoAnswer,
  Rejected,
  Cancelled,
  NoOutcome,
  Open,  // still open at the end of the trace
};

class CallListFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit CallListFilter(CallListModel* calls, QObject* parent = nullptr);

  void SetOutcomeChoice(OutcomeChoice choice);
  void SetMatchText(const QString& text);

  // The call a row of the table shows.
  CallNumber CallOfRow(int row) const;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  CallListModel* calls_;
  OutcomeChoice choice_ = OutcomeChoice::All;
  QByteArray text_;                  // Latin-1, as the numbers and addresses are
  bool textMatchesNothing_ = false;  // it holds a character that is not Latin-1
};

}  // namespace sigrune
