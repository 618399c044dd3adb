// `calls`: the calls of a trace as a table or as CSV, and the check of --in-call for list and
// show.

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "calls/call_detail.h"
#include "calls/call_texts.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "util/text_utilities.h"
#include "writers/call_csv.h"

namespace sigrune {

namespace {

bool Keeps(const CallsArguments& arguments, const MessageStore& store, const CallRecord& call,
           CallNumber callNumber, const std::vector<CallNumber>* whereCalls) {
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
      number && !Contains(call.calling, *number) && !Contains(call.called, *number)) {
    return false;
  }
  return !arguments.gateway || store.gatewayIpTexts[call.gatewayIpIndex] == *arguments.gateway;
}

enum class Align { Left, Right };

struct TableColumn {
  std::string_view heading;
  Align align;
};

// The cause comes last but for the related call and the first fault, which only --related shows:
// the cause names are long, and some very.
constexpr TableColumn kTableColumns[] = {
    {"call", Align::Right},   {"start", Align::Left},    {"duration", Align::Right},
    {"gateway", Align::Left}, {"dir", Align::Left},      {"calling", Align::Left},
    {"called", Align::Left},  {"outcome", Align::Left},  {"messages", Align::Right},
    {"cause", Align::Left},   {"related", Align::Right}, {"first fault", Align::Left}};
constexpr std::size_t kRelatedColumns = 2;
constexpr std::size_t kColumnCount = std::size(kTableColumns);

using TableRow = std::array<std::string, kColumnCount>;

TableRow RowOf(const MessageStore& store, const CallTable& table, CallNumber number, bool related) {
  const CallRecord& call = table.Record(number);
  std::string cause = CauseText(call);
  if (!cause.empty()) {
    cause += ' ';
    cause += CauseName(call);
  }
  return {std::to_string(number.value),
          std::string(StartTimeText(store, call)),
          DurationText(store, call),
          store.gatewayIpTexts[call.gatewayIpIndex],
          std::string(DirectionText(call.direction)),
          call.calling,
          call.called,
          std::string(OutcomeText(call.outcome)),
          std::to_string(call.messageCount),
          std::move(cause),
          call.related ? std::to_string(call.related.value) : std::string(),
          related ? FirstFaultCell(FirstFault(store, table, number)) : std::string()};
}

// The rows' first `columns` in columns two blanks apart, each as wide as its widest text.
void WriteTable(OutputBuffer& output, const std::vector<TableRow>& rows, std::size_t columns) {
  std::array<std::size_t, kColumnCount> widths{};
  for (std::size_t column = 0; column < columns; ++column) {
    widths[column] = kTableColumns[column].heading.size();
    for (const TableRow& row : rows) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string line;
  const auto writeLine = [&](auto&& cell) {
    line.clear();
    for (std::size_t column = 0; column < columns; ++column) {
      const std::string_view text = cell(column);
      const std::size_t padding = widths[column] - text.size();
      if (column > 0) {
        line += "  ";
      }
      if (kTableColumns[column].align == Align::Right) {
        line.append(padding, ' ');
      }
      line += text;
      if (kTableColumns[column].align == Align::Left && column + 1 < columns) {
        line.append(padding, ' ');
      }
    }
    line.erase(line.find_last_not_of(' ') + 1);  // an empty cause or related call
    output.Write(line);
    output.Write('\n');
  };
  writeLine([](std::size_t column) { return kTableColumns[column].heading; });
  for (const TableRow& row : rows) {
    if (output.Failed()) {
      break;
    }
    writeLine([&row](std::size_t column) { return std::string_view(row[column]); });
  }
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
  if (arguments.csv) {
    output.Write(arguments.related ? CallCsvHeaderWithRelated() : std::string(kCallCsvHeader));
  }
  std::vector<TableRow> rows;
  for (std::uint32_t number = 1; number <= table.calls.size() && !output.Failed(); ++number) {
    const CallRecord& call = table.calls[number - 1];
    if (!Keeps(arguments, store, call, CallNumber{number}, whereCalls ? &*whereCalls : nullptr)) {
      continue;
    }
    if (arguments.csv) {
      text.clear();
      AppendCallCsvRecord(text, store, table, CallNumber{number}, arguments.related);
      output.Write(text);
    } else {
      rows.push_back(RowOf(store, table, CallNumber{number}, arguments.related));
    }
  }
  if (!arguments.csv) {
    if (table.calls.empty()) {
      output.Write("No calls in this trace\n");
    } else if (rows.empty()) {
      output.Write("No calls match (" + CountOf(table.calls.size(), "call", "calls") +
                   " in this trace)\n");
    } else {
      WriteTable(output, rows, arguments.related ? kColumnCount : kColumnCount - kRelatedColumns);
    }
  }
  return FinishOutput(output, err, kExitSuccess);
}

}  // namespace sigrune
