#include "window/calls/call_rows.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "calls/call_kpis.h"
#include "calls/call_texts.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

bool OutcomeChosen(const CallRecord& call, OutcomeChoice choice) {
  switch (choice) {
    case OutcomeChoice::All:
      return true;
    case OutcomeChoice::Failed:
      return call.outcome == CallOutcome::Failed;
    case OutcomeChoice::NotAnswered:
      return call.outcome != CallOutcome::Answered;
    case OutcomeChoice::Answered:
      return call.outcome == CallOutcome::Answered;
    case OutcomeChoice::Busy:
      return call.outcome == CallOutcome::Busy;
    case OutcomeChoice::NoAnswer:
      return call.outcome == CallOutcome::NoAnswer;
    case OutcomeChoice::Rejected:
      return call.outcome == CallOutcome::Rejected;
    case OutcomeChoice::Cancelled:
      return call.outcome == CallOutcome::Cancelled;
    case OutcomeChoice::NoOutcome:
      return call.outcome == CallOutcome::None;
    case OutcomeChoice::Open:
      return call.ended == CallEnded::Open;
  }
  return true;
}

// Unknown durations first; a negative one below zero.
double DurationKey(const MessageStore& store, const CallRecord& call) {
  const MessageTime first = store.msgTimes[IndexOf(call.firstMessage).value];
  const MessageTime last = store.msgTimes[IndexOf(call.lastMessage).value];
  if (first == kNoTime || last == kNoTime) {
    return -1e300;
  }
  return static_cast<double>(last) - static_cast<double>(first);
}

// Calls without a post-dial delay first.
double PddKey(const MessageStore& store, const CallRecord& call) {
  const std::optional<std::uint64_t> pdd = PostDialDelay(store, call);
  return pdd ? static_cast<double>(*pdd) : -1;
}

// A dotted IPv4 address as its number; -1 for any other text.
std::int64_t AddressNumber(std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  std::int64_t value = 0;
  for (int octet = 0; octet < 4; ++octet) {
    if (octet > 0 && (at == end || *at++ != '.')) {
      return -1;
    }
    unsigned part = 0;
    const auto [next, error] = std::from_chars(at, end, part);
    if (error != std::errc() || next - at > 3 || part > 255) {
      return -1;
    }
    value = value * 256 + part;
    at = next;
  }
  return at == end ? value : -1;
}

// The rank of each gateway text: addresses in numeric order, after the texts that are none.
std::vector<std::uint32_t> GatewayRanks(const MessageStore& store) {
  const auto& texts = store.gatewayIpTexts;
  std::vector<std::int64_t> numbers(texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k) {
    numbers[k] = AddressNumber(texts[k]);
  }
  std::vector<std::uint32_t> order(texts.size());
  for (std::uint32_t k = 0; k < order.size(); ++k) {
    order[k] = k;
  }
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return numbers[a] != numbers[b] ? numbers[a] < numbers[b] : texts[a] < texts[b];
  });
  std::vector<std::uint32_t> ranks(texts.size());
  for (std::uint32_t rank = 0; rank < order.size(); ++rank) {
    ranks[order[rank]] = rank;
  }
  return ranks;
}

// Compares one column of two calls: below zero when the first sorts first.
int CompareColumn(const CallTable& calls, const std::vector<std::uint32_t>& gatewayRanks,
                  const CallRecord& a, const CallRecord& b, CallColumn column) {
  const auto compare = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  switch (column) {
    case CallColumn::Number:  // these four are sorted without comparing records
    case CallColumn::Start:
    case CallColumn::Duration:
    case CallColumn::Pdd:
    case CallColumn::Media:  // and these two by their texts
    case CallColumn::ReleaseReason:
      break;
    case CallColumn::Gateway:
      return compare(gatewayRanks[a.gatewayIpIndex], gatewayRanks[b.gatewayIpIndex]);
    case CallColumn::Protocol:
      return ProtocolText(a.protocol).compare(ProtocolText(b.protocol));
    case CallColumn::Direction:
      return compare(a.direction, b.direction);
    case CallColumn::Calling:
      return calls.Calling(a).compare(calls.Calling(b));
    case CallColumn::Called:
      return calls.Called(a).compare(calls.Called(b));
    case CallColumn::Outcome: {
      const int outcome = OutcomeText(a.outcome).compare(OutcomeText(b.outcome));
      return outcome != 0 ? outcome
                          : compare(a.ended == CallEnded::Open, b.ended == CallEnded::Open);
    }
    case CallColumn::ClearedBy:
      return ClearedByText(a.clearedBy).compare(ClearedByText(b.clearedBy));
    case CallColumn::Messages:
      return compare(a.messageCount, b.messageCount);
    case CallColumn::Related:
      return compare(a.related, b.related);
    case CallColumn::Channel:
      return compare(a.channel, b.channel);
    case CallColumn::Cause:
      return compare(a.cause, b.cause);
  }
  return 0;
}

}  // namespace

std::vector<std::uint32_t> ChooseCallRows(const MessageStore& store, const CallTable& calls,
                                          const CallRowsChoice& choice) {
  std::vector<std::uint32_t> rows;
  const std::size_t candidates =
      choice.calls != nullptr ? choice.calls->size() : calls.calls.size();
  rows.reserve(candidates);
  for (std::size_t candidate = 0; candidate < candidates; ++candidate) {
    const std::uint32_t index = choice.calls != nullptr ? (*choice.calls)[candidate].value - 1
                                                        : static_cast<std::uint32_t>(candidate);
    if (index >= calls.calls.size()) {
      continue;
    }
    const CallRecord& call = calls.calls[index];
    if (OutcomeChosen(call, choice.outcome) &&
        (choice.group == nullptr || choice.group->Holds(store, call)) &&
        (choice.text.empty() || Contains(calls.Calling(call), choice.text) ||
         Contains(calls.Called(call), choice.text) ||
         Contains(store.gatewayIpTexts[call.gatewayIpIndex], choice.text) ||
         (call.h225 != 0 && (Contains(MediaText(calls, call), choice.text) ||
                             Contains(ReleaseReasonText(calls, call), choice.text))))) {
      rows.push_back(index);
    }
  }
  // Calls are numbered in the order they began, which is also the start column's order and the
  // one that breaks every tie.
  if (choice.column == CallColumn::Number || choice.column == CallColumn::Start) {
    if (choice.descending) {
      std::reverse(rows.begin(), rows.end());
    }
  } else if (choice.column == CallColumn::Duration || choice.column == CallColumn::Pdd) {
    // Each key read once: reading the times in every comparison misses the cache.
    std::vector<std::pair<double, std::uint32_t>> keyed;
    keyed.reserve(rows.size());
    const auto key = choice.column == CallColumn::Duration ? DurationKey : PddKey;
    for (const std::uint32_t row : rows) {
      keyed.emplace_back(key(store, calls.calls[row]), row);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
      return choice.descending ? b.first < a.first : a.first < b.first;
    });
    for (std::size_t k = 0; k < keyed.size(); ++k) {
      rows[k] = keyed[k].second;
    }
  } else if (choice.column == CallColumn::Media || choice.column == CallColumn::ReleaseReason) {
    std::vector<std::pair<std::string, std::uint32_t>> keyed;
    keyed.reserve(rows.size());
    const auto text = choice.column == CallColumn::Media ? MediaText : ReleaseReasonText;
    for (const std::uint32_t row : rows) {
      keyed.emplace_back(text(calls, calls.calls[row]), row);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
      return choice.descending ? b.first < a.first : a.first < b.first;
    });
    for (std::size_t k = 0; k < keyed.size(); ++k) {
      rows[k] = keyed[k].second;
    }
  } else {
    const int sign = choice.descending ? -1 : 1;
    const std::vector<std::uint32_t> gatewayRanks = GatewayRanks(store);
    std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
      return sign *
                 CompareColumn(calls, gatewayRanks, calls.calls[a], calls.calls[b], choice.column) <
             0;
    });
  }
  return rows;
}

std::array<std::vector<std::string>, kCallColumns> WidestCallTexts(const MessageStore& store,
                                                                   const CallTable& calls) {
  std::array<std::vector<std::string>, kCallColumns> texts;
  const auto at = [&texts](CallColumn column) -> std::vector<std::string>& {
    return texts[static_cast<std::size_t>(column)];
  };
  std::string start;
  const CallRecord* longest = nullptr;  // the longest duration
  double longestKey = 0;
  std::string_view calling;
  std::string_view called;
  std::uint32_t messages = 0;
  std::int16_t channel = -1;
  std::uint64_t pdd = 0;
  std::string media;
  std::vector<bool> reasons;  // by index, those the calls hold
  for (const H225CallFacts& facts : calls.h225) {
    if (IsPresent(facts.media)) {
      std::string text;
      AppendNetworkAddress(text, facts.media);
      text += ' ';
      text += CodecText(facts);
      media = text.size() > media.size() ? std::move(text) : media;
    }
    if (facts.releaseReason >= 0) {
      reasons.resize(std::max(reasons.size(), static_cast<std::size_t>(facts.releaseReason) + 1));
      reasons[static_cast<std::size_t>(facts.releaseReason)] = true;
    }
  }
  for (std::size_t reason = 0; reason < reasons.size(); ++reason) {
    if (reasons[reason]) {
      at(CallColumn::ReleaseReason).push_back(ReleaseCompleteReasonName(static_cast<int>(reason)));
    }
  }
  at(CallColumn::Media).push_back(std::move(media));
  for (const CallRecord& call : calls.calls) {
    channel = std::max(channel, call.channel);
    pdd = std::max(pdd, PostDialDelay(store, call).value_or(0));
    if (std::string text = StartTimeText(store, call); text.size() > start.size()) {
      start = std::move(text);
    }
    if (const double key = DurationKey(store, call); longest == nullptr || key > longestKey) {
      longest = &call;
      longestKey = key;
    }
    calling = call.callingSize > calling.size() ? calls.Calling(call) : calling;
    called = call.calledSize > called.size() ? calls.Called(call) : called;
    messages = std::max(messages, call.messageCount);
  }
  // Digits are as wide as each other in the fonts tables use.
  at(CallColumn::Number).push_back(std::to_string(calls.calls.size()));
  at(CallColumn::Related) = at(CallColumn::Number);
  at(CallColumn::Start).emplace_back(start);
  at(CallColumn::Duration).push_back(longest != nullptr ? DurationText(store, *longest) : "");
  at(CallColumn::Gateway).assign(store.gatewayIpTexts.begin(), store.gatewayIpTexts.end());
  for (const Protocol protocol : {Protocol::Pri, Protocol::H225}) {
    at(CallColumn::Protocol).emplace_back(ProtocolText(protocol));
  }
  for (const CallDirection direction : {CallDirection::In, CallDirection::Out}) {
    at(CallColumn::Direction).emplace_back(DirectionText(direction));
  }
  at(CallColumn::Calling).emplace_back(calling);
  at(CallColumn::Called).emplace_back(called);
  for (const ClearedBy clearedBy : {ClearedBy::Gateway, ClearedBy::Server}) {
    at(CallColumn::ClearedBy).emplace_back(ClearedByText(clearedBy));
  }
  at(CallColumn::Messages).push_back(std::to_string(messages));
  at(CallColumn::Channel).push_back(channel < 0 ? std::string() : std::to_string(channel));
  at(CallColumn::Pdd).push_back(MeanSecondsText(pdd, 1));
  return texts;
}

}  // namespace sigrune
