#include "trace/message_columns.h"

#include <algorithm>

#include "trace/hex_digits.h"
#include "trace/q931_codes.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

// Enough payload text for a call reference of two octets and the message type after it; a longer
// one shows more than four digits whenever the text goes on past 8 characters, and otherwise
// ends before its message type.
constexpr std::size_t kReadCharacters = 10;
constexpr std::size_t kMostDigits = 4;

std::uint16_t FlagBit(std::size_t digits) {
  return digits == 2 ? 0x80 : 0x8000;
}

// Looks for the rare "x" first: a timestamp is full of zeros.
bool HoldsHexMarker(std::string_view text) {
  for (std::size_t x = text.find('x', 1); x != std::string_view::npos; x = text.find('x', x + 1)) {
    if (text[x - 1] == '0') {
      return true;
    }
  }
  return false;
}

bool IsHexText(std::string_view text) {
  for (const char c : text) {
    if (HexDigitValue(c) < 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

MessageColumns ReadMessageColumns(std::string_view dataLine, bool isTracelist,
                                  std::string_view timestampText) {
  char prefix[kReadCharacters];
  return ReadMessageColumnsOfPrefix(
      std::string_view(prefix,
                       CopyPayloadTextPrefix(dataLine, isTracelist, prefix, kReadCharacters)),
      dataLine, timestampText);
}

MessageColumns ReadMessageColumnsOfPrefix(std::string_view head, std::string_view dataLine,
                                          std::string_view timestampText) {
  static_assert(kColumnsPrefix == kReadCharacters);
  MessageColumns columns;
  columns.protocolDiscriminator = static_cast<std::uint8_t>(ReadHexPair(head, 0));
  columns.callReferenceLength = static_cast<std::uint8_t>(ReadHexPair(head, 2));
  columns.timestampHoldsHexMarker = HoldsHexMarker(timestampText);
  const auto timestampStart =
      timestampText.empty() ? 0 : static_cast<std::size_t>(timestampText.data() - dataLine.data());
  columns.timestampStart =
      static_cast<std::uint8_t>(std::min<std::size_t>(timestampStart, kTimestampNotKept));
  columns.timestampLength = static_cast<std::uint8_t>(timestampText.size());
  if (columns.protocolDiscriminator != q931::kQ931Discriminator) {
    return columns;
  }
  const std::size_t length = columns.callReferenceLength;
  const std::size_t digits = head.size() > 4 ? std::min(2 * length, head.size() - 4) : 0;
  bool upper = false;
  bool lower = false;
  bool allHex = digits <= kMostDigits;
  std::uint32_t value = 0;
  for (std::size_t k = 4; allHex && k < 4 + digits; ++k) {
    const char c = head[k];
    const int digit = HexDigitValue(c);
    if (digit < 0) {
      allHex = false;
      break;
    }
    upper = upper || (c >= 'A' && c <= 'F');
    lower = lower || (c >= 'a' && c <= 'f');
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  if (!allHex || (upper && lower)) {
    columns.callReferenceAsText = true;
    return columns;
  }
  const std::uint16_t flag = FlagBit(digits);
  columns.callReferenceDigits = static_cast<std::uint8_t>(digits);
  columns.callReferenceFlag = (value & flag) != 0;
  columns.callReferenceValue = static_cast<std::uint16_t>(value & ~flag);
  columns.upperCaseDigits = upper;
  columns.messageType = static_cast<std::uint8_t>(ReadHexPair(head, 4 + 2 * length));
  // The call reference digits are hex digits already.
  columns.headerReadable = (length == 1 || length == 2) && head.size() >= 2 * (3 + length) &&
                           IsHexText(head.substr(0, 4)) &&
                           IsHexText(head.substr(4 + 2 * length, 2));
  return columns;
}

std::string_view KeptTimestamp(std::string_view dataLine, const MessageColumns& columns,
                               bool isTracelist) {
  if (columns.timestampStart == kTimestampNotKept) {
    return TimestampText(dataLine, isTracelist);
  }
  return dataLine.substr(columns.timestampStart, columns.timestampLength);
}

std::uint16_t ShownCallReference(const MessageColumns& columns) {
  return static_cast<std::uint16_t>(
      columns.callReferenceValue |
      (columns.callReferenceFlag ? FlagBit(columns.callReferenceDigits) : 0));
}

void AppendCallReferenceDigits(std::string& text, const MessageColumns& columns) {
  const char* const hexDigits = columns.upperCaseDigits ? "0123456789ABCDEF" : "0123456789abcdef";
  const unsigned value = ShownCallReference(columns);
  char digits[kMostDigits];
  const std::size_t count = std::min<std::size_t>(columns.callReferenceDigits, kMostDigits);
  for (std::size_t k = 0; k < count; ++k) {
    digits[k] = hexDigits[(value >> (4 * (count - 1 - k))) & 0x0F];
  }
  text.append(digits, count);
}

}  // namespace sigrune
