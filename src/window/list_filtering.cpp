// The Filter menu: one filter at a time narrows the list to the selected call, one gateway, PRI
// or H.225 messages; a second click on it brings the whole list back.

#include <QApplication>
#include <QStatusBar>

#include "window/main_window.h"

namespace sigrune {

void MainWindow::isdnFilter_Click(ListFilter filter) {
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
  if (!applied) {
    statusBar()->showMessage(tr("Select a message first: the filter takes its key from it."), 5000);
  }
}

}  // namespace sigrune
