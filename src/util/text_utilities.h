#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sigrune {

// Removes the blanks (0x20 only; tabs stay) at both ends.
constexpr std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The text without its blanks (0x20 only; tabs stay), as hex digit pairs are read.
inline std::string RemoveBlanks(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (const char c : text) {
    if (c != ' ') {
      kept += c;
    }
  }
  return kept;
}

constexpr bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// 1,234,567: counts that read well in what the user is told.
inline std::string GroupedDigits(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (std::size_t k = digits.size(); k > 3; k -= 3) {
    digits.insert(k - 3, 1, ',');
  }
  return digits;
}

// "1 message", "12,345 messages".
inline std::string CountOf(std::uint64_t count, std::string_view singular,
                           std::string_view plural) {
  return GroupedDigits(count) + ' ' + std::string(count == 1 ? singular : plural);
}

}  // namespace sigrune
