// Calls > Show Flow: the ladder windows, which follow the message the main window shows.

#include <QHeaderView>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>

#include "window/calls/calls_pane.h"
#include "window/flat_list_view.h"
#include "window/ladder/flow_window.h"
#include "window/ladder/lane_names_store.h"
#include "window/main_window.h"

namespace sigrune {

// The ladder of the calls selected in the calls table, or of the selected message's call.
void MainWindow::ShowFlowClicked() {
  if (!document_.IsOpen()) {
    return;
  }
  std::vector<CallNumber> calls;
  if (widgets_.tabs->currentWidget() == widgets_.callsTab) {
    calls = widgets_.callsPane->SelectedCalls();
  }
  const MessageNumber message = document_.CurrentMessage();
  if (calls.empty()) {
    if (const CallNumber call = document_.Calls().CallOf(message)) {
      calls.push_back(call);
    }
  }
  if (calls.empty()) {
    statusBar()->showMessage(message ? tr("Message %1 belongs to no call.").arg(message.value)
                                     : tr("Select a call, or a message of a call, first."),
                             5000);
    return;
  }
  if (laneNames_ == nullptr) {
    laneNames_ = new LaneNamesStore(this);
  }
  auto* flow = new FlowWindow(document_, std::move(calls), *laneNames_, dialogs_, this);
  flow->setAttribute(Qt::WA_DeleteOnClose);
  connect(flow, &FlowWindow::MessageChosen, this, &MainWindow::ChooseMessageFromFlow);
  flow->ShowSelectedMessage(message);
  flow->show();
}

// An arrow clicked in a ladder: its message is shown as if chosen in the list.
void MainWindow::ChooseMessageFromFlow(MessageNumber message) {
  // A related leg's message may be one the filter hides; the list then shows every message.
  const bool hidden = !document_.RowOfMessage(message);
  if (hidden) {
    document_.ClearFilter();
  }
  document_.SelectMessage(message);
  widgets_.tabs->setCurrentWidget(widgets_.messagesTab);
  ShowDocument({.rows = hidden, .pane = true});
}

// The ladders open mark the selected message; a new trace closes them.
void MainWindow::ShowDocumentInFlows(bool newTrace) {
  actions_.showFlow->setEnabled(document_.IsOpen());
  for (FlowWindow* flow : findChildren<FlowWindow*>(Qt::FindDirectChildrenOnly)) {
    if (newTrace) {
      flow->close();
    } else {
      flow->ShowSelectedMessage(document_.CurrentMessage());
    }
  }
}

}  // namespace sigrune
