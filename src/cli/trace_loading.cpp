#include "cli/trace_loading.h"

namespace sigrune {

LoadOutcome LoadTraceForCommand(const std::string& fileName, std::FILE* err, MessageStore& store) {
  LoadResult loaded = LoadTraceFile(fileName);
  switch (loaded.outcome) {
    case LoadOutcome::Loaded:
      store = std::move(loaded.store);
      break;
    case LoadOutcome::NoMessages:
      std::fprintf(err, "%s does not contain Q931 Messages.\n", fileName.c_str());
      break;
    case LoadOutcome::Stopped:
    case LoadOutcome::Failed:
      std::fprintf(err, "sigrune-cli: %s\n", loaded.errorText.c_str());
      break;
  }
  return loaded.outcome;
}

}  // namespace sigrune
