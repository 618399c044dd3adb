// Times the load of trace files read as one (plain or .gz), without listing them.
// Usage: load_files TRACE...

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "trace/trace_reader.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: load_files TRACE...\n");
    return 2;
  }
  const std::vector<std::string> paths(argv + 1, argv + argc);
  const auto start = std::chrono::steady_clock::now();
  const sigrune::LoadResult loaded = sigrune::LoadTraceFiles(paths);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (loaded.outcome != sigrune::OperationOutcome::Done) {
    std::fprintf(stderr, "cannot load: %s\n", loaded.errorText.c_str());
    return 1;
  }
  std::printf("%.3f %zu\n", seconds, loaded.store.MessageCount());
  return 0;
}
