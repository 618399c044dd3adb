// `pcap`: the messages of a trace, of some calls or of a filter as a capture for Wireshark.

#include <unistd.h>

#include <new>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "util/text_utilities.h"
#include "writers/pcap_export.h"
#include "writers/replacing_file.h"

namespace sigrune {

int RunPcapCommand(const PcapArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  const bool toStandardOutput = arguments.outputFile == "-";
  // The terminal's stream (which has no descriptor) would show the octets as escapes.
  if (toStandardOutput && (fileno(out) < 0 || ::isatty(fileno(out)))) {
    return UsageError(err, "pcap: standard output is a terminal; give -o FILE or redirect it");
  }
  std::optional<FilterKey> key;
  std::optional<WhereExpression> where;
  if (!ReadFilterOption("pcap", arguments.call, arguments.pri, arguments.h225, err, key) ||
      !ReadWhereOption("pcap", arguments.where, err, where)) {
    return kExitUsage;
  }
  TraceDocument document;
  const OperationOutcome loaded = LoadTraceForCommand(arguments.traces, in, err, document);
  // A trace without messages still gives its (empty) capture.
  if (loaded != OperationOutcome::Done && loaded != OperationOutcome::NotFound) {
    return kExitFailure;
  }

  const bool byCalls = !arguments.inCalls.empty() || arguments.failed;
  std::vector<CallNumber> calls;
  for (const CallNumber call : arguments.inCalls) {
    if (!CheckCallNumber(document, arguments.traces, call, err)) {
      return kExitFailure;
    }
    calls.push_back(call);
  }
  if (arguments.failed) {
    const CallTable& table = document.GroupCallsIfNeeded();
    for (std::uint32_t number = 1; number <= table.calls.size(); ++number) {
      if (table.calls[number - 1].outcome == CallOutcome::Failed) {
        calls.push_back(CallNumber{number});
      }
    }
  }
  RowMap callMessages;
  if (!byCalls) {
    ApplyFilterOption(document, key, arguments.gateway);
  }
  if (where) {
    document.SetWhere(where->text);
  }
  if (byCalls) {
    callMessages = document.MessagesOfCalls(calls);
    if (document.HasWhere()) {
      // The messages of the calls that the expression keeps.
      std::erase_if(callMessages,
                    [&](MessageNumber message) { return !document.RowOfMessage(message); });
    }
  }

  PcapOptions options;
  options.serverAddress = arguments.serverAddress;
  options.utcOffsetSeconds = arguments.utcOffsetSeconds;
  PcapResult result;
  if (toStandardOutput) {
    options.messages = byCalls                 ? &callMessages
                       : document.IsFiltered() ? &document.ShownRows()
                                               : nullptr;
    result = WritePcap(out, document.Store(), options);
  } else {
    // Interrupted, the capture leaves no temporary file behind.
    const TemporaryFilesRemovedOnSignals removedOnSignals;
    result = byCalls ? document.ExportMessagesAsPcap(arguments.outputFile, callMessages, options)
                     : document.ExportShownAsPcap(arguments.outputFile, options);
  }
  if (result.outcome == OperationOutcome::OutOfMemory) {
    throw std::bad_alloc();  // reported, naming the trace, where every command's is
  }
  if (result.outcome == OperationOutcome::Failed && toStandardOutput) {
    return WriteError(err, result.writeError);
  }
  if (result.outcome != OperationOutcome::Done) {
    std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, result.errorText).c_str());
    return kExitFailure;
  }
  for (const std::string& note : PcapNotes(result)) {
    std::fprintf(err, "sigrune-cli: %s\n", note.c_str());
  }
  std::fprintf(err, "sigrune-cli: %s written to %s\n",
               CountOf(result.messagesWritten, "message", "messages").c_str(),
               Escaped(err, toStandardOutput ? "standard output" : arguments.outputFile).c_str());
  return loaded == OperationOutcome::Done ? kExitSuccess : kExitFailure;
}

}  // namespace sigrune
