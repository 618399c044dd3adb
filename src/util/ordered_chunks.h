#pragma once

// Work on every message spread over the cores: the messages are cut into chunks, each chunk's
// result is made on whichever thread is free (the caller's among them), and the results are
// taken on the caller's thread in chunk order, as a loop over the messages would have met them.
// Only a few chunks are made ahead of the one taken, so memory stays bounded however long the
// trace. With one core nothing but the caller's thread works.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace sigrune {

// The cores this process may run on (those `taskset` leaves it), at least 1.
unsigned UsableCores();
// The threads to work on chunks with: a thread for each usable core, up to a few, whose chunks
// made ahead stay small beside the trace.
unsigned ChunkThreads();

// State kept for each worker, on cache lines of its own: workers writing state that shared a
// line would take the line from each other at every message.
template <class T>
struct alignas(64) PerWorker {
  T state;
};

// What the maker of a chunk is told.
struct ChunkWork {
  // 0 on the caller's thread: state kept per worker needs no lock.
  unsigned worker = 0;
  const std::atomic<bool>* stop = nullptr;
  const std::function<bool()>* keepGoing = nullptr;

  // Cheap enough to ask between messages: the chunk's result will not be taken.
  bool Stopped() const { return stop->load(std::memory_order_relaxed); }
  // Asked within a long message: on the caller's thread the question goes on to its keepGoing.
  bool KeepGoing() const { return (*keepGoing)(); }
};

// Makes the result of every chunk from 0 to `chunkCount` - 1 with `make(chunk, work)` on up to
// `threads` threads, and hands each to `take(chunk, result)` on the caller's thread, in order.
// `keepGoing` is asked on the caller's thread only: while it waits for a chunk, and through the
// KeepGoing of the chunks it makes itself (`take` asks its own questions between chunks).
// The work stops when `take` or `keepGoing` returns false: no chunk is taken after that, and the
// chunks being made are asked to stop. Returns whether every chunk was taken. An exception thrown
// by `make` (running out of memory, say) is thrown here, once no thread works any more.
template <class Result, class Make, class Take>
bool TakeChunksInOrder(std::size_t chunkCount, unsigned threads, Make&& make, Take&& take,
                       const std::function<bool()>& keepGoing) {
  std::atomic<bool> stop{false};
  // On the caller's thread, the question is passed on; a no stops the other threads too.
  const std::function<bool()> callerKeepGoing = [&] {
    if (!stop.load(std::memory_order_relaxed) && keepGoing && !keepGoing()) {
      stop.store(true, std::memory_order_relaxed);
    }
    return !stop.load(std::memory_order_relaxed);
  };
  if (threads <= 1 || chunkCount <= 1) {
    for (std::size_t chunk = 0; chunk < chunkCount; ++chunk) {
      Result result = make(chunk, ChunkWork{0, &stop, &callerKeepGoing});
      if (stop.load(std::memory_order_relaxed) || !take(chunk, std::move(result))) {
        return false;
      }
    }
    return true;
  }

  const std::function<bool()> helperKeepGoing = [&] {
    return !stop.load(std::memory_order_relaxed);
  };
  const std::size_t ahead = 2 * static_cast<std::size_t>(threads);
  std::mutex mutex;
  std::condition_variable changed;
  // Guarded by `mutex`: the results made and not yet taken, by chunk modulo `ahead`.
  std::vector<std::optional<Result>> made(ahead);
  std::size_t claimed = 0;
  std::size_t taken = 0;
  bool stopping = false;
  std::exception_ptr failure;

  // Under the lock: the next chunk to make, when one may be made now.
  const auto claim = [&]() -> std::optional<std::size_t> {
    if (stopping || claimed == chunkCount || claimed >= taken + ahead) {
      return std::nullopt;
    }
    return claimed++;
  };
  // With the lock held on entry and on return, released while the chunk is made.
  const auto makeChunk = [&](std::unique_lock<std::mutex>& lock, std::size_t chunk,
                             const ChunkWork& work) {
    lock.unlock();
    std::optional<Result> result;
    std::exception_ptr thrown;
    try {
      result.emplace(make(chunk, work));
    } catch (...) {
      thrown = std::current_exception();
    }
    lock.lock();
    if (thrown) {
      failure = failure ? failure : thrown;
      stopping = true;
      stop.store(true, std::memory_order_relaxed);
    } else {
      made[chunk % ahead] = std::move(result);
    }
    changed.notify_all();
  };
  const auto help = [&](unsigned worker) {
    std::unique_lock lock(mutex);
    while (true) {
      if (const std::optional<std::size_t> chunk = claim()) {
        makeChunk(lock, *chunk, ChunkWork{worker, &stop, &helperKeepGoing});
      } else if (stopping || claimed == chunkCount) {
        return;
      } else {
        changed.wait(lock);
      }
    }
  };

  std::vector<std::thread> helpers;
  // Stops and waits for the helpers on every way out, an exception from `take` included.
  struct Joiner {
    std::function<void()> stopAll;
    std::vector<std::thread>& helpers;
    ~Joiner() {
      stopAll();
      for (std::thread& helper : helpers) {
        helper.join();
      }
    }
  } joiner{[&] {
             const std::lock_guard lock(mutex);
             stopping = true;
             stop.store(true, std::memory_order_relaxed);
             changed.notify_all();
           },
           helpers};
  for (unsigned worker = 1; worker < threads; ++worker) {
    try {
      helpers.emplace_back(help, worker);
    } catch (const std::system_error&) {
      break;  // fewer threads do the same work
    }
  }

  // How long the caller waits for a chunk before it asks keepGoing again.
  constexpr std::chrono::milliseconds kAskEvery{20};
  std::unique_lock lock(mutex);
  // A chunk made after the stop may be cut short: none is taken then.
  while (taken < chunkCount && !failure && !stop.load(std::memory_order_relaxed)) {
    std::optional<Result>& next = made[taken % ahead];
    if (next) {
      Result result = std::move(*next);
      next.reset();
      const std::size_t chunk = taken++;
      changed.notify_all();
      lock.unlock();
      const bool more = take(chunk, std::move(result));
      lock.lock();
      if (!more) {
        break;
      }
    } else if (const std::optional<std::size_t> chunk = claim()) {
      makeChunk(lock, *chunk, ChunkWork{0, &stop, &callerKeepGoing});
    } else if (changed.wait_for(lock, kAskEvery) == std::cv_status::timeout) {
      lock.unlock();
      const bool more = callerKeepGoing();
      lock.lock();
      if (!more) {
        break;
      }
    }
  }
  const bool finished = taken == chunkCount && !failure;
  stopping = true;
  stop.store(true, std::memory_order_relaxed);
  changed.notify_all();
  const std::exception_ptr thrown = failure;
  lock.unlock();
  if (thrown) {
    std::rethrow_exception(thrown);  // the joiner waits for the helpers first
  }
  return finished;
}

}  // namespace sigrune
