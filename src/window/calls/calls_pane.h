#pragma once

// The Calls tab's table with its filter field, outcome selector and counts. Activating a row
// (double-click, Enter) asks for that call's messages, activating the number of its related leg
// selects that call instead; moving to a row tells its call.

#include <QWidget>
#include <functional>
#include <vector>

#include "calls/call_statistics.h"
#include "calls/call_table.h"
#include "document/trace_document.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QModelIndex;
class QToolButton;
class QTreeView;

namespace sigrune {

class CallListModel;

class CallsPane : public QWidget {
  Q_OBJECT

 public:
  explicit CallsPane(QWidget* parent = nullptr);

  // Takes the document's calls afresh after a load, keeping the order and the filter; none for
  // no document. The document must outlive the pane or the next call.
  void ShowCallsOf(const TraceDocument* document);
  // The document's calls grew or changed (messages appended to the trace, another expression in
  // the filter bar): shown again, keeping the selected calls, once the table is in sight.
  void CallsChanged();
  // Empties the number or gateway field and shows every outcome again: for another trace.
  void ClearChoice();

  // Shows only the calls of a bar or row of the statistics, named by `description` beside the
  // counts until its button clears it; kept, like the other filters, when a trace is read.
  void ShowGroup(const StatisticsGroup& group, const QString& description);
  void ClearGroup();

  // The calls the table shows, in its order.
  std::vector<CallNumber> ShownCalls();
  // The calls selected in the table, in the order of their numbers.
  std::vector<CallNumber> SelectedCalls() const;
  // Selects the call alone and scrolls to it, showing every call again when the table's own
  // choice hides it.
  void GoToCall(CallNumber call);

 signals:
  void CallActivated(CallNumber call);
  // The user moved to another row (mouse or keys); none when no row is current.
  void CurrentCallChanged(CallNumber call);
  void ExportToPcapRequested(const std::vector<CallNumber>& calls);
  // The right-click menu's entries that the window carries out.
  void ShowFlowRequested();
  void SaveCallsRequested();

 private:
  void showEvent(QShowEvent* event) override;
  void CreateMenu();
  void ShowMenu(const QPoint& position);
  void CopySelectedRows();
  void TakeCalls(const TraceDocument* document);
  // Changes the rows, keeping the calls selected that are still shown and the current one in
  // view.
  void ChangeRows(const std::function<void()>& change);
  void SelectCalls(const std::vector<CallNumber>& calls, CallNumber current);
  void RowActivated(const QModelIndex& index);
  void SizeColumns();
  void UpdateCount();
  void ShowChangedCalls();

  const TraceDocument* document_ = nullptr;
  bool open_ = false;     // a trace is open
  bool changed_ = false;  // the calls changed while the table was out of sight
  CallListModel* model_ = nullptr;
  QLabel* count_ = nullptr;
  QLineEdit* text_ = nullptr;
  QComboBox* outcome_ = nullptr;
  QLabel* group_ = nullptr;
  QToolButton* clearGroup_ = nullptr;
  QTreeView* view_ = nullptr;
  QMenu* menu_ = nullptr;
};

}  // namespace sigrune
