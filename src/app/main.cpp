// sigrune: the window. `sigrune [TRACE]` opens the trace as File > Open would.

#include <QApplication>
#include <QIcon>

#include "platform/qt_platform.h"
#include "version.h"
#include "window/application.h"

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

  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("sigrune")));
  sigrune::QtDialogs dialogs;
  sigrune::QtLauncher launcher;
  return sigrune::RunWindowApplication(QApplication::arguments(), dialogs, launcher);
}
