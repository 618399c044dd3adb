#include "calls/call_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "calls/message_facts.h"
#include "calls/related_legs.h"
#include "q931/decoder.h"

namespace sigrune {

std::string_view OutcomeText(CallOutcome outcome) {
  switch (outcome) {
    case CallOutcome::Answered:
      return "answered";
    case CallOutcome::Busy:
      return "busy";
    case CallOutcome::NoAnswer:
      return "no answer";
    case CallOutcome::Rejected:
      return "rejected";
    case CallOutcome::Cancelled:
      return "cancelled";
    case CallOutcome::Failed:
      return "failed";
    case CallOutcome::None:
      break;
  }
  return "none";
}

std::optional<CallOutcome> OutcomeOfText(std::string_view text) {
  for (const CallOutcome outcome : kCallOutcomes) {
    if (OutcomeText(outcome) == text) {
      return outcome;
    }
  }
  return std::nullopt;
}

RowMap CallTable::MessagesOf(CallNumber call) const {
  RowMap messages;
  if (!call || call.value > calls.size()) {
    return messages;
  }
  const CallRecord& record = Record(call);
  messages.reserve(record.messageCount);
  for (std::size_t number = record.firstMessage.value; number <= record.lastMessage.value;
       ++number) {
    if (callOfMessage[number - 1] == call.value) {
      messages.push_back(MessageNumber{number});
    }
  }
  return messages;
}

void CallTable::AppendDigits(CallRecord& call, std::string_view calling, std::string_view called) {
  constexpr std::size_t kMost = std::numeric_limits<std::uint32_t>::max();
  calling = calling.substr(0, kMost - call.callingSize);
  called = called.substr(0, kMost - call.calledSize);
  if (calling.empty() && called.empty()) {
    return;
  }
  const std::size_t size = std::size_t{call.callingSize} + call.calledSize;
  if (size == 0) {
    call.digitsStart = digits.size();  // a call's first digits: a run of their own at the end
  }
  const std::size_t start = DigitsStart(call);
  const std::size_t room =
      (call.digitsStart & kRoomyRun) != 0 ? std::bit_ceil(std::max<std::size_t>(size, 1)) : size;
  const std::size_t grown = size + calling.size() + called.size();
  if (grown > room) {
    if (start + room == digits.size()) {
      digits.resize(start + grown);  // the last run grows where it is
      call.digitsStart = start;
    } else {
      // Another call's digits came since: this call's move to the end, the old run left unused,
      // with room to double, so that digits that keep coming between other calls' move a call
      // a few times rather than at every message.
      const std::size_t moved = digits.size();
      digits.resize(moved + std::bit_ceil(grown));
      std::memcpy(digits.data() + moved, digits.data() + start, size);
      call.digitsStart = moved | kRoomyRun;
    }
  }
  char* const run = digits.data() + DigitsStart(call);
  std::memmove(run + call.callingSize + calling.size(), run + call.callingSize, call.calledSize);
  std::copy(calling.begin(), calling.end(), run + call.callingSize);
  std::copy(called.begin(), called.end(),
            run + call.callingSize + calling.size() + call.calledSize);
  call.callingSize += static_cast<std::uint32_t>(calling.size());
  call.calledSize += static_cast<std::uint32_t>(called.size());
}

namespace {

// Calls are told apart by gateway, protocol, call reference value and the side that sent the
// SETUP; the call reference length is not part of it.
std::uint64_t CallKey(std::uint32_t gatewayIpIndex, Protocol protocol, std::uint16_t value,
                      bool gatewayOriginated) {
  return (std::uint64_t{gatewayIpIndex} << 19) |
         (std::uint64_t{static_cast<std::uint8_t>(protocol)} << 17) |
         (std::uint64_t{gatewayOriginated} << 16) | value;
}

CallOutcome OutcomeOf(const CallRecord& call) {
  if (call.answered) {
    return CallOutcome::Answered;
  }
  switch (call.cause) {
    case -1:
      return CallOutcome::None;
    case 17:
      return CallOutcome::Busy;
    case 18:
    case 19:
      return CallOutcome::NoAnswer;
    case 21:
      return CallOutcome::Rejected;
    case 16:
    case 31:
      return CallOutcome::Cancelled;
    default:
      return CallOutcome::Failed;
  }
}

// Reads the elements of the messages that tell something about their call, into buffers that
// are kept from message to message.
class FactReader {
 public:
  FactReader(const MessageStore& store, CallTable& table) : store_(store), table_(table) {}

  // What the message at `index` adds to its call; `h225` holds an H.225 call's facts.
  void Read(std::size_t index, int messageType, bool incoming, CallRecord& call,
            H225CallFacts* h225) {
    const MessageNumber message = NumberOf(MessageIndex{index});
    if (!call.firstProgress && (messageType == q931::kAlerting || messageType == q931::kProgress ||
                                messageType == q931::kConnect)) {
      call.firstProgress = message;
    }
    if (!call.firstConnect && messageType == q931::kConnect) {
      call.firstConnect = message;
    }
    facts_.wantsCalling = messageType == q931::kSetup;
    facts_.wantsCalled = messageType == q931::kSetup ||
                         (messageType == q931::kInformation && call.began == CallBegan::Setup);
    facts_.wantsCause = IsClearingType(messageType) && call.cause < 0;
    if (IsClearingType(messageType) && call.clearedBy == ClearedBy::None) {
      call.clearedBy = incoming ? ClearedBy::Gateway : ClearedBy::Server;
    }
    if (messageType == q931::kConnect) {
      call.answered = true;
    }
    facts_.wantsChannel = call.protocol == Protocol::Pri && call.channel < 0;
    const bool elements =
        facts_.wantsCalling || facts_.wantsCalled || facts_.wantsCause || facts_.wantsChannel;
    const bool body = h225 != nullptr && WantsBody(messageType, *h225);
    if (!elements && !body) {
      return;
    }
    try {
      ReadPayloadBytesOfMessage(store_, MessageIndex{index}, bytes_);
      if (elements) {
        ReadElementFacts(bytes_, facts_);
      }
    } catch (const SubscriptOutOfRange&) {
      return;  // the message joins its call without facts
    }
    if (body) {
      ReadBody(messageType, *h225);
    }
    if (!elements) {
      return;
    }
    table_.AppendDigits(call, facts_.calling, facts_.called);
    if (facts_.cause >= 0) {
      call.cause = static_cast<std::int16_t>(facts_.cause);
    }
    if (facts_.channel >= 0) {
      call.channel = static_cast<std::int16_t>(facts_.channel);
    }
  }

 private:
  static bool CarriesMedia(int messageType) {
    return messageType == q931::kSetup || messageType == q931::kCallProceeding ||
           messageType == q931::kAlerting || messageType == q931::kConnect;
  }

  // Only a body that may hold what the call still lacks is decoded.
  static bool WantsBody(int messageType, const H225CallFacts& h225) {
    return !h225.hasCallIdentifier || (CarriesMedia(messageType) && !IsPresent(h225.media)) ||
           (messageType == q931::kReleaseComplete && h225.releaseReason < 0);
  }

  void ReadBody(int messageType, H225CallFacts& h225) {
    OctetView contents;
    std::int64_t firstOctet = 0;
    if (!FindH225UserInformation(bytes_, contents, firstOctet)) {
      return;
    }
    DecodeH225UserInformation(contents, firstOctet, body_);
    if (!h225.hasCallIdentifier && body_.hasCallIdentifier) {
      h225.hasCallIdentifier = true;
      h225.callIdentifier = body_.callIdentifier;
    }
    if (messageType == q931::kReleaseComplete && h225.releaseReason < 0 &&
        body_.releaseCompleteReason >= 0) {
      h225.releaseReason = static_cast<std::int16_t>(std::min(body_.releaseCompleteReason, 0x7FFF));
    }
    if (!CarriesMedia(messageType) || IsPresent(h225.media)) {
      return;
    }
    for (const bool reverse : {false, true}) {
      for (const FastStartChannel& channel : body_.fastStart) {
        if (channel.reverse == reverse && IsPresent(channel.mediaChannel) &&
            !channel.mediaChannel.multicast) {
          h225.media = channel.mediaChannel;
          h225.dataType = channel.dataType;
          h225.audio = static_cast<std::int16_t>(std::min(channel.audio, 0x7FFF));
          return;
        }
      }
    }
  }

  H225UserInformation body_;
  const MessageStore& store_;
  CallTable& table_;
  PayloadBytes bytes_;
  ElementFacts facts_;
};

}  // namespace

namespace {

// The numbers of the calls that changed, and of those among them whose digits changed.
struct ChangedCalls {
  std::vector<std::uint32_t> calls;
  std::vector<std::uint32_t> digits;
};

// Groups the messages from `first` on into the table's calls, noting what changed when asked;
// false, the table unfinished, when `keepGoing` says no.
bool GroupMessages(const MessageStore& store, std::size_t first, CallTable& table,
                   ChangedCalls* changed, const std::function<bool()>& keepGoing = {},
                   bool h225Bodies = true) {
  table.callOfMessage.resize(store.MessageCount(), 0);
  FactReader facts(store, table);
  for (std::size_t index = first; index < store.MessageCount(); ++index) {
    if (keepGoing && index % (16 * kMessagesPerProgress) == 0 && !keepGoing()) {
      return false;
    }
    const std::optional<CallHeader> header = CallHeaderOf(store, MessageIndex{index});
    if (!header) {
      continue;
    }
    const bool incoming = store.msgIsIncoming[index];
    const bool gatewayOriginated = incoming != header->flag;
    const bool setup = header->messageType == q931::kSetup;
    const auto [open, isNew] =
        table.openCalls.try_emplace(CallKey(store.msgGatewayIps[index], store.msgProtocols[index],
                                            header->value, gatewayOriginated),
                                    0);
    if (setup && !isNew) {
      table.calls[open->second - 1].ended = CallEnded::Superseded;
    }
    const MessageNumber message = NumberOf(MessageIndex{index});
    if (setup || isNew) {
      CallRecord& started = table.calls.emplace_back();
      started.firstMessage = message;
      started.gatewayIpIndex = store.msgGatewayIps[index];
      started.protocol = store.msgProtocols[index];
      started.direction = gatewayOriginated ? CallDirection::In : CallDirection::Out;
      started.callReferenceLength = header->length;
      started.callReferenceValue = header->value;
      started.began = setup ? CallBegan::Setup : CallBegan::Partial;
      if (started.protocol == Protocol::H225 && h225Bodies) {
        table.h225.emplace_back();
        started.h225 = static_cast<std::uint32_t>(table.h225.size());
      }
      open->second = static_cast<std::uint32_t>(table.calls.size());
      const MessageTime time = setup ? store.msgTimes[index] : kNoTime;
      const MessageTime before =
          table.latestSetupTimes.empty() ? kNoTime : table.latestSetupTimes.back();
      table.latestSetupTimes.push_back(std::max(before, time));
    }
    const std::uint32_t number = open->second;
    CallRecord& call = table.calls[number - 1];
    call.lastMessage = message;
    ++call.messageCount;
    table.callOfMessage[index] = number;
    const std::size_t digits = std::size_t{call.callingSize} + call.calledSize;
    facts.Read(index, header->messageType, incoming, call,
               call.h225 != 0 ? &table.h225[call.h225 - 1] : nullptr);
    if (header->messageType == q931::kReleaseComplete) {
      call.ended = CallEnded::Released;
      table.openCalls.erase(open);
    }
    if (changed != nullptr) {
      changed->calls.push_back(number);
      if (std::size_t{call.callingSize} + call.calledSize != digits) {
        changed->digits.push_back(number);
      }
    }
  }
  return true;
}

void SortDistinct(std::vector<std::uint32_t>& numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

}  // namespace

CallTable GroupCalls(const MessageStore& store, const std::function<bool()>& keepGoing,
                     bool h225Bodies) {
  CallTable table;
  if (!GroupMessages(store, 0, table, nullptr, keepGoing, h225Bodies)) {
    return table;
  }
  for (CallRecord& call : table.calls) {
    call.outcome = OutcomeOf(call);
  }
  table.h225.shrink_to_fit();  // the room doubled as it grew may be half unused
  LinkRelatedLegs(store, table);
  return table;
}

bool ExtendCalls(const MessageStore& store, CallTable& table) {
  const auto firstNewCall = static_cast<std::uint32_t>(table.calls.size());
  ChangedCalls changed;
  GroupMessages(store, table.callOfMessage.size(), table, &changed);
  SortDistinct(changed.calls);
  SortDistinct(changed.digits);
  for (const std::uint32_t number : changed.calls) {
    CallRecord& call = table.calls[number - 1];
    call.outcome = OutcomeOf(call);
  }
  // A new call's digits are new.
  const auto old = std::lower_bound(changed.digits.begin(), changed.digits.end(), firstNewCall + 1);
  changed.digits.erase(old, changed.digits.end());
  for (std::uint32_t number = firstNewCall + 1; number <= table.calls.size(); ++number) {
    changed.digits.push_back(number);
  }
  RelinkRelatedLegs(store, table, changed.digits);
  return !changed.calls.empty();
}

}  // namespace sigrune
