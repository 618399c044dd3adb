// Times the window on a large trace (offscreen): opening it until its rows show (and how long the
// window's thread was ever kept from its events meanwhile), scrolling to the end and selecting
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
#include "window/main_window.h"
#include "window/message_list_model.h"

namespace {

// Answers the save dialog with the export file; message boxes are only counted.
class BenchDialogs : public sigrune::Dialogs {
 public:
  explicit BenchDialogs(QString exportFile) : exportFile_(std::move(exportFile)) {}
  std::optional<QStringList> OpenFileNames(QWidget*, const QStringList&, const QString&) override {
    return std::nullopt;
  }
  std::optional<QString> SaveFileName(QWidget*, const QString&, const QStringList&) override {
    return exportFile_;
  }
  void ShowMessage(QWidget*, sigrune::MessageIcon, const QString&, const QString&) override {}
  std::optional<int> Choose(QWidget*, sigrune::MessageIcon, const QString&, const QString&,
                            const QStringList&) override {
    return std::nullopt;
  }

 private:
  QString exportFile_;
};

class NoLauncher : public sigrune::Launcher {
 public:
  bool OpenDocument(const QString&) override { return false; }
  bool StartProgram(const QString&, const QStringList&) override { return false; }
};

// The longest the window's thread went without turning its event loop, over the last Settle.
qint64 longestStall = 0;

// Turns the event loop until the window's workers are done and what they gave is shown.
void Settle(const sigrune::MainWindow& window) {
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer sinceTick;
  sinceTick.start();
  longestStall = 0;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    longestStall = std::max(longestStall, sinceTick.restart());
    if (!window.Busy()) {
      loop.quit();
    }
  });
  poll.start(1);
  loop.exec();
}

template <typename Work>
double Seconds(sigrune::MainWindow& window, Work work) {
  QElapsedTimer timer;
  timer.start();
  work();
  Settle(window);
  window.repaint();
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_operations TRACE EXPORT-FILE\n");
    return 2;
  }
  BenchDialogs dialogs(QString::fromLocal8Bit(argv[2]));
  NoLauncher launcher;
  sigrune::MainWindow window(dialogs, launcher);
  window.show();
  Settle(window);

  const double open =
      Seconds(window, [&] { window.OpenTraceFile(QString::fromLocal8Bit(argv[1])); });
  if (!window.Document().IsOpen()) {
    return 1;
  }
  const qint64 openStall = longestStall;
  auto* list = window.findChild<QTreeView*>(QStringLiteral("isdnList"));
  const auto selectRow = [list](int row) { list->setCurrentIndex(list->model()->index(row, 0)); };
  const double lastRow = Seconds(window, [&] {
    list->scrollToBottom();
    selectRow(list->model()->rowCount() - 1);
  });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "window: open until the rows show %.3f s (the window answering meanwhile, at worst after "
      "%lld ms), peak %ld MB; scroll to the end and select the last row %.3f s\n",
      open, static_cast<long long>(openStall), usage.ru_maxrss / 1024, lastRow);

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
  const double messages = static_cast<double>(window.Document().Store().msgCount);
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
