#include "document/worker.h"

#include <utility>

namespace sigrune {

Worker::Worker(Poster post) : post_(std::move(post)), thread_([this] { Loop(); }) {}

Worker::~Worker() {
  alive_->store(false);
  progress_.Cancel();
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void Worker::Run(std::function<void()> work, std::function<void()> deliver) {
  busy_ = true;
  progress_.Restart();
  {
    const std::lock_guard lock(mutex_);
    pending_ = [this, work = std::move(work), deliver = std::move(deliver)]() mutable {
      work();
      post_([this, alive = alive_, deliver = std::move(deliver)] {
        if (alive->load()) {
          busy_ = false;
          deliver();
        }
      });
    };
  }
  wake_.notify_one();
}

void Worker::Loop() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || pending_; });
      if (stopping_) {
        return;
      }
      task = std::exchange(pending_, nullptr);
    }
    task();
  }
}

}  // namespace sigrune
