// Decodes every message of a trace on one core and reports messages per second.
// Usage: decode_throughput TRACE

#include <chrono>
#include <cstdio>

#include "q931/decoder.h"
#include "trace/trace_reader.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_throughput TRACE\n");
    return 2;
  }
  const sigrune::LoadResult loaded = sigrune::LoadTraceFile(argv[1]);
  if (loaded.outcome != sigrune::LoadOutcome::Loaded) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  std::size_t bytes = 0;
  for (std::size_t index = 0; index < loaded.store.msgCount; ++index) {
    bytes += sigrune::DecodeStoredMessage(loaded.store, index).size();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double messages = static_cast<double>(loaded.store.msgCount);
  std::printf("decode %.0f messages in %.3f s: %.0f messages/s, %.0f MB of text/s\n", messages,
              seconds, messages / seconds, static_cast<double>(bytes) / 1e6 / seconds);
  return 0;
}
