#pragma once

// The texts of cause values, and what the diagnostic of six of them names.

#include <string_view>

namespace sigrune {

// The text of a cause value given as Q.931 sends it, with the extension bit set (0x90: "Normal
// call clearing "); "Unknown Cause value " for one the table does not hold. The texts keep their
// trailing blank; only causes 31 and 99 have none.
std::string_view CauseValueText(int octet4);

enum class CauseDiagnostic { None, ElementIdentifier, MessageType };

// What a one-octet diagnostic of the cause value names, for the causes whose text shows it.
CauseDiagnostic CauseDiagnosticOf(int octet4);

}  // namespace sigrune
