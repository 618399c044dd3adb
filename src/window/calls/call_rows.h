#pragma once

// Which calls the calls table shows and in what order, in plain functions over the call records:
// the calls of the filter bar, an outcome chosen in the selector, a text that a call's calling or
// called number, gateway address, media or release reason contains, an entry chosen in the
// statistics, and the order of a column.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calls/call_statistics.h"
#include "calls/call_table.h"
#include "trace/message_store.h"

namespace sigrune {

// The outcome selector's entries, in its order.
enum class OutcomeChoice {
  All,
  Failed,
  NotAnswered,  // every outcome but answered
  Answered,
  Busy,
  NoAnswer,
  Rejected,
  Cancelled,
  NoOutcome,
  Open,  // still open at the end of the trace
};

// The calls table's columns, in its order.
enum class CallColumn {
  Number,
  Start,
  Duration,
  Gateway,
  Protocol,
  Direction,
  Calling,
  Called,
  Outcome,
  ClearedBy,
  Messages,
  Related,        // the call's other leg
  Channel,        // a PRI call's B-channel
  Pdd,            // post-dial delay
  Media,          // an H.225 call's first fast-start media channel and codec
  ReleaseReason,  // an H.225 call's release complete reason
  Cause,          // last: its names are long
};
inline constexpr int kCallColumns = 17;

struct CallRowsChoice {
  // The calls the filter bar's expression keeps, in call order; none: every call.
  const std::vector<CallNumber>* calls = nullptr;
  OutcomeChoice outcome = OutcomeChoice::All;
  std::string_view text;                   // Latin-1; empty matches every call
  const StatisticsGroup* group = nullptr;  // the calls of an entry of the statistics; none: all
  CallColumn column = CallColumn::Number;
  bool descending = false;
};

// The indices (call number - 1) of the calls chosen, in the column's order; calls that sort alike
// stay in the order they began.
std::vector<std::uint32_t> ChooseCallRows(const MessageStore& store, const CallTable& calls,
                                          const CallRowsChoice& choice);

// For each column, the texts among which is the widest that its cells show, found in one pass over
// the calls, so that the table is sized to what the trace holds without measuring its rows: the
// largest numbers, the longest digits and times, every gateway text. None for the outcome (the
// window's own labels) and the cause, which takes the width that is left.
std::array<std::vector<std::string>, kCallColumns> WidestCallTexts(const MessageStore& store,
                                                                   const CallTable& calls);

}  // namespace sigrune
