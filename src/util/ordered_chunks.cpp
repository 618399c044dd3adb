#include "util/ordered_chunks.h"

#include <sched.h>

#include <algorithm>

namespace sigrune {

unsigned UsableCores() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
    const int count = CPU_COUNT(&cores);
    return count > 0 ? static_cast<unsigned>(count) : 1u;
  }
  const unsigned count = std::thread::hardware_concurrency();
  return count > 0 ? count : 1u;
}

unsigned ChunkThreads() {
  constexpr unsigned kMostThreads = 8;
  return std::min(UsableCores(), kMostThreads);
}

}  // namespace sigrune
