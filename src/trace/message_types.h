#pragma once

// The names of Q.931 message types: the message list pads them into its column, the decoded header
// and the cause's diagnostic show them trimmed.

#include <string_view>

namespace sigrune {

// The fixed-width name of a message type code ("SETUP               "); "UNKNOWN           " for
// a code the table does not hold.
std::string_view MessageTypeName(int code);

}  // namespace sigrune
