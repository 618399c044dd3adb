// `kpi` and `channels`: the figures of the trunks and of their B-channels, as tables or as CSV.

#include <cstdio>
#include <string>
#include <vector>

#include "calls/call_kpis.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/text_table.h"
#include "cli/trace_loading.h"
#include "document/where_filter.h"
#include "util/text_utilities.h"
#include "writers/call_csv.h"

namespace sigrune {

namespace {

// A trace read for counting, with the calls its --where keeps (every call without one).
struct CountedCalls {
  TraceDocument document;
  std::optional<std::vector<CallNumber>> kept;
};

int ReadCountedCalls(std::string_view command, const TraceFiles& traces,
                     const std::vector<std::string>& whereTexts, std::FILE* in, std::FILE* err,
                     CountedCalls& counted) {
  std::optional<WhereExpression> where;
  if (!ReadWhereOption(command, whereTexts, err, where)) {
    return kExitUsage;
  }
  if (LoadTraceForCommand(traces, in, err, counted.document, EmptyTrace::Failure,
                          CallGrouping::WhileReading) != OperationOutcome::Done) {
    return kExitFailure;
  }
  const CallTable& table = counted.document.GroupCallsIfNeeded();
  if (where && !where->terms.empty()) {
    counted.kept = CallsWhere(*where, counted.document.Store(), table);
  }
  return kExitSuccess;
}

template <std::size_t N>
void WriteCsvRow(OutputBuffer& output, const std::array<std::string, N>& cells) {
  std::string line;
  AppendCsvRecord(line, cells);
  output.Write(line);
}

template <std::size_t N>
void WriteCsvHeader(OutputBuffer& output, const std::array<std::string_view, N>& headings) {
  std::string line;
  for (const std::string_view heading : headings) {
    line += line.empty() ? "" : ",";
    line += heading;
  }
  line += '\n';
  output.Write(line);
}

// The readable table's words when there is nothing to count; false when there is.
bool WroteNothingToCount(OutputBuffer& output, const CountedCalls& counted, bool noRows) {
  const std::size_t calls = counted.document.Calls().calls.size();
  if (calls == 0) {
    output.Write("No calls in this trace\n");
  } else if (counted.kept && counted.kept->empty()) {
    output.Write("No calls match (" + CountOf(calls, "call", "calls") + " in this trace)\n");
  } else if (noRows) {
    output.Write("No PRI call has a B-channel\n");
  } else {
    return false;
  }
  return true;
}

template <std::size_t N>
TextRow RowOfCells(std::array<std::string, N>&& cells) {
  return TextRow(std::make_move_iterator(cells.begin()), std::make_move_iterator(cells.end()));
}

}  // namespace

int RunKpiCommand(const KpiArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  CountedCalls counted;
  if (const int status =
          ReadCountedCalls("kpi", arguments.traces, arguments.where, in, err, counted);
      status != kExitSuccess) {
    return status;
  }
  const MessageStore& store = counted.document.Store();
  const CallTable& table = counted.document.Calls();
  const std::vector<KpiRow> rows = CountKpis(
      store, table,
      counted.kept ? std::optional<std::span<const CallNumber>>(*counted.kept) : std::nullopt,
      arguments.grouping);
  const auto headings = KpiHeadings(arguments.grouping);
  OutputBuffer output(out);
  if (arguments.csv) {
    WriteCsvHeader(output, headings);
    for (const KpiRow& row : rows) {
      WriteCsvRow(output, KpiCells(store, table, row));
    }
  } else if (!WroteNothingToCount(output, counted, false)) {
    std::vector<TextRow> text = {TextRow(headings.begin(), headings.end())};
    for (const KpiRow& row : rows) {
      text.push_back(RowOfCells(KpiCells(store, table, row)));
    }
    WriteTextTable(output, text, "llrrrrrrrrrrrrrrrl");
  }
  return FinishOutput(output, err, kExitSuccess);
}

int RunChannelsCommand(const ChannelsArguments& arguments, std::FILE* in, std::FILE* out,
                       std::FILE* err) {
  CountedCalls counted;
  if (const int status =
          ReadCountedCalls("channels", arguments.traces, arguments.where, in, err, counted);
      status != kExitSuccess) {
    return status;
  }
  const MessageStore& store = counted.document.Store();
  const std::vector<ChannelRow> rows = CountChannels(
      store, counted.document.Calls(),
      counted.kept ? std::optional<std::span<const CallNumber>>(*counted.kept) : std::nullopt);
  OutputBuffer output(out);
  if (arguments.csv) {
    WriteCsvHeader(output, kChannelHeadings);
    for (const ChannelRow& row : rows) {
      WriteCsvRow(output, ChannelCells(store, row));
    }
  } else if (!WroteNothingToCount(output, counted, rows.empty())) {
    std::vector<TextRow> text = {TextRow(kChannelHeadings.begin(), kChannelHeadings.end())};
    for (const ChannelRow& row : rows) {
      text.push_back(RowOfCells(ChannelCells(store, row)));
    }
    WriteTextTable(output, text, "lrrrrrrrl");
  }
  return FinishOutput(output, err, kExitSuccess);
}

}  // namespace sigrune
