// Cause: the cause value's text and, for six values, what the diagnostic names.

#include "q931/cause_texts.h"
#include "q931/element_decoders.h"
#include "q931/element_names.h"
#include "trace/message_types.h"

namespace sigrune {

// Octet 3 is not examined: when it announces octet 3a, octet 3a is looked up as the cause value.
// A cause element of length 0 or 1 has no cause value of its own (the octet after it belongs to
// the next element), so it shows only its octets.
void AppendCause(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                 std::int64_t startIndex) {
  AppendContentsInHex(text, bytes, length, startIndex);
  if (length < 2) {
    return;
  }
  const int value = bytes.At(startIndex + 1);
  const CauseDiagnostic diagnostic = CauseDiagnosticOf(value);
  text += " - ";
  text += CauseValueText(value);
  if (length == 3 && diagnostic == CauseDiagnostic::ElementIdentifier) {
    text += " (IE = ";
    AppendShownElementName(text, bytes.At(startIndex + 2));
    text += ")";
  } else if (length == 3 && diagnostic == CauseDiagnostic::MessageType) {
    text += " (MSG = ";
    const std::string_view name = MessageTypeName(bytes.At(startIndex + 2));
    text += name.substr(0, name.find_last_not_of(' ') + 1);
    text += ")";
  }
}

std::string DecodeCause(const PayloadBytes& bytes, std::int64_t length, std::int64_t startIndex) {
  std::string text;
  AppendCause(text, bytes, length, startIndex);
  return text;
}

}  // namespace sigrune
