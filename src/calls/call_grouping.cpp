#include "calls/call_table.h"

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

// Not yet grouped: every message is in no call.
CallTable GroupCalls(const MessageStore& store) {
  CallTable table;
  table.callOfMessage.assign(store.msgCount, 0);
  return table;
}

}  // namespace sigrune
