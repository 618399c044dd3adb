#include "calls/call_concurrency.h"

#include <algorithm>

#include "trace/message_time.h"

namespace sigrune {

namespace {

constexpr std::int64_t kNanosecondsPerMinute = 60'000'000'000;
constexpr std::int64_t kMinutesPerDay = 24 * 60;

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  return value >= 0 ? value / divisor : -((-(value + 1)) / divisor) - 1;
}

std::int64_t Slots(std::int64_t first, std::int64_t last, std::int64_t minutes) {
  return FloorDivide(last, minutes) - FloorDivide(first, minutes) + 1;
}

struct Span {
  std::uint64_t key = 0;  // gateway and protocol
  MessageTime start = 0;
  MessageTime end = 0;
};

std::uint64_t KeyOf(const CallRecord& call) {
  return (std::uint64_t{call.gatewayIpIndex} << 8) | static_cast<std::uint64_t>(call.protocol);
}

}  // namespace

std::int64_t BarMinutesFor(std::int64_t first, std::int64_t last, std::int64_t mostBars) {
  for (const std::int64_t minutes : {std::int64_t{1}, std::int64_t{10}, std::int64_t{60}}) {
    if (Slots(first, last, minutes) <= mostBars) {
      return minutes;
    }
  }
  // Days, as many to a bar as keep the bars few.
  const std::int64_t days = Slots(first, last, kMinutesPerDay);
  return kMinutesPerDay * std::max<std::int64_t>(1, (days + mostBars - 1) / mostBars);
}

Concurrency CountConcurrency(const MessageStore& store, const CallTable& calls,
                             std::optional<std::span<const CallNumber>> counted,
                             std::int64_t mostBars) {
  Concurrency result;
  std::vector<Span> spans;
  spans.reserve(counted ? counted->size() : calls.calls.size());
  const auto take = [&](const CallRecord& call) {
    const MessageTime start = store.msgTimes[IndexOf(call.firstMessage).value];
    const MessageTime end = store.msgTimes[IndexOf(call.lastMessage).value];
    if (start == kNoTime || end == kNoTime || end < start) {
      ++result.untimed;
      return;
    }
    spans.push_back({KeyOf(call), start, end});
  };
  if (counted) {
    for (const CallNumber number : *counted) {
      take(calls.Record(number));
    }
  } else {
    for (const CallRecord& call : calls.calls) {
      take(call);
    }
  }
  if (spans.empty()) {
    return result;
  }

  std::int64_t first = FloorDivide(spans.front().start, kNanosecondsPerMinute);
  std::int64_t last = first;
  for (const Span& span : spans) {
    first = std::min(first, FloorDivide(span.start, kNanosecondsPerMinute));
    last = std::max(last, FloorDivide(span.end, kNanosecondsPerMinute));
  }
  result.barMinutes = BarMinutesFor(first, last, mostBars);
  result.firstMinute = FloorDivide(first, result.barMinutes) * result.barMinutes;
  result.bars = static_cast<std::size_t>(Slots(first, last, result.barMinutes));
  const auto barOf = [&result](MessageTime time) {
    return static_cast<std::size_t>(FloorDivide(
        FloorDivide(time, kNanosecondsPerMinute) - result.firstMinute, result.barMinutes));
  };

  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
    return a.key != b.key ? a.key < b.key : a.start < b.start;
  });
  std::vector<MessageTime> ends;
  std::vector<std::int64_t> carried(result.bars + 1);
  for (std::size_t group = 0; group < spans.size();) {
    std::size_t end = group;
    while (end < spans.size() && spans[end].key == spans[group].key) {
      ++end;
    }
    ConcurrencySeries& series = result.series.emplace_back();
    series.gatewayIpIndex = static_cast<std::uint32_t>(spans[group].key >> 8);
    series.protocol = static_cast<Protocol>(spans[group].key & 0xFF);
    series.peaks.assign(result.bars, 0);

    // A bar's first instant holds the calls begun in an earlier bar that end in it or later.
    std::fill(carried.begin(), carried.end(), 0);
    ends.clear();
    for (std::size_t k = group; k < end; ++k) {
      ends.push_back(spans[k].end);
      const std::size_t startBar = barOf(spans[k].start);
      const std::size_t endBar = barOf(spans[k].end);
      if (startBar < endBar) {
        ++carried[startBar + 1];
        --carried[endBar + 1];
      }
    }
    std::int64_t running = 0;
    for (std::size_t bar = 0; bar < result.bars; ++bar) {
      running += carried[bar];
      series.peaks[bar] = static_cast<std::uint32_t>(running);
    }
    // Later in a bar the count rises only at a start: the calls begun by then, less those ended
    // before it.
    std::sort(ends.begin(), ends.end());
    std::size_t ended = 0;
    for (std::size_t k = group; k < end; ++k) {
      while (k + 1 < end && spans[k + 1].start == spans[k].start) {
        ++k;
      }
      while (ended < ends.size() && ends[ended] < spans[k].start) {
        ++ended;
      }
      std::uint32_t& peak = series.peaks[barOf(spans[k].start)];
      peak = std::max(peak, static_cast<std::uint32_t>(k + 1 - group - ended));
    }
    for (std::size_t bar = 0; bar < result.bars; ++bar) {
      if (series.peaks[bar] > series.peak) {
        series.peak = series.peaks[bar];
        series.peakBar = bar;
      }
    }
    group = end;
  }
  // As the statistics list the gateways: by address text, then protocol text.
  std::sort(result.series.begin(), result.series.end(),
            [&store](const ConcurrencySeries& a, const ConcurrencySeries& b) {
              const std::string& aText = store.gatewayIpTexts[a.gatewayIpIndex];
              const std::string& bText = store.gatewayIpTexts[b.gatewayIpIndex];
              return aText != bText ? aText < bText
                                    : ProtocolText(a.protocol) < ProtocolText(b.protocol);
            });
  return result;
}

}  // namespace sigrune
