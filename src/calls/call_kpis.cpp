#include "calls/call_kpis.h"

#include <algorithm>
#include <map>
#include <utility>

#include "calls/call_texts.h"
#include "trace/message_time.h"

namespace sigrune {

namespace {

constexpr std::int64_t kNanosecondsPerMinute = 60'000'000'000;
constexpr std::size_t kCauseValues = 128;

MessageTime TimeOf(const MessageStore& store, MessageNumber message) {
  return message ? store.msgTimes[IndexOf(message).value] : kNoTime;
}

std::optional<std::uint64_t> Interval(MessageTime first, MessageTime last) {
  if (first == kNoTime || last == kNoTime || last < first) {
    return std::nullopt;
  }
  // Unsigned: the two ends of what the times hold are further apart than a signed difference
  // holds.
  return static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);
}

std::optional<std::uint64_t> FromSetup(const MessageStore& store, const CallRecord& call,
                                       MessageNumber end) {
  if (call.began != CallBegan::Setup || !end) {
    return std::nullopt;
  }
  return Interval(TimeOf(store, call.firstMessage), TimeOf(store, end));
}

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  return value >= 0 ? value / divisor : -((-(value + 1)) / divisor) - 1;
}

// The value at rank ceil(numerator * n / 100) of the values sorted ascending.
std::optional<std::uint64_t> NearestRank(std::vector<std::uint64_t>& values,
                                         std::uint64_t numerator) {
  if (values.empty()) {
    return std::nullopt;
  }
  const std::uint64_t rank = (numerator * values.size() + 99) / 100;
  const auto nth = values.begin() + static_cast<std::ptrdiff_t>(rank - 1);
  std::nth_element(values.begin(), nth, values.end());
  return *nth;
}

// The most calls in progress at one instant, each from its start to its end time, both included,
// and the first instant with that many, which is a start time.
void CountPeak(const MessageStore& store, const CallTable& calls,
               std::span<const CallNumber> rowCalls, KpiRow& row) {
  std::vector<std::pair<MessageTime, CallNumber>> starts;
  std::vector<MessageTime> ends;
  starts.reserve(rowCalls.size());
  ends.reserve(rowCalls.size());
  for (const CallNumber number : rowCalls) {
    const CallRecord& call = calls.Record(number);
    const MessageTime start = TimeOf(store, call.firstMessage);
    const MessageTime end = TimeOf(store, call.lastMessage);
    if (Interval(start, end)) {
      starts.emplace_back(start, number);
      ends.push_back(end);
    }
  }
  std::sort(starts.begin(), starts.end());
  std::sort(ends.begin(), ends.end());
  std::size_t ended = 0;
  for (std::size_t k = 0; k < starts.size(); ++k) {
    const MessageTime instant = starts[k].first;
    const std::size_t first = k;
    while (k + 1 < starts.size() && starts[k + 1].first == instant) {
      ++k;
    }
    while (ended < ends.size() && ends[ended] < instant) {
      ++ended;
    }
    const auto inProgress = static_cast<std::uint32_t>(k + 1 - ended);
    if (inProgress > row.peakConcurrent) {
      row.peakConcurrent = inProgress;
      row.peakCall = starts[first].second;  // sorted by time, then by number
    }
  }
}

void CountRow(const MessageStore& store, const CallTable& calls,
              std::span<const CallNumber> rowCalls, KpiRow& row) {
  std::vector<std::uint64_t> pdds;
  std::vector<std::uint64_t> setups;
  for (const CallNumber number : rowCalls) {
    const CallRecord& call = calls.Record(number);
    ++row.outcomes[call.outcome];
    if (call.outcome == CallOutcome::Answered) {
      if (const std::optional<std::uint64_t> talk = TalkTime(store, call)) {
        row.talkNanoseconds += *talk;
        ++row.talkCalls;
      }
    }
    if (const std::optional<std::uint64_t> pdd = PostDialDelay(store, call)) {
      pdds.push_back(*pdd);
    }
    if (const std::optional<std::uint64_t> setup = SetupTime(store, call)) {
      setups.push_back(*setup);
    }
  }
  row.pddMedian = NearestRank(pdds, 50);
  row.pddP95 = NearestRank(pdds, 95);
  row.setupMedian = NearestRank(setups, 50);
  CountPeak(store, calls, rowCalls, row);
}

std::string ShareOrEmpty(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? std::string() : ShareText(part, whole);
}

std::string SecondsOrEmpty(const std::optional<std::uint64_t>& nanoseconds) {
  return nanoseconds ? MeanSecondsText(*nanoseconds, 1) : std::string();
}

// By address text, then protocol text, in byte order: as the statistics list the gateways.
bool GatewayBefore(const MessageStore& store, std::uint32_t a, Protocol aProtocol, std::uint32_t b,
                   Protocol bProtocol) {
  const std::string& aText = store.gatewayIpTexts[a];
  const std::string& bText = store.gatewayIpTexts[b];
  if (aText != bText) {
    return aText < bText;
  }
  return ProtocolText(aProtocol) < ProtocolText(bProtocol);
}

template <class Visit>
void ForEachCounted(const CallTable& calls, std::optional<std::span<const CallNumber>> counted,
                    Visit visit) {
  if (counted) {
    for (const CallNumber number : *counted) {
      visit(number);
    }
  } else {
    for (std::uint32_t number = 1; number <= calls.calls.size(); ++number) {
      visit(CallNumber{number});
    }
  }
}

}  // namespace

std::optional<std::uint64_t> PostDialDelay(const MessageStore& store, const CallRecord& call) {
  return FromSetup(store, call, call.firstProgress);
}

std::optional<std::uint64_t> SetupTime(const MessageStore& store, const CallRecord& call) {
  return FromSetup(store, call, call.firstConnect);
}

std::optional<std::uint64_t> TalkTime(const MessageStore& store, const CallRecord& call) {
  if (!call.firstConnect) {
    return std::nullopt;
  }
  return Interval(TimeOf(store, call.firstConnect), TimeOf(store, call.lastMessage));
}

std::array<std::string, 3> CallTimingCells(const MessageStore& store, const CallRecord& call) {
  return {call.channel < 0 ? std::string() : std::to_string(call.channel),
          SecondsOrEmpty(PostDialDelay(store, call)), SecondsOrEmpty(TalkTime(store, call))};
}

std::vector<KpiRow> CountKpis(const MessageStore& store, const CallTable& calls,
                              std::optional<std::span<const CallNumber>> counted,
                              KpiGrouping grouping) {
  // The calls of each row, in call order, by the row's key.
  std::map<std::pair<std::int64_t, std::int64_t>, std::vector<CallNumber>> groups;
  std::vector<CallNumber> all;
  constexpr std::int64_t kNoTimeKey = std::numeric_limits<std::int64_t>::max();
  ForEachCounted(calls, counted, [&](CallNumber number) {
    const CallRecord& call = calls.Record(number);
    std::pair<std::int64_t, std::int64_t> key;
    if (grouping == KpiGrouping::Gateway) {
      key = {call.gatewayIpIndex, static_cast<std::int64_t>(call.protocol)};
      all.push_back(number);
    } else {
      const MessageTime start = TimeOf(store, call.firstMessage);
      key = {start == kNoTime ? kNoTimeKey : FloorDivide(start, 60 * kNanosecondsPerMinute), 0};
    }
    groups[key].push_back(number);
  });

  std::vector<KpiRow> rows;
  rows.reserve(groups.size() + 1);
  for (auto& [key, rowCalls] : groups) {
    KpiRow& row = rows.emplace_back();
    if (grouping == KpiGrouping::Gateway) {
      row.kind = KpiRow::Kind::Gateway;
      row.gatewayIpIndex = static_cast<std::uint32_t>(key.first);
      row.protocol = static_cast<Protocol>(key.second);
    } else if (key.first == kNoTimeKey) {
      row.kind = KpiRow::Kind::NoTime;
    } else {
      row.kind = KpiRow::Kind::Hour;
      row.hour = key.first * 60;
    }
    CountRow(store, calls, rowCalls, row);
  }
  if (grouping == KpiGrouping::Gateway) {
    std::sort(rows.begin(), rows.end(), [&store](const KpiRow& a, const KpiRow& b) {
      return GatewayBefore(store, a.gatewayIpIndex, a.protocol, b.gatewayIpIndex, b.protocol);
    });
    KpiRow& total = rows.emplace_back();
    total.kind = KpiRow::Kind::All;
    CountRow(store, calls, all, total);
  }
  return rows;
}

std::array<std::string_view, kKpiColumns> KpiHeadings(KpiGrouping grouping) {
  return {grouping == KpiGrouping::Gateway ? "gateway" : "hour",
          "protocol",
          "calls",
          "answered",
          "busy",
          "no answer",
          "rejected",
          "cancelled",
          "failed",
          "none",
          "asr",
          "ner",
          "acd",
          "pdd_median",
          "pdd_p95",
          "setup_median",
          "peak_concurrent",
          "peak_at"};
}

std::array<std::string, kKpiColumns> KpiCells(const MessageStore& store, const CallTable& calls,
                                              const KpiRow& row) {
  std::array<std::string, kKpiColumns> cells;
  switch (row.kind) {
    case KpiRow::Kind::Gateway:
      cells[0] = store.gatewayIpTexts[row.gatewayIpIndex];
      cells[1] = ProtocolText(row.protocol);
      break;
    case KpiRow::Kind::All:
      cells[0] = "all";
      break;
    case KpiRow::Kind::Hour:
      cells[0] = MinuteText(row.hour);
      break;
    case KpiRow::Kind::NoTime:
      cells[0] = "no time";
      break;
  }
  const OutcomeCounts& outcomes = row.outcomes;
  const std::uint64_t total = outcomes.Total();
  cells[2] = std::to_string(total);
  for (std::size_t k = 0; k < std::size(kCallOutcomes); ++k) {
    cells[3 + k] = std::to_string(outcomes.calls[k]);
  }
  const std::uint64_t effective = std::uint64_t{outcomes[CallOutcome::Answered]} +
                                  outcomes[CallOutcome::Busy] + outcomes[CallOutcome::NoAnswer] +
                                  outcomes[CallOutcome::Rejected];
  cells[10] = ShareOrEmpty(outcomes[CallOutcome::Answered], total);
  cells[11] = ShareOrEmpty(effective, total);
  cells[12] = MeanSecondsText(row.talkNanoseconds, row.talkCalls);
  cells[13] = SecondsOrEmpty(row.pddMedian);
  cells[14] = SecondsOrEmpty(row.pddP95);
  cells[15] = SecondsOrEmpty(row.setupMedian);
  if (row.peakCall) {
    cells[16] = std::to_string(row.peakConcurrent);
    cells[17] = StartTimeText(store, calls.Record(row.peakCall));
  }
  return cells;
}

std::vector<ChannelRow> CountChannels(const MessageStore& store, const CallTable& calls,
                                      std::optional<std::span<const CallNumber>> counted) {
  struct Tally {
    ChannelRow row;
    std::array<std::uint32_t, kCauseValues> failureCauses{};
  };
  std::map<std::pair<std::uint32_t, std::uint16_t>, Tally> tallies;
  ForEachCounted(calls, counted, [&](CallNumber number) {
    const CallRecord& call = calls.Record(number);
    if (call.protocol != Protocol::Pri || call.channel < 0) {
      return;
    }
    const auto channel = static_cast<std::uint16_t>(call.channel);
    Tally& tally = tallies[{call.gatewayIpIndex, channel}];
    tally.row.gatewayIpIndex = call.gatewayIpIndex;
    tally.row.channel = channel;
    ++tally.row.calls;
    if (call.outcome == CallOutcome::Answered) {
      ++tally.row.answered;
    } else if (call.outcome == CallOutcome::Failed) {
      ++tally.row.failed;
      if (call.cause >= 0 && static_cast<std::size_t>(call.cause) < kCauseValues) {
        ++tally.failureCauses[static_cast<std::size_t>(call.cause)];
      }
    }
  });

  // A gateway's calls and failed calls over its channels.
  std::map<std::uint32_t, std::pair<std::uint64_t, std::uint64_t>> gateways;
  std::vector<ChannelRow> rows;
  rows.reserve(tallies.size());
  for (auto& [key, tally] : tallies) {
    const auto top = std::max_element(tally.failureCauses.begin(), tally.failureCauses.end());
    if (*top > 0) {
      tally.row.topCause = static_cast<std::int16_t>(top - tally.failureCauses.begin());
    }
    auto& [gatewayCalls, gatewayFailed] = gateways[key.first];
    gatewayCalls += tally.row.calls;
    gatewayFailed += tally.row.failed;
    rows.push_back(tally.row);
  }
  for (ChannelRow& row : rows) {
    const auto& [gatewayCalls, gatewayFailed] = gateways[row.gatewayIpIndex];
    row.suspect = row.failed >= 5 && std::uint64_t{row.failed} * gatewayCalls >=
                                         3 * gatewayFailed * std::uint64_t{row.calls};
  }
  std::stable_sort(rows.begin(), rows.end(), [&store](const ChannelRow& a, const ChannelRow& b) {
    const std::string& aText = store.gatewayIpTexts[a.gatewayIpIndex];
    const std::string& bText = store.gatewayIpTexts[b.gatewayIpIndex];
    return aText != bText ? aText < bText : a.channel < b.channel;
  });
  return rows;
}

const std::array<std::string_view, kChannelColumns> kChannelHeadings = {
    "gateway", "channel",       "calls",     "answered", "failed",
    "other",   "failure_share", "top_cause", "suspect"};

std::array<std::string, kChannelColumns> ChannelCells(const MessageStore& store,
                                                      const ChannelRow& row) {
  return {store.gatewayIpTexts[row.gatewayIpIndex],
          std::to_string(row.channel),
          std::to_string(row.calls),
          std::to_string(row.answered),
          std::to_string(row.failed),
          std::to_string(row.Other()),
          ShareText(row.failed, row.calls),
          row.topCause < 0 ? std::string() : std::to_string(row.topCause),
          row.suspect ? "yes" : ""};
}

}  // namespace sigrune
