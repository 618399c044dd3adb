// Calls > Statistics: the window of counts, whose bars and rows choose the calls the calls table
// shows.

#include <QTabWidget>

#include "window/calls_pane.h"
#include "window/main_window.h"
#include "window/statistics_window.h"

namespace sigrune {

void MainWindow::isdnShowStatistics_Click() {
  if (!document_.IsOpen()) {
    return;
  }
  if (statistics_ == nullptr) {
    statistics_ = new StatisticsWindow(document_, dialogs_, this);
    statistics_->setAttribute(Qt::WA_DeleteOnClose);
    connect(statistics_, &StatisticsWindow::GroupChosen, this, &MainWindow::ShowCallGroup);
  }
  statistics_->show();
  statistics_->raise();
  statistics_->activateWindow();
}

void MainWindow::ShowCallGroup(const StatisticsGroup& group, const QString& description) {
  callsPane_->ShowGroup(group, description);
  isdnTabs->setCurrentWidget(callsPane_);
}

void MainWindow::ShowCallsInStatistics() {
  if (statistics_ != nullptr) {
    statistics_->Recount();
  }
}

}  // namespace sigrune
