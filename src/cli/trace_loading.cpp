#include "cli/trace_loading.h"

namespace sigrune {

std::string_view TraceNameForMessages(std::string_view fileName) {
  return fileName == "-" ? "standard input" : fileName;
}

LoadOutcome LoadTraceForCommand(const std::string& fileName, std::FILE* in, std::FILE* err,
                                TraceDocument& document) {
  const std::string name(TraceNameForMessages(fileName));
  const bool standardInput = fileName == "-";
  LoadResult loaded = standardInput ? LoadTraceDescriptor(fileno(in), name)
                                    : LoadTraceFile(fileName, {}, AcceptedFiles::RegularOrFifo);
  const LoadOutcome outcome = loaded.outcome;
  if (const std::string note = SkippedLinesNote(loaded); !note.empty()) {
    std::fprintf(err, "sigrune-cli: %s: %s\n", name.c_str(), note.c_str());
  }
  switch (loaded.outcome) {
    case LoadOutcome::NoMessages:
      std::fprintf(err, "%s does not contain Q931 Messages.\n", name.c_str());
      [[fallthrough]];  // an empty trace is still the trace, which an export must not replace
    case LoadOutcome::Loaded:
      document.Adopt(standardInput ? std::string() : fileName,
                     standardInput ? FileIdentity() : IdentityOfFile(fileName), std::move(loaded),
                     LoadKind::Open);
      break;
    case LoadOutcome::Stopped:
    case LoadOutcome::Failed:
      std::fprintf(err, "sigrune-cli: %s\n", loaded.errorText.c_str());
      break;
  }
  return outcome;
}

}  // namespace sigrune
