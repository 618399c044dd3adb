// sigrune: the window. `sigrune [TRACE]` opens the trace as File > Open would.

#include <QApplication>
#include <QIcon>

#include "platform/qt_platform.h"
#include "version.h"
#include "window/application.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sigrune"));
  QApplication::setApplicationVersion(QString::fromLatin1(sigrune::kVersion));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("sigrune")));
  sigrune::QtDialogs dialogs;
  sigrune::QtLauncher launcher;
  return sigrune::RunWindowApplication(QApplication::arguments(), dialogs, launcher);
}
