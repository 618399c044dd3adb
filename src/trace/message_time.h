#pragma once

// The time of a message, read from the timestamp text the list shows for it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace sigrune {

// Nanoseconds since 1970-01-01 00:00:00 on the trace's own clock (the trace names no time zone),
// or kNoTime.
using MessageTime = std::int64_t;
inline constexpr MessageTime kNoTime = std::numeric_limits<std::int64_t>::min();

// The time of a text that is exactly "MM/DD/YYYY HH:MM:SS" or "YYYY-MM-DD HH:MM:SS", either with
// an optional "." and 1 to 9 digits of fraction, and that names a real date (leap years counted)
// and time (23:59:59 at most: a 60th second is refused). Any other text gives kNoTime, and so
// does a time that 64 bits of nanoseconds do not hold (before 1677-09-21 00:12:44 or after
// 2262-04-11 23:47:16.854775807): no trace is that old.
MessageTime ParseMessageTime(std::string_view timestampText);

// The longest text FormatMessageTime writes.
inline constexpr std::size_t kLongestTimeText = 29;

// Writes the text that ParseMessageTime reads `time` from: "MM/DD/YYYY HH:MM:SS" when
// `monthFirst`, else "YYYY-MM-DD HH:MM:SS", then "." and `fractionDigits` (1 to 9) digits of
// fraction unless that is 0. Returns the length. `time` must be one that ParseMessageTime gives.
std::size_t FormatMessageTime(MessageTime time, bool monthFirst, unsigned fractionDigits,
                              char* text);

// The start of the day (00:00:00) that holds the time; kNoTime for kNoTime.
MessageTime DayStart(MessageTime time);

// A time a user typed: a whole timestamp as ParseMessageTime reads it, or "HH:MM", "HH:MM:SS" or
// "HH:MM:SS" with "." and 1 to 9 digits on the day that starts at `dayStart`. kNoTime for any
// other text, or for a time of day when `dayStart` is kNoTime.
MessageTime ParseTypedTime(std::string_view text, MessageTime dayStart);

// ParseMessageTime for one message after another: a trace's messages mostly share their date and
// minute, which it reads once.
class MessageTimeReader {
 public:
  MessageTime Read(std::string_view timestampText);

 private:
  std::array<char, 16> minute_{};  // the first 16 characters of the last text read
  bool knowsMinute_ = false;       // they named a minute, which starts at minuteStart_
  std::int64_t minuteStart_ = 0;   // seconds since 1970
};

}  // namespace sigrune
