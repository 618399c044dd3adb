// Payload octets, the header line and the element names.

#include <array>

#include "q931/decoder.h"
#include "q931/element_decoders.h"
#include "trace/hex_digits.h"
#include "trace/summary_line.h"
#include "trace/text_utilities.h"

namespace sigrune {

namespace {

struct ElementNameEntry {
  int identifier;
  std::string_view name;
};

constexpr std::string_view kUnrecognizedElement = "UNRECOGNIZED VARIABLE (0x";

constexpr std::array<ElementNameEntry, 41> kElementNames = {{
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
}};

}  // namespace

std::int64_t OctetCount(std::string_view hexText) {
  const auto half = static_cast<std::int64_t>(hexText.size() / 2);
  const bool odd = hexText.size() % 2 == 1;
  return odd && half % 2 == 1 ? half + 1 : half;
}

PayloadBytes ParsePayloadHex(std::string_view hexText, std::int64_t count) {
  if (count < 1) {
    throw SubscriptOutOfRange();
  }
  std::vector<std::uint8_t> octets(static_cast<std::size_t>(count));
  for (std::size_t k = 0; k < octets.size(); ++k) {
    octets[k] = static_cast<std::uint8_t>(ReadHexPair(hexText, 2 * k));
  }
  return PayloadBytes(std::move(octets));
}

PayloadBytes PayloadBytesOfHexText(std::string_view hexText) {
  return ParsePayloadHex(hexText, OctetCount(hexText));
}

PayloadBytes PayloadBytesOfMessage(const MessageStore& store, std::size_t index) {
  return PayloadBytesOfHexText(PayloadText(store.msgDataLines[index], store.isTracelist));
}

void AppendByteToHex(std::string& text, int value) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  char digits[2 * sizeof(int)];
  std::size_t size = 0;
  auto rest = static_cast<unsigned>(value);
  do {
    digits[size++] = kDigits[rest % 16];
    rest /= 16;
  } while (rest != 0 || size < 2);
  while (size > 0) {
    text += digits[--size];
  }
}

std::string ByteToHex(int value) {
  std::string text;
  AppendByteToHex(text, value);
  return text;
}

std::string DecodeHeader(const PayloadBytes& bytes) {
  const int callReferenceLength = bytes.At(2) & 0x0F;
  const std::string_view name = TrimBlanks(MessageTypeName(bytes.At(3 + callReferenceLength)));
  if (callReferenceLength != 1 && callReferenceLength != 2) {
    return {};
  }
  std::string line(name);
  line += ", pd = ";
  line += std::to_string(bytes.At(1));
  line += ", callref = 0x";
  AppendByteToHex(line, bytes.At(3));
  if (callReferenceLength == 2) {
    AppendByteToHex(line, bytes.At(4));
  }
  line += "\r\n";
  return line;
}

std::string_view ElementName(int identifier) {
  for (const ElementNameEntry& entry : kElementNames) {
    if (entry.identifier == identifier) {
      return entry.name;
    }
  }
  return kUnrecognizedElement;
}

std::string ShownElementName(int identifier) {
  std::string name(ElementName(identifier));
  if (name == kUnrecognizedElement) {
    AppendByteToHex(name, identifier);
    name += ')';
  }
  return name;
}

}  // namespace sigrune
