#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_parser.h"
#include "document/trace_document.h"

namespace sigrune {

enum ExitStatus : int { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };
// A command that a signal ended, after its last words, returns this plus the signal's number;
// the program then ends by the same signal.
inline constexpr int kExitSignalBase = 128;

// The whole of sigrune-cli: arguments (without the program name) in, exit status out.
int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                   std::FILE* err);

// The commands, each given what the command line gave it; `in` is the trace named "-".
int RunListCommand(const ListArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunDecodeCommand(const DecodeArguments& arguments, std::FILE* in, std::FILE* out,
                     std::FILE* err);
int RunShowCommand(const ShowArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunExportCommand(const ExportArguments& arguments, std::FILE* in, std::FILE* out,
                     std::FILE* err);
int RunFindCommand(const FindArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunCallsCommand(const CallsArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunFlowCommand(const FlowArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunPcapCommand(const PcapArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunStatsCommand(const StatsArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunKpiCommand(const KpiArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunH225Command(const H225Arguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
int RunChannelsCommand(const ChannelsArguments& arguments, std::FILE* in, std::FILE* out,
                       std::FILE* err);

// How `list --follow` waits: between reads, and for a path that is missing before it stops.
// Tests shorten both.
struct FollowTimes {
  std::chrono::milliseconds interval{500};
  std::chrono::milliseconds missingPath = TraceFollower::kMissingPathWait;
};
void SetFollowTimes(const FollowTimes& times);

// The key of the list filters --call HEX, --pri and --h225, when one is given; false after
// reporting a --call value that is no call reference (a usage error).
bool ReadFilterOption(std::string_view command, const std::optional<std::string>& call, bool pri,
                      bool h225, std::FILE* err, std::optional<FilterKey>& key);
// The expressions of --where as one that keeps what they all keep, read when given; false after
// reporting one that does not parse, or that has no Latin-1 form (a usage error).
bool ReadWhereOption(std::string_view command, const std::vector<std::string>& texts,
                     std::FILE* err, std::optional<WhereExpression>& where);

// Switches on the filter of the key, or that of --gateway IP when given.
void ApplyFilterOption(TraceDocument& document, std::optional<FilterKey> key,
                       const std::optional<std::string>& gateway);

// For --in-call: true when the trace has the call; otherwise reports "call N: TRACE has M calls"
// on `err`.
bool CheckCallNumber(TraceDocument& document, const TraceFiles& files, CallNumber call,
                     std::FILE* err);

// Reports a usage error on `err` and returns kExitUsage.
int UsageError(std::FILE* err, std::string_view problem);

}  // namespace sigrune
