#include "cli/trace_loading.h"

#include "cli/terminal_output.h"

namespace sigrune {

std::string TraceNameForMessages(const TraceFiles& files) {
  if (files.empty()) {
    return {};
  }
  const std::string first = files.front() == "-" ? "standard input" : files.front();
  return files.size() == 1 ? first : first + " + " + std::to_string(files.size() - 1) + " more";
}

OperationOutcome LoadTraceForCommand(const TraceFiles& files, std::FILE* in, std::FILE* err,
                                     TraceDocument& document, EmptyTrace empty,
                                     CallGrouping grouping, UnendedLastLine lastLine) {
  const std::string name = TraceNameForMessages(files);
  const bool standardInput = files.size() == 1 && files.front() == "-";
  LoadedTrace read;
  if (standardInput) {
    read.result = LoadTraceDescriptor(fileno(in), name);
  } else if (grouping == CallGrouping::WhileReading) {
    ReadOptions options;
    options.accepted = AcceptedFiles::RegularOrFifo;
    options.lastLine = lastLine;
    read = TraceDocument::ReadTrace(files, options);
  } else {
    LoadOptions options;
    options.accepted = AcceptedFiles::RegularOrFifo;
    read.result = LoadTraceFiles(files, options);
    if (lastLine == UnendedLastLine::Held) {
      HoldUnendedLastLine(read.result);
    }
  }
  LoadResult& loaded = read.result;
  const OperationOutcome outcome = loaded.outcome;
  for (const std::string& note : loaded.notes) {
    std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, note).c_str());
  }
  if (const std::string note = SkippedLinesNote(loaded); !note.empty()) {
    // With several files, the note names the file.
    const std::string prefix = loaded.firstSkippedFile.empty() ? name + ": " : "";
    std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, prefix + note).c_str());
  }
  switch (loaded.outcome) {
    case OperationOutcome::NotFound:
      if (empty == EmptyTrace::Failure) {
        std::fprintf(err, "%s does not contain Q931 Messages.\n", Escaped(err, name).c_str());
      }
      [[fallthrough]];  // an empty trace is still the trace, which an export must not replace
    case OperationOutcome::Done: {
      if (read.calls) {
        document.Adopt(std::move(read), LoadKind::Open);
        break;
      }
      const std::string first = standardInput ? std::string() : loaded.store.filePaths.front();
      document.Adopt(first, standardInput ? FileIdentity() : IdentityOfFile(first),
                     std::move(loaded), LoadKind::Open);
      break;
    }
    case OperationOutcome::Cancelled:
    case OperationOutcome::Failed:
    case OperationOutcome::OutOfMemory:  // a load reports it as Failed
      std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, loaded.errorText).c_str());
      break;
  }
  return outcome;
}

bool CheckMessageNumber(const MessageStore& store, const TraceFiles& files, MessageNumber number,
                        OutputBuffer& output, std::FILE* err) {
  if (number.value <= store.MessageCount()) {
    return true;
  }
  output.Flush();
  std::fprintf(err, "sigrune-cli: message %zu: %s has %zu messages\n", number.value,
               Escaped(err, TraceNameForMessages(files)).c_str(), store.MessageCount());
  return false;
}

}  // namespace sigrune
