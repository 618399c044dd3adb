// Makes the README's screenshot: the window on a trace with one message selected.
// Usage: screenshot TRACE ROW OUTPUT.png   (scripts/screenshot.sh runs it under xvfb-run)

#include <QApplication>
#include <QItemSelectionModel>
#include <QTreeView>

#include "platform/qt_platform.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 4) {
    return 2;
  }
  sigrune::QtDialogs dialogs;
  sigrune::QtLauncher launcher;
  sigrune::MainWindow window(dialogs, launcher);
  window.resize(900, 640);
  window.show();
  if (!window.OpenTraceFile(QString::fromLocal8Bit(argv[1]))) {
    return 1;
  }
  auto* list = window.findChild<QTreeView*>(QStringLiteral("isdnList"));
  list->setCurrentIndex(list->model()->index(QString::fromLatin1(argv[2]).toInt(), 0));
  list->setFocus();
  for (int round = 0; round < 20; ++round) {
    QApplication::processEvents();
  }
  return window.grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
