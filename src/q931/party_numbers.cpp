// Generic element contents, and the called and calling party numbers.

#include "q931/element_decoders.h"
#include "trace/code_table.h"

namespace sigrune {

namespace {

constexpr CodeText kNumberingPlans[] = {
    {0x0, "Plan: Unknown, "}, {0x1, "Plan: ISDN, "},     {0x3, "Plan: Data, "},
    {0x4, "Plan: Telex, "},   {0x8, "Plan: National, "}, {0x9, "Plan: Private, "},
};

constexpr CodeText kTypesOfNumber[] = {
    {0x00, "Type: Unknown"},          {0x10, "Type: International"}, {0x20, "Type: National"},
    {0x30, "Type: Network specific"}, {0x40, "Type: Subscriber"},    {0x60, "Type: Abbreviated"},
};

// Keyed with bit 8 kept, so an octet 3a with it clear falls on the fallback.
constexpr CodeText kPresentations[] = {
    {0x80, "Presentation Allowed, "},
    {0xA0, "Presentation Restricted, "},
    {0xC0, "Presentation Number not available due to interworking, "},
};

constexpr CodeText kScreenings[] = {
    {0x80, "User-provided, not screened"},
    {0x81, "User-provided, verified and passed"},
    {0x82, "User-provided, verified and failed"},
};

bool IsPrintable(int octet) {
  return octet >= 0x20 && octet <= 0x7E;
}
bool IsDigit(int octet) {
  return octet >= 0x30 && octet <= 0x39;
}

// The qualifying octets of the whole contents in one quoted text, the others skipped.
template <typename Qualifies>
void AppendQuotedDigits(std::string& text, const OctetView& octets, bool textFlag,
                        Qualifies qualifies) {
  if (!textFlag) {
    return;
  }
  const std::size_t start = text.size();
  for (const std::uint8_t octet : octets) {
    if (qualifies(octet)) {
      if (text.size() == start) {
        text += '\'';
      }
      text += static_cast<char>(octet);
    }
  }
  if (text.size() != start) {
    text += '\'';
  }
}

}  // namespace

std::string_view DecodeNumberingPlan(int octet3) {
  return LookUp(kNumberingPlans, octet3 & 0x0F, "Plan: Reserved, ");
}

std::string_view DecodeTypeOfNumber(int octet3) {
  return LookUp(kTypesOfNumber, octet3 & 0x70, "Type: Reserved");
}

std::string_view DecodePresentation(int octet3a) {
  return LookUp(kPresentations, octet3a & 0xE0, "Presentation Reserved, ");
}

std::string_view DecodeScreening(int octet3a) {
  return LookUp(kScreenings, octet3a & 0x83, "Network provided");
}

void AppendContentsInHex(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                         std::int64_t startIndex) {
  text += "0x";
  if (length > 0) {
    AppendOctetsInHex(text, bytes.View(startIndex, length));
  }
}

void AppendElementContents(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                           bool textFlag, std::int64_t startIndex) {
  if (length <= 0) {
    return;
  }
  // Printable runs go in quotes, the runs between them in hex, each written whole.
  const OctetView octets = bytes.View(startIndex, length);
  const std::uint8_t* at = octets.begin();
  const std::uint8_t* const end = octets.end();
  const auto quoted = [textFlag](std::uint8_t octet) { return textFlag && IsPrintable(octet); };
  while (at != end) {
    const bool inQuote = quoted(*at);
    const std::uint8_t* runEnd = at;
    while (runEnd != end && quoted(*runEnd) == inQuote) {
      ++runEnd;
    }
    const bool first = at == octets.begin();
    if (inQuote) {
      text += first ? "'" : ", '";
      text.append(reinterpret_cast<const char*>(at), static_cast<std::size_t>(runEnd - at));
      text += '\'';
    } else {
      text += first ? "0x" : ", 0x";
      AppendOctetsInHex(text, OctetView(at, static_cast<std::size_t>(runEnd - at)));
    }
    at = runEnd;
  }
}

std::string FormatElementContents(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                  std::int64_t startIndex) {
  std::string text;
  AppendElementContents(text, bytes, length, textFlag, startIndex);
  return text;
}

// A party number of length 0 has no octet 3 of its own (the octet after it belongs to the next
// element), so it shows nothing.
void AppendCalledPartyNumber(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                             bool textFlag, std::int64_t startIndex) {
  if (length < 1) {
    return;
  }
  // Every contents octet must be there, whatever is shown.
  const OctetView octets = bytes.View(startIndex, length);
  AppendQuotedDigits(text, octets, textFlag, IsPrintable);
  const int octet3 = octets.At(0);
  if (length > 1) {
    text += " - ";
  }
  text += DecodeNumberingPlan(octet3);
  text += DecodeTypeOfNumber(octet3);
}

std::string DecodeCalledPartyNumber(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                    std::int64_t startIndex) {
  std::string text;
  AppendCalledPartyNumber(text, bytes, length, textFlag, startIndex);
  return text;
}

void AppendCallingPartyNumber(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                              bool textFlag, std::int64_t startIndex) {
  if (length < 1) {
    return;
  }
  const OctetView octets = bytes.View(startIndex, length);
  const int octet3 = octets.At(0);
  const bool hasOctet3a = octet3 <= 0x7F;
  // Octet 3a is read even when the element is too short to hold it, as it always has been.
  const int octet3a = hasOctet3a ? bytes.At(startIndex + 1) : 0;
  const bool showsDigits = hasOctet3a ? length >= 3 : length >= 2;
  if (showsDigits) {
    AppendQuotedDigits(text, octets, textFlag, IsDigit);
    text += " - ";
  }
  text += DecodeNumberingPlan(octet3);
  text += DecodeTypeOfNumber(octet3);
  if (hasOctet3a) {
    text += ", ";
    text += DecodePresentation(octet3a);
    text += DecodeScreening(octet3a);
  }
}

std::string DecodeCallingPartyNumber(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                     std::int64_t startIndex) {
  std::string text;
  AppendCallingPartyNumber(text, bytes, length, textFlag, startIndex);
  return text;
}

}  // namespace sigrune
