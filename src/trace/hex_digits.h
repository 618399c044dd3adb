#pragma once

// The reading rule for hexadecimal text used throughout the trace: upper- and lower-case digits
// count, reading stops at the first character that is not a digit, and no digit at all reads as 0.

#include <array>
#include <cstddef>
#include <string_view>

namespace sigrune {

// The value of each character as a hexadecimal digit, -1 for any other: payload text is read a
// character at a time, and one load beats three comparisons.
inline constexpr std::array<signed char, 256> kHexDigitValues = [] {
  std::array<signed char, 256> values{};
  values.fill(-1);
  for (int k = 0; k < 10; ++k) {
    values['0' + k] = static_cast<signed char>(k);
  }
  for (int k = 0; k < 6; ++k) {
    values['A' + k] = static_cast<signed char>(10 + k);
    values['a' + k] = static_cast<signed char>(10 + k);
  }
  return values;
}();

constexpr int HexDigitValue(char c) {
  return kHexDigitValues[static_cast<unsigned char>(c)];
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
