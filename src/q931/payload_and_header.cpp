// Payload octets and the header line.

#include "q931/decoder.h"
#include "q931/message_types.h"
#include "trace/hex_digits.h"
#include "trace/summary_line.h"
#include "trace/text_utilities.h"

namespace sigrune {

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
  PayloadBytes bytes;
  ReadPayloadBytesOfMessage(store, index, bytes);
  return bytes;
}

void PayloadBytes::AssignSpacedHexText(std::string_view text) {
  // Each pair as ReadHexPair reads it: a first character that is no digit reads as 0, a second
  // that is none as absent.
  octets_.clear();
  int pending = -1;  // the first character of a pair, as a digit value or below 0
  bool hasPending = false;
  for (const char c : text) {
    if (c == ' ') {
      continue;
    }
    const int digit = HexDigitValue(c);
    if (!hasPending) {
      pending = digit;
      hasPending = true;
      continue;
    }
    hasPending = false;
    const int value = pending < 0 ? 0 : digit < 0 ? pending : 16 * pending + digit;
    octets_.push_back(static_cast<std::uint8_t>(value));
  }
  // A last digit alone counts as OctetCount counts it: only after an odd number of pairs.
  if (hasPending && octets_.size() % 2 == 1) {
    octets_.push_back(static_cast<std::uint8_t>(pending < 0 ? 0 : pending));
  }
  if (octets_.empty()) {
    throw SubscriptOutOfRange();
  }
}

std::size_t SpacedHexOctetCount(std::string_view text) {
  std::size_t characters = 0;
  for (const char c : text) {
    characters += c != ' ' ? 1 : 0;
  }
  const std::size_t pairs = characters / 2;
  return pairs + (characters % 2 == 1 && pairs % 2 == 1 ? 1 : 0);
}

void ReadPayloadBytesOfMessage(const MessageStore& store, std::size_t index, PayloadBytes& bytes) {
  bytes.AssignSpacedHexText(
      PayloadTextWithBlanks(DataLine(store, index), IsTracelist(store, index)));
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

}  // namespace sigrune
