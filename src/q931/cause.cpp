// Cause: the cause value's text and, for six values, what the diagnostic names.

#include "q931/code_table.h"
#include "q931/element_decoders.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

enum class Diagnostic { None, ElementName, MessageTypeName };

struct CauseRow {
  int octet4;  // the cause number with the extension bit set, as Q.931 sends it
  std::string_view text;
  Diagnostic diagnostic;
};

// The texts keep their trailing blank; only causes 31 and 99 have none.
constexpr CauseRow kCauses[] = {
    {0x81, "Unallocated/unassigned number ", Diagnostic::None},
    {0x82, "No route to specified network ", Diagnostic::None},
    {0x83, "No route to destination ", Diagnostic::None},
    {0x84, "Vacant code or prefix digit not dialed ", Diagnostic::None},
    {0x86, "Channel unacceptable ", Diagnostic::None},
    {0x87, "Call awarded and delivered in established channel ", Diagnostic::None},
    {0x88, "Call is proceeding or prefix 0 dialed in error ", Diagnostic::None},
    {0x89, "Prefix 1 dialed in error ", Diagnostic::None},
    {0x8A, "Prefix 1 not dialed ", Diagnostic::None},
    {0x8B, "Excessive digits received, call is proceeding ", Diagnostic::None},
    {0x8D, "Service denied ", Diagnostic::None},
    {0x90, "Normal call clearing ", Diagnostic::None},
    {0x91, "User busy ", Diagnostic::None},
    {0x92, "No user responding ", Diagnostic::None},
    {0x93, "No answer from user ", Diagnostic::None},
    {0x94, "Subscriber absent ", Diagnostic::None},
    {0x95, "Call rejected ", Diagnostic::None},
    {0x96, "Number changed ", Diagnostic::None},
    {0x9A, "Non-selected user clearing ", Diagnostic::None},
    {0x9B, "Destination out of order ", Diagnostic::None},
    {0x9C, "Invalid number format or Special Intercept ", Diagnostic::None},
    {0x9D, "Facility rejected or Special intercept, code undefined ", Diagnostic::None},
    {0x9E, "Response to STATUS ENQUIRY or number unassigned ", Diagnostic::None},
    {0x9F, "Normal, unspecified or Special intercept, call blocked group restriction",
     Diagnostic::None},
    {0xA2, "No channel available ", Diagnostic::None},
    {0xA6, "Network out of order ", Diagnostic::None},
    {0xA9, "Temporary failure ", Diagnostic::None},
    {0xAA, "Switching equipment congestion ", Diagnostic::None},
    {0xAB, "Access information discarded ", Diagnostic::None},
    {0xAC, "Requested channel not available ", Diagnostic::None},
    {0xAF, "Resources unavailable, unspecified ", Diagnostic::None},
    {0xB1, "Quality of service unavailable ", Diagnostic::None},
    {0xB2, "Requested facility not subscribed ", Diagnostic::None},
    {0xB3, "Bearer capability incompatible with service request ", Diagnostic::None},
    {0xB5, "Service operation violated ", Diagnostic::None},
    {0xB6, "Incoming calls are barred ", Diagnostic::None},
    {0xB9, "Bearer capability not authorized ", Diagnostic::None},
    {0xBA, "Bearer capability not presently available ", Diagnostic::None},
    {0xBF, "Service/option not available, unspecified ", Diagnostic::None},
    {0xC1, "Bearer capability not implemented ", Diagnostic::None},
    {0xC2, "Channel type not implemented ", Diagnostic::None},
    {0xC5, "Requested facility not implemented ", Diagnostic::None},
    {0xC6, "Only restricted digital info bearer capability available ", Diagnostic::None},
    {0xCF, "Service/option not implemented, unspecified ", Diagnostic::None},
    {0xD1, "Invalid call reference value ", Diagnostic::None},
    {0xD2, "Channel does not exist ", Diagnostic::None},
    {0xD3, "Suspended call exists, but call id does not ", Diagnostic::None},
    {0xD4, "Call id in use ", Diagnostic::None},
    {0xD5, "No call suspended ", Diagnostic::None},
    {0xD6, "Call with requested call id has been cleared ", Diagnostic::None},
    {0xD8, "Incompatible destination ", Diagnostic::None},
    {0xDA, "Segmentation error ", Diagnostic::None},
    {0xDB, "Invalid transit network selection or Reassembly error ", Diagnostic::None},
    {0xDF, "Invalid message, unspecified ", Diagnostic::None},
    {0xE0, "Mandatory IE missing ", Diagnostic::ElementName},
    {0xE1, "Message type not implemented ", Diagnostic::MessageTypeName},
    {0xE2, "Message not compatible with call state or not implemented ",
     Diagnostic::MessageTypeName},
    {0xE3, "IE Not implemented", Diagnostic::ElementName},
    {0xE4, "Invalid IE contents ", Diagnostic::ElementName},
    {0xE5, "Message not compatible with call state or protocol error threshold exceeded ",
     Diagnostic::MessageTypeName},
    {0xE6, "Recovery on timer expiry ", Diagnostic::None},
    {0xEF, "Protocol error, unspecified ", Diagnostic::None},
    {0xFF, "Interworking, unspecified ", Diagnostic::None},
};

constexpr CauseRow kUnknownCause = {0, "Unknown Cause value ", Diagnostic::None};

const CauseRow& FindCause(int octet4) {
  for (const CauseRow& row : kCauses) {
    if (row.octet4 == octet4) {
      return row;
    }
  }
  return kUnknownCause;
}

}  // namespace

// Octet 3 is not examined: when it announces octet 3a, octet 3a is looked up as the cause value.
// A cause element of length 0 or 1 has no cause value of its own (the octet after it belongs to
// the next element), so it shows only its octets.
std::string DecodeCause(const PayloadBytes& bytes, std::int64_t length, std::int64_t startIndex) {
  std::string text = ContentsInHex(bytes, length, startIndex);
  if (length < 2) {
    return text;
  }
  const CauseRow& cause = FindCause(bytes.At(startIndex + 1));
  text += " - ";
  text += cause.text;
  if (length == 3 && cause.diagnostic == Diagnostic::ElementName) {
    text += " (IE = ";
    text += ShownElementName(bytes.At(startIndex + 2));
    text += ")";
  } else if (length == 3 && cause.diagnostic == Diagnostic::MessageTypeName) {
    text += " (MSG = ";
    const std::string_view name = MessageTypeName(bytes.At(startIndex + 2));
    text += name.substr(0, name.find_last_not_of(' ') + 1);
    text += ")";
  }
  return text;
}

}  // namespace sigrune
