#pragma once

// What a support engineer asks of one call first: where its cause came from, and which message of
// the call or of its related leg went wrong first. Texts are Latin-1; the window joins the
// detail's parts with its own separators.

#include <optional>
#include <string>

#include "calls/call_table.h"
#include "trace/message_store.h"

namespace sigrune {

// A clearing message (DISCONNECT, RELEASE, RELEASE COMPLETE) with a cause value, read as the calls
// read it: the first Cause element in codeset 0, ending inside the message, that has a value.
struct ClearingCause {
  CallNumber call;
  MessageNumber message;
  int messageType = 0;
  int value = -1;
  int location = -1;  // bits 4-1 of the element's octet 3
};

// The message the call's cause was read from; none when the call has no cause.
std::optional<ClearingCause> CauseOfCall(const MessageStore& store, const CallTable& calls,
                                         CallNumber call);

// Among the messages of the call and of its related leg, in message order, the first clearing
// message whose cause is not 16 or 31: busy, no answer and rejected count too.
std::optional<ClearingCause> FirstFault(const MessageStore& store, const CallTable& calls,
                                        CallNumber call);

// "public network serving the local user", ... ; "location N" for a value without a name.
std::string CauseLocationText(int location);

// "58 DISCONNECT 34", as the table of the calls shows it; empty when there is none.
std::string FirstFaultCell(const std::optional<ClearingCause>& fault);

// The parts of a call's detail line, each empty when the call does not tell it.
struct CallDetail {
  std::string call;       // "Call 57"
  std::string direction;  // "in"
  std::string gateway;    // "10.1.1.5 PRI"
  std::string calling;
  std::string called;
  std::string outcome;    // "failed"
  std::string cause;      // "cause 34 No channel available (public network serving the local user)"
  std::string clearedBy;  // "cleared by the server"
  // "first fault: call 58 (out, 172.16.20.33 H225) DISCONNECT cause 34, 0.816 s after its SETUP"
  std::string firstFault;
};

CallDetail DescribeCall(const MessageStore& store, const CallTable& calls, CallNumber call);

}  // namespace sigrune
