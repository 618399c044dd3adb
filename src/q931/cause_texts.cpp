#include "q931/cause_texts.h"

#include "trace/code_table.h"

namespace sigrune {

namespace {

constexpr CodeText kCauseTexts[] = {
    {0x81, "Unallocated/unassigned number "},
    {0x82, "No route to specified network "},
    {0x83, "No route to destination "},
    {0x84, "Vacant code or prefix digit not dialed "},
    {0x86, "Channel unacceptable "},
    {0x87, "Call awarded and delivered in established channel "},
    {0x88, "Call is proceeding or prefix 0 dialed in error "},
    {0x89, "Prefix 1 dialed in error "},
    {0x8A, "Prefix 1 not dialed "},
    {0x8B, "Excessive digits received, call is proceeding "},
    {0x8D, "Service denied "},
    {0x90, "Normal call clearing "},
    {0x91, "User busy "},
    {0x92, "No user responding "},
    {0x93, "No answer from user "},
    {0x94, "Subscriber absent "},
    {0x95, "Call rejected "},
    {0x96, "Number changed "},
    {0x9A, "Non-selected user clearing "},
    {0x9B, "Destination out of order "},
    {0x9C, "Invalid number format or Special Intercept "},
    {0x9D, "Facility rejected or Special intercept, code undefined "},
    {0x9E, "Response to STATUS ENQUIRY or number unassigned "},
    {0x9F, "Normal, unspecified or Special intercept, call blocked group restriction"},
    {0xA2, "No channel available "},
    {0xA6, "Network out of order "},
    {0xA9, "Temporary failure "},
    {0xAA, "Switching equipment congestion "},
    {0xAB, "Access information discarded "},
    {0xAC, "Requested channel not available "},
    {0xAF, "Resources unavailable, unspecified "},
    {0xB1, "Quality of service unavailable "},
    {0xB2, "Requested facility not subscribed "},
    {0xB3, "Bearer capability incompatible with service request "},
    {0xB5, "Service operation violated "},
    {0xB6, "Incoming calls are barred "},
    {0xB9, "Bearer capability not authorized "},
    {0xBA, "Bearer capability not presently available "},
    {0xBF, "Service/option not available, unspecified "},
    {0xC1, "Bearer capability not implemented "},
    {0xC2, "Channel type not implemented "},
    {0xC5, "Requested facility not implemented "},
    {0xC6, "Only restricted digital info bearer capability available "},
    {0xCF, "Service/option not implemented, unspecified "},
    {0xD1, "Invalid call reference value "},
    {0xD2, "Channel does not exist "},
    {0xD3, "Suspended call exists, but call id does not "},
    {0xD4, "Call id in use "},
    {0xD5, "No call suspended "},
    {0xD6, "Call with requested call id has been cleared "},
    {0xD8, "Incompatible destination "},
    {0xDA, "Segmentation error "},
    {0xDB, "Invalid transit network selection or Reassembly error "},
    {0xDF, "Invalid message, unspecified "},
    {0xE0, "Mandatory IE missing "},
    {0xE1, "Message type not implemented "},
    {0xE2, "Message not compatible with call state or not implemented "},
    {0xE3, "IE Not implemented"},
    {0xE4, "Invalid IE contents "},
    {0xE5, "Message not compatible with call state or protocol error threshold exceeded "},
    {0xE6, "Recovery on timer expiry "},
    {0xEF, "Protocol error, unspecified "},
    {0xFF, "Interworking, unspecified "},
};

}  // namespace

std::string_view CauseValueText(int octet4) {
  static constexpr IndexedCodeTable kTexts(kCauseTexts, "Unknown Cause value ");
  return kTexts(octet4);
}

CauseDiagnostic CauseDiagnosticOf(int octet4) {
  switch (octet4) {
    case 0xE0:
    case 0xE3:
    case 0xE4:
      return CauseDiagnostic::ElementIdentifier;
    case 0xE1:
    case 0xE2:
    case 0xE5:
      return CauseDiagnostic::MessageType;
    default:
      return CauseDiagnostic::None;
  }
}

}  // namespace sigrune
