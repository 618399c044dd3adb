// Times counting the statistics of a loaded trace's calls once they are grouped, with and without
// the CSV text, and the rows of `kpi` and `channels`. Usage: call_statistics TRACE

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "calls/call_kpis.h"
#include "calls/call_statistics.h"
#include "loaded_trace.h"
#include "writers/statistics_csv.h"

using bench::SecondsSince;

int main(int argc, char** argv) {
  const std::optional<sigrune::LoadResult> loaded =
      bench::LoadTraceOfArguments(argc, argv, "call_statistics");
  if (!loaded) {
    return argc != 2 ? 2 : 1;
  }
  const sigrune::CallTable table = sigrune::GroupCalls(loaded->store);
  // The best of five: the first run also faults the store's times in.
  double counting = 1e300;
  double writing = 1e300;
  sigrune::CallStatistics statistics;
  std::size_t csvBytes = 0;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    statistics = sigrune::CountCallStatistics(loaded->store, table);
    counting = std::min(counting, SecondsSince(start));
    csvBytes = sigrune::StatisticsCsv(loaded->store, statistics).size();
    writing = std::min(writing, SecondsSince(start));
  }
  std::printf(
      "call statistics %.3f s for %zu calls (goal 0.1 s), %.3f s with the CSV (%zu minutes, %zu "
      "gateways, %zu causes, %zu bytes)\n",
      counting, table.calls.size(), writing, statistics.minutes.size(), statistics.gateways.size(),
      statistics.causes.size(), csvBytes);
  double kpis = 1e300;
  double channels = 1e300;
  std::size_t kpiRows = 0;
  std::size_t channelRows = 0;
  std::size_t suspects = 0;
  for (int run = 0; run < 5; ++run) {
    auto start = std::chrono::steady_clock::now();
    kpiRows = 0;
    for (const sigrune::KpiRow& row :
         sigrune::CountKpis(loaded->store, table, std::nullopt, sigrune::KpiGrouping::Gateway)) {
      kpiRows += sigrune::KpiCells(loaded->store, table, row).size() > 0;
    }
    kpis = std::min(kpis, SecondsSince(start));
    start = std::chrono::steady_clock::now();
    const std::vector<sigrune::ChannelRow> rows =
        sigrune::CountChannels(loaded->store, table, std::nullopt);
    suspects = 0;
    for (const sigrune::ChannelRow& row : rows) {
      suspects += row.suspect && !sigrune::ChannelCells(loaded->store, row)[8].empty();
    }
    channels = std::min(channels, SecondsSince(start));
    channelRows = rows.size();
  }
  std::printf(
      "kpi rows %.3f s (%zu rows), channels rows %.3f s (%zu channels, %zu suspect) (goal 0.05 s "
      "each)\n",
      kpis, kpiRows, channels, channelRows, suspects);
  return 0;
}
