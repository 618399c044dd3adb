#pragma once

// What the benchmarks of a loaded trace share: its load from the command line, and a clock.

#include <chrono>
#include <cstdio>
#include <optional>

#include "trace/trace_reader.h"

namespace bench {

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The trace named by the only argument; none, said on standard error, when there is no such
// argument or it does not load.
inline std::optional<sigrune::LoadResult> LoadTraceOfArguments(int argc, char** argv,
                                                               const char* program) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s TRACE\n", program);
    return std::nullopt;
  }
  sigrune::LoadResult loaded = sigrune::LoadTraceFile(argv[1]);
  if (loaded.outcome != sigrune::OperationOutcome::Done) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return std::nullopt;
  }
  return loaded;
}

}  // namespace bench
