#include "window/report_error.h"

#include "platform/platform.h"
#include "window/main_window.h"

namespace sigrune {

void ReportError(Dialogs& dialogs, QWidget* parent, const QString& procedureName, int errorNumber,
                 const QString& description) {
  if (errorNumber == kDialogCancelNumber) {
    return;
  }
  dialogs.ShowMessage(parent, MessageIcon::Critical, MainWindow::tr("Error!"),
                      QLatin1String("Exception caught! Error in ") + procedureName +
                          QLatin1String(".") + QLatin1String(" Description: ") + description);
}

}  // namespace sigrune
