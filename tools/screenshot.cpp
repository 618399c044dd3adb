// Makes the README's screenshots: the window on a trace with one message selected, and optionally
// the calls table (with that message's call selected), This Call applied to it, or the ladder of
// that call (the ladder's window alone), or the statistics' window alone; or, with `opening`, the
// window half a second into opening a large trace, with its progress; or, with `where`, an
// expression typed into the filter bar, key by key, as a user would.
// Usage: screenshot TRACE ROW OUTPUT.png [calls|call|opening|statistics|flow [ADDRESS=NAME...]|
//        where EXPR]
// (the names of the ladder's lanes; scripts/screenshot.sh runs it under xvfb-run)

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstring>

#include "platform/qt_platform.h"
#include "window/flow_window.h"
#include "window/lane_names_store.h"
#include "window/main_window.h"
#include "window/message_list_model.h"
#include "window/statistics_window.h"
#include "window/where_bar.h"

namespace {

// Turns the event loop until the window's workers are done and their results shown, or for a
// time when one is given.
void Settle(const sigrune::MainWindow& window, int milliseconds = -1) {
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer elapsed;
  elapsed.start();
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (milliseconds < 0 ? !window.Busy() : elapsed.elapsed() >= milliseconds) {
      loop.quit();
    }
  });
  poll.start(5);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const bool where = argc == 6 && std::strcmp(argv[4], "where") == 0;
  if (argc < 4 || (argc > 5 && std::strcmp(argv[4], "flow") != 0 && !where)) {
    return 2;
  }
  // Lane names for this picture only, never in the user's settings.
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  sigrune::LaneNamesStore names;
  for (int k = 5; k < argc && !where; ++k) {
    const QStringList named = QString::fromLocal8Bit(argv[k]).split(QLatin1Char('='));
    if (named.size() != 2) {
      return 2;
    }
    names.SetName(named[0], named[1]);
  }
  const char* const view = argc >= 5 ? argv[4] : "";
  sigrune::QtDialogs dialogs;
  sigrune::QtLauncher launcher;
  sigrune::MainWindow window(dialogs, launcher);
  window.resize(1040, 680);
  window.show();
  window.OpenTraceFile(QString::fromLocal8Bit(argv[1]));
  if (std::strcmp(view, "opening") == 0) {
    Settle(window, 500);
    return window.grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
  }
  Settle(window);
  if (!window.Document().IsOpen()) {
    return 1;
  }
  auto* list = window.findChild<QTreeView*>(QStringLiteral("isdnList"));
  const QModelIndex row = list->model()->index(QString::fromLatin1(argv[2]).toInt(), 0);
  list->setCurrentIndex(row);
  list->setFocus();
  if (std::strcmp(view, "calls") == 0) {
    window.findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(1);
    auto* calls = window.findChild<QTreeView*>(QStringLiteral("callList"));
    const QString call = row.siblingAtColumn(sigrune::MessageListModel::Call).data().toString();
    for (int shown = 0; shown < calls->model()->rowCount(); ++shown) {
      if (calls->model()->index(shown, 0).data().toString() == call) {
        calls->setCurrentIndex(calls->model()->index(shown, 0));
      }
    }
    calls->setFocus();
  } else if (std::strcmp(view, "call") == 0) {
    window.findChild<QAction*>(QStringLiteral("isdnFilterCall"))->trigger();
  } else if (where) {
    auto* bar = window.findChild<sigrune::WhereBar*>();
    bar->setFocus();
    const auto press = [&](int key, const QString& text) {
      QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
      QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
      QApplication::sendEvent(bar->lineEdit(), &down);
      QApplication::sendEvent(bar->lineEdit(), &up);
    };
    for (const QChar c : QString::fromLocal8Bit(argv[5])) {
      press(0, c);
    }
    Settle(window);
  } else if (std::strcmp(view, "flow") == 0) {
    window.findChild<QAction*>(QStringLiteral("isdnShowFlow"))->trigger();
  } else if (std::strcmp(view, "statistics") == 0) {
    window.findChild<QAction*>(QStringLiteral("isdnShowStatistics"))->trigger();
  } else if (*view != '\0') {
    return 2;
  }
  Settle(window);
  Settle(window, 100);
  QWidget* shown = &window;
  if (auto* flow = window.findChild<sigrune::FlowWindow*>()) {
    shown = flow;
  }
  if (auto* statistics = window.findChild<sigrune::StatisticsWindow*>()) {
    shown = statistics;
  }
  return shown->grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
