#pragma once

// The two legs of one conversation: a call the server received and the call it placed for it.

#include <vector>

#include "calls/call_table.h"

namespace sigrune {

// Links an `in` call and an `out` call when both SETUPs have a time, the `out` one 0 to 5 s after
// the `in` one (both ends included), and their calling or their called digits are the same and
// not empty. The `in` calls choose in call-number order, each the nearest `out` call not yet
// linked, the lower number on a tie. Sets `related` on both; each call is linked at most once.
void LinkRelatedLegs(const MessageStore& store, CallTable& table);

// Links again, as LinkRelatedLegs over all of them would, after calls were added or their
// digits grew (`changed`, call numbers): only the calls within reach of those choose again.
void RelinkRelatedLegs(const MessageStore& store, CallTable& table,
                       const std::vector<std::uint32_t>& changed);

}  // namespace sigrune
