#pragma once

// The owner's side of a worker in a test: what is posted queues up until the test's thread runs
// it.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "document/worker.h"
#include "waiting.h"

namespace sigrune {

struct OwnerQueue {
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
  Poster Post() {
    return [this](std::function<void()> task) {
      const std::lock_guard lock(mutex);
      tasks.push_back(std::move(task));
    };
  }
  // Runs what was posted until `done` holds; fails after kWaitLimit, naming `what`.
  void RunUntil(const std::function<bool()>& done,
                const std::string& what = "the workers' results") {
    WaitUntil(
        done,
        [this] {
          std::function<void()> task;
          {
            const std::lock_guard lock(mutex);
            if (!tasks.empty()) {
              task = std::move(tasks.front());
              tasks.pop_front();
            }
          }
          if (task) {
            task();
          } else {
            std::this_thread::yield();
          }
        },
        what);
  }
};

}  // namespace sigrune
