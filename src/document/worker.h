#pragma once

// One long operation at a time on a thread of its own, so that the window keeps answering. An
// operation owns what it works on, or only reads what nothing changes while it runs, and hands
// over one finished result: on the owner's thread, through the poster the owner gives. The
// worker never touches the owner's state, and the owner never waits for the worker except when
// it goes away.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace sigrune {

// What an operation has done so far, and whether it should stop: written on one thread, read on
// another.
class OperationProgress {
 public:
  // Called by the operation now and then; false once a cancel was asked for.
  bool Report(std::uint64_t done, std::uint64_t total) {
    done_.store(done, std::memory_order_relaxed);
    total_.store(total, std::memory_order_relaxed);
    return !CancelRequested();
  }
  bool CancelRequested() const { return cancel_.load(std::memory_order_relaxed); }
  void Cancel() { cancel_.store(true, std::memory_order_relaxed); }

  struct Reading {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
  };
  Reading Read() const {
    return {done_.load(std::memory_order_relaxed), total_.load(std::memory_order_relaxed)};
  }

  void Restart() {
    done_.store(0, std::memory_order_relaxed);
    total_.store(0, std::memory_order_relaxed);
    cancel_.store(false, std::memory_order_relaxed);
  }

 private:
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> cancel_{false};
};

// Runs a function on the owner's thread, soon; callable from any thread.
using Poster = std::function<void(std::function<void()>)>;

class Worker {
 public:
  explicit Worker(Poster post);
  // Cancels what runs and waits for it; a result not yet handed over is dropped.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // From the owner's thread only: an operation was started and its result not yet handed over.
  bool Busy() const { return busy_; }

  // Starts `work` unless an operation is busy (false). `deliver` gets the result on the owner's
  // thread, after which the worker is no longer busy; no result (nullopt) when the work ran out
  // of memory, the one failure the worker catches for every operation.
  template <class Result>
  bool Start(std::function<Result(OperationProgress&)> work,
             std::function<void(std::optional<Result>)> deliver) {
    if (busy_) {
      return false;
    }
    auto result = std::make_shared<std::optional<Result>>();
    Run(
        [this, result, work = std::move(work)] {
          try {
            *result = work(progress_);
          } catch (const std::bad_alloc&) {
            result->reset();
          }
        },
        [result, deliver = std::move(deliver)] { deliver(std::move(*result)); });
    return true;
  }

  // Asks the operation to stop; it hands over its (cancelled) result as usual.
  void Cancel() { progress_.Cancel(); }
  const OperationProgress& Progress() const { return progress_; }

 private:
  void Run(std::function<void()> work, std::function<void()> deliver);
  void Loop();

  Poster post_;
  bool busy_ = false;
  OperationProgress progress_;
  // Whether this worker still exists, for deliveries posted before it went away.
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> pending_;  // guarded by mutex_
  bool stopping_ = false;          // guarded by mutex_
  std::thread thread_;
};

}  // namespace sigrune
