// `export` and `find`: every message decoded, to a file in router debug layout, or searched.

#include <new>
#include <string>

#include "cli/arguments.h"
#include "cli/command_line.h"
#include "cli/locale_text.h"
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

  TraceDocument document;
  const LoadOutcome loaded = LoadTraceForCommand(fileName, in, err, document);
  // A trace without messages still gives its (empty) export file.
  if (loaded != LoadOutcome::Loaded && loaded != LoadOutcome::NoMessages) {
    return kExitFailure;
  }
  const ExportResult result = outputName ? document.Export(std::string(*outputName))
                                         : ExportRouterDebug(out, document.Store());
  if (result.outcome == ExportOutcome::OutOfMemory) {
    throw std::bad_alloc();  // reported, naming the trace, where every command's is
  }
  if (result.outcome == ExportOutcome::WriteFailed && !outputName) {
    return WriteError(err, result.writeError);
  }
  if (result.outcome != ExportOutcome::Written) {
    std::fprintf(err, "sigrune-cli: %s\n", result.errorText.c_str());
    return kExitFailure;
  }
  if (result.undecodableMessages > 0) {
    std::fprintf(err, "sigrune-cli: %s\n", UndecodableMessagesNote(result).c_str());
    return kExitFailure;
  }
  return loaded == LoadOutcome::Loaded ? kExitSuccess : kExitFailure;
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
  const std::optional<std::string> text = Latin1OfLocaleText(parsed->operands[1]);
  if (!text) {
    return UsageError(err, "find: the text '" + std::string(parsed->operands[1]) +
                               "' has no Latin-1 form, the encoding of trace texts");
  }
  TraceDocument document;
  if (LoadTraceForCommand(std::string(parsed->operands[0]), in, err, document) !=
      LoadOutcome::Loaded) {
    return kExitFailure;
  }
  OutputBuffer output(out);
  bool anyHit = false;
  FindCallbacks callbacks;
  callbacks.hit = [&](MessageNumber message) {
    anyHit = true;
    output.Write(std::to_string(message.value));
    output.Write('\n');
  };
  callbacks.failure = [&](MessageNumber message, std::string_view description) {
    std::fprintf(err, "sigrune-cli: message %zu: %.*s\n", message.value,
                 static_cast<int>(description.size()), description.data());
  };
  callbacks.progress = [&](std::size_t, std::size_t) { return !output.Failed(); };
  document.FindAll(*text, callbacks);
  return FinishOutput(output, err, anyHit ? kExitSuccess : kExitFailure);
}

}  // namespace sigrune
