#pragma once

// Runs a piece of a test in a child process whose address space may grow only a little: what
// would take more memory than it should fails there, as on a machine whose memory has run out.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "util/large_allocator.h"

namespace sigrune {

// The address and thread sanitizers reserve terabytes of address space up front, and report a
// failed allocation instead of throwing, so their builds cannot run the child.
#if defined(SIGRUNE_ADDRESS_SANITIZER) || defined(__SANITIZE_THREAD__)
inline constexpr bool kCanLimitAddressSpace = false;
#else
inline constexpr bool kCanLimitAddressSpace = true;
#endif

// The exit status of `body` run in a child that may take `headroom` more bytes of address space
// than it starts with; 128 + the signal when the child was killed (an abort).
inline int RunWithAddressSpaceHeadroom(std::size_t headroom, const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + headroom;
    const rlimit bound{limit, limit};
    const int status = ::setrlimit(RLIMIT_AS, &bound) == 0 ? body() : 125;
    std::fflush(nullptr);
    std::_Exit(status);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) {
    return 126;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace sigrune
