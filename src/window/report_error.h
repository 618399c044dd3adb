#pragma once

// The one message box through which the main window's actions report a failure, naming the
// procedure as the user has always read it: "Exception caught! Error in isdnOpen. ...".

#include <QString>

class QWidget;

namespace sigrune {

class Dialogs;

// Failure numbers handed to ReportError; the dialogs' cancel is passed over in silence.
inline constexpr int kFileAccessErrorNumber = 75;
inline constexpr int kOutOfMemoryNumber = 7;
inline constexpr int kDialogCancelNumber = 32755;

void ReportError(Dialogs& dialogs, QWidget* parent, const QString& procedureName, int errorNumber,
                 const QString& description);

}  // namespace sigrune
