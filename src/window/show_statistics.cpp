// Calls > Statistics: the window of counts, whose bars and rows choose the calls the calls table
// shows, directly or through the filter bar.

#include <QTabWidget>

#include "window/calls/calls_pane.h"
#include "window/main_window.h"
#include "window/statistics/statistics_window.h"
#include "window/where_bar.h"

namespace sigrune {

// Opened once and brought forward after.
void MainWindow::ShowStatisticsClicked() {
  if (!document_.IsOpen()) {
    return;
  }
  if (widgets_.statistics == nullptr) {
    widgets_.statistics = new StatisticsWindow(document_, dialogs_, this);
    widgets_.statistics->setAttribute(Qt::WA_DeleteOnClose);
    connect(widgets_.statistics, &StatisticsWindow::GroupChosen, this, &MainWindow::ShowCallGroup);
    // The bar's text alone says which calls are listed: an entry chosen before goes.
    connect(widgets_.statistics, &StatisticsWindow::FilterChosen, this,
            [this](const QString& text) {
              widgets_.callsPane->ClearGroup();
              widgets_.whereBar->SetText(text);
              widgets_.tabs->setCurrentWidget(widgets_.callsTab);
            });
  }
  widgets_.statistics->show();
  widgets_.statistics->raise();
  widgets_.statistics->activateWindow();
}

// A bar or row chosen in the statistics: its calls in the calls table.
void MainWindow::ShowCallGroup(const StatisticsGroup& group, const QString& description) {
  widgets_.callsPane->ShowGroup(group, description);
  widgets_.tabs->setCurrentWidget(widgets_.callsTab);
}

// The statistics count the calls again when they changed.
void MainWindow::ShowCallsInStatistics() {
  if (widgets_.statistics != nullptr) {
    widgets_.statistics->Recount();
  }
}

}  // namespace sigrune
