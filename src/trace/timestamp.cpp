// The timestamp column. Its text is whatever the data line holds before its first "C"; a text of
// more than 30 characters is cut down to the time stamp inside it, so that the columns still line
// up. The cut is always a piece of the original text, never reformatted.

#include <cstddef>

#include "trace/summary_line.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

constexpr std::size_t kLongestTimestamp = 30;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsTimeCharacter(char c) {
  return IsDigit(c) || c == ':' || c == '.' || c == ',';
}
bool IsDateCharacter(char c) {
  return IsDigit(c) || c == '/' || c == '-' || c == '.';
}

// The first time of day (digits, ":", digits, with more ":", "." or "," and digits after them),
// together with a date (digits separated by "/", "-" or ".") that stands just before it, separated
// by one blank or "T".
std::string_view DateAndTimeRun(std::string_view text) {
  for (std::size_t colon = 1; colon + 1 < text.size(); ++colon) {
    if (text[colon] != ':' || !IsDigit(text[colon - 1]) || !IsDigit(text[colon + 1])) {
      continue;
    }
    std::size_t start = colon;
    while (start > 0 && IsDigit(text[start - 1])) {
      --start;
    }
    std::size_t end = colon;
    while (end < text.size() && IsTimeCharacter(text[end])) {
      ++end;
    }
    while (!IsDigit(text[end - 1])) {
      --end;
    }
    if (start >= 2 && (text[start - 1] == ' ' || text[start - 1] == 'T') &&
        IsDigit(text[start - 2])) {
      std::size_t dateStart = start - 1;
      while (dateStart > 0 && IsDateCharacter(text[dateStart - 1])) {
        --dateStart;
      }
      while (!IsDigit(text[dateStart])) {
        ++dateStart;
      }
      const std::string_view date = text.substr(dateStart, start - 1 - dateStart);
      if (date.find_first_of("/-.") != std::string_view::npos) {
        start = dateStart;
      }
    }
    return text.substr(start, end - start);
  }
  return text;
}

}  // namespace

std::string_view ShortenTimestamp(std::string_view text, bool isTracelist) {
  if (isTracelist) {
    constexpr std::string_view kOpen = "<Date>";
    const std::size_t open = text.find(kOpen);
    const std::size_t close =
        open == std::string_view::npos ? open : text.find("</Date>", open + kOpen.size());
    if (close != std::string_view::npos) {
      text = TrimBlanks(text.substr(open + kOpen.size(), close - open - kOpen.size()));
    }
  }
  if (text.size() > kLongestTimestamp) {
    text = DateAndTimeRun(text);
  }
  return text.substr(0, kLongestTimestamp);
}

std::string_view TimestampText(std::string_view dataLine, bool isTracelist) {
  const std::size_t firstC = dataLine.find('C');
  if (firstC == std::string_view::npos) {
    return {};
  }
  const std::string_view timestamp = TrimBlanks(dataLine.substr(0, firstC));
  if (!Contains(timestamp, ":")) {
    return {};
  }
  return timestamp.size() > kLongestTimestamp ? ShortenTimestamp(timestamp, isTracelist)
                                              : timestamp;
}

}  // namespace sigrune
