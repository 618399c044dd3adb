#include "q931/aligned_per.h"

#include <algorithm>
#include <string_view>

namespace sigrune {

namespace {

constexpr std::string_view kDialDigits = "#*,0123456789";
constexpr std::string_view kIsupDigits = "0123456789ABCDE";

// The bits that hold a whole number below `range`.
int BitsFor(std::uint64_t range) {
  int bits = 0;
  while ((std::uint64_t{1} << bits) < range) {
    ++bits;
  }
  return bits;
}

// A character of a line of text: no control character may break a line or a terminal.
bool IsShown(int character) {
  return character >= 0x20 && character != 0x7F;
}

}  // namespace

void PerReader::Fail(const char* reason) {
  if (Ok()) {
    failure_->reason = reason;
    failure_->octet = Position();
  }
}

std::uint32_t PerReader::Bits(int count) {
  if (!Ok()) {
    return 0;
  }
  if (static_cast<std::uint64_t>(count) > BitsLeft()) {
    Fail("ends early");
    return 0;
  }
  // The octets the bits span, at most five, gathered at once: the check above bounds them.
  const std::uint64_t first = bit_ / 8;
  const std::uint64_t end = (bit_ + static_cast<std::uint64_t>(count) + 7) / 8;
  std::uint64_t window = 0;
  for (const std::uint8_t* octet = octets_.begin() + first; octet != octets_.begin() + end;
       ++octet) {
    window = window << 8 | *octet;
  }
  const auto value =
      static_cast<std::uint32_t>((window >> (8 * end - bit_ - static_cast<std::uint64_t>(count))) &
                                 ((std::uint64_t{1} << count) - 1));
  bit_ += static_cast<std::uint64_t>(count);
  return value;
}

OctetView PerReader::Octets(std::uint64_t count) {
  Align();
  if (!Ok()) {
    return {};
  }
  if (count > octets_.Size() - bit_ / 8) {
    Fail("ends early");
    return {};
  }
  const OctetView view(octets_.begin() + bit_ / 8, static_cast<std::size_t>(count));
  bit_ += 8 * count;
  return view;
}

void PerReader::Skip(std::uint64_t bits) {
  if (Ok() && bits > BitsLeft()) {
    Fail("ends early");
  } else if (Ok()) {
    bit_ += bits;
  }
}

std::uint32_t PerReader::Constrained(std::uint32_t lower, std::uint32_t upper) {
  const std::uint64_t range = std::uint64_t{upper} - lower + 1;
  std::uint64_t value = 0;
  if (range <= 255) {
    value = Bits(BitsFor(range));
  } else if (range <= 65536) {
    Align();
    value = Bits(range == 256 ? 8 : 16);
  } else {
    // Its octets are counted first, as a constrained number of 1 to the most it can need.
    const std::uint32_t octets =
        Constrained(1, (static_cast<std::uint32_t>(BitsFor(range)) + 7) / 8);
    for (const std::uint8_t octet : Octets(octets)) {
      value = value << 8 | octet;
    }
  }
  if (value > upper - lower) {
    Fail("value out of range");
    return 0;
  }
  return lower + static_cast<std::uint32_t>(value);
}

std::uint32_t PerReader::Length() {
  Align();
  const std::uint32_t first = Bits(8);
  if ((first & 0x80) == 0) {
    return first;
  }
  if ((first & 0x40) == 0) {
    return (first & 0x3F) << 8 | Bits(8);
  }
  Fail("fragmented length");
  return 0;
}

std::uint32_t PerReader::Small() {
  if (!Bit()) {
    return Bits(6);
  }
  const std::uint32_t octets = Length();
  if (octets > 3) {
    Fail("number too large");
    return 0;
  }
  std::uint32_t value = 0;
  for (const std::uint8_t octet : Octets(octets)) {
    value = value << 8 | octet;
  }
  return value;
}

std::uint32_t PerReader::Count(std::uint32_t minimumBits) {
  const std::uint32_t count = Length();
  if (Ok() && std::uint64_t{count} * minimumBits > BitsLeft()) {
    Fail("count larger than the octets hold");
    return 0;
  }
  return count;
}

PerReader PerReader::Open() {
  const std::uint32_t length = Length();
  const std::int64_t first = Position();  // Length leaves the reader aligned
  const OctetView octets = Octets(length);
  return PerReader(octets, first, *failure_);
}

std::uint32_t PerReader::Choice(std::uint32_t roots, bool extensible, PerReader* open) {
  if (extensible && Bit()) {
    const std::uint32_t index = roots + Small();
    if (open != nullptr) {
      *open = Open();
    } else {
      Open();
    }
    return index;
  }
  return roots > 1 ? Constrained(0, roots - 1) : 0;
}

OctetView PerReader::FixedOctets(std::uint32_t count) {
  if (count > 2) {
    return Octets(count);
  }
  // Two octets or fewer are not aligned: read as bits, they are handed over only as a count.
  Skip(8 * std::uint64_t{count});
  return {};
}

PerText PerReader::Text(std::uint32_t lower, std::uint32_t upper, int bitsEach, PerTextForm form) {
  const std::uint32_t count = upper < 65536 ? Length(lower, upper) : Length();
  PerText text;
  text.form = form;
  const std::uint64_t bits = std::uint64_t{count} * static_cast<std::uint64_t>(bitsEach);
  // Every string read here may be longer than 16 bits, so its characters start aligned; four-bit
  // ones may end inside an octet, where the next field starts.
  Align();
  if (bits > BitsLeft()) {
    Fail("ends early");
  } else if (Ok()) {
    text.octets = OctetView(octets_.begin() + bit_ / 8, static_cast<std::size_t>((bits + 7) / 8));
    bit_ += bits;
  }
  text.count = Ok() ? count : 0;
  return text;
}

void AppendPerText(std::string& text, const PerText& value) {
  const OctetView& octets = value.octets;
  for (std::uint32_t k = 0; k < value.count; ++k) {
    switch (value.form) {
      case PerTextForm::Octets: {
        const int octet = octets.At(k);
        if (octet == 0) {
          return;
        }
        text += IsShown(octet) ? static_cast<char>(octet) : '?';
        break;
      }
      case PerTextForm::Bmp: {
        const int high = octets.At(2 * std::size_t{k});
        const int low = octets.At(2 * std::size_t{k} + 1);
        text += high == 0 && IsShown(low) ? static_cast<char>(low) : '?';
        break;
      }
      case PerTextForm::DialDigits:
      case PerTextForm::IsupDigits: {
        const std::string_view digits =
            value.form == PerTextForm::DialDigits ? kDialDigits : kIsupDigits;
        const int octet = octets.At(k / 2);
        const std::size_t index = static_cast<std::size_t>(k % 2 == 0 ? octet >> 4 : octet & 0x0F);
        text += index < digits.size() ? digits[index] : '?';
        break;
      }
    }
  }
}

bool AppendObjectIdentifier(std::string& text, const OctetView& contents) {
  std::string dotted;
  std::uint64_t arc = 0;
  bool first = true;
  for (const std::uint8_t octet : contents) {
    if (arc > (std::uint64_t{1} << 56)) {
      return false;  // an arc beyond any number worth showing
    }
    arc = arc << 7 | (octet & 0x7F);
    if ((octet & 0x80) != 0) {
      continue;
    }
    if (first) {
      const std::uint64_t top = arc < 80 ? arc / 40 : 2;
      dotted += std::to_string(top);
      dotted += '.';
      dotted += std::to_string(arc - 40 * top);
      first = false;
    } else {
      dotted += '.';
      dotted += std::to_string(arc);
    }
    arc = 0;
  }
  if (first || (contents.Size() > 0 && (contents.end()[-1] & 0x80) != 0)) {
    return false;
  }
  text += dotted;
  return true;
}

}  // namespace sigrune
