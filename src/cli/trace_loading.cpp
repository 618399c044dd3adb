#include "cli/trace_loading.h"

namespace sigrune {

std::string_view TraceNameForMessages(std::string_view fileName) {
  return fileName == "-" ? "standard input" : fileName;
}

LoadOutcome LoadTraceForCommand(const std::string& fileName, std::FILE* in, std::FILE* err,
                                MessageStore& store) {
  const std::string name(TraceNameForMessages(fileName));
  LoadResult loaded = fileName == "-" ? LoadTraceDescriptor(fileno(in), name)
                                      : LoadTraceFile(fileName, {}, AcceptedFiles::RegularOrFifo);
  if (const std::string note = SkippedLinesNote(loaded); !note.empty()) {
    std::fprintf(err, "sigrune-cli: %s: %s\n", name.c_str(), note.c_str());
  }
  switch (loaded.outcome) {
    case LoadOutcome::Loaded:
      store = std::move(loaded.store);
      break;
    case LoadOutcome::NoMessages:
      std::fprintf(err, "%s does not contain Q931 Messages.\n", name.c_str());
      break;
    case LoadOutcome::Stopped:
    case LoadOutcome::Failed:
      std::fprintf(err, "sigrune-cli: %s\n", loaded.errorText.c_str());
      break;
  }
  return loaded.outcome;
}

}  // namespace sigrune
