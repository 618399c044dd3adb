// `stats`: the calls counted by minute, by gateway and by cause, as tables or as CSV.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "calls/call_statistics.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/text_table.h"
#include "cli/trace_loading.h"
#include "document/where_filter.h"
#include "util/text_utilities.h"
#include "writers/statistics_csv.h"

namespace sigrune {

namespace {

using Row = TextRow;

void AppendOutcomes(Row& row, const OutcomeCounts& outcomes) {
  for (const std::uint32_t calls : outcomes.calls) {
    row.push_back(std::to_string(calls));
  }
}

Row OutcomeHeadings(Row row) {
  for (const CallOutcome outcome : kCallOutcomes) {
    row.emplace_back(OutcomeText(outcome));
  }
  return row;
}

void WriteTables(OutputBuffer& output, const MessageStore& store,
                 const CallStatistics& statistics) {
  output.Write("Calls by minute of their start\n");
  std::vector<Row> rows = {OutcomeHeadings({"minute"})};
  for (const MinuteCounts& minute : statistics.minutes) {
    rows.push_back({MinuteText(minute.minute)});
    AppendOutcomes(rows.back(), minute.outcomes);
  }
  if (statistics.untimed.Total() > 0) {
    rows.push_back({"no time"});
    AppendOutcomes(rows.back(), statistics.untimed);
  }
  WriteTextTable(output, rows, "lrrrrrrr");

  output.Write("\nCalls by gateway\n");
  rows = {OutcomeHeadings({"gateway", "protocol", "calls"})};
  rows.front().emplace_back("top failure cause");
  for (const GatewayCounts& gateway : statistics.gateways) {
    rows.push_back({store.gatewayIpTexts[gateway.gatewayIpIndex],
                    std::string(ProtocolText(gateway.protocol)),
                    std::to_string(gateway.outcomes.Total())});
    AppendOutcomes(rows.back(), gateway.outcomes);
    rows.back().push_back(gateway.topFailureCause < 0
                              ? std::string()
                              : std::to_string(gateway.topFailureCause) + ' ' +
                                    std::string(CauseValueName(gateway.topFailureCause)));
  }
  WriteTextTable(output, rows, "llrrrrrrrrl");

  output.Write("\nCalls by cause\n");
  if (statistics.causes.empty()) {
    output.Write("No call has a cause\n");
    return;
  }
  // The names are long: they come last.
  rows = {{"cause", "calls", "share", "name"}};
  for (const CauseCounts& cause : statistics.causes) {
    rows.push_back({std::to_string(cause.cause), std::to_string(cause.calls),
                    ShareText(cause.calls, statistics.callsWithCause) + " %",
                    std::string(CauseValueName(cause.cause))});
  }
  WriteTextTable(output, rows, "rrrl");
}

}  // namespace

int RunStatsCommand(const StatsArguments& arguments, std::FILE* in, std::FILE* out,
                    std::FILE* err) {
  std::optional<WhereExpression> where;
  if (!ReadWhereOption("stats", arguments.where, err, where)) {
    return kExitUsage;
  }
  TraceDocument document;
  if (LoadTraceForCommand(arguments.traces, in, err, document, EmptyTrace::Failure,
                          CallGrouping::WhileReading) != OperationOutcome::Done) {
    return kExitFailure;
  }
  const MessageStore& store = document.Store();
  const CallTable& table = document.GroupCallsIfNeeded();
  const CallStatistics statistics =
      where && !where->terms.empty()
          ? CountCallStatistics(store, table, CallsWhere(*where, store, table))
          : CountCallStatistics(store, table);

  OutputBuffer output(out);
  if (arguments.csv) {
    output.Write(StatisticsCsv(store, statistics));
  } else if (table.calls.empty()) {
    output.Write("No calls in this trace\n");
  } else if (statistics.calls == 0) {
    output.Write("No calls match (" + CountOf(table.calls.size(), "call", "calls") +
                 " in this trace)\n");
  } else {
    WriteTables(output, store, statistics);
  }
  return FinishOutput(output, err, kExitSuccess);
}

}  // namespace sigrune
