#pragma once

// What the window says about a call: its cells in the calls table and the line that names it in
// the status bar. The core's texts are Latin-1; they become QStrings here.

#include <QString>
#include <optional>

#include "calls/call_table.h"
#include "trace/message_store.h"

namespace sigrune {

// The timestamp of the call's first message as the summary line shows it.
QString CallStartText(const MessageStore& store, const CallRecord& call);
// Seconds with three decimals ("12.345"), empty when the timestamps do not tell.
QString CallDurationText(const MessageStore& store, const CallRecord& call);
// "34 No channel available"; empty without a cause.
QString CallCauseText(const CallRecord& call);
// "failed", "answered (open)": the outcome, marked for a call still open at the end of the trace.
QString CallOutcomeText(const CallRecord& call);
// "in" when the gateway originated the call, "out" when the server did.
QString CallDirectionText(const CallRecord& call);
// "Call 57: 2145550100 → 1001, failed, cause 34 No channel available".
QString CallHeadline(CallNumber number, const CallRecord& call);

}  // namespace sigrune
