#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "cli/command_line.h"
#include "cli/locale_text.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "trace/list_filters.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

// How often a followed trace is read again.
constexpr std::chrono::milliseconds kFollowInterval{500};

// The key of --call: the digits, with or without "0x"; the partner follows their number, as for
// a selected line.
std::optional<FilterKey> CallFilterKey(std::string_view digits) {
  if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X")) {
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.find_first_not_of("0123456789abcdefABCDEF") != digits.npos) {
    return std::nullopt;
  }
  return SelectedCallKey("0x" + std::string(digits));
}

}  // namespace

bool ReadFilterOption(std::string_view command, const std::optional<std::string>& call, bool pri,
                      bool h225, std::FILE* err, std::optional<FilterKey>& key) {
  if (call) {
    key = CallFilterKey(*call);
    if (!key) {
      UsageError(err, std::string(command) + ": '" + *call + "' is not a call reference");
      return false;
    }
  } else if (pri) {
    key = ProtocolKey(ListFilter::PriOnly);
  } else if (h225) {
    key = ProtocolKey(ListFilter::H225Only);
  }
  return true;
}

bool ReadWhereOption(std::string_view command, const std::vector<std::string>& texts,
                     std::FILE* err, std::optional<WhereExpression>& where) {
  if (texts.empty()) {
    return true;
  }
  const std::string prefix = std::string(command) + ": --where: ";
  // Each is read alone, for its problems to be its own; together they are their terms joined.
  std::string joined;
  for (const std::string& text : texts) {
    const std::optional<std::string> latin1 = Latin1OfLocaleText(text);
    if (!latin1) {
      UsageError(err, prefix + "'" + text + "' has no Latin-1 form, the encoding of trace texts");
      return false;
    }
    const WhereParse parse = ParseWhere(*latin1);
    if (!parse.ok) {
      UsageError(err, prefix + parse.error);
      return false;
    }
    joined += joined.empty() ? "" : " ";
    joined += *latin1;
  }
  where = ParseWhere(joined).expression;
  return true;
}

void ApplyFilterOption(TraceDocument& document, std::optional<FilterKey> key,
                       const std::optional<std::string>& gateway) {
  if (gateway) {
    const auto& known = document.Store().gatewayIpIndex;
    const auto found = known.find(*gateway);
    // A gateway the trace does not know keeps no message.
    key = ProtocolKey(ListFilter::ThisGateway);
    key->gatewayIpIndex = found != known.end() ? found->second : static_cast<std::uint32_t>(-1);
  }
  if (key) {
    document.ApplyFilter(*key, {});
  }
}

int RunListCommand(const ListArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  std::optional<FilterKey> key;
  std::optional<WhereExpression> where;
  if (!ReadFilterOption("list", arguments.call, arguments.pri, arguments.h225, err, key) ||
      !ReadWhereOption("list", arguments.where, err, where)) {
    return kExitUsage;
  }

  TraceDocument document;
  // A trace followed may have no message yet.
  const LoadOutcome loaded =
      LoadTraceForCommand(arguments.traces, in, err, document,
                          arguments.follow ? EmptyTrace::Fine : EmptyTrace::Failure);
  if (loaded != LoadOutcome::Loaded && !(arguments.follow && loaded == LoadOutcome::NoMessages)) {
    return kExitFailure;
  }
  const MessageStore& store = document.Store();

  OutputBuffer output(out);
  if (arguments.inCall) {
    if (!CheckCallNumber(document, arguments.traces, arguments.inCall, err)) {
      return kExitFailure;
    }
    document.ApplyCallFilter(arguments.inCall);
  } else {
    ApplyFilterOption(document, key, arguments.gateway);
  }
  if (where) {
    document.SetWhere(where->text);
  }
  const auto writeRows = [&](std::size_t firstRow, std::size_t endRow) {
    std::string line;
    for (std::size_t row = firstRow; row < endRow && !output.Failed(); ++row) {
      line.clear();
      AppendSummaryLine(line, store, IndexOf(document.MessageAtRow(row)).value);
      output.Write(line);
      output.Write('\n');
    }
  };
  writeRows(0, document.RowCount());
  if (!arguments.follow) {
    return FinishOutput(output, err, kExitSuccess);
  }

  std::string whyNot;
  std::optional<TraceFollower> follower = document.StartFollowing(whyNot);
  if (!follower) {
    output.Flush();
    std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, whyNot).c_str());
    return FinishOutput(output, err, kExitFailure);
  }
  // Until interrupted, or until the file disappears.
  for (;;) {
    if (!output.Flush()) {
      return FinishOutput(output, err, kExitFailure);
    }
    std::this_thread::sleep_for(kFollowInterval);
    TraceFollower::Batch batch = follower->Poll();
    const std::string note = batch.note;
    const bool stopped = batch.stopped;
    const AppendedMessages appended = document.AppendFollowed(std::move(batch));
    writeRows(appended.firstRow, appended.firstRow + appended.rowsAdded);
    if (!note.empty()) {
      output.Flush();
      std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, note).c_str());
    }
    if (stopped) {
      return FinishOutput(output, err, kExitFailure);
    }
  }
}

}  // namespace sigrune
