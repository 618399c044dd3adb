#include "q931/element_names.h"

#include "q931/payload_bytes.h"
#include "trace/code_table.h"

namespace sigrune {

namespace {

constexpr std::string_view kUnrecognizedElement = "UNRECOGNIZED VARIABLE (0x";

constexpr CodeText kElementNames[] = {
    {0x00, "Segmented Message"},
    {0x03, "1TR6 Time/Date"},
    {0x04, "Bearer Capability"},
    {0x07, "Calling Party Status"},
    {0x08, "Cause"},
    {0x0C, "Connected Number"},
    {0x10, "Call Identity"},
    {0x14, "Call State"},
    {0x18, "Channel ID"},
    {0x1C, "Facility"},
    {0x1E, "Progress Ind"},
    {0x20, "Net Specific Fac"},
    {0x27, "Notification Ind"},
    {0x28, "Display"},
    {0x29, "Date/Time"},
    {0x2C, "Keypad Facility"},
    {0x32, "Info Request"},
    {0x34, "Signal"},
    {0x36, "Switchhook"},
    {0x38, "Feature Activate"},
    {0x39, "Feature Indicate"},
    {0x3A, "SPID Information"},
    {0x3B, "ENDPOINT IDent"},
    {0x40, "Information Rate"},
    {0x42, "End to End Delay"},
    {0x43, "Delay Sel & Ind"},
    {0x44, "Packet Layer Binary Params"},
    {0x45, "Packet Layer Window Size"},
    {0x46, "Packet Size"},
    {0x4C, "Connected Number"},
    {0x6C, "Calling Party Number"},
    {0x6D, "Calling Party SubAddr"},
    {0x70, "Called Party Number"},
    {0x71, "Called Party SubAddr"},
    {0x73, "Original Called Number"},
    {0x74, "Redirecting Number"},
    {0x78, "Transit Net Select"},
    {0x79, "Restart Indicator"},
    {0x7C, "Low Layer Compact"},
    {0x7D, "High Layer Compact"},
    {0x7E, "User-User"},
};

}  // namespace

std::string_view ElementName(int identifier) {
  static constexpr IndexedCodeTable kNames(kElementNames, kUnrecognizedElement);
  return kNames(identifier);
}

void AppendShownElementName(std::string& text, int identifier) {
  const std::string_view name = ElementName(identifier);
  text += name;
  if (name == kUnrecognizedElement) {
    AppendByteToHex(text, identifier);
    text += ')';
  }
}

}  // namespace sigrune
