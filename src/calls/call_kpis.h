#pragma once

// The figures trunks are judged by, per gateway and protocol or per hour: answer-seizure and
// network effectiveness ratios, mean talk time, post-dial delay, setup time and the most calls at
// one instant; and the calls of each PRI B-channel, to find the one that fails. Exact rules, so
// that any tool can check them: intervals in nanoseconds of the parsed times, ranks from 1.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calls/call_statistics.h"
#include "calls/call_table.h"
#include "calls/call_texts.h"
#include "trace/message_store.h"

namespace sigrune {

// A call's intervals, in nanoseconds; none when a time it reads does not parse or the later one
// is earlier. Post-dial delay: SETUP to the first ALERTING, PROGRESS or CONNECT; setup time:
// SETUP to the first CONNECT (both only for calls that began with a SETUP); talk time: the first
// CONNECT to the call's last message.
std::optional<std::uint64_t> PostDialDelay(const MessageStore& store, const CallRecord& call);
std::optional<std::uint64_t> SetupTime(const MessageStore& store, const CallRecord& call);
std::optional<std::uint64_t> TalkTime(const MessageStore& store, const CallRecord& call);

// The call's `channel` (empty but for a PRI call with one), `pdd` and `talk_time` cells.
std::array<std::string, 3> CallTimingCells(const MessageStore& store, const CallRecord& call);

enum class KpiGrouping : std::uint8_t { Gateway, Hour };

struct KpiRow {
  enum class Kind : std::uint8_t { Gateway, All, Hour, NoTime };
  Kind kind = Kind::All;
  std::uint32_t gatewayIpIndex = 0;  // Gateway
  Protocol protocol = Protocol::None;
  std::int64_t hour = 0;  // Hour: minutes since 1970-01-01 00:00, a multiple of 60

  OutcomeCounts outcomes;
  NanosecondSum talkNanoseconds = 0;  // over talkCalls answered calls
  std::uint64_t talkCalls = 0;
  std::optional<std::uint64_t> pddMedian;
  std::optional<std::uint64_t> pddP95;
  std::optional<std::uint64_t> setupMedian;
  std::uint32_t peakConcurrent = 0;
  CallNumber peakCall;  // the lowest-numbered call starting at the peak's first instant; 0: none
};

// The rows of the given calls (every call when `counted` is none): by gateway and protocol in the
// statistics' order, then the `all` row; or by hour of the start time, ascending, then `no time`
// when a start time does not parse (no `all` row). With no call, the `all` row alone, or nothing.
std::vector<KpiRow> CountKpis(const MessageStore& store, const CallTable& calls,
                              std::optional<std::span<const CallNumber>> counted,
                              KpiGrouping grouping);

inline constexpr std::size_t kKpiColumns = 18;
// "gateway" (or "hour"), "protocol", "calls", the seven outcomes as the statistics' CSV spells
// them, "asr", "ner", "acd", "pdd_median", "pdd_p95", "setup_median", "peak_concurrent",
// "peak_at".
std::array<std::string_view, kKpiColumns> KpiHeadings(KpiGrouping grouping);
// A row's cells, Latin-1; a figure over no call is empty.
std::array<std::string, kKpiColumns> KpiCells(const MessageStore& store, const CallTable& calls,
                                              const KpiRow& row);

struct ChannelRow {
  std::uint32_t gatewayIpIndex = 0;
  std::uint16_t channel = 0;
  std::uint32_t calls = 0;
  std::uint32_t answered = 0;
  std::uint32_t failed = 0;    // outcome failed
  std::int16_t topCause = -1;  // the most frequent cause of its failed calls, ties to the lower
  // At least 5 failed calls, and a failure share at least three times its gateway's.
  bool suspect = false;
  std::uint32_t Other() const { return calls - answered - failed; }
};

// One row per PRI gateway and channel that carried one of the given calls (every call when
// `counted` is none), by gateway text, then by channel.
std::vector<ChannelRow> CountChannels(const MessageStore& store, const CallTable& calls,
                                      std::optional<std::span<const CallNumber>> counted);

inline constexpr std::size_t kChannelColumns = 9;
// "gateway", "channel", "calls", "answered", "failed", "other", "failure_share", "top_cause",
// "suspect".
extern const std::array<std::string_view, kChannelColumns> kChannelHeadings;
std::array<std::string, kChannelColumns> ChannelCells(const MessageStore& store,
                                                      const ChannelRow& row);

}  // namespace sigrune
