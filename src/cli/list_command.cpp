#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/trace_loading.h"
#include "trace/list_filters.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

constexpr OptionSpec kListOptions[] = {
    {"--call", true}, {"--gateway", true}, {"--pri"}, {"--h225"}};

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

int RunListCommand(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                   std::FILE* err) {
  const auto parsed = ParseCommandArguments("list", arguments, kListOptions, err);
  if (!parsed) {
    return kExitUsage;
  }
  const std::vector<std::string_view>& operands = parsed->operands;
  if (operands.size() != 1) {
    return UsageError(err, "list takes one trace file");
  }
  if (parsed->OptionCount() > 1) {
    return UsageError(err, "list takes one filter at a time");
  }
  std::optional<FilterKey> key;
  if (const auto call = parsed->Value("--call")) {
    key = CallFilterKey(*call);
    if (!key) {
      return UsageError(err, "list: '" + std::string(*call) + "' is not a call reference");
    }
  } else if (parsed->Has("--pri")) {
    key = ProtocolKey(ListFilter::PriOnly);
  } else if (parsed->Has("--h225")) {
    key = ProtocolKey(ListFilter::H225Only);
  }

  TraceDocument document;
  if (LoadTraceForCommand(std::string(operands.front()), in, err, document) !=
      LoadOutcome::Loaded) {
    return kExitFailure;
  }
  const MessageStore& store = document.Store();

  OutputBuffer output(out);
  if (const auto gateway = parsed->Value("--gateway")) {
    const auto known = store.gatewayIpIndex.find(std::string(*gateway));
    // A gateway the trace does not know keeps no message.
    key = ProtocolKey(ListFilter::ThisGateway);
    key->gatewayIpIndex =
        known != store.gatewayIpIndex.end() ? known->second : static_cast<std::uint32_t>(-1);
  }
  if (key) {
    document.ApplyFilter(*key, {});
  }
  std::string line;
  for (std::size_t row = 0; row < document.RowCount() && !output.Failed(); ++row) {
    line.clear();
    AppendSummaryLine(line, store, IndexOf(document.MessageAtRow(row)).value);
    output.Write(line);
    output.Write('\n');
  }
  return FinishOutput(output, err, kExitSuccess);
}

}  // namespace sigrune
