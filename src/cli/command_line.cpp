#include "cli/command_line.h"

#include <string>

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
    Print(out, kUsage);
    return kExitSuccess;
  }
  if (command == "--version") {
    Print(out, std::string("sigrune-cli ") + kVersion + "\n");
    return kExitSuccess;
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

}  // namespace

int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                   std::FILE* err) {
  return RunCommand(arguments, in, out, err);
}

}  // namespace sigrune
