#include "calls/call_texts.h"

#include "q931/cause_texts.h"
#include "trace/summary_line.h"
#include "util/text_utilities.h"

namespace sigrune {

std::string StartTimeText(const MessageStore& store, const CallRecord& call) {
  std::array<char, 30> room;
  return std::string(KeptTimestamp(store, IndexOf(call.firstMessage), room));
}

std::string EndTimeText(const MessageStore& store, const CallRecord& call) {
  std::array<char, 30> room;
  return std::string(KeptTimestamp(store, IndexOf(call.lastMessage), room));
}

std::string MeanSecondsText(NanosecondSum nanoseconds, std::uint64_t count) {
  if (count == 0) {
    return {};
  }
  const NanosecondSum unit = NanosecondSum{count} * 1'000'000;
  NanosecondSum milliseconds = nanoseconds / unit;
  if (2 * (nanoseconds % unit) >= unit) {
    ++milliseconds;
  }
  std::string digits;
  for (NanosecondSum left = milliseconds / 1000; digits.empty() || left > 0; left /= 10) {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(left % 10)));
  }
  const auto fraction = static_cast<unsigned>(milliseconds % 1000);
  digits += '.';
  digits += static_cast<char>('0' + fraction / 100);
  digits += static_cast<char>('0' + fraction / 10 % 10);
  digits += static_cast<char>('0' + fraction % 10);
  return digits;
}

std::string DurationText(MessageTime first, MessageTime last) {
  if (first == kNoTime || last == kNoTime) {
    return {};
  }
  if (last < first) {
    return "-";
  }
  // Unsigned: the two ends of what the times hold are further apart than a signed difference
  // holds.
  return MeanSecondsText(static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first), 1);
}

std::string DurationText(const MessageStore& store, const CallRecord& call) {
  return DurationText(store.msgTimes[IndexOf(call.firstMessage).value],
                      store.msgTimes[IndexOf(call.lastMessage).value]);
}

std::string CallReferenceText(const CallRecord& call) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  std::string text = "0x";
  for (int shift = 8 * call.callReferenceLength - 4; shift >= 0; shift -= 4) {
    text += kDigits[(call.callReferenceValue >> shift) & 0x0F];
  }
  return text;
}

std::string CauseText(const CallRecord& call) {
  return call.cause < 0 ? std::string() : std::to_string(call.cause);
}

std::string_view CauseName(const CallRecord& call) {
  return call.cause < 0 ? std::string_view() : TrimBlanks(CauseValueText(0x80 | call.cause));
}

std::string_view DirectionText(CallDirection direction) {
  return direction == CallDirection::In ? "in" : "out";
}

std::string_view ClearedByText(ClearedBy clearedBy) {
  switch (clearedBy) {
    case ClearedBy::Gateway:
      return "gateway";
    case ClearedBy::Server:
      return "server";
    case ClearedBy::None:
      break;
  }
  return {};
}

std::string_view BeganText(CallBegan began) {
  return began == CallBegan::Setup ? "setup" : "partial";
}

std::string_view EndedText(CallEnded ended) {
  switch (ended) {
    case CallEnded::Released:
      return "released";
    case CallEnded::Superseded:
      return "superseded";
    case CallEnded::Open:
      break;
  }
  return "open";
}

std::string CallIdentifierText(const CallTable& calls, const CallRecord& call) {
  std::string text;
  if (const H225CallFacts* facts = calls.H225Of(call); facts && facts->hasCallIdentifier) {
    AppendGuid(text, facts->callIdentifier);
  }
  return text;
}

std::string CodecText(const H225CallFacts& facts) {
  FastStartChannel channel;
  channel.dataType = facts.dataType;
  channel.audio = facts.audio;
  return CodecName(channel);
}

std::string MediaText(const CallTable& calls, const CallRecord& call) {
  std::string text;
  if (const H225CallFacts* facts = calls.H225Of(call); facts && IsPresent(facts->media)) {
    AppendNetworkAddress(text, facts->media);
    text += ' ';
    text += CodecText(*facts);
  }
  return text;
}

std::string ReleaseReasonText(const CallTable& calls, const CallRecord& call) {
  const H225CallFacts* facts = calls.H225Of(call);
  return facts && facts->releaseReason >= 0 ? ReleaseCompleteReasonName(facts->releaseReason)
                                            : std::string();
}

}  // namespace sigrune
