#include "calls/call_statistics.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "trace/message_time.h"

namespace sigrune {

namespace {

constexpr std::int64_t kNanosecondsPerMinute = 60'000'000'000;
constexpr std::int64_t kMinutesPerDay = 24 * 60;
constexpr MessageTime kDenseSpan = 7 * kMinutesPerDay * kNanosecondsPerMinute;
// Cause values are seven bits.
constexpr std::size_t kCauseValues = 128;

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  return value >= 0 ? value / divisor : -((-(value + 1)) / divisor) - 1;
}

bool HasCause(const CallRecord& call) {
  return call.cause >= 0 && static_cast<std::size_t>(call.cause) < kCauseValues;
}

// A gateway's counts while they are made: its failed calls' causes as (cause, calls), a few.
struct GatewayTally {
  GatewayCounts counts;
  std::vector<std::pair<std::int16_t, std::uint32_t>> failureCauses;
};

class Tally {
 public:
  Tally(const MessageStore& store, std::size_t calls) : store_(store) { starts_.reserve(calls); }

  void Count(const CallRecord& call) {
    ++statistics_.calls;
    const MessageTime start = store_.msgTimes[IndexOf(call.firstMessage).value];
    if (start == kNoTime) {
      ++statistics_.untimed[call.outcome];
    } else {
      starts_.emplace_back(start, call.outcome);
      earliest_ = std::min(earliest_, start);
      latest_ = std::max(latest_, start);
    }
    CountGateway(call);
    if (HasCause(call)) {
      ++causeCalls_[static_cast<std::size_t>(call.cause)];
      ++statistics_.callsWithCause;
      if (call.outcome != CallOutcome::Answered) {
        ++unansweredCauseCalls_[static_cast<std::size_t>(call.cause)];
        ++statistics_.unansweredCallsWithCause;
      }
    }
  }

  CallStatistics Finish() && {
    CountMinutes();
    FinishGateways();
    statistics_.causes = Causes(causeCalls_);
    statistics_.unansweredCauses = Causes(unansweredCauseCalls_);
    if (!starts_.empty()) {
      statistics_.firstStart = earliest_;
      statistics_.lastStart = latest_;
    }
    return std::move(statistics_);
  }

 private:
  static std::vector<CauseCounts> Causes(const std::array<std::uint32_t, kCauseValues>& counts) {
    std::vector<CauseCounts> causes;
    for (std::size_t cause = 0; cause < kCauseValues; ++cause) {
      if (counts[cause] > 0) {
        causes.push_back({static_cast<std::int16_t>(cause), counts[cause]});
      }
    }
    std::stable_sort(causes.begin(), causes.end(),
                     [](const CauseCounts& a, const CauseCounts& b) { return a.calls > b.calls; });
    return causes;
  }

  void CountGateway(const CallRecord& call) {
    // A slot per address and protocol, made when its first call comes.
    const std::size_t key =
        std::size_t{call.gatewayIpIndex} * 3 + static_cast<std::size_t>(call.protocol);
    if (key >= slots_.size()) {
      slots_.resize(std::max(key + 1, store_.gatewayIpTexts.size() * 3), 0);
    }
    if (slots_[key] == 0) {
      gateways_.push_back({{call.gatewayIpIndex, call.protocol, {}, -1}, {}});
      slots_[key] = static_cast<std::uint32_t>(gateways_.size());
    }
    GatewayTally& gateway = gateways_[slots_[key] - 1];
    ++gateway.counts.outcomes[call.outcome];
    if (call.outcome == CallOutcome::Failed && HasCause(call)) {
      auto& causes = gateway.failureCauses;
      const auto found = std::find_if(causes.begin(), causes.end(),
                                      [&](const auto& entry) { return entry.first == call.cause; });
      if (found != causes.end()) {
        ++found->second;
      } else {
        causes.emplace_back(call.cause, 1);
      }
    }
  }

  void FinishGateways() {
    for (GatewayTally& gateway : gateways_) {
      std::pair<std::int16_t, std::uint32_t> top{-1, 0};
      for (const auto& [cause, calls] : gateway.failureCauses) {
        if (calls > top.second || (calls == top.second && cause < top.first)) {
          top = {cause, calls};
        }
      }
      gateway.counts.topFailureCause = top.first;
      statistics_.gateways.push_back(gateway.counts);
    }
    const auto& texts = store_.gatewayIpTexts;
    std::sort(statistics_.gateways.begin(), statistics_.gateways.end(),
              [&](const GatewayCounts& a, const GatewayCounts& b) {
                const int address = texts[a.gatewayIpIndex].compare(texts[b.gatewayIpIndex]);
                return address != 0 ? address < 0
                                    : ProtocolText(a.protocol) < ProtocolText(b.protocol);
              });
  }

  void CountMinutes() {
    auto& minutes = statistics_.minutes;
    if (starts_.empty()) {
      return;
    }
    const std::int64_t first = FloorDivide(earliest_, kNanosecondsPerMinute);
    // Unsigned: the two ends of what the times hold are further apart than a signed difference
    // holds.
    if (static_cast<std::uint64_t>(latest_) - static_cast<std::uint64_t>(earliest_) <
        static_cast<std::uint64_t>(kDenseSpan)) {
      const std::int64_t last = FloorDivide(latest_, kNanosecondsPerMinute);
      minutes.resize(static_cast<std::size_t>(last - first + 1));
      for (std::size_t k = 0; k < minutes.size(); ++k) {
        minutes[k].minute = first + static_cast<std::int64_t>(k);
      }
      for (const auto& [start, outcome] : starts_) {
        ++minutes[static_cast<std::size_t>(FloorDivide(start, kNanosecondsPerMinute) - first)]
              .outcomes[outcome];
      }
      return;
    }
    std::unordered_map<std::int64_t, OutcomeCounts> byMinute;
    for (const auto& [start, outcome] : starts_) {
      ++byMinute[FloorDivide(start, kNanosecondsPerMinute)][outcome];
    }
    minutes.reserve(byMinute.size());
    for (const auto& [minute, outcomes] : byMinute) {
      minutes.push_back({minute, outcomes});
    }
    std::sort(minutes.begin(), minutes.end(),
              [](const MinuteCounts& a, const MinuteCounts& b) { return a.minute < b.minute; });
  }

  const MessageStore& store_;
  CallStatistics statistics_;
  std::vector<std::pair<MessageTime, CallOutcome>> starts_;
  MessageTime earliest_ = std::numeric_limits<MessageTime>::max();
  MessageTime latest_ = std::numeric_limits<MessageTime>::min();
  std::vector<std::uint32_t> slots_;  // 1 + index into gateways_; 0: none yet
  std::vector<GatewayTally> gateways_;
  std::array<std::uint32_t, kCauseValues> causeCalls_{};
  std::array<std::uint32_t, kCauseValues> unansweredCauseCalls_{};
};

}  // namespace

std::uint64_t OutcomeCounts::Total() const {
  return std::accumulate(calls.begin(), calls.end(), std::uint64_t{0});
}

CallStatistics CountCallStatistics(const MessageStore& store, const CallTable& calls) {
  Tally tally(store, calls.calls.size());
  for (const CallRecord& call : calls.calls) {
    tally.Count(call);
  }
  return std::move(tally).Finish();
}

CallStatistics CountCallStatistics(const MessageStore& store, const CallTable& calls,
                                   std::span<const CallNumber> counted) {
  Tally tally(store, counted.size());
  for (const CallNumber call : counted) {
    tally.Count(calls.Record(call));
  }
  return std::move(tally).Finish();
}

std::optional<std::int64_t> StartMinute(const MessageStore& store, const CallRecord& call) {
  const MessageTime start = store.msgTimes[IndexOf(call.firstMessage).value];
  if (start == kNoTime) {
    return std::nullopt;
  }
  return FloorDivide(start, kNanosecondsPerMinute);
}

std::string MinuteText(std::int64_t minute) {
  // The civil date of a day count, in eras of 400 years from 0000-03-01.
  const std::int64_t days = FloorDivide(minute, kMinutesPerDay) + 719468;
  const std::int64_t era = FloorDivide(days, 146097);
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
  const std::int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  const std::int64_t ofDay = minute - FloorDivide(minute, kMinutesPerDay) * kMinutesPerDay;
  char text[80];  // room for any 64-bit minute, though traces hold four-digit years
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(ofDay / 60),
                static_cast<long long>(ofDay % 60));
  return text;
}

std::string ShareText(std::uint64_t part, std::uint64_t whole) {
  if (whole == 0) {
    return "0.0";
  }
  // Tenths of a percent, the half rounded up: 2 * part * 1000 / whole, plus one, halved. Calls
  // number at most 2^32, so nothing here overflows.
  const std::uint64_t tenths = (2 * part * 1000 / whole + 1) / 2;
  return std::to_string(tenths / 10) + '.' + static_cast<char>('0' + tenths % 10);
}

bool StatisticsGroup::Holds(const MessageStore& store, const CallRecord& call) const {
  switch (kind) {
    case Kind::Minutes: {
      const std::optional<std::int64_t> minute = StartMinute(store, call);
      return minute && *minute >= firstMinute && *minute < endMinute;
    }
    case Kind::Gateway:
      return call.protocol == protocol && store.gatewayIpTexts[call.gatewayIpIndex] == gateway;
    case Kind::Cause:
      return call.cause == cause && (withAnswered || call.outcome != CallOutcome::Answered);
  }
  return false;
}

}  // namespace sigrune
