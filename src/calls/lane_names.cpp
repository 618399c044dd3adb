#include "calls/lane_names.h"

namespace sigrune {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view TrimBlanksAndTabs(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Four numbers of 0 to 255 between dots, without leading zeros: the form a trace's addresses
// take, so that a name never waits for an address spelt otherwise.
bool IsDottedAddress(std::string_view text) {
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') {
        return false;
      }
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9') {
      value = value * 10 + static_cast<unsigned>(text[digits] - '0');
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text.front() == '0')) {
      return false;
    }
    text.remove_prefix(digits);
  }
  return text.empty();
}

}  // namespace

LaneNamesText ReadLaneNames(std::string_view text) {
  LaneNamesText read;
  std::uint64_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    line = TrimBlanksAndTabs(line);
    if (line.empty() || line.front() == '#') {
      continue;
    }
    const std::size_t blank = line.find_first_of(kBlanks);
    const std::string_view address = line.substr(0, blank);
    if (blank == std::string_view::npos || !IsDottedAddress(address)) {
      read.badLine = number;
      break;
    }
    const std::string_view name = TrimBlanksAndTabs(line.substr(blank));
    if (name.size() > kLongestLaneName) {
      read.badLine = number;
      read.nameTooLong = true;
      break;
    }
    read.names.insert_or_assign(std::string(address), std::string(name));
  }
  return read;
}

}  // namespace sigrune
