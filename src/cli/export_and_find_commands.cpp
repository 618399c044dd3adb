// `export` and `find`: every message decoded, to a file in router debug layout, or searched.

#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/locale_text.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "document/find_all.h"
#include "q931/message_search.h"
#include "q931/payload_bytes.h"
#include "writers/export_writer.h"
#include "writers/replacing_file.h"

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
  const OperationOutcome loaded = LoadTraceForCommand(files, in, err, document);
  // A trace without messages still gives its (empty) export file.
  if (loaded != OperationOutcome::Done && loaded != OperationOutcome::NotFound) {
    return kExitFailure;
  }
  if (where) {
    document.SetWhere(where->text);
  }
  const RowMap* kept = document.HasWhere() ? &document.ShownRows() : nullptr;
  RouterDebugOptions toStream;
  toStream.messages = kept;
  // Interrupted, the export to a file leaves no temporary file behind.
  std::optional<TemporaryFilesRemovedOnSignals> removedOnSignals;
  if (outputName) {
    removedOnSignals.emplace();
  }
  const ExportResult result = !outputName ? ExportRouterDebug(out, document.Store(), toStream)
                              : kept      ? document.ExportMessages(*outputName, *kept)
                                          : document.ExportAllMessages(*outputName);
  if (result.outcome == OperationOutcome::OutOfMemory) {
    throw std::bad_alloc();  // reported, naming the trace, where every command's is
  }
  if (result.outcome == OperationOutcome::Failed && !outputName) {
    return WriteError(err, result.writeError);
  }
  if (result.outcome != OperationOutcome::Done) {
    std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, result.errorText).c_str());
    return kExitFailure;
  }
  if (result.undecodable.count > 0) {
    std::fprintf(err, "sigrune-cli: %s\n", UndecodableMessagesNote(result.undecodable).c_str());
    return kExitFailure;
  }
  return loaded == OperationOutcome::Done ? kExitSuccess : kExitFailure;
}

namespace {

// find --lines: "N<TAB>LINE" for each line of a found message that holds the text; the number
// alone when no line holds it by itself (a text with a line end in it).
bool FindWithLines(const MessageStore& store, std::string_view text, OutputBuffer& output,
                   std::FILE* err) {
  bool anyHit = false;
  std::vector<std::string> lines;
  for (std::size_t index = 0; index < store.MessageCount() && !output.Failed(); ++index) {
    const std::string number = std::to_string(index + 1);
    try {
      if (!FindLinesInMessage(store, MessageIndex{index}, text, FindCase::Exact, SIZE_MAX, lines)) {
        continue;
      }
    } catch (const SubscriptOutOfRange& failure) {
      std::fprintf(err, "sigrune-cli: message %s: %s\n", number.c_str(), failure.what());
      continue;
    }
    anyHit = true;
    if (lines.empty()) {
      output.Write(number);
      output.Write('\n');
    }
    for (const std::string& line : lines) {
      output.Write(number);
      output.Write('\t');
      output.Write(line);
      output.Write('\n');
    }
  }
  return anyHit;
}

}  // namespace

int RunFindCommand(const FindArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  const std::optional<std::string> text = Latin1OfLocaleText(arguments.text);
  if (!text) {
    return UsageError(err, "find: the text '" + arguments.text +
                               "' has no Latin-1 form, the encoding of trace texts");
  }
  TraceDocument document;
  if (LoadTraceForCommand(arguments.traces, in, err, document) != OperationOutcome::Done) {
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
  if (arguments.lines) {
    anyHit = FindWithLines(document.Store(), *text, output, err);
  } else {
    document.FindAll(*text, callbacks);
  }
  return FinishOutput(output, err, anyHit ? kExitSuccess : kExitFailure);
}

}  // namespace sigrune
