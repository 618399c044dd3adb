// Times the ladder window (offscreen) on a trace it writes: opening the ladder of a call of
// 10,000 messages until it is painted, scrolling it to the end, and the SVG file of a call of
// 1,000 messages. Usage: ladder FOLDER (the trace and the SVG file are written there)

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <fstream>
#include <string>

#include "window/flat_list_view.h"
#include "window/ladder/flow_window.h"
#include "window/ladder/ladder_view.h"
#include "window/main_window.h"
#include "window_bench.h"

namespace {

// One call of `messages` messages on a gateway: a SETUP, PROGRESS and INFORMATION both ways,
// and the clearing; a millisecond apart from `start`.
void WriteCall(std::ofstream& trace, const char* address, const char* reference, int messages,
               int start) {
  int millisecond = start;
  const auto message = [&](bool incoming, const std::string& octets) {
    char time[32];
    std::snprintf(time, sizeof time, "01/15/2004 %02d:%02d:%02d.%03d", millisecond / 3600000,
                  millisecond / 60000 % 60, millisecond / 1000 % 60, millisecond % 1000);
    ++millisecond;
    trace << time << " CCP|" << (incoming ? "In  Message -- PriMsg" : "Out Message -- PriMsg")
          << " -- Protocol= PriNi2Protocol\n"
          << time << " CCP|MMan_Id= 1. (IpAddr=" << address << " IpPort=2427)\n"
          << time << " CCP|IsdnMsgData1= 08 02 " << (incoming ? "00 " : "80 ") << reference << ' '
          << octets << '\n';
  };
  message(true,
          "05 04 03 80 90 a2 18 03 a9 83 81 6c 0c 21 80 32 31 34 35 35 35 30 31 30 30 "
          "70 05 c1 31 30 30 31");
  for (int k = 1; k < messages - 3; ++k) {
    message(k % 2 == 0, k % 3 == 0 ? "03 1e 02 81 88" : "7b 70 03 81 35 36");
  }
  message(true, "45 08 02 82 90");
  message(false, "4d");
  message(true, "5a");
}

// Lets the event loop run what is pending (the paint, above all).
void Settle() {
  QEventLoop loop;
  QTimer::singleShot(0, &loop, &QEventLoop::quit);
  loop.exec();
}

template <typename Work>
double Seconds(Work work) {
  QElapsedTimer timer;
  timer.start();
  work();
  Settle();
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: ladder FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  constexpr int kLong = 10'000;
  constexpr int kExported = 1'000;
  {
    std::ofstream trace(folder + "/ladder-trace.txt", std::ios::binary);
    WriteCall(trace, "0501a8c0", "01", kLong, 0);
    WriteCall(trace, "1e01010a", "02", kExported, 60'000);
  }
  const QString svg = QString::fromStdString(folder + "/ladder.svg");
  const sigrune::bench::ScratchSettings settings;
  sigrune::bench::BenchDialogs dialogs(svg);
  sigrune::bench::NoLauncher launcher;
  sigrune::MainWindow window(dialogs, launcher);
  window.show();
  window.OpenTraceFile(QString::fromStdString(folder + "/ladder-trace.txt"));
  sigrune::bench::Settle(window);
  if (!window.Document().IsOpen()) {
    return 1;
  }
  auto* list = window.findChild<sigrune::FlatListView*>(QStringLiteral("isdnList"));
  auto* showFlow = window.findChild<QAction*>(QStringLiteral("isdnShowFlow"));
  const auto openFlow = [&](int row) {
    list->setCurrentIndex(list->model()->index(row, 0));
    Settle();
    sigrune::FlowWindow* flow = nullptr;
    const double seconds = Seconds([&] {
      showFlow->trigger();
      flow = window.findChildren<sigrune::FlowWindow*>().constLast();
      flow->repaint();
    });
    return std::pair(flow, seconds);
  };

  const auto [longFlow, open] = openFlow(0);
  sigrune::LadderView& view = longFlow->View();
  const double scroll = Seconds([&] {
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    view.viewport()->repaint();
  });
  std::printf(
      "ladder: open a call of %zu messages until painted %.3f s (goal 0.2 s); scroll to its end "
      "%.3f s\n",
      longFlow->Picture().Rows(), open, scroll);
  longFlow->close();

  const auto [exported, unused] = openFlow(kLong);
  const double written =
      Seconds([&] { exported->findChild<QPushButton*>(QStringLiteral("exportSvg"))->click(); });
  std::printf("ladder: SVG of a call of %zu messages %.3f s (goal 1 s), %.1f MB\n",
              exported->Picture().Rows(), written,
              static_cast<double>(QFileInfo(svg).size()) / 1e6);
  return dialogs.messages == 0 ? 0 : 1;
}
