// `export` and `find`: every message decoded, to a file in router debug layout, or searched.

#include <new>
#include <string>

#include "cli/command_line.h"
#include "cli/locale_text.h"
#include "cli/output_buffer.h"
#include "cli/trace_loading.h"
#include "q931/export_writer.h"
#include "q931/message_search.h"

namespace sigrune {

int RunExportCommand(const ExportArguments& arguments, std::FILE* in, std::FILE* out,
                     std::FILE* err) {
  const TraceFiles& files = arguments.traces;
  const std::optional<std::string>& outputName = arguments.outputFile;
  std::optional<WhereExpression> where;
  if (!ReadWhereOption("export", arguments.where, err, where)) {
    return kExitUsage;
  }

  TraceDocument document;
  const LoadOutcome loaded = LoadTraceForCommand(files, in, err, document);
  // A trace without messages still gives its (empty) export file.
  if (loaded != LoadOutcome::Loaded && loaded != LoadOutcome::NoMessages) {
    return kExitFailure;
  }
  if (where) {
    document.SetWhere(where->text);
  }
  const RowMap* kept = document.HasWhere() ? &document.ShownRows() : nullptr;
  const ExportResult result = !outputName ? ExportRouterDebug(out, document.Store(), {}, kept)
                              : kept      ? document.Export(*outputName, *kept)
                                          : document.Export(*outputName);
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

int RunFindCommand(const FindArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  const std::optional<std::string> text = Latin1OfLocaleText(arguments.text);
  if (!text) {
    return UsageError(err, "find: the text '" + arguments.text +
                               "' has no Latin-1 form, the encoding of trace texts");
  }
  TraceDocument document;
  if (LoadTraceForCommand(arguments.traces, in, err, document) != LoadOutcome::Loaded) {
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
