// sigrune: the window. `sigrune [--follow] [TRACE...]` opens the traces as File > Open would.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/qt_platform.h"
#include "version.h"
#include "window/application.h"
#include "writers/replacing_file.h"

namespace {

// Without one Qt ends the program with abort(); a plain word and exit status 1 serve better.
bool HasDisplay(int argc, char** argv) {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      return true;
    }
  }
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "-platform") == 0 || std::strcmp(argv[k], "--platform") == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication::setApplicationName(QStringLiteral("sigrune"));
  QApplication::setApplicationVersion(QString::fromLatin1(sigrune::kVersion));
  // Answered before the QApplication exists, since making it needs a display.
  QStringList arguments;
  for (int k = 0; k < argc; ++k) {
    arguments << QString::fromLocal8Bit(argv[k]);
  }
  if (const std::optional<int> answered = sigrune::AnswerHelpOrVersion(arguments)) {
    return *answered;
  }

  if (!HasDisplay(argc, argv)) {
    std::fputs(
        "sigrune: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
        "sigrune-cli reads traces without one.\n",
        stderr);
    return 1;
  }
  // Ended by a signal, the window still removes the temporary file of an export under way.
  const sigrune::TemporaryFilesRemovedOnSignals removedOnSignals;
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("sigrune")));
  sigrune::QtDialogs dialogs;
  sigrune::QtLauncher launcher;
  return sigrune::RunWindowApplication(QApplication::arguments(), dialogs, launcher);
}
