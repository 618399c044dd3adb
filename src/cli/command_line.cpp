#include "cli/command_line.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string>

#include "cli/output_buffer.h"
#include "cli/trace_loading.h"
#include "version.h"

namespace sigrune {

namespace {

constexpr std::string_view kUsage =
    "Usage: sigrune-cli COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Reads the Q.931 messages of ISDN PRI gateways and H.225 peers in a server trace\n"
    "(a plain trace or a <Tracelist> document).\n"
    "\n"
    "Commands:\n"
    "  list TRACE [FILTER]   print the summary line of every message, in file order, or of\n"
    "                        those a filter keeps: --call HEX (both sides of the call),\n"
    "                        --gateway IP, --pri or --h225\n"
    "  decode [HEX...]       print the decoded text of each message given as hex digit pairs\n"
    "                        (blanks between pairs allowed), or of each line of standard input\n"
    "  show TRACE N...       print the decoded text and hex dump of message N (from 1) of TRACE\n"
    "  export TRACE [-o FILE]\n"
    "                        write every message, decoded, in router debug layout (CR LF,\n"
    "                        Latin-1) to FILE or to standard output\n"
    "  find TRACE TEXT       print the numbers of the messages whose decoded text holds TEXT\n"
    "                        (case-sensitive); exit status 1 when none does\n"
    "\n"
    "TRACE is a file or a FIFO, or - for standard input.\n"
    "\n"
    "Options:\n"
    "  --crlf                decode, show: keep the CR LF line ends of the decoded text\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure, 2 on a usage error.\n";

void Print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int UsageError(std::FILE* err, std::string_view problem) {
  Print(err, "sigrune-cli: ");
  Print(err, problem);
  Print(err, "\nTry 'sigrune-cli --help' for more information.\n");
  return kExitUsage;
}

namespace {

int RunCommand(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
               std::FILE* err) {
  if (arguments.empty()) {
    return UsageError(err, "no command given");
  }
  const std::string_view command = arguments.front();
  const auto commandArguments = arguments.subspan(1);
  if (command == "-h" || command == "--help") {
    return WriteAndFlush(out, err, kUsage);
  }
  if (command == "--version") {
    return WriteAndFlush(out, err, std::string("sigrune-cli ") + kVersion + "\n");
  }
  if (command == "list") {
    return RunListCommand(commandArguments, in, out, err);
  }
  if (command == "decode") {
    return RunDecodeCommand(commandArguments, in, out, err);
  }
  if (command == "show") {
    return RunShowCommand(commandArguments, in, out, err);
  }
  if (command == "export") {
    return RunExportCommand(commandArguments, in, out, err);
  }
  if (command == "find") {
    return RunFindCommand(commandArguments, in, out, err);
  }
  return UsageError(err, "unknown command '" + std::string(command) + "'");
}

// The trace a command names: its first operand, past the options and the values they take. The
// command has parsed its arguments by the time it runs out of memory, so they are well formed.
std::string_view NamedTrace(std::span<const std::string_view> arguments) {
  constexpr std::string_view kOptionsWithValue[] = {"-o", "--output", "--call", "--gateway"};
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string_view argument = arguments[k];
    if (argument == "--") {
      return k + 1 < arguments.size() ? arguments[k + 1] : std::string_view();
    }
    if (argument.size() < 2 || argument.front() != '-') {
      return argument;
    }
    if (std::find(std::begin(kOptionsWithValue), std::end(kOptionsWithValue), argument) !=
        std::end(kOptionsWithValue)) {
      ++k;
    }
  }
  return {};
}

// Builds no text of its own: the memory has run out.
int ReportOutOfMemory(std::span<const std::string_view> arguments, std::FILE* err) {
  struct Activity {
    std::string_view command;
    std::string_view doing;
  };
  constexpr Activity kActivities[] = {
      {"list", "listing"}, {"show", "showing"}, {"export", "exporting"}, {"find", "searching"}};
  const std::string_view command = arguments.empty() ? std::string_view() : arguments.front();
  for (const auto& [name, doing] : kActivities) {
    if (command == name) {
      const std::string_view trace = TraceNameForMessages(NamedTrace(arguments.subspan(1)));
      std::fprintf(err, "sigrune-cli: %.*s: not enough memory (while %.*s)\n",
                   static_cast<int>(trace.size()), trace.data(), static_cast<int>(doing.size()),
                   doing.data());
      return kExitFailure;
    }
  }
  std::fprintf(err, "sigrune-cli: not enough memory\n");
  return kExitFailure;
}

}  // namespace

int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                   std::FILE* err) {
  try {
    return RunCommand(arguments, in, out, err);
  } catch (const std::bad_alloc&) {
    return ReportOutOfMemory(arguments, err);
  }
}

}  // namespace sigrune
