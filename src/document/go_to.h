#pragma once

// Go to Message: a message number, or a time, the first message of the list at or after it.

#include <string>
#include <string_view>

#include "document/trace_document.h"
#include "trace/message_number.h"

namespace sigrune {

struct GoToTarget {
  MessageNumber message;  // none when the text reaches no message of the list
  std::string problem;    // then why, to tell the user
};

// The message the text names: digits are a message number, which the list must show; anything
// else is a time as ParseTypedTime reads it on the trace's first day, and reaches the first row
// of the list (in store order, the filter's rows while one is on) whose message is at or after it.
GoToTarget FindGoToTarget(const TraceDocument& document, std::string_view text);

}  // namespace sigrune
