#pragma once

// How many calls each gateway carried at once over the trace: for each bar of time, the most calls
// in progress at one instant within it, a call being in progress from the time of its first
// message to that of its last, both included. One sort and one sweep, never a count per bar and
// call.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "calls/call_table.h"
#include "trace/message_store.h"

namespace sigrune {

// Minutes a bar stands for, so that the minutes from `first` to `last` take `mostBars` bars at
// the most: 1, 10, 60, 1440, or whole days beyond.
std::int64_t BarMinutesFor(std::int64_t first, std::int64_t last, std::int64_t mostBars);

struct ConcurrencySeries {
  std::uint32_t gatewayIpIndex = 0;
  Protocol protocol = Protocol::None;
  std::vector<std::uint32_t> peaks;  // by bar
  std::uint32_t peak = 0;            // the most of any bar, first reached in bar `peakBar`
  std::size_t peakBar = 0;
};

struct Concurrency {
  std::int64_t firstMinute = 0;  // the first bar's start, minutes since 1970-01-01 00:00
  std::int64_t barMinutes = 1;
  std::size_t bars = 0;
  // One per gateway and protocol that has a call with both times, in the statistics' order.
  std::vector<ConcurrencySeries> series;
  std::uint64_t untimed = 0;  // calls left out: a time that does not parse, or an end before start
};

// The calls given (every call when `counted` is none), in bars of one minute while they number
// `mostBars` at the most (longer ones beyond, as BarMinutesFor chooses).
Concurrency CountConcurrency(const MessageStore& store, const CallTable& calls,
                             std::optional<std::span<const CallNumber>> counted,
                             std::int64_t mostBars = 1440);

}  // namespace sigrune
