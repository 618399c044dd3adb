// Payload octets and the header line.

#include <algorithm>

#include "q931/decoder.h"
#include "trace/hex_digits.h"
#include "trace/message_types.h"
#include "trace/summary_line.h"
#include "util/text_utilities.h"

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

PayloadBytes PayloadBytesOfMessage(const MessageStore& store, MessageIndex message) {
  const std::size_t index = message.value;
  PayloadBytes bytes;
  ReadPayloadBytesOfMessage(store, MessageIndex{index}, bytes);
  return bytes;
}

void PayloadBytes::AssignSpacedHexText(std::string_view text) {
  // Each pair as ReadHexPair reads it: a first character that is no digit reads as 0, a second
  // that is none as absent. Written into room for the most octets the text can hold, so that the
  // loop has no growth to check.
  count_ = 0;
  if (octets_.size() < text.size() / 2 + 1) {
    octets_.resize(text.size() / 2 + 1);
  }
  std::uint8_t* const out = octets_.data();
  std::size_t count = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  int pending = -1;  // the first character of a pair, as a digit value or below 0
  bool hasPending = false;
  while (p != end) {
    // The common form, two digits and a blank, read three characters at a time.
    if (!hasPending) {
      while (end - p >= 3) {
        const int first = HexDigitValue(p[0]);
        const int second = HexDigitValue(p[1]);
        if ((first | second) < 0 || p[2] != ' ') {
          break;
        }
        out[count++] = static_cast<std::uint8_t>(16 * first + second);
        p += 3;
      }
      if (p == end) {
        break;
      }
    }
    const char c = *p++;
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
    out[count++] = static_cast<std::uint8_t>(pending < 0 ? 0
                                             : digit < 0 ? pending
                                                         : 16 * pending + digit);
  }
  // A last digit alone counts as OctetCount counts it: only after an odd number of pairs.
  if (hasPending && count % 2 == 1) {
    out[count++] = static_cast<std::uint8_t>(pending < 0 ? 0 : pending);
  }
  if (count == 0) {
    throw SubscriptOutOfRange();
  }
  count_ = count;
}

std::size_t SpacedHexOctetCount(std::string_view text) {
  std::size_t characters = 0;
  for (const char c : text) {
    characters += c != ' ' ? 1 : 0;
  }
  const std::size_t pairs = characters / 2;
  return pairs + (characters % 2 == 1 && pairs % 2 == 1 ? 1 : 0);
}

void PayloadBytes::AssignOctets(std::span<const std::uint8_t> octets) {
  count_ = 0;
  if (octets.empty()) {
    throw SubscriptOutOfRange();
  }
  if (octets_.size() < octets.size()) {
    octets_.resize(octets.size());
  }
  std::copy(octets.begin(), octets.end(), octets_.begin());
  count_ = octets.size();
}

void ReadPayloadBytesOfMessage(const MessageStore& store, MessageIndex index, PayloadBytes& bytes) {
  const KeptLine kept = ReadKeptLine(store, index);
  if (kept.shape != nullptr) {
    bytes.AssignOctets(kept.Octets());
  } else {
    bytes.AssignSpacedHexText(PayloadTextWithBlanks(kept.text, IsTracelist(store, index)));
  }
}

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

}  // namespace

void AppendByteToHex(std::string& text, int value) {
  if (value >= 0 && value <= 0xFF) {
    const char pair[2] = {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
    text.append(pair, 2);
    return;
  }
  char digits[2 * sizeof(int)];
  std::size_t size = 0;
  auto rest = static_cast<unsigned>(value);
  do {
    digits[size++] = kHexDigits[rest % 16];
    rest /= 16;
  } while (rest != 0);
  while (size > 0) {
    text += digits[--size];
  }
}

void AppendOctetsInHex(std::string& text, const OctetView& octets) {
  // Sized once: a user-user element runs to hundreds of octets.
  const std::size_t start = text.size();
  text.resize(start + 2 * octets.Size());
  char* out = text.data() + start;
  for (const std::uint8_t octet : octets) {
    *out++ = kHexDigits[octet >> 4];
    *out++ = kHexDigits[octet & 0x0F];
  }
}

std::string ByteToHex(int value) {
  std::string text;
  AppendByteToHex(text, value);
  return text;
}

bool AppendHeader(std::string& text, const PayloadBytes& bytes) {
  const int callReferenceLength = bytes.At(2) & 0x0F;
  const std::string_view name = TrimBlanks(MessageTypeName(bytes.At(3 + callReferenceLength)));
  if (callReferenceLength != 1 && callReferenceLength != 2) {
    return false;
  }
  text += name;
  text += ", pd = ";
  text += std::to_string(bytes.At(1));
  text += ", callref = 0x";
  AppendByteToHex(text, bytes.At(3));
  if (callReferenceLength == 2) {
    AppendByteToHex(text, bytes.At(4));
  }
  text += "\r\n";
  return true;
}

}  // namespace sigrune
