#include "trace/list_filters.h"

#include <cstdint>

#include "trace/hex_digits.h"

namespace sigrune {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

// Hexadecimal digits read until the first other character; leading zeros dropped.
CallReferenceValue ReadHexValue(std::string_view text, bool skipSpacing) {
  CallReferenceValue value;
  for (const char c : text) {
    if (skipSpacing && (c == ' ' || c == '\t' || c == '\n')) {
      continue;
    }
    const int digit = HexDigitValue(c);
    if (digit < 0) {
      break;
    }
    if (!value.empty() || digit != 0) {
      value += kHexDigits[static_cast<std::size_t>(digit)];
    }
  }
  return value;
}

CallReferenceValue FromNumber(std::uint64_t number) {
  CallReferenceValue value;
  for (; number != 0; number /= 16) {
    value.insert(value.begin(), kHexDigits[number % 16]);
  }
  return value;
}

// The value less `amount`, for a value of more digits than a 64-bit number holds (so it is the
// larger one).
CallReferenceValue SubtractFromLongValue(CallReferenceValue value, std::uint64_t amount) {
  int borrow = 0;
  for (std::size_t k = value.size(); k-- > 0;) {
    int digit = HexDigitValue(value[k]) - static_cast<int>(amount % 16) - borrow;
    amount /= 16;
    borrow = digit < 0 ? 1 : 0;
    value[k] = kHexDigits[static_cast<std::size_t>(digit + 16 * borrow)];
    if (amount == 0 && borrow == 0) {
      break;
    }
  }
  const std::size_t first = value.find_first_not_of('0');
  return first == std::string::npos ? CallReferenceValue() : value.substr(first);
}

}  // namespace

CallReferenceReading ReadCallReferenceValue(std::string_view line) {
  const std::size_t marker = line.find("0x");
  if (marker != std::string_view::npos) {
    const std::string_view digitText = line.substr(marker + 2);
    return {ReadHexValue(digitText, false), digitText.size()};
  }
  const std::string_view text = line.size() > 1 ? line.substr(1) : std::string_view();
  return {ReadHexValue(text, true), text.size()};
}

CallReferenceValue PartnerCallReference(const CallReferenceReading& reading) {
  const std::uint64_t flag = reading.digitTextLength == 2 ? 0x80 : 0x8000;
  if (reading.value.size() > 15) {
    return SubtractFromLongValue(reading.value, flag);
  }
  std::uint64_t number = 0;
  for (const char c : reading.value) {
    number = number * 16 + static_cast<std::uint64_t>(HexDigitValue(c));
  }
  return FromNumber(number >= flag ? number - flag : number + flag);
}

}  // namespace sigrune
