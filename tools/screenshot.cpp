// Makes the README's screenshots: the window on a trace with one message selected, and optionally
// the calls table (with that message's call selected), This Call applied to it, or the ladder of
// that call (the ladder's window alone), or the statistics' window alone (its Trunks tab with
// `trunks`); or, with `opening`, the window half a second into opening a large trace, with its
// progress; or, with `where`, an expression typed into the filter bar, key by key, as a user
// would. With `triage EXPR`, the Calls tab after EXPR (may be empty) in the filter bar and Failed
// in the outcome selector, the first failed call with a related leg chosen (or the first failed
// one). With `find-all TEXT`, the results of Find All for the text with the first one chosen;
// with `menu`, the row's right-click menu open; with `recent`, File > Open Recent open after the
// trace and another were opened (menus are grabbed from the whole screen).
// Usage: screenshot TRACE ROW OUTPUT.png [calls|calls-media|call|opening|statistics|trunks|
//        flow [ADDRESS=NAME...]|where EXPR|triage EXPR|find-all TEXT|menu|recent|about|
//        h225]
// (h225: a taller window, its pane scrolled to the H.225 user information at its end;
// calls-media: the calls table scrolled to the H.225 columns)
// (the names of the ladder's lanes; scripts/screenshot.sh runs it under xvfb-run)

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <cstdlib>
#include <cstring>

#include "platform/qt_platform.h"
#include "window/calls/call_rows.h"
#include "window/find_form.h"
#include "window/flat_list_view.h"
#include "window/ladder/flow_window.h"
#include "window/ladder/lane_names_store.h"
#include "window/main_window.h"
#include "window/message_list_model.h"
#include "window/statistics/statistics_window.h"
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
  const bool findAll = argc == 6 && std::strcmp(argv[4], "find-all") == 0;
  const bool triage = argc == 6 && std::strcmp(argv[4], "triage") == 0;
  if (argc < 4 ||
      (argc > 5 && std::strcmp(argv[4], "flow") != 0 && !where && !findAll && !triage)) {
    return 2;
  }
  // Settings and lane names for this picture only, never the user's: every picture starts as a
  // first start does.
  const QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  sigrune::LaneNamesStore names;
  for (int k = 5; k < argc && !where && !findAll && !triage; ++k) {
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
  if (triage) {
    window.resize(1400, 900);
  } else {
    window.resize(1040, 680);
  }
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
  auto* list = window.findChild<sigrune::FlatListView*>(QStringLiteral("isdnList"));
  const QModelIndex row = list->model()->index(QString::fromLatin1(argv[2]).toInt(), 0);
  list->setCurrentIndex(row);
  list->setFocus();
  const bool media = std::strcmp(view, "calls-media") == 0;
  if (std::strcmp(view, "calls") == 0 || media) {
    window.findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(1);
    auto* calls = window.findChild<QTreeView*>(QStringLiteral("callList"));
    const QString call = row.siblingAtColumn(sigrune::MessageListModel::Call).data().toString();
    for (int shown = 0; shown < calls->model()->rowCount(); ++shown) {
      if (calls->model()->index(shown, 0).data().toString() == call) {
        calls->setCurrentIndex(calls->model()->index(shown, 0));
      }
    }
    if (media) {
      // Scrolled right to the H.225 call's media and release reason.
      calls->scrollTo(calls->currentIndex().siblingAtColumn(
          static_cast<int>(sigrune::CallColumn::ReleaseReason)));
    }
    calls->setFocus();
  } else if (std::strcmp(view, "call") == 0) {
    window.findChild<QAction*>(QStringLiteral("isdnFilterCall"))->trigger();
  } else if (where || triage) {
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
    if (triage) {
      window.findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(1);
      auto* outcome = window.findChild<QComboBox*>(QStringLiteral("callOutcome"));
      outcome->setCurrentIndex(outcome->findText(QStringLiteral("Failed")));
      Settle(window);
      auto* calls = window.findChild<QTreeView*>(QStringLiteral("callList"));
      const int related = static_cast<int>(sigrune::CallColumn::Related);
      int chosen = 0;
      for (int shown = calls->model()->rowCount() - 1; shown >= 0; --shown) {
        if (!calls->model()->index(shown, related).data().toString().isEmpty()) {
          chosen = shown;
        }
      }
      calls->setFocus();
      calls->setCurrentIndex(calls->model()->index(chosen, 0));
      Settle(window);
    }
  } else if (std::strcmp(view, "flow") == 0) {
    window.findChild<QAction*>(QStringLiteral("isdnShowFlow"))->trigger();
  } else if (std::strcmp(view, "statistics") == 0 || std::strcmp(view, "trunks") == 0) {
    window.findChild<QAction*>(QStringLiteral("isdnShowStatistics"))->trigger();
    if (std::strcmp(view, "trunks") == 0) {
      window.findChild<QTabWidget*>(QStringLiteral("statisticsTabs"))->setCurrentIndex(1);
    }
  } else if (findAll) {
    window.Find().findChild<QLineEdit*>(QStringLiteral("findText"))->setText(argv[5]);
    window.Find().findChild<QPushButton*>(QStringLiteral("FindAllButton"))->click();
    Settle(window);
    auto* results = window.findChild<QTreeView*>(QStringLiteral("findAllResults"));
    results->setCurrentIndex(results->model()->index(0, 0));
    results->setFocus();
  } else if (std::strcmp(view, "menu") == 0 || std::strcmp(view, "recent") == 0) {
    QMenu* menu = window.findChild<QMenu*>(QStringLiteral("messageMenu"));
    if (std::strcmp(view, "menu") == 0) {
      emit list->customContextMenuRequested(list->visualRect(row).center());
    } else {
      // A set of two files as one entry, then the trace again on top.
      const QString trace = QString::fromLocal8Bit(argv[1]);
      window.OpenTraceFiles(
          {trace, QFileInfo(trace).dir().filePath(QStringLiteral("plain-trace.txt"))});
      Settle(window);
      window.OpenTraceFile(trace);
      Settle(window);
      menu = window.findChild<QMenu*>(QStringLiteral("isdnFile"));
      menu->popup(window.mapToGlobal(QPoint(0, window.menuBar()->height())));
      Settle(window, 200);
      auto* recent = window.findChild<QMenu*>(QStringLiteral("isdnRecentMenu"));
      menu->setActiveAction(recent->menuAction());
      recent->popup(menu->mapToGlobal(menu->actionGeometry(recent->menuAction()).topRight()));
    }
    Settle(window, 300);
    return QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[3]))
               ? 0
               : 1;
  } else if (std::strcmp(view, "about") == 0) {
    // The box is modal: grabbed, and the program ended, while it shows.
    QTimer::singleShot(500, [&] {
      const bool saved =
          QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[3]));
      std::exit(saved ? 0 : 1);
    });
    window.findChild<QAction*>(QStringLiteral("isdnAbout"))->trigger();
    return 1;
  } else if (std::strcmp(view, "h225") == 0) {
    window.resize(1040, 900);
  } else if (*view != '\0') {
    return 2;
  }
  Settle(window);
  Settle(window, 100);
  if (std::strcmp(view, "h225") == 0) {
    // The H.225 user information ends the pane: shown from the dump on.
    auto* pane = window.findChild<QTextEdit*>(QStringLiteral("tesselText"));
    pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
  }
  QWidget* shown = &window;
  if (auto* flow = window.findChild<sigrune::FlowWindow*>()) {
    shown = flow;
  }
  if (auto* statistics = window.findChild<sigrune::StatisticsWindow*>()) {
    shown = statistics;
  }
  return shown->grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
