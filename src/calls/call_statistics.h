#pragma once

// When, where and why calls fail, counted in one pass over the call records: calls by minute of
// their start, by gateway and by cause, each split by outcome. Plain records, sorted as they are
// listed.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "calls/call_table.h"
#include "trace/message_store.h"
#include "trace/message_time.h"

namespace sigrune {

// Calls by outcome, in the order of kCallOutcomes.
struct OutcomeCounts {
  std::array<std::uint32_t, std::size(kCallOutcomes)> calls{};

  std::uint32_t& operator[](CallOutcome outcome) {
    return calls[static_cast<std::size_t>(outcome)];
  }
  std::uint32_t operator[](CallOutcome outcome) const {
    return calls[static_cast<std::size_t>(outcome)];
  }
  std::uint64_t Total() const;
};

struct MinuteCounts {
  std::int64_t minute = 0;  // minutes since 1970-01-01 00:00 on the trace's clock
  OutcomeCounts outcomes;
};

struct GatewayCounts {
  std::uint32_t gatewayIpIndex = 0;  // into the store's gatewayIpTexts
  Protocol protocol = Protocol::None;
  OutcomeCounts outcomes;
  std::int16_t topFailureCause = -1;  // among its failed calls; -1: none failed
};

struct CauseCounts {
  std::int16_t cause = 0;
  std::uint32_t calls = 0;
};

struct CallStatistics {
  std::uint64_t calls = 0;  // counted
  // From the first to the last minute that has a call, the empty ones too while the starts lie
  // less than seven days apart; further apart, only the minutes that have calls.
  std::vector<MinuteCounts> minutes;
  OutcomeCounts untimed;  // calls whose start time does not parse
  // By address text, then protocol text, in byte order.
  std::vector<GatewayCounts> gateways;
  // By calls, most first, then by cause value.
  std::vector<CauseCounts> causes;
  std::uint64_t callsWithCause = 0;
  // The same over the calls not answered, where the causes of failures are not drowned by those
  // of answered calls cleared as usual.
  std::vector<CauseCounts> unansweredCauses;
  std::uint64_t unansweredCallsWithCause = 0;
  // The earliest and latest start of a counted call; kNoTime when none has a time.
  MessageTime firstStart = kNoTime;
  MessageTime lastStart = kNoTime;
};

// The statistics of every call of the table, or of the given calls only.
CallStatistics CountCallStatistics(const MessageStore& store, const CallTable& calls);
CallStatistics CountCallStatistics(const MessageStore& store, const CallTable& calls,
                                   std::span<const CallNumber> counted);

// The minute of the call's start time; none when it has no time.
std::optional<std::int64_t> StartMinute(const MessageStore& store, const CallRecord& call);

// "2004-01-15 10:40".
std::string MinuteText(std::int64_t minute);

// `part` in percent of `whole` with one decimal, rounded half away from zero on the exact
// fraction: 1 of 16 gives "6.3". "0.0" when `whole` is 0.
std::string ShareText(std::uint64_t part, std::uint64_t whole);

// The calls behind a bar or row of the statistics, for listing them.
struct StatisticsGroup {
  enum class Kind : std::uint8_t { Minutes, Gateway, Cause };
  Kind kind = Kind::Minutes;
  std::int64_t firstMinute = 0;  // Minutes: [firstMinute, endMinute)
  std::int64_t endMinute = 0;
  // Gateway: by its text rather than its index, which another reading of the trace may change.
  std::string gateway;
  Protocol protocol = Protocol::None;
  std::int16_t cause = -1;   // Cause
  bool withAnswered = true;  // Cause: the answered calls too

  bool Holds(const MessageStore& store, const CallRecord& call) const;
};

}  // namespace sigrune
