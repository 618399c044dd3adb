#pragma once

// The names of information elements, as the decoded text and the cause's diagnostic show them.

#include <string>
#include <string_view>

namespace sigrune {

// The name of an information element; "UNRECOGNIZED VARIABLE (0x" for an unknown identifier,
// which its callers complete with the identifier's digits and ")".
std::string_view ElementName(int identifier);

// The element's name as the decoded text shows it: an unknown identifier completes the
// "UNRECOGNIZED VARIABLE (0x" of ElementName with its two digits and ")".
void AppendShownElementName(std::string& text, int identifier);

}  // namespace sigrune
