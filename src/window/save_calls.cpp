// Calls > Save Calls as CSV: the calls the table shows, in its order.

#include <QApplication>
#include <QFile>
#include <QStatusBar>

#include "util/text_utilities.h"
#include "window/calls/calls_pane.h"
#include "window/main_window.h"
#include "window/report_error.h"

namespace sigrune {

void MainWindow::SaveCallsClicked() {
  if (!document_.IsOpen()) {
    return;
  }
  std::optional<QString> path =
      dialogs_.SaveFileName(this, tr("Save Calls as CSV"), {tr("CSV (*.csv)"), tr("All (*)")});
  if (!path) {
    return;
  }
  *path = WithSuffix(*path, QLatin1String(".csv"));
  const std::vector<CallNumber> calls = widgets_.callsPane->ShownCalls();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::string error =
      document_.SaveCallsCsv(QFile::encodeName(*path).toStdString(), calls).errorText;
  QApplication::restoreOverrideCursor();
  if (!error.empty()) {
    ReportError(dialogs_, this, QStringLiteral("isdnSaveCalls"), kFileAccessErrorNumber,
                QString::fromLocal8Bit(error.c_str()));
    return;
  }
  statusBar()->showMessage(
      tr("%1 written to %2.")
          .arg(QString::fromStdString(CountOf(calls.size(), "call", "calls")), *path),
      5000);
}

}  // namespace sigrune
