// Runs a command, best of several runs, and prints its wall time and peak resident memory.
// Usage: measure RUNS OUTPUT-FILE COMMAND [ARGUMENTS...]   (standard output goes to OUTPUT-FILE)
// Exit status 1 counts as a normal end: it is how `find` says that nothing was found.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: measure RUNS OUTPUT-FILE COMMAND [ARGUMENTS...]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  double bestSeconds = 1e300;
  long peakKilobytes = 0;
  for (int run = 0; run < runs; ++run) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t child;
    if (posix_spawnp(&child, argv[3], &actions, nullptr, argv + 3, environ) != 0) {
      std::perror(argv[3]);
      return 1;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
      std::fprintf(stderr, "%s failed\n", argv[3]);
      return 1;
    }
    if (elapsed.count() < bestSeconds) {
      bestSeconds = elapsed.count();
    }
    if (usage.ru_maxrss > peakKilobytes) {
      peakKilobytes = usage.ru_maxrss;
    }
  }
  std::printf("%.3f %ld\n", bestSeconds, peakKilobytes);
  return 0;
}
