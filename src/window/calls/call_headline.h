#pragma once

// What the window says of a call beyond the core's texts: its outcome with the mark of a call
// still open, and the line that names it in the status bar.

#include <QString>

#include "calls/call_table.h"

namespace sigrune {

// "failed"; "answered (open)" for a call still open at the end of the trace.
QString CallOutcomeLabel(const CallRecord& call);

// "Call 57: 2145550100 → 1001, failed, cause 34 No channel available"; an empty number reads
// "unknown", and a call without a cause has no cause part.
QString CallHeadline(const CallTable& calls, CallNumber number);

}  // namespace sigrune
