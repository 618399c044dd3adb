// Times the window on a large trace (offscreen): opening it until its first rows show and until
// it is fully loaded (and how long the window's thread was ever kept from its events meanwhile),
// scrolling to the end and selecting
// the last row, switching each filter on and off, a find that scans every message without a hit,
// and the export.
// Usage: window_operations TRACE EXPORT-FILE

#include <sys/resource.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>

#include "window/find_form.h"
#include "window/flat_list_view.h"
#include "window/main_window.h"
#include "window/message_list_model.h"
#include "window_bench.h"

using sigrune::bench::Seconds;
using sigrune::bench::Settle;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_operations TRACE EXPORT-FILE\n");
    return 2;
  }
  const sigrune::bench::ScratchSettings settings;
  sigrune::bench::BenchDialogs dialogs(QString::fromLocal8Bit(argv[2]));
  sigrune::bench::NoLauncher launcher;
  sigrune::MainWindow window(dialogs, launcher);
  window.show();
  Settle(window);

  auto* list = window.findChild<sigrune::FlatListView*>(QStringLiteral("isdnList"));
  QElapsedTimer opening;
  opening.start();
  window.OpenTraceFile(QString::fromLocal8Bit(argv[1]));
  // The first rows: the list has some and has painted them.
  double firstRows = 0;
  {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (list->model()->rowCount() > 0 || !window.Busy()) {
        list->viewport()->repaint();
        firstRows = static_cast<double>(opening.nsecsElapsed()) / 1e9;
        loop.quit();
      }
    });
    poll.start(1);
    loop.exec();
  }
  const qint64 openStall = Settle(window);
  window.repaint();
  const double open = static_cast<double>(opening.nsecsElapsed()) / 1e9;
  if (!window.Document().IsOpen()) {
    return 1;
  }
  const auto selectRow = [list](int row) { list->setCurrentIndex(list->model()->index(row, 0)); };
  const double lastRow = Seconds(window, [&] {
    list->scrollToBottom();
    selectRow(list->model()->rowCount() - 1);
  });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "window: open until the first rows show %.3f s, until fully loaded %.3f s (the window "
      "answering meanwhile, at worst after %lld ms), peak %ld MB; scroll to the end and select "
      "the last row %.3f s\n",
      firstRows, open, static_cast<long long>(openStall), usage.ru_maxrss / 1024, lastRow);

  // A message in a call, for Selected Call and This Call.
  int inCall = 0;
  while (
      inCall < 1000 &&
      list->model()->index(inCall, sigrune::MessageListModel::Call).data().toString().isEmpty()) {
    ++inCall;
  }
  selectRow(inCall);
  for (const char* name :
       {"isdnFilter", "isdnFilterCall", "isdnFilterGW", "isdnFilterPRI", "isdnFilterH225"}) {
    auto* entry = window.findChild<QAction*>(QLatin1String(name));
    const double on = Seconds(window, [&] { entry->trigger(); });
    const int rows = list->model()->rowCount();
    const double off = Seconds(window, [&] { entry->trigger(); });
    std::printf("window: %-15s on %.3f s (%d rows), off %.3f s\n", name, on, rows, off);
  }

  selectRow(0);
  window.Find().findChild<QLineEdit*>(QStringLiteral("findText"))->setText("no such text");
  const double find = Seconds(window, [&] { window.Find().doFind(); });
  const double messages = static_cast<double>(window.Document().Store().MessageCount());
  std::printf("window: find without a hit %.3f s, %.0f messages/s\n", find, messages / find);

  const double save =
      Seconds(window, [&] { window.findChild<QAction*>(QStringLiteral("isdnSave"))->trigger(); });
  std::printf("window: export %.3f s, %.0f messages/s\n", save, messages / save);

  auto* calls = window.findChild<QTreeView*>(QStringLiteral("callList"));
  const double byDuration = Seconds(window, [&] { calls->sortByColumn(2, Qt::DescendingOrder); });
  const double byNumber = Seconds(window, [&] { calls->sortByColumn(0, Qt::AscendingOrder); });
  auto* callText = window.findChild<QLineEdit*>(QStringLiteral("callFilterText"));
  const double typed = Seconds(window, [&] { callText->setText("555"); });
  const int matching = calls->model()->rowCount();
  const double cleared = Seconds(window, [&] { callText->clear(); });
  const double csv = Seconds(
      window, [&] { window.findChild<QAction*>(QStringLiteral("isdnSaveCalls"))->trigger(); });
  std::printf(
      "window: %d calls; sort by duration %.3f s, by number %.3f s; filter \"555\" %.3f s (%d "
      "rows), cleared %.3f s; Save Calls as CSV %.3f s\n",
      calls->model()->rowCount(), byDuration, byNumber, typed, matching, cleared, csv);
  return 0;
}
