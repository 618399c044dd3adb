#pragma once

// The 1-based line of each message's header line in its file (0: none), in four bytes a message:
// the low 32 bits in an array, the high ones as runs, which change only past four billion lines.
// Offers what the store's per-message arrays offer, so that it moves, trims and grows with them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

#include "util/large_allocator.h"

namespace sigrune {

class MessageLines {
 public:
  std::size_t size() const { return low_.size(); }
  std::size_t capacity() const { return low_.capacity(); }
  void reserve(std::size_t count) { low_.reserve(count); }

  std::uint64_t operator[](std::size_t index) const {
    return (std::uint64_t{HighAt(index)} << 32) | low_[index];
  }
  std::uint64_t back() const { return (*this)[size() - 1]; }

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::uint64_t;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::uint64_t;
    Iterator(const MessageLines& lines, std::size_t index) : lines_(&lines), index_(index) {}
    std::uint64_t operator*() const { return (*lines_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    Iterator operator++(int) { return Iterator(*lines_, index_++); }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    const MessageLines* lines_;
    std::size_t index_;
  };
  Iterator begin() const { return {*this, 0}; }
  Iterator end() const { return {*this, size()}; }

  void push_back(std::uint64_t line) {
    low_.push_back(static_cast<std::uint32_t>(line));
    NoteHigh(size() - 1, static_cast<std::uint32_t>(line >> 32));
  }

  // Trims to `count` messages, or adds messages without a header line up to it.
  void resize(std::size_t count) {
    const std::size_t before = size();
    low_.resize(count, 0);
    highs_.erase(std::lower_bound(highs_.begin(), highs_.end(), std::min(before, count),
                                  [](const Run& run, std::size_t k) { return run.first < k; }),
                 highs_.end());
    if (count > before) {
      NoteHigh(before, 0);
    }
  }

  // The other's messages after these.
  void Append(const MessageLines& other) {
    const std::size_t offset = size();
    low_.insert(low_.end(), other.low_.begin(), other.low_.end());
    if (offset < size()) {
      NoteHigh(offset, 0);  // the other's first messages, before any run of its own
    }
    for (const Run& run : other.highs_) {
      NoteHigh(offset + run.first, run.high);
    }
  }

  void Set(std::size_t index, std::uint64_t line) {
    low_[index] = static_cast<std::uint32_t>(line);
    const auto high = static_cast<std::uint32_t>(line >> 32);
    if (high == HighAt(index)) {
      return;
    }
    // Rare: rebuilt from the message on.
    std::vector<std::uint32_t> after;
    for (std::size_t k = index + 1; k < size(); ++k) {
      after.push_back(HighAt(k));
    }
    highs_.erase(std::lower_bound(highs_.begin(), highs_.end(), index,
                                  [](const Run& run, std::size_t k) { return run.first < k; }),
                 highs_.end());
    NoteHigh(index, high);
    for (std::size_t k = index + 1; k < size(); ++k) {
      NoteHigh(k, after[k - index - 1]);
    }
  }

  // Adds `lines` to every line number but 0.
  void AddToEach(std::uint64_t lines) {
    std::vector<Run> highs;
    highs_.swap(highs);
    auto run = highs.begin();
    for (std::size_t k = 0; k < size(); ++k) {
      while (run != highs.end() && std::next(run) != highs.end() && std::next(run)->first <= k) {
        ++run;
      }
      const std::uint64_t high = run != highs.end() && run->first <= k ? run->high : 0;
      std::uint64_t line = (high << 32) | low_[k];
      line += line != 0 ? lines : 0;
      low_[k] = static_cast<std::uint32_t>(line);
      NoteHigh(k, static_cast<std::uint32_t>(line >> 32));
    }
  }

 private:
  struct Run {
    std::size_t first = 0;  // the index of its first message
    std::uint32_t high = 0;
  };

  std::uint32_t HighAt(std::size_t index) const {
    const auto after =
        std::upper_bound(highs_.begin(), highs_.end(), index,
                         [](std::size_t k, const Run& run) { return k < run.first; });
    return after == highs_.begin() ? 0 : std::prev(after)->high;
  }

  // The message at `index`, the last so far, has this high part.
  void NoteHigh(std::size_t index, std::uint32_t high) {
    if (!highs_.empty() && highs_.back().first == index) {
      highs_.pop_back();  // said again
    }
    if (high != (highs_.empty() ? 0 : highs_.back().high)) {
      highs_.push_back({index, high});
    }
  }

  LargeVector<std::uint32_t> low_;
  std::vector<Run> highs_;  // where the high part changes; none while it is 0
};

}  // namespace sigrune
