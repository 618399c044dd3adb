#pragma once

#include <QStringList>
#include <optional>

#include "platform/platform.h"

namespace sigrune {

// `sigrune --help` and `sigrune --version`: prints the text and gives the exit status (0, or 1
// when standard output cannot take it); nothing for any other command line. Needs no
// QApplication, so no display.
std::optional<int> AnswerHelpOrVersion(const QStringList& arguments);

// Runs the window program: `sigrune [--help] [--version] [--follow] [TRACE...]`, opening the
// traces as File > Open would once the window shows, and following the last with --follow.
// Returns the exit status when the window closes.
int RunWindowApplication(const QStringList& arguments, Dialogs& dialogs, Launcher& launcher);

}  // namespace sigrune
