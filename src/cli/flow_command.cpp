// `flow`: the ladder of calls, drawn as text or as tab-separated lines.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "calls/call_flow.h"
#include "calls/lane_names.h"
#include "cli/command_line.h"
#include "cli/flow_text.h"
#include "cli/locale_text.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"

namespace sigrune {

namespace {

// A names file is a few lines a gateway; a longer one is not one.
constexpr std::size_t kLongestNamesFile = std::size_t{1} << 20;

// The number of the first line that has no Latin-1 form in the locale's encoding.
std::size_t LineWithoutLatin1(std::string_view text) {
  std::size_t number = 1;
  for (std::size_t start = 0;; ++number) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (!Latin1OfLocaleText(text.substr(start, end - start)) || end == text.size()) {
      return number;
    }
    start = end + 1;
  }
}

// The names of the file, read in the locale's encoding into the Latin-1 of trace texts; nothing
// after reporting why not.
std::optional<LaneNames> ReadNamesFile(const std::string& path, std::FILE* err) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(err, "sigrune-cli: cannot open %s: %s\n", Escaped(err, path).c_str(),
                 std::strerror(errno));
    return std::nullopt;
  }
  std::string text;
  char piece[1 << 16];
  for (std::size_t got;
       text.size() <= kLongestNamesFile && (got = std::fread(piece, 1, sizeof piece, file)) > 0;) {
    text.append(piece, got);
  }
  const int error = std::ferror(file) != 0 ? errno : 0;
  std::fclose(file);
  if (error != 0) {
    std::fprintf(err, "sigrune-cli: cannot read %s: %s\n", Escaped(err, path).c_str(),
                 std::strerror(error));
    return std::nullopt;
  }
  if (text.size() > kLongestNamesFile) {
    std::fprintf(err, "sigrune-cli: %s: longer than 1 MiB, too long for lane names\n",
                 Escaped(err, path).c_str());
    return std::nullopt;
  }
  const std::optional<std::string> latin1 = Latin1OfLocaleText(text);
  if (!latin1) {
    std::fprintf(err, "sigrune-cli: %s: line %zu: a name with no Latin-1 form\n",
                 Escaped(err, path).c_str(), LineWithoutLatin1(text));
    return std::nullopt;
  }
  LaneNamesText read = ReadLaneNames(*latin1);
  if (read.nameTooLong) {
    std::fprintf(err, "sigrune-cli: %s: line %llu: a name longer than %zu characters\n",
                 path.c_str(), static_cast<unsigned long long>(read.badLine), kLongestLaneName);
    return std::nullopt;
  }
  if (read.badLine != 0) {
    std::fprintf(err, "sigrune-cli: %s: line %llu: not an address and a name\n",
                 Escaped(err, path).c_str(), static_cast<unsigned long long>(read.badLine));
    return std::nullopt;
  }
  return std::move(read.names);
}

}  // namespace

int RunFlowCommand(const FlowArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  LaneNames names;
  if (arguments.namesFile) {
    std::optional<LaneNames> read = ReadNamesFile(*arguments.namesFile, err);
    if (!read) {
      return kExitFailure;
    }
    names = std::move(*read);
  }
  TraceDocument document;
  if (LoadTraceForCommand(arguments.traces, in, err, document, EmptyTrace::Failure,
                          CallGrouping::WhileReading) != OperationOutcome::Done) {
    return kExitFailure;
  }
  for (const CallNumber call : arguments.calls) {
    if (!CheckCallNumber(document, arguments.traces, call, err)) {
      return kExitFailure;
    }
  }
  const MessageStore& store = document.Store();
  const CallFlow flow =
      BuildCallFlow(store, document.GroupCallsIfNeeded(), arguments.calls, arguments.related);

  OutputBuffer output(out);
  std::string text;
  const std::optional<FlowLadder> ladder =
      arguments.tsv ? std::nullopt : std::make_optional<FlowLadder>(store, flow, names);
  if (ladder) {
    ladder->AppendHeader(text);
  }
  for (const FlowArrow& arrow : flow.arrows) {
    if (output.Failed()) {
      break;
    }
    if (ladder) {
      ladder->AppendLine(text, arrow);
    } else {
      AppendFlowTsvLine(text, store, flow, arrow);
    }
    output.Write(text);
    text.clear();
  }
  output.Write(text);
  return FinishOutput(output, err, kExitSuccess);
}

}  // namespace sigrune
