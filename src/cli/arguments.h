#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace sigrune {

struct OptionSpec {
  std::string_view name;  // "--crlf", "-o"
  bool takesValue = false;
};

// A command's arguments after its name: options (anywhere until "--") and operands.
struct CommandArguments {
  std::vector<std::string_view> operands;
  std::vector<std::pair<std::string_view, std::string_view>> options;  // name, value

  bool Has(std::string_view name) const;
  std::optional<std::string_view> Value(std::string_view name) const;
  std::size_t OptionCount() const { return options.size(); }
};

// Returns nothing after reporting a usage error (an unknown option, a missing value) on `err`.
std::optional<CommandArguments> ParseCommandArguments(std::string_view command,
                                                      std::span<const std::string_view> arguments,
                                                      std::span<const OptionSpec> known,
                                                      std::FILE* err);

}  // namespace sigrune
