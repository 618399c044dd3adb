#pragma once

#include <QStringList>

#include "platform/platform.h"

namespace sigrune {

// Runs the window program: `sigrune [--help] [--version] [TRACE]`, opening TRACE as File > Open
// would once the window shows. Returns the exit status when the window closes.
int RunWindowApplication(const QStringList& arguments, Dialogs& dialogs, Launcher& launcher);

}  // namespace sigrune
