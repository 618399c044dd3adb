#include "trace/message_time.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace sigrune {

namespace {

// Far enough below 0 that a number with such a digit in it stays negative.
int DigitValue(char c) {
  return c >= '0' && c <= '9' ? c - '0' : -1000;
}

// The value of the two decimal digits at `position`; negative when either is not a digit.
int TwoDigits(std::string_view text, std::size_t position) {
  return 10 * DigitValue(text[position]) + DigitValue(text[position + 1]);
}

int FourDigits(std::string_view text, std::size_t position) {
  const int high = TwoDigits(text, position);
  const int low = TwoDigits(text, position + 2);
  return high < 0 || low < 0 ? -1 : 100 * high + low;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date of the proleptic Gregorian calendar, counting in eras of 400
// years (146097 days) that start on March 1st, so that a leap day ends its year.
std::int64_t DaysSinceEpoch(int year, int month, int day) {
  const std::int64_t marchYear = month <= 2 ? year - 1 : year;
  const std::int64_t era = (marchYear >= 0 ? marchYear : marchYear - 399) / 400;
  const std::int64_t yearOfEra = marchYear - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

constexpr std::size_t kMinute = 16;       // "MM/DD/YYYY HH:MM" and "YYYY-MM-DD HH:MM"
constexpr std::size_t kDateAndTime = 19;  // and ":SS"

// The seconds from 1970 to the minute that the first 16 characters of a text of at least 19 name;
// false when they name none.
bool ReadMinute(std::string_view text, std::int64_t& minuteStart) {
  if (text[10] != ' ' || text[13] != ':') {
    return false;
  }
  int year = -1;
  int month = -1;
  int day = -1;
  if (text[2] == '/' && text[5] == '/') {
    month = TwoDigits(text, 0);
    day = TwoDigits(text, 3);
    year = FourDigits(text, 6);
  } else if (text[4] == '-' && text[7] == '-') {
    year = FourDigits(text, 0);
    month = TwoDigits(text, 5);
    day = TwoDigits(text, 8);
  }
  const int hour = TwoDigits(text, 11);
  const int minute = TwoDigits(text, 14);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59) {
    return false;
  }
  minuteStart = DaysSinceEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60;
  return true;
}

// The time of the text whose minute starts at `minuteStart`, from its ":SS" and fraction.
MessageTime TimeInMinute(std::string_view text, std::int64_t minuteStart) {
  const int second = TwoDigits(text, 17);
  if (text[16] != ':' || second < 0 || second > 59) {
    return kNoTime;
  }
  std::int64_t fraction = 0;
  if (text.size() > kDateAndTime) {
    constexpr std::int64_t kNanosecondsPerDigit[] = {
        100'000'000, 10'000'000, 1'000'000, 100'000, 10'000, 1'000, 100, 10, 1};
    const std::size_t digits = text.size() - kDateAndTime - 1;
    if (text[kDateAndTime] != '.' || digits < 1 || digits > 9) {
      return kNoTime;
    }
    for (std::size_t k = 0; k < digits; ++k) {
      const int digit = DigitValue(text[kDateAndTime + 1 + k]);
      if (digit < 0) {
        return kNoTime;
      }
      fraction += digit * kNanosecondsPerDigit[k];
    }
  }
  MessageTime time = 0;
  if (__builtin_mul_overflow(minuteStart + second, 1'000'000'000, &time) ||
      __builtin_add_overflow(time, fraction, &time) || time == kNoTime) {
    return kNoTime;
  }
  return time;
}

void WriteTwoDigits(char* text, unsigned value) {
  text[0] = static_cast<char>('0' + value / 10);
  text[1] = static_cast<char>('0' + value % 10);
}

// The date of a day counted from 1970-01-01, the inverse of DaysSinceEpoch.
void WriteDate(std::int64_t days, bool monthFirst, char* text) {
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(shifted - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const auto year = static_cast<unsigned>(static_cast<std::int64_t>(yearOfEra) + era * 400 +
                                          (month <= 2 ? 1 : 0));
  char* const yearText = monthFirst ? text + 6 : text;
  WriteTwoDigits(yearText, year / 100 % 100);
  WriteTwoDigits(yearText + 2, year % 100);
  WriteTwoDigits(monthFirst ? text : text + 5, month);
  WriteTwoDigits(monthFirst ? text + 3 : text + 8, day);
  text[monthFirst ? 2 : 4] = monthFirst ? '/' : '-';
  text[monthFirst ? 5 : 7] = monthFirst ? '/' : '-';
}

}  // namespace

std::size_t FormatMessageTime(MessageTime time, bool monthFirst, unsigned fractionDigits,
                              char* text) {
  constexpr std::int64_t kSecond = 1'000'000'000;
  const std::int64_t seconds = time / kSecond - (time % kSecond < 0 ? 1 : 0);
  const std::int64_t minutes = seconds / 60 - (seconds % 60 < 0 ? 1 : 0);
  // Messages come in time order, so most share their minute with the one before.
  thread_local std::int64_t lastMinutes = 0;
  thread_local bool lastMonthFirst = false;
  thread_local char lastMinute[kMinute] = {};
  thread_local bool knowsMinute = false;
  if (!knowsMinute || minutes != lastMinutes || monthFirst != lastMonthFirst) {
    const std::int64_t days = minutes / 1440 - (minutes % 1440 < 0 ? 1 : 0);
    const auto ofDay = static_cast<unsigned>(minutes - days * 1440);
    WriteDate(days, monthFirst, lastMinute);
    lastMinute[10] = ' ';
    WriteTwoDigits(lastMinute + 11, ofDay / 60);
    lastMinute[13] = ':';
    WriteTwoDigits(lastMinute + 14, ofDay % 60);
    lastMinutes = minutes;
    lastMonthFirst = monthFirst;
    knowsMinute = true;
  }
  std::copy_n(lastMinute, kMinute, text);
  text[16] = ':';
  WriteTwoDigits(text + 17, static_cast<unsigned>(seconds - minutes * 60));
  if (fractionDigits == 0) {
    return kDateAndTime;
  }
  constexpr std::uint32_t kDropped[] = {1'000'000'000, 100'000'000, 10'000'000, 1'000'000, 100'000,
                                        10'000,        1'000,       100,        10,        1};
  text[kDateAndTime] = '.';
  auto fraction = static_cast<std::uint32_t>(time - seconds * kSecond) / kDropped[fractionDigits];
  for (unsigned k = fractionDigits; k > 0; --k) {
    text[kDateAndTime + k] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  return kDateAndTime + 1 + fractionDigits;
}

MessageTime ParseMessageTime(std::string_view text) {
  return MessageTimeReader().Read(text);
}

MessageTime DayStart(MessageTime time) {
  constexpr MessageTime kDay = 86'400'000'000'000;
  if (time == kNoTime) {
    return kNoTime;
  }
  const MessageTime days = time / kDay - (time % kDay < 0 ? 1 : 0);
  return days * kDay;
}

MessageTime ParseTypedTime(std::string_view text, MessageTime dayStart) {
  if (const MessageTime whole = ParseMessageTime(text); whole != kNoTime) {
    return whole;
  }
  if (dayStart == kNoTime) {
    return kNoTime;
  }
  // The time of day read as a time on 1970-01-01 is its offset into the day.
  std::string onFirstDay = "1970-01-01 ";
  onFirstDay += text;
  if (text.size() == 5) {
    onFirstDay += ":00";
  }
  const MessageTime ofDay = ParseMessageTime(onFirstDay);
  MessageTime time = 0;
  if (ofDay == kNoTime || __builtin_add_overflow(dayStart, ofDay, &time) || time == kNoTime) {
    return kNoTime;
  }
  return time;
}

MessageTime MessageTimeReader::Read(std::string_view text) {
  if (text.size() < kDateAndTime) {
    return kNoTime;
  }
  if (!knowsMinute_ || text.compare(0, kMinute, std::string_view(minute_.data(), kMinute)) != 0) {
    knowsMinute_ = ReadMinute(text, minuteStart_);
    if (!knowsMinute_) {
      return kNoTime;
    }
    text.copy(minute_.data(), kMinute);
  }
  return TimeInMinute(text, minuteStart_);
}

}  // namespace sigrune
