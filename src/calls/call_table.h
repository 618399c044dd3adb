#pragma once

// The calls of a trace: its messages grouped by call key in one pass over the store, with what
// each call's messages tell (numbers, outcome, cause). Plain records in arrays; a call knows its
// messages (first and last, and the call of every message), the message list knows nothing of
// calls.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "q931/h225_body.h"
#include "trace/message_number.h"
#include "trace/message_store.h"
#include "util/large_allocator.h"

namespace sigrune {

// A call's 1-based number, in the order of its first message; 0: no call.
struct CallNumber {
  std::uint32_t value = 0;
  explicit constexpr operator bool() const { return value != 0; }
  friend constexpr auto operator<=>(CallNumber, CallNumber) = default;
};

// The first that applies: answered (a CONNECT), busy (17), no answer (18, 19), rejected (21),
// cancelled (16 or 31), failed (any other cause), none (no cause and no CONNECT).
enum class CallOutcome : std::uint8_t {
  Answered,
  Busy,
  NoAnswer,
  Rejected,
  Cancelled,
  Failed,
  None
};
inline constexpr CallOutcome kCallOutcomes[] = {
    CallOutcome::Answered,  CallOutcome::Busy,   CallOutcome::NoAnswer, CallOutcome::Rejected,
    CallOutcome::Cancelled, CallOutcome::Failed, CallOutcome::None};
// "answered", "busy", "no answer", "rejected", "cancelled", "failed", "none".
std::string_view OutcomeText(CallOutcome outcome);
// The outcome an OutcomeText names.
std::optional<CallOutcome> OutcomeOfText(std::string_view text);

enum class CallBegan : std::uint8_t { Setup, Partial };
enum class CallEnded : std::uint8_t { Released, Superseded, Open };
// In: the gateway originated the call; Out: the server did.
enum class CallDirection : std::uint8_t { In, Out };
enum class ClearedBy : std::uint8_t { None, Gateway, Server };

// Ordered widest first, so that a record takes 80 bytes with no padding between its fields.
struct CallRecord {
  MessageNumber firstMessage;
  MessageNumber lastMessage;
  std::uint32_t messageCount = 0;
  std::uint32_t gatewayIpIndex = 0;  // into the store's gatewayIpTexts
  // The first ALERTING, PROGRESS or CONNECT, from either side, and the first CONNECT; 0: none.
  MessageNumber firstProgress;
  MessageNumber firstConnect;
  // The other leg of the same conversation (an `in` call and the `out` call the server placed
  // for it); 0: none.
  CallNumber related;
  // An H.225 call's facts: 1 + its index in CallTable::h225; 0 for the other calls.
  std::uint32_t h225 = 0;
  // The calling digits and then the called ones (those of the SETUP, then those of each
  // INFORMATION) in CallTable::digits: read through CallTable::Calling and Called.
  std::uint64_t digitsStart = 0;
  std::uint32_t callingSize = 0;
  std::uint32_t calledSize = 0;
  std::uint16_t callReferenceValue = 0;  // without the flag
  std::int16_t cause = -1;               // the clearing cause value; -1: none
  // The B-channel of a PRI call: from the first Channel ID (0x18) of primary rate with three
  // contents octets, its third AND 0x7F; -1: none.
  std::int16_t channel = -1;
  Protocol protocol = Protocol::None;
  CallDirection direction = CallDirection::In;
  std::uint8_t callReferenceLength = 0;  // L of the call's first message
  CallBegan began = CallBegan::Setup;
  CallEnded ended = CallEnded::Open;
  bool answered = false;  // the call has a CONNECT
  ClearedBy clearedBy = ClearedBy::None;
  CallOutcome outcome = CallOutcome::None;
};
static_assert(sizeof(CallRecord) == 80, "a call record holds no more than its fields");

// What the H.225 bodies of a call's messages tell: the call identifier of its first message that
// has one; the first unicast media channel of its fast start (forward before reverse within a
// message) with its codec; the reason of its first RELEASE COMPLETE that has one.
struct H225CallFacts {
  NetworkAddress media;  // Kind::None: none
  Guid callIdentifier{};
  std::int16_t releaseReason = -1;  // an index of ReleaseCompleteReasonName; -1: none
  std::int16_t audio = -1;          // of the media, as FastStartChannel holds them
  std::uint8_t dataType = 0;
  bool hasCallIdentifier = false;
};

struct CallTable {
  LargeVector<CallRecord> calls;  // call k at calls[k - 1]
  // The call of every message, by message index; 0 for a message in no call.
  LargeVector<std::uint32_t> callOfMessage;

  const CallRecord& Record(CallNumber call) const { return calls[call.value - 1]; }
  CallNumber CallOf(MessageNumber message) const {
    return {message && message.value <= callOfMessage.size() ? callOfMessage[message.value - 1]
                                                             : 0u};
  }
  // The call's messages in store order.
  RowMap MessagesOf(CallNumber call) const;
  // An H.225 call's facts; null for the other calls.
  const H225CallFacts* H225Of(const CallRecord& call) const {
    return call.h225 != 0 ? &h225[call.h225 - 1] : nullptr;
  }

  LargeVector<H225CallFacts> h225;

  // The digits of every call, side by side: a call's calling and called digits are one run, at
  // the end when they grow, so that a record holds no string of its own.
  LargeString digits;
  std::string_view Calling(const CallRecord& call) const {
    return std::string_view(digits).substr(DigitsStart(call), call.callingSize);
  }
  std::string_view Called(const CallRecord& call) const {
    return std::string_view(digits).substr(DigitsStart(call) + call.callingSize, call.calledSize);
  }
  // Set in a record's digitsStart when its run has room up to the next power of two.
  static constexpr std::uint64_t kRoomyRun = std::uint64_t{1} << 63;
  static std::size_t DigitsStart(const CallRecord& call) { return call.digitsStart & ~kRoomyRun; }
  // Adds digits after the call's calling and called ones. A number stops growing at 4 GiB.
  void AppendDigits(CallRecord& call, std::string_view calling, std::string_view called);

  // What messages appended later need: the calls still open, by call key, and for each call the
  // latest SETUP time among it and the calls before it (kNoTime: none yet).
  std::unordered_map<std::uint64_t, std::uint32_t> openCalls;
  LargeVector<MessageTime> latestSetupTimes;
};

// Groups the stored messages into calls (one pass, no per-message allocation), and links the
// related legs among them. When `keepGoing`, asked now and then, says no, the table is left
// unfinished, for the caller to drop. Without `h225Bodies` the H.225 calls have no H225CallFacts,
// for the benchmark to weigh them.
CallTable GroupCalls(const MessageStore& store, const std::function<bool()>& keepGoing = {},
                     bool h225Bodies = true);

// Groups the messages appended to the store since the table was made or last extended, as
// GroupCalls would have grouped them with the others; only the links of the calls near the new
// ones are made again. True when a call changed or came.
bool ExtendCalls(const MessageStore& store, CallTable& table);

}  // namespace sigrune
