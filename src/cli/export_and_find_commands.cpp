// `export` and `find`: every message decoded, to a file in router debug layout, or searched.

#include <string>

#include "cli/arguments.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/trace_loading.h"
#include "q931/export_writer.h"
#include "q931/message_search.h"

namespace sigrune {

namespace {
constexpr OptionSpec kExportOptions[] = {{"-o", true}, {"--output", true}};
}

int RunExportCommand(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                     std::FILE* err) {
  const auto parsed = ParseCommandArguments("export", arguments, kExportOptions, err);
  if (!parsed) {
    return kExitUsage;
  }
  if (parsed->operands.size() != 1 || parsed->OptionCount() > 1) {
    return UsageError(err, "export takes one trace file and at most one output file");
  }
  const std::string fileName(parsed->operands.front());
  const std::optional<std::string_view> outputName =
      parsed->Has("-o") ? parsed->Value("-o") : parsed->Value("--output");

  MessageStore store;
  const LoadOutcome loaded = LoadTraceForCommand(fileName, in, err, store);
  // A trace without messages still gives its (empty) export file.
  if (loaded != LoadOutcome::Loaded && loaded != LoadOutcome::NoMessages) {
    return kExitFailure;
  }
  const ExportResult result = outputName ? ExportRouterDebug(std::string(*outputName), store)
                                         : ExportRouterDebug(out, store);
  switch (result.outcome) {
    case ExportOutcome::Written:
      return loaded == LoadOutcome::Loaded ? kExitSuccess : kExitFailure;
    case ExportOutcome::DecodeFailed:
      std::fprintf(err, "sigrune-cli: message %zu: %s; the export stops there\n",
                   result.failedMessageNumber, result.errorText.c_str());
      return kExitFailure;
    case ExportOutcome::WriteFailed:
    case ExportOutcome::Stopped:
      break;
  }
  std::fprintf(err, "sigrune-cli: %s\n", result.errorText.c_str());
  return kExitFailure;
}

int RunFindCommand(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                   std::FILE* err) {
  const auto parsed = ParseCommandArguments("find", arguments, {}, err);
  if (!parsed) {
    return kExitUsage;
  }
  if (parsed->operands.size() != 2) {
    return UsageError(err, "find takes a trace file and a text");
  }
  MessageStore store;
  if (LoadTraceForCommand(std::string(parsed->operands[0]), in, err, store) !=
      LoadOutcome::Loaded) {
    return kExitFailure;
  }
  OutputBuffer output(out);
  bool anyHit = false;
  FindCallbacks callbacks;
  callbacks.hit = [&](std::size_t index) {
    anyHit = true;
    output.Write(std::to_string(index + 1));
    output.Write('\n');
  };
  callbacks.failure = [&](std::size_t index, std::string_view description) {
    std::fprintf(err, "sigrune-cli: message %zu: %.*s\n", index + 1,
                 static_cast<int>(description.size()), description.data());
  };
  FindInAllMessages(store, parsed->operands[1], callbacks);
  if (!output.Flush()) {
    std::fprintf(err, "sigrune-cli: cannot write the output\n");
    return kExitFailure;
  }
  return anyHit ? kExitSuccess : kExitFailure;
}

}  // namespace sigrune
