#include "cli/arguments.h"

#include <algorithm>
#include <string>

#include "cli/command_line.h"

namespace sigrune {

bool CommandArguments::Has(std::string_view name) const {
  return Value(name).has_value();
}

std::optional<std::string_view> CommandArguments::Value(std::string_view name) const {
  for (const auto& [option, value] : options) {
    if (option == name) {
      return value;
    }
  }
  return std::nullopt;
}

std::optional<CommandArguments> ParseCommandArguments(std::string_view command,
                                                      std::span<const std::string_view> arguments,
                                                      std::span<const OptionSpec> known,
                                                      std::FILE* err) {
  CommandArguments parsed;
  bool optionsEnded = false;
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string_view argument = arguments[k];
    if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
      parsed.operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    const auto spec = std::find_if(known.begin(), known.end(), [&](const OptionSpec& option) {
      return option.name == argument;
    });
    if (spec == known.end()) {
      UsageError(err, std::string(command) + ": unknown option '" + std::string(argument) + "'");
      return std::nullopt;
    }
    if (!spec->takesValue) {
      parsed.options.emplace_back(argument, std::string_view());
    } else if (k + 1 < arguments.size()) {
      parsed.options.emplace_back(argument, arguments[++k]);
    } else {
      UsageError(err,
                 std::string(command) + ": option '" + std::string(argument) + "' needs a value");
      return std::nullopt;
    }
  }
  return parsed;
}

}  // namespace sigrune
