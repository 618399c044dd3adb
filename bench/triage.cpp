// Times the Calls tab (offscreen) on a trace it writes: selecting a call in the table until the
// ladder of the call and its related leg, 1,000 messages together, is built and painted.
// Usage: triage FOLDER (the trace is written there)

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "window/calls/call_triage.h"
#include "window/ladder/ladder_painter.h"
#include "window/ladder/ladder_view.h"
#include "window/main_window.h"
#include "window_bench.h"

namespace {

using Line = std::pair<int, std::string>;  // a message's time in milliseconds, its lines

// One leg of `messages` messages on a PRI gateway, its SETUP from `fromGateway`'s side: the SETUP,
// PROGRESS and INFORMATION both ways, and the clearing; two milliseconds apart from `start`.
void AddLeg(std::vector<Line>& lines, const char* address, const char* reference, bool fromGateway,
            int messages, int start) {
  int millisecond = start;
  const auto message = [&](bool fromOriginator, const std::string& octets) {
    char time[32];
    std::snprintf(time, sizeof time, "01/15/2004 %02d:%02d:%02d.%03d", millisecond / 3600000,
                  millisecond / 60000 % 60, millisecond / 1000 % 60, millisecond % 1000);
    const bool in = fromOriginator == fromGateway;
    lines.emplace_back(
        millisecond,
        std::string(time) + " CCP|" + (in ? "In  Message -- PriMsg" : "Out Message -- PriMsg") +
            " -- Protocol= PriNi2Protocol\n" + time + " CCP|MMan_Id= 1. (IpAddr=" + address +
            " IpPort=2427)\n" + time + " CCP|IsdnMsgData1= 08 02 " +
            (fromOriginator ? "00 " : "80 ") + reference + ' ' + octets + '\n');
    millisecond += 2;
  };
  message(true,
          "05 04 03 80 90 a2 18 03 a9 83 81 6c 0c 21 80 32 31 34 35 35 35 30 31 30 30 "
          "70 05 c1 31 30 30 31");
  for (int k = 1; k < messages - 3; ++k) {
    message(k % 2 == 0, k % 3 == 0 ? "03 1e 02 81 88" : "7b 70 03 81 35 36");
  }
  message(false, "45 08 02 82 a2");
  message(true, "4d");
  message(false, "5a");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: triage FOLDER\n");
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/triage-trace.txt";
  {
    // An incoming call and the outgoing leg the server placed for it 0.1 s later, interleaved,
    // then a short call to select in between.
    std::vector<Line> lines;
    AddLeg(lines, "0501a8c0", "01", true, 500, 0);
    AddLeg(lines, "1e01010a", "02", false, 500, 101);
    AddLeg(lines, "0601a8c0", "03", true, 8, 10'000);
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line& a, const Line& b) { return a.first < b.first; });
    std::ofstream trace(path, std::ios::binary);
    for (const Line& line : lines) {
      trace << line.second;
    }
  }
  const sigrune::bench::ScratchSettings settings;
  sigrune::bench::BenchDialogs dialogs({});
  sigrune::bench::NoLauncher launcher;
  sigrune::MainWindow window(dialogs, launcher);
  window.show();
  window.OpenTraceFile(QString::fromStdString(path));
  sigrune::bench::Settle(window);
  if (!window.Document().IsOpen() || window.Document().Calls().calls.size() != 3) {
    std::fprintf(stderr, "triage: the trace did not read as three calls\n");
    return 1;
  }
  window.findChild<QTabWidget*>(QStringLiteral("isdnTabs"))->setCurrentIndex(1);
  sigrune::bench::Settle(window);
  auto* calls = window.findChild<QTreeView*>(QStringLiteral("callList"));
  auto* triage = window.findChild<sigrune::CallTriage*>(QStringLiteral("callTriage"));
  double slowest = 0;
  std::size_t arrows = 0;
  // Each row in turn, twice: the long call, its leg and the short one between them.
  for (int turn = 0; turn < 6; ++turn) {
    const int row = turn % 3;
    QElapsedTimer timer;
    timer.start();
    calls->setCurrentIndex(calls->model()->index(row, 0));
    triage->Ladder().viewport()->repaint();
    const double milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (triage->Picture() != nullptr && triage->Picture()->Rows() >= 1000) {
      slowest = std::max(slowest, milliseconds);
      arrows = triage->Picture()->Rows();
    }
    sigrune::bench::Settle(window);
  }
  std::printf("triage: select a call, its ladder of %zu messages painted %.1f ms (goal 50 ms)\n",
              arrows, slowest);
  std::remove(path.c_str());
  return arrows >= 1000 && slowest <= 50 ? 0 : 1;
}
