// The Filter menu: one filter at a time narrows the list to the selected call, one call of the
// calls table, one gateway, PRI or H.225 messages; a second click on it brings the whole list
// back.

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>

#include "window/flat_list_view.h"
#include "window/main_window.h"

namespace sigrune {

void MainWindow::FilterClicked(ListFilter filter) {
  if (document_.ActiveFilter() == filter) {
    document_.ClearFilter();
    ShowDocument({.rows = true});
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool applied = document_.ApplyFilter(filter);
  // Unchecks an entry the click checked when the filter stayed off.
  ShowDocument({.rows = applied});
  QApplication::restoreOverrideCursor();
  if (applied) {
    return;
  }
  const MessageNumber selected = document_.CurrentMessage();
  statusBar()->showMessage(filter == ListFilter::ThisCall && selected
                               ? tr("Message %1 belongs to no call.").arg(selected.value)
                               : tr("Select a message first: the filter takes its key from it."),
                           5000);
}

void MainWindow::ShowCall(CallNumber call) {
  // Asked for by name in the calls table, so it takes the place of any other filter.
  if (document_.ActiveFilter() && document_.ActiveFilter() != ListFilter::ThisCall) {
    document_.ClearFilter();
  }
  const bool applied = document_.ApplyCallFilter(call);
  ShowDocument({.rows = true, .pane = applied});
  if (applied) {
    widgets_.tabs->setCurrentWidget(widgets_.messagesTab);
    widgets_.messageList->setFocus();
  }
}

}  // namespace sigrune
