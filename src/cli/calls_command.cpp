// `calls`: the calls of a trace as a table or as CSV, and the check of --in-call for list and
// show.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "calls/call_detail.h"
#include "calls/call_kpis.h"
#include "calls/call_texts.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/text_table.h"
#include "cli/trace_loading.h"
#include "util/text_utilities.h"
#include "writers/call_csv.h"

namespace sigrune {

namespace {

bool Keeps(const CallsArguments& arguments, const MessageStore& store, const CallTable& table,
           const CallRecord& call, CallNumber callNumber,
           const std::vector<CallNumber>* whereCalls) {
  if (whereCalls != nullptr &&
      !std::binary_search(whereCalls->begin(), whereCalls->end(), callNumber)) {
    return false;
  }
  const auto& outcomes = arguments.outcomes;
  if (!outcomes.empty() &&
      std::find(outcomes.begin(), outcomes.end(), call.outcome) == outcomes.end()) {
    return false;
  }
  if (const auto& number = arguments.number;
      number && !Contains(table.Calling(call), *number) && !Contains(table.Called(call), *number)) {
    return false;
  }
  return !arguments.gateway || store.gatewayIpTexts[call.gatewayIpIndex] == *arguments.gateway;
}

// The cause comes last but for the columns --related, --timing and --h225-body add: the cause names
// are long, and some very.
constexpr std::string_view kHeadings[] = {"call",    "start",  "duration", "gateway",  "dir",
                                          "calling", "called", "outcome",  "messages", "cause"};

TextRow HeadingRow(const CallsArguments& arguments, std::string& align) {
  TextRow row(std::begin(kHeadings), std::end(kHeadings));
  align = "rlrlllllrl";
  if (arguments.related) {
    row.insert(row.end(), {"related", "first fault"});
    align += "rl";
  }
  if (arguments.timing) {
    row.insert(row.end(), {"channel", "pdd", "talk_time"});
    align += "rrr";
  }
  if (arguments.h225Body) {
    row.insert(row.end(), {"call_identifier", "media", "release_reason"});
    align += "lll";
  }
  return row;
}

TextRow RowOf(const MessageStore& store, const CallTable& table, CallNumber number,
              const CallsArguments& arguments) {
  const CallRecord& call = table.Record(number);
  std::string cause = CauseText(call);
  if (!cause.empty()) {
    cause += ' ';
    cause += CauseName(call);
  }
  TextRow row = {std::to_string(number.value),
                 std::string(StartTimeText(store, call)),
                 DurationText(store, call),
                 store.gatewayIpTexts[call.gatewayIpIndex],
                 std::string(DirectionText(call.direction)),
                 std::string(table.Calling(call)),
                 std::string(table.Called(call)),
                 std::string(OutcomeText(call.outcome)),
                 std::to_string(call.messageCount),
                 std::move(cause)};
  if (arguments.related) {
    row.push_back(call.related ? std::to_string(call.related.value) : std::string());
    row.push_back(FirstFaultCell(FirstFault(store, table, number)));
  }
  if (arguments.timing) {
    for (std::string& cell : CallTimingCells(store, call)) {
      row.push_back(std::move(cell));
    }
  }
  if (arguments.h225Body) {
    row.insert(row.end(), {CallIdentifierText(table, call), MediaText(table, call),
                           ReleaseReasonText(table, call)});
  }
  return row;
}

}  // namespace

bool CheckCallNumber(TraceDocument& document, const TraceFiles& files, CallNumber call,
                     std::FILE* err) {
  const std::size_t calls = document.GroupCallsIfNeeded().calls.size();
  if (call.value <= calls) {
    return true;
  }
  std::fprintf(err, "sigrune-cli: call %u: %s has %s\n", call.value,
               Escaped(err, TraceNameForMessages(files)).c_str(),
               CountOf(calls, "call", "calls").c_str());
  return false;
}

int RunCallsCommand(const CallsArguments& arguments, std::FILE* in, std::FILE* out,
                    std::FILE* err) {
  std::optional<WhereExpression> where;
  if (!ReadWhereOption("calls", arguments.where, err, where)) {
    return kExitUsage;
  }
  TraceDocument document;
  if (LoadTraceForCommand(arguments.traces, in, err, document, EmptyTrace::Failure,
                          CallGrouping::WhileReading) != OperationOutcome::Done) {
    return kExitFailure;
  }
  const MessageStore& store = document.Store();
  const CallTable& table = document.GroupCallsIfNeeded();
  std::optional<std::vector<CallNumber>> whereCalls;
  if (where && !where->terms.empty()) {
    whereCalls = CallsWhere(*where, store, table);
  }

  OutputBuffer output(out);
  std::string text;
  const CallCsvColumns columns{
      .related = arguments.related, .timing = arguments.timing, .h225Body = arguments.h225Body};
  if (arguments.csv) {
    output.Write(CallCsvHeader(columns));
  }
  std::string align;
  std::vector<TextRow> rows = {HeadingRow(arguments, align)};
  for (std::uint32_t number = 1; number <= table.calls.size() && !output.Failed(); ++number) {
    const CallRecord& call = table.calls[number - 1];
    if (!Keeps(arguments, store, table, call, CallNumber{number},
               whereCalls ? &*whereCalls : nullptr)) {
      continue;
    }
    if (arguments.csv) {
      text.clear();
      AppendCallCsvRecord(text, store, table, CallNumber{number}, columns);
      output.Write(text);
    } else {
      rows.push_back(RowOf(store, table, CallNumber{number}, arguments));
    }
  }
  if (!arguments.csv) {
    if (table.calls.empty()) {
      output.Write("No calls in this trace\n");
    } else if (rows.size() == 1) {
      output.Write("No calls match (" + CountOf(table.calls.size(), "call", "calls") +
                   " in this trace)\n");
    } else {
      WriteTextTable(output, rows, align);
    }
  }
  return FinishOutput(output, err, kExitSuccess);
}

}  // namespace sigrune
