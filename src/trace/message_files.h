#pragma once

// The file of each message, kept as runs: a trace's messages come file after file, so a message
// costs nothing here where an array would take four bytes of each. Offers what the store's
// per-message arrays offer, so that it moves, trims and grows with them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace sigrune {

class MessageFiles {
 public:
  std::size_t size() const { return size_; }
  // Runs take no room a message: there is none to make.
  std::size_t capacity() const { return std::numeric_limits<std::size_t>::max(); }
  void reserve(std::size_t) {}

  std::uint32_t operator[](std::size_t index) const {
    if (runs_.size() == 1) {
      return runs_.front().file;
    }
    const auto after =
        std::upper_bound(runs_.begin(), runs_.end(), index,
                         [](std::size_t k, const Run& run) { return k < run.first; });
    return std::prev(after)->file;
  }

  void push_back(std::uint32_t file) {
    if (runs_.empty() || runs_.back().file != file) {
      runs_.push_back({size_, file});
    }
    ++size_;
  }

  // Trims to `count` messages, or adds messages of file 0 up to it.
  void resize(std::size_t count) {
    if (count > size_) {
      if (runs_.empty() || runs_.back().file != 0) {
        runs_.push_back({size_, 0});
      }
    } else {
      runs_.erase(std::lower_bound(runs_.begin(), runs_.end(), count,
                                   [](const Run& run, std::size_t k) { return run.first < k; }),
                  runs_.end());
    }
    size_ = count;
  }

  // The other's messages after these.
  void Append(const MessageFiles& other) {
    for (const Run& run : other.runs_) {
      if (runs_.empty() || runs_.back().file != run.file) {
        runs_.push_back({size_ + run.first, run.file});
      }
    }
    size_ += other.size_;
  }

  // Every message in `file`.
  void Fill(std::uint32_t file) {
    runs_.clear();
    if (size_ > 0) {
      runs_.push_back({0, file});
    }
  }

 private:
  struct Run {
    std::size_t first = 0;  // the index of its first message
    std::uint32_t file = 0;
  };
  std::vector<Run> runs_;
  std::size_t size_ = 0;
};

}  // namespace sigrune
