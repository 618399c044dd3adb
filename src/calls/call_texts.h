#pragma once

// The texts of a call's fields, as the CSV and the calls table show them: Latin-1, like the
// trace they come from.

#include <string>
#include <string_view>

#include "calls/call_table.h"
#include "trace/message_time.h"

namespace sigrune {

// The timestamp text of the call's first / last message as its summary line shows it, without
// the padding.
std::string StartTimeText(const MessageStore& store, const CallRecord& call);
std::string EndTimeText(const MessageStore& store, const CallRecord& call);

// Sums of nanoseconds beyond what 64 bits hold (centuries of talk), added exactly.
__extension__ typedef unsigned __int128 NanosecondSum;

// Seconds with three decimals of `nanoseconds` / `count`, rounded half away from zero to the
// millisecond on the exact fraction; empty when `count` is 0.
std::string MeanSecondsText(NanosecondSum nanoseconds, std::uint64_t count);

// Seconds from `first` to `last` with three decimals, rounded to the millisecond with halves
// away from zero ("12.346"); "-" when `last` is earlier; empty when either is kNoTime.
std::string DurationText(MessageTime first, MessageTime last);
// The duration of the call, from the times of its first and last message.
std::string DurationText(const MessageStore& store, const CallRecord& call);

// "0x" and the value without the flag, in as many lower-case hex digits as the call reference of
// its first message has octets, two each: "0x0005".
std::string CallReferenceText(const CallRecord& call);

// The cause value in decimal, and the decoder's name of it without blanks at either end; both
// empty when the call has no cause.
std::string CauseText(const CallRecord& call);
std::string_view CauseName(const CallRecord& call);

// An H.225 call's facts, as H225CallFacts holds them; empty when the call has none:
// "c0fef93e-cd9e-d611-9ab2-000476222017", "192.0.2.10:16384 g711Ulaw64k", "undefinedReason".
std::string CallIdentifierText(const CallTable& calls, const CallRecord& call);
std::string MediaText(const CallTable& calls, const CallRecord& call);
std::string ReleaseReasonText(const CallTable& calls, const CallRecord& call);
// The codec of media, as CodecName names it.
std::string CodecText(const H225CallFacts& facts);

std::string_view DirectionText(CallDirection direction);  // "in", "out"
std::string_view ClearedByText(ClearedBy clearedBy);      // "gateway", "server" or empty
std::string_view BeganText(CallBegan began);              // "setup", "partial"
std::string_view EndedText(CallEnded ended);              // "released", "superseded", "open"

}  // namespace sigrune
