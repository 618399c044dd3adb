// sigrune-cli's commands, their options and operands, read with CLI11; the problems are told in
// this tool's words.

#include "cli/command_parser.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>

#include "cli/command_line.h"

namespace sigrune {

namespace {

// Reports a usage problem; the parse has no command to give.
std::nullopt_t Problem(std::FILE* err, std::string_view problem) {
  UsageError(err, problem);
  return std::nullopt;
}

// A command of the line, and how its arguments are made of what was read for it once the whole
// line is read.
struct CommandGrammar {
  CLI::App* command;
  std::function<std::optional<Command>(std::FILE* err)> finish;
};

// A command's operands, in order and as typed: as a list option, CLI11 would split "[a,b]" at its
// commas and take "{}" for no value at all.
CLI::Option* AddOperands(CLI::App& command) {
  return command.add_option("operands")
      ->expected(std::numeric_limits<int>::max())
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// --where, which may be repeated: the expressions must all hold.
CLI::Option* AddWhere(CLI::App& command) {
  return command.add_option("--where")->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

std::optional<std::string> ValueOf(const CLI::Option* option) {
  if (option->count() == 0) {
    return std::nullopt;
  }
  return option->results().back();
}

std::optional<MessageNumber> MessageNumberOf(std::string_view text) {
  std::size_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number == 0) {
    return std::nullopt;
  }
  return MessageNumber{number};
}

// A call number, from 1; false after reporting a text that is none.
bool ReadCallNumber(const std::string& text, std::string_view command, std::FILE* err,
                    CallNumber& call) {
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number == 0) {
    Problem(err, std::string(command) + ": '" + text + "' is not a call number");
    return false;
  }
  call = CallNumber{number};
  return true;
}

// The call of --in-call; none when not given. False after reporting a value that is no call
// number.
bool ReadInCall(const CLI::Option* inCall, std::string_view command, std::FILE* err,
                CallNumber& call) {
  const std::optional<std::string> text = ValueOf(inCall);
  return !text || ReadCallNumber(*text, command, err, call);
}

// The trace files of a command; nothing after reporting "-" among others.
std::optional<TraceFiles> TraceFilesOf(std::vector<std::string> operands, std::FILE* err) {
  if (operands.size() > 1 && std::find(operands.begin(), operands.end(), "-") != operands.end()) {
    return Problem(err, "standard input (-) cannot be read with other trace files");
  }
  return operands;
}

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Where the numbers after the trace files start: the digits that end the operands, or the last
// operand when none does (so that it is reported as no number). The first is always a file.
std::size_t NumbersStart(const std::vector<std::string>& operands) {
  std::size_t start = operands.size();
  while (start > 1 && IsDigits(operands[start - 1])) {
    --start;
  }
  return start == operands.size() && start > 1 ? start - 1 : start;
}

CommandGrammar ListGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("list");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* call = command.add_option("--call");
  const CLI::Option* gateway = command.add_option("--gateway");
  const CLI::Option* pri = command.add_flag("--pri");
  const CLI::Option* h225 = command.add_flag("--h225");
  const CLI::Option* inCall = command.add_option("--in-call");
  const CLI::Option* follow = command.add_flag("--follow");
  const CLI::Option* where = AddWhere(command);
  return {
      &command, [=](std::FILE* err) -> std::optional<Command> {
        if (operands->count() == 0) {
          return Problem(err, "list takes one or more trace files");
        }
        if (call->count() + gateway->count() + pri->count() + h225->count() + inCall->count() > 1) {
          return Problem(err, "list takes one filter at a time");
        }
        std::optional<TraceFiles> traces = TraceFilesOf(operands->results(), err);
        if (!traces) {
          return std::nullopt;
        }
        ListArguments list{std::move(*traces),  ValueOf(call),     ValueOf(gateway),
                           pri->count() > 0,    h225->count() > 0, {},
                           follow->count() > 0, where->results()};
        if (!ReadInCall(inCall, "list", err, list.inCall)) {
          return std::nullopt;
        }
        return list;
      }};
}

CommandGrammar DecodeGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("decode");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* crlf = command.add_flag("--crlf");
  return {&command, [=](std::FILE*) -> std::optional<Command> {
            return DecodeArguments{operands->results(), crlf->count() > 0};
          }};
}

CommandGrammar ShowGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("show");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* crlf = command.add_flag("--crlf");
  const CLI::Option* inCall = command.add_option("--in-call");
  const CLI::Option* h225Body = command.add_flag("--h225-body");
  return {
      &command, [=](std::FILE* err) -> std::optional<Command> {
        const std::vector<std::string>& given = operands->results();
        const bool byCall = inCall->count() > 0;
        if (byCall && given.size() > 1 && IsDigits(given.back())) {
          return Problem(err, "show takes trace files and either message numbers or --in-call");
        }
        if (given.size() < 2 && inCall->count() == 0) {
          return Problem(err, "show takes trace files and one or more message numbers");
        }
        const auto numbers =
            given.begin() + static_cast<long>(byCall ? given.size() : NumbersStart(given));
        std::optional<TraceFiles> traces = TraceFilesOf({given.begin(), numbers}, err);
        if (!traces) {
          return std::nullopt;
        }
        ShowArguments show{std::move(*traces), {}, crlf->count() > 0, {}, h225Body->count() > 0};
        if (!ReadInCall(inCall, "show", err, show.inCall)) {
          return std::nullopt;
        }
        for (auto text = numbers; text != given.end(); ++text) {
          const std::optional<MessageNumber> number = MessageNumberOf(*text);
          if (!number) {
            return Problem(err, "show: '" + *text + "' is not a message number");
          }
          show.numbers.push_back(*number);
        }
        return show;
      }};
}

CommandGrammar ExportGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("export");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* output = command.add_option("-o,--output");
  const CLI::Option* where = AddWhere(command);
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            if (operands->count() == 0) {
              return Problem(err,
                             "export takes one or more trace files and at most one output file");
            }
            std::optional<TraceFiles> traces = TraceFilesOf(operands->results(), err);
            if (!traces) {
              return std::nullopt;
            }
            return ExportArguments{std::move(*traces), ValueOf(output), where->results()};
          }};
}

CommandGrammar FindGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("find");
  const CLI::Option* lines = command.add_flag("--lines");
  const CLI::Option* operands = AddOperands(command);
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            const std::vector<std::string>& given = operands->results();
            if (given.size() < 2) {
              return Problem(err, "find takes one or more trace files and a text");
            }
            std::optional<TraceFiles> traces = TraceFilesOf({given.begin(), given.end() - 1}, err);
            if (!traces) {
              return std::nullopt;
            }
            return FindArguments{std::move(*traces), given.back(), lines->count() > 0};
          }};
}

// The outcomes of a comma-separated list; false after reporting a name that is none.
bool ReadOutcomes(const std::string& list, std::FILE* err, std::vector<CallOutcome>& outcomes) {
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, comma - start);
    const std::optional<CallOutcome> outcome = OutcomeOfText(name);
    if (!outcome) {
      std::string known;
      for (const CallOutcome each : kCallOutcomes) {
        known += known.empty() ? "" : ", ";
        known += OutcomeText(each);
      }
      Problem(err, "calls: '" + name + "' is not an outcome (" + known + ")");
      return false;
    }
    outcomes.push_back(*outcome);
    start = comma + 1;
  }
  return true;
}

CommandGrammar CallsGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("calls");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* csv = command.add_flag("--csv");
  CLI::Option* outcome = command.add_option("--outcome");
  outcome->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  const CLI::Option* failed = command.add_flag("--failed");
  const CLI::Option* number = command.add_option("--number");
  const CLI::Option* gateway = command.add_option("--gateway");
  const CLI::Option* related = command.add_flag("--related");
  const CLI::Option* timing = command.add_flag("--timing");
  const CLI::Option* h225Body = command.add_flag("--h225-body");
  const CLI::Option* where = AddWhere(command);
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            if (operands->count() == 0) {
              return Problem(err, "calls takes one or more trace files");
            }
            std::optional<TraceFiles> traces = TraceFilesOf(operands->results(), err);
            if (!traces) {
              return std::nullopt;
            }
            CallsArguments calls{std::move(*traces),  csv->count() > 0, {},
                                 ValueOf(number),     ValueOf(gateway), related->count() > 0,
                                 timing->count() > 0, where->results(), h225Body->count() > 0};
            if (calls.number && !IsDigits(*calls.number)) {
              return Problem(err, "calls: '" + *calls.number + "' is not a number (digits only)");
            }
            // Repeated, the lists add up.
            for (const std::string& list : outcome->results()) {
              if (!ReadOutcomes(list, err, calls.outcomes)) {
                return std::nullopt;
              }
            }
            if (failed->count() > 0) {
              calls.outcomes.push_back(CallOutcome::Failed);
            }
            return calls;
          }};
}

CommandGrammar FlowGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("flow");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* related = command.add_flag("--related");
  const CLI::Option* tsv = command.add_flag("--tsv");
  const CLI::Option* names = command.add_option("--names");
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            const std::vector<std::string>& given = operands->results();
            if (given.size() < 2) {
              return Problem(err, "flow takes trace files and one or more call numbers");
            }
            const auto numbers = given.begin() + static_cast<long>(NumbersStart(given));
            std::optional<TraceFiles> traces = TraceFilesOf({given.begin(), numbers}, err);
            if (!traces) {
              return std::nullopt;
            }
            FlowArguments flow{
                std::move(*traces), {}, related->count() > 0, tsv->count() > 0, ValueOf(names)};
            for (auto text = numbers; text != given.end(); ++text) {
              if (!ReadCallNumber(*text, "flow", err, flow.calls.emplace_back())) {
                return std::nullopt;
              }
            }
            return flow;
          }};
}

// "+HH:MM" or "-HH:MM", in seconds.
std::optional<std::int64_t> UtcOffsetOf(std::string_view text) {
  const auto digit = [&text](std::size_t k) {
    return text[k] >= '0' && text[k] <= '9' ? text[k] - '0' : -100;
  };
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') {
    return std::nullopt;
  }
  const int hours = 10 * digit(1) + digit(2);
  const int minutes = 10 * digit(4) + digit(5);
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) {
    return std::nullopt;
  }
  const std::int64_t seconds = 60 * (60 * hours + minutes);
  return text[0] == '-' ? -seconds : seconds;
}

CommandGrammar PcapGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("pcap");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* output = command.add_option("-o,--output");
  CLI::Option* inCall = command.add_option("--in-call");
  inCall->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  const CLI::Option* failed = command.add_flag("--failed");
  const CLI::Option* call = command.add_option("--call");
  const CLI::Option* gateway = command.add_option("--gateway");
  const CLI::Option* pri = command.add_flag("--pri");
  const CLI::Option* h225 = command.add_flag("--h225");
  const CLI::Option* server = command.add_option("--server-address");
  const CLI::Option* offset = command.add_option("--utc-offset");
  const CLI::Option* where = AddWhere(command);
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            if (operands->count() == 0 || output->count() != 1) {
              return Problem(err,
                             "pcap takes one or more trace files and one output file (-o FILE, or "
                             "-o - for standard output)");
            }
            const std::size_t filters =
                call->count() + gateway->count() + pri->count() + h225->count();
            if (filters > 1 || (filters == 1 && inCall->count() + failed->count() > 0)) {
              return Problem(err, "pcap takes calls (--in-call, --failed) or one filter, not both");
            }
            std::optional<TraceFiles> traces = TraceFilesOf(operands->results(), err);
            if (!traces) {
              return std::nullopt;
            }
            PcapArguments pcap{std::move(*traces),
                               *ValueOf(output),
                               {},
                               failed->count() > 0,
                               ValueOf(call),
                               ValueOf(gateway),
                               pri->count() > 0,
                               h225->count() > 0,
                               {},
                               0,
                               where->results()};
            for (const std::string& text : inCall->results()) {
              CallNumber number;
              if (!ReadCallNumber(text, "pcap", err, number)) {
                return std::nullopt;
              }
              pcap.inCalls.push_back(number);
            }
            if (const auto text = ValueOf(server)) {
              const std::optional<Ipv4Address> address = ParseIpv4Address(*text);
              if (!address) {
                return Problem(err, "pcap: '" + *text + "' is not an IPv4 address (A.B.C.D)");
              }
              pcap.serverAddress = *address;
            }
            if (const auto text = ValueOf(offset)) {
              const std::optional<std::int64_t> seconds = UtcOffsetOf(*text);
              if (!seconds) {
                return Problem(err, "pcap: '" + *text + "' is not a UTC offset (+HH:MM or -HH:MM)");
              }
              pcap.utcOffsetSeconds = *seconds;
            }
            return pcap;
          }};
}

CommandGrammar StatsGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("stats");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* csv = command.add_flag("--csv");
  const CLI::Option* where = AddWhere(command);
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            if (operands->count() == 0) {
              return Problem(err, "stats takes one or more trace files");
            }
            std::optional<TraceFiles> traces = TraceFilesOf(operands->results(), err);
            if (!traces) {
              return std::nullopt;
            }
            return StatsArguments{std::move(*traces), csv->count() > 0, where->results()};
          }};
}

CommandGrammar KpiGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("kpi");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* csv = command.add_flag("--csv");
  const CLI::Option* by = command.add_option("--by");
  const CLI::Option* where = AddWhere(command);
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            if (operands->count() == 0) {
              return Problem(err, "kpi takes one or more trace files");
            }
            std::optional<TraceFiles> traces = TraceFilesOf(operands->results(), err);
            if (!traces) {
              return std::nullopt;
            }
            KpiArguments kpi{std::move(*traces), csv->count() > 0, KpiGrouping::Gateway,
                             where->results()};
            if (const auto grouping = ValueOf(by)) {
              if (*grouping == "hour") {
                kpi.grouping = KpiGrouping::Hour;
              } else if (*grouping != "gateway") {
                return Problem(err, "kpi: '" + *grouping + "' is not gateway or hour");
              }
            }
            return kpi;
          }};
}

CommandGrammar H225Grammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("h225");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* json = command.add_flag("--json");
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            const std::vector<std::string>& given = operands->results();
            if (given.empty()) {
              return Problem(err, "h225 takes one or more trace files and message numbers");
            }
            // The numbers are optional: every digit operand after the first is one.
            std::size_t start = given.size();
            while (start > 1 && IsDigits(given[start - 1])) {
              --start;
            }
            const auto numbers = given.begin() + static_cast<long>(start);
            std::optional<TraceFiles> traces = TraceFilesOf({given.begin(), numbers}, err);
            if (!traces) {
              return std::nullopt;
            }
            H225Arguments h225{std::move(*traces), {}, json->count() > 0};
            for (auto text = numbers; text != given.end(); ++text) {
              const std::optional<MessageNumber> number = MessageNumberOf(*text);
              if (!number) {
                return Problem(err, "h225: '" + *text + "' is not a message number");
              }
              h225.numbers.push_back(*number);
            }
            return h225;
          }};
}

CommandGrammar ChannelsGrammar(CLI::App& line) {
  CLI::App& command = *line.add_subcommand("channels");
  const CLI::Option* operands = AddOperands(command);
  const CLI::Option* csv = command.add_flag("--csv");
  const CLI::Option* where = AddWhere(command);
  return {&command, [=](std::FILE* err) -> std::optional<Command> {
            if (operands->count() == 0) {
              return Problem(err, "channels takes one or more trace files");
            }
            std::optional<TraceFiles> traces = TraceFilesOf(operands->results(), err);
            if (!traces) {
              return std::nullopt;
            }
            return ChannelsArguments{std::move(*traces), csv->count() > 0, where->results()};
          }};
}

// What CLI11 left over (unknown options and commands), or a value given to a flag.
std::optional<std::string> Misfit(const CLI::App& app) {
  for (const std::string& extra : app.remaining()) {
    if (extra == "--") {
      continue;  // CLI11's note of where the options ended
    }
    if (extra.size() > 1 && extra.front() == '-') {
      return "unknown option '" + extra + "'";
    }
    return "unknown command '" + extra + "'";
  }
  for (const CLI::Option* option : app.get_options()) {
    const std::vector<std::string>& values = option->results();
    if (option->get_expected_max() == 0 &&
        std::any_of(values.begin(), values.end(),
                    [](const auto& value) { return value != "true"; })) {
      return "option '" + option->get_name() + "' takes no value";
    }
  }
  return std::nullopt;
}

// An option that takes one value, given more than once; those that may be repeated take all.
std::optional<std::string> Repeated(const CLI::App& command) {
  for (const CLI::Option* option : command.get_options()) {
    if (option->get_expected_max() > 0 && option->count() > 1 &&
        option->get_multi_option_policy() != CLI::MultiOptionPolicy::TakeAll) {
      std::string name = option->get_name();
      if (!option->get_snames().empty()) {
        name = "-" + option->get_snames().front() + "/" + name;
      }
      return "option '" + name + "' can be given only once";
    }
  }
  return std::nullopt;
}

// "list: " for a problem within a command.
std::string CommandPrefix(const CLI::App& line) {
  const auto commands = line.get_subcommands();
  return commands.empty() ? std::string() : commands.front()->get_name() + ": ";
}

}  // namespace

std::optional<Command> ParseCommandLine(std::span<const std::string_view> arguments,
                                        std::FILE* err) {
  CLI::App line;
  line.set_help_flag("-h,--help");
  line.allow_extras();            // reported by Misfit
  line.require_subcommand(0, 1);  // an operand named like a command stays an operand
  // Each command counts the repeats of its options itself.
  line.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  const CLI::Option* version = line.add_flag("--version");
  const CommandGrammar commands[] = {ListGrammar(line),   DecodeGrammar(line),   ShowGrammar(line),
                                     ExportGrammar(line), FindGrammar(line),     CallsGrammar(line),
                                     FlowGrammar(line),   PcapGrammar(line),     StatsGrammar(line),
                                     KpiGrammar(line),    ChannelsGrammar(line), H225Grammar(line)};

  try {
    line.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
  } catch (const CLI::CallForHelp&) {
    return UsageRequest{};
  } catch (const CLI::ArgumentMismatch&) {
    // An option takes the next argument, whatever it is, as its value: only the last can lack it.
    const std::string_view last = arguments.back();
    return Problem(err, CommandPrefix(line) + "option '" +
                            std::string(last.substr(0, last.find('='))) + "' needs a value");
  } catch (const CLI::ParseError& error) {
    return Problem(err, CommandPrefix(line) + error.what());
  }

  if (const auto misfit = Misfit(line)) {
    return Problem(err, *misfit);
  }
  if (version->count() > 0) {
    return VersionRequest{};
  }
  for (const CommandGrammar& grammar : commands) {
    if (grammar.command->parsed()) {
      if (const auto misfit = Misfit(*grammar.command)) {
        return Problem(err, grammar.command->get_name() + ": " + *misfit);
      }
      if (const auto repeated = Repeated(*grammar.command)) {
        return Problem(err, grammar.command->get_name() + ": " + *repeated);
      }
      return grammar.finish(err);
    }
  }
  return Problem(err, "no command given");
}

}  // namespace sigrune
