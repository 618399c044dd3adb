#include "calls/call_detail.h"

#include <algorithm>
#include <utility>

#include "calls/call_texts.h"
#include "calls/message_facts.h"
#include "q931/cause_texts.h"
#include "q931/decoder.h"
#include "trace/message_types.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

// Calls `visit` with each clearing message that has a cause among the messages of `first` and
// `second` (0: none), in message order, until it returns true.
template <class Visit>
void VisitClearingCauses(const MessageStore& store, const CallTable& calls, CallNumber first,
                         CallNumber second, Visit visit) {
  const CallRecord& record = calls.Record(first);
  std::size_t begin = IndexOf(record.firstMessage).value;
  std::size_t end = IndexOf(record.lastMessage).value + 1;
  if (second) {
    begin = std::min(begin, IndexOf(calls.Record(second).firstMessage).value);
    end = std::max(end, IndexOf(calls.Record(second).lastMessage).value + 1);
  }
  PayloadBytes bytes;
  ElementFacts facts;
  facts.wantsCause = true;
  for (std::size_t index = begin; index < end; ++index) {
    const CallNumber call{calls.callOfMessage[index]};
    if (call != first && (!second || call != second)) {
      continue;
    }
    const std::optional<CallHeader> header = CallHeaderOf(store, MessageIndex{index});
    if (!header || !IsClearingType(header->messageType)) {
      continue;
    }
    try {
      ReadPayloadBytesOfMessage(store, MessageIndex{index}, bytes);
      ReadElementFacts(bytes, facts);
    } catch (const SubscriptOutOfRange&) {
      continue;
    }
    if (facts.cause >= 0 &&
        visit(ClearingCause{call, MessageNumber{static_cast<std::uint32_t>(index + 1)},
                            header->messageType, facts.cause, facts.causeLocation})) {
      return;
    }
  }
}

std::string GatewayText(const MessageStore& store, const CallRecord& call) {
  std::string text = store.gatewayIpTexts[call.gatewayIpIndex];
  if (const std::string_view protocol = ProtocolText(call.protocol); !protocol.empty()) {
    text += ' ';
    text += protocol;
  }
  return text;
}

std::string MessageName(int messageType) {
  return std::string(TrimBlanks(MessageTypeName(messageType)));
}

std::string CauseWords(int value) {
  return "cause " + std::to_string(value) + ' ' +
         std::string(TrimBlanks(CauseValueText(0x80 | value)));
}

}  // namespace

std::optional<ClearingCause> CauseOfCall(const MessageStore& store, const CallTable& calls,
                                         CallNumber call) {
  std::optional<ClearingCause> found;
  if (calls.Record(call).cause >= 0) {
    VisitClearingCauses(store, calls, call, {}, [&](const ClearingCause& cause) {
      found = cause;
      return true;
    });
  }
  return found;
}

std::optional<ClearingCause> FirstFault(const MessageStore& store, const CallTable& calls,
                                        CallNumber call) {
  std::optional<ClearingCause> found;
  VisitClearingCauses(store, calls, call, calls.Record(call).related,
                      [&](const ClearingCause& cause) {
                        if (cause.value == 16 || cause.value == 31) {
                          return false;
                        }
                        found = cause;
                        return true;
                      });
  return found;
}

std::string CauseLocationText(int location) {
  switch (location) {
    case 0:
      return "user";
    case 1:
      return "private network serving the local user";
    case 2:
      return "public network serving the local user";
    case 3:
      return "transit network";
    case 4:
      return "public network serving the remote user";
    case 5:
      return "private network serving the remote user";
    case 7:
      return "international network";
    case 10:
      return "network beyond the interworking point";
    default:
      return "location " + std::to_string(location);
  }
}

std::string FirstFaultCell(const std::optional<ClearingCause>& fault) {
  if (!fault) {
    return {};
  }
  return std::to_string(fault->call.value) + ' ' + MessageName(fault->messageType) + ' ' +
         std::to_string(fault->value);
}

CallDetail DescribeCall(const MessageStore& store, const CallTable& calls, CallNumber call) {
  const CallRecord& record = calls.Record(call);
  CallDetail detail;
  detail.call = "Call " + std::to_string(call.value);
  detail.direction = DirectionText(record.direction);
  detail.gateway = GatewayText(store, record);
  detail.calling = calls.Calling(record);
  detail.called = calls.Called(record);
  detail.outcome = OutcomeText(record.outcome);
  if (const std::optional<ClearingCause> cause = CauseOfCall(store, calls, call)) {
    detail.cause = CauseWords(cause->value) + " (" + CauseLocationText(cause->location) + ')';
  }
  if (const std::string_view by = ClearedByText(record.clearedBy); !by.empty()) {
    detail.clearedBy = "cleared by the " + std::string(by);
  }
  if (const std::optional<ClearingCause> fault = FirstFault(store, calls, call)) {
    const CallRecord& faulty = calls.Record(fault->call);
    std::string where(DirectionText(faulty.direction));
    if (const std::string gateway = GatewayText(store, faulty); !gateway.empty()) {
      where += ", " + gateway;
    }
    detail.firstFault = "first fault: call " + std::to_string(fault->call.value) + " (" + where +
                        ") " + MessageName(fault->messageType) + " cause " +
                        std::to_string(fault->value);
    if (faulty.began == CallBegan::Setup) {
      const std::string since = DurationText(store.msgTimes[IndexOf(faulty.firstMessage).value],
                                             store.msgTimes[IndexOf(fault->message).value]);
      if (!since.empty() && since != "-") {
        detail.firstFault += ", " + since + " s after its SETUP";
      }
    }
  }
  return detail;
}

}  // namespace sigrune
