// Opens a trace in the window (offscreen) and times what the user waits for: the list showing
// its first rows, then scrolling to the end and selecting the last row.
// Usage: window_open TRACE

#include <sys/resource.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <cstdio>

#include "platform/qt_platform.h"
#include "window/main_window.h"

namespace {

void Settle() {
  for (int round = 0; round < 5; ++round) {
    QApplication::processEvents();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_open TRACE\n");
    return 2;
  }
  sigrune::QtDialogs dialogs;
  sigrune::QtLauncher launcher;
  sigrune::MainWindow window(dialogs, launcher);
  window.show();
  Settle();

  QElapsedTimer timer;
  timer.start();
  if (!window.OpenTraceFile(QString::fromLocal8Bit(argv[1]))) {
    return 1;
  }
  window.repaint();
  Settle();
  const double openSeconds = timer.nsecsElapsed() / 1e9;

  auto* list = window.findChild<QTreeView*>(QStringLiteral("isdnList"));
  timer.restart();
  list->scrollToBottom();
  list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
  window.repaint();
  Settle();
  const double lastRowSeconds = timer.nsecsElapsed() / 1e9;

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("window: open until the first rows show %.3f s; scroll to the end and select the "
              "last row %.3f s; peak %ld MB\n",
              openSeconds, lastRowSeconds, usage.ru_maxrss / 1024);
  return 0;
}
