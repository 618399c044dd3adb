#pragma once

// What the command line asks sigrune-cli to do, as ParseCommandLine reads it: a command and the
// values it was given, checked for form (counts, numbers); what they mean is for the command.

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "calls/call_table.h"
#include "trace/message_number.h"

namespace sigrune {

struct UsageRequest {};    // --help
struct VersionRequest {};  // --version

struct ListArguments {
  std::string trace;
  std::optional<std::string> call;  // at most one of the five filters
  std::optional<std::string> gateway;
  bool pri = false;
  bool h225 = false;
  CallNumber inCall;  // 0: none
};

struct DecodeArguments {
  std::vector<std::string> hexTexts;  // none: standard input's lines
  bool crlf = false;
};

struct ShowArguments {
  std::string trace;
  std::vector<MessageNumber> numbers;  // at least one, none of them 0, unless inCall
  bool crlf = false;
  CallNumber inCall;  // 0: none
};

struct ExportArguments {
  std::string trace;
  std::optional<std::string> outputFile;  // none: standard output
};

struct FindArguments {
  std::string trace;
  std::string text;  // in the locale's encoding
};

// The filters combine: a call is shown when it passes every one given.
struct CallsArguments {
  std::string trace;
  bool csv = false;
  std::vector<CallOutcome> outcomes;  // --outcome and --failed; none: any outcome
  std::optional<std::string> number;  // contained in the calling or called digits
  std::optional<std::string> gateway;
  bool related = false;  // a last column with the call's other leg
};

struct FlowArguments {
  std::string trace;
  std::vector<CallNumber> calls;  // at least one, none of them 0
  bool related = false;           // the calls' related legs too
  bool tsv = false;
  std::optional<std::string> namesFile;
};

using Command =
    std::variant<UsageRequest, VersionRequest, ListArguments, DecodeArguments, ShowArguments,
                 ExportArguments, FindArguments, CallsArguments, FlowArguments>;

// Reads the arguments (without the program name); nothing after reporting a usage error on `err`.
std::optional<Command> ParseCommandLine(std::span<const std::string_view> arguments,
                                        std::FILE* err);

}  // namespace sigrune
