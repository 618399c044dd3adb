#include "trace/list_filters.h"

#include "trace/hex_digits.h"
#include "trace/summary_line.h"

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

FilterKey SelectedCallKey(std::string_view selectedLine) {
  const CallReferenceReading reading = ReadCallReferenceValue(selectedLine);
  FilterKey key;
  key.filter = ListFilter::SelectedCall;
  key.callReference = reading.value;
  key.partner = PartnerCallReference(reading);
  return key;
}

FilterKey ThisGatewayKey(const MessageStore& store, std::size_t selectedIndex) {
  FilterKey key;
  key.filter = ListFilter::ThisGateway;
  key.gatewayIpIndex = store.msgGatewayIps[selectedIndex];
  return key;
}

FilterKey ProtocolKey(ListFilter filter) {
  FilterKey key;
  key.filter = filter;
  return key;
}

namespace {

// A Selected Call key as numbers, for the messages whose list line's digits are stored: a value
// of more than four digits can match none of them.
struct CallReferenceNumbers {
  std::uint32_t value;
  std::uint32_t partner;
};

std::uint32_t SmallNumber(const CallReferenceValue& value) {
  constexpr std::uint32_t kTooLong = 0xFFFFFFFF;
  if (value.size() > 4) {
    return kTooLong;
  }
  std::uint32_t number = 0;
  for (const char c : value) {
    number = number * 16 + static_cast<std::uint32_t>(HexDigitValue(c));
  }
  return number;
}

CallReferenceNumbers NumbersOf(const FilterKey& key) {
  return {SmallNumber(key.callReference), SmallNumber(key.partner)};
}

// Selected Call reads the digits after the list line's first "0x". They are the stored ones
// unless the message has no call reference column, the digits are kept as text, or an earlier
// "0x" stands in the timestamp; then the line itself is read.
bool CallReferenceIsStored(const MessageColumns& columns) {
  return columns.protocolDiscriminator == 0x08 && !columns.callReferenceAsText &&
         !columns.timestampHoldsHexMarker;
}

// `line` is scratch space, kept between calls so that a pass over a million lines allocates once.
bool Matches(const MessageStore& store, std::size_t index, const FilterKey& key,
             const CallReferenceNumbers& numbers, std::string& line) {
  switch (key.filter) {
    case ListFilter::SelectedCall: {
      const MessageColumns& columns = store.msgColumns[index];
      if (CallReferenceIsStored(columns)) {
        const std::uint32_t shown = ShownCallReference(columns);
        return shown == numbers.value || shown == numbers.partner;
      }
      line.clear();
      AppendSummaryLine(line, store, index);
      const CallReferenceValue value = ReadCallReferenceValue(line).value;
      return value == key.callReference || value == key.partner;
    }
    case ListFilter::ThisGateway:
      return store.msgGatewayIps[index] == key.gatewayIpIndex;
    case ListFilter::PriOnly:
      return store.msgProtocols[index] == Protocol::Pri;
    case ListFilter::H225Only:
      return store.msgProtocols[index] == Protocol::H225;
    case ListFilter::ThisCall:
      break;
  }
  return false;
}

}  // namespace

bool MessageMatches(const MessageStore& store, std::size_t index, const FilterKey& key) {
  std::string line;
  return Matches(store, index, key, NumbersOf(key), line);
}

RowMap BuildFilteredIndexMap(const MessageStore& store, const FilterKey& key) {
  RowMap rows;
  std::string line;
  const CallReferenceNumbers numbers = NumbersOf(key);
  for (std::size_t index = 0; index < store.msgCount; ++index) {
    if (Matches(store, index, key, numbers, line)) {
      rows.push_back(NumberOf(MessageIndex{index}));
    }
  }
  return rows;
}

}  // namespace sigrune
