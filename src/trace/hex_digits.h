#pragma once

// The reading rule for hexadecimal text used throughout the trace: upper- and lower-case digits
// count, reading stops at the first character that is not a digit, and no digit at all reads as 0.

#include <cstddef>
#include <string_view>

namespace sigrune {

constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

// Value (0..255) of the one or two characters of `text` starting at 0-based `position`; characters
// beyond the end of the text count as absent.
constexpr int ReadHexPair(std::string_view text, std::size_t position) {
  int value = 0;
  for (std::size_t k = position; k < position + 2 && k < text.size(); ++k) {
    const int digit = HexDigitValue(text[k]);
    if (digit < 0) {
      break;
    }
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace sigrune
