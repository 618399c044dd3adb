#pragma once

// A message's 0-based place in the store's arrays and its 1-based number as users, the list and
// the row maps count it. They are kept apart as types, so that an off-by-one between the two does
// not compile.

#include <compare>
#include <cstddef>
#include <vector>

namespace sigrune {

struct MessageIndex {
  std::size_t value = 0;
  friend constexpr auto operator<=>(MessageIndex, MessageIndex) = default;
};

struct MessageNumber {
  std::size_t value = 0;  // 0: no message
  explicit constexpr operator bool() const { return value != 0; }
  friend constexpr auto operator<=>(MessageNumber, MessageNumber) = default;
};

constexpr MessageNumber NumberOf(MessageIndex index) {
  return {index.value + 1};
}
// For a number that names a message (not 0).
constexpr MessageIndex IndexOf(MessageNumber number) {
  return {number.value - 1};
}

// The messages a filtered list shows, row by row, in store order.
using RowMap = std::vector<MessageNumber>;

// Long operations (load, find, export) report progress and poll their cancel flag once per this
// many messages.
inline constexpr std::size_t kMessagesPerProgress = 4096;

}  // namespace sigrune
