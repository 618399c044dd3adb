#pragma once

// Waiting in tests: whatever a test waits for has a limit, past which the test fails saying what
// it waited for, so that a hung worker fails the run instead of hanging it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>

#include "test_files.h"

namespace sigrune {

// Far beyond what a loaded machine takes for what comes at once, and below ctest's timeout, so
// that the failure is told. The sanitizers slow everything several times over.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr std::chrono::seconds kWaitLimit{240};
#else
inline constexpr std::chrono::seconds kWaitLimit{60};
#endif

// Runs `step` until `done` holds, false after kWaitLimit with a failure naming `what`.
inline bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& step,
                      const std::string& what) {
  const auto limit = std::chrono::steady_clock::now() + kWaitLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) {
      ADD_FAILURE() << "gave up after " << kWaitLimit.count() << " s waiting for " << what;
      return false;
    }
    step();
  }
  return true;
}

// A thread of the test's own that should end by itself. Joining it waits kWaitLimit at most: then
// the test fails naming what it waited for, and the process ends, since nothing can stop the
// thread from outside. Joined when it goes out of scope, after a failed assertion too.
class TestThread {
 public:
  TestThread(std::string what, std::function<void()> body)
      : what_(std::move(what)), ended_(std::async(std::launch::async, std::move(body))) {}
  ~TestThread() {
    if (ended_.valid()) {
      Wait();
    }
  }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

  void Join() {
    Wait();
    ended_.get();
  }

 private:
  void Wait() const {
    if (ended_.wait_for(kWaitLimit) == std::future_status::timeout) {
      ADD_FAILURE() << "gave up after " << kWaitLimit.count() << " s waiting for " << what_;
      std::fflush(nullptr);
      ProcessFolder::Get().Remove();
      std::_Exit(EXIT_FAILURE);
    }
  }

  std::string what_;
  std::future<void> ended_;
};

}  // namespace sigrune
