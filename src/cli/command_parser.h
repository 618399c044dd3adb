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

#include "trace/message_number.h"

namespace sigrune {

struct UsageRequest {};    // --help
struct VersionRequest {};  // --version

struct ListArguments {
  std::string trace;
  std::optional<std::string> call;  // at most one of the four filters
  std::optional<std::string> gateway;
  bool pri = false;
  bool h225 = false;
};

struct DecodeArguments {
  std::vector<std::string> hexTexts;  // none: standard input's lines
  bool crlf = false;
};

struct ShowArguments {
  std::string trace;
  std::vector<MessageNumber> numbers;  // at least one, none of them 0
  bool crlf = false;
};

struct ExportArguments {
  std::string trace;
  std::optional<std::string> outputFile;  // none: standard output
};

struct FindArguments {
  std::string trace;
  std::string text;  // in the locale's encoding
};

using Command = std::variant<UsageRequest, VersionRequest, ListArguments, DecodeArguments,
                             ShowArguments, ExportArguments, FindArguments>;

// Reads the arguments (without the program name); nothing after reporting a usage error on `err`.
std::optional<Command> ParseCommandLine(std::span<const std::string_view> arguments,
                                        std::FILE* err);

}  // namespace sigrune
