// Generic element contents, and the called and calling party numbers.

#include "q931/code_table.h"
#include "q931/element_decoders.h"

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
std::string QuotedDigits(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                         std::int64_t startIndex, Qualifies qualifies) {
  std::string digits;
  for (std::int64_t k = 0; k < length; ++k) {
    const int octet = bytes.At(startIndex + k);
    if (textFlag && qualifies(octet)) {
      if (digits.empty()) {
        digits += '\'';
      }
      digits += static_cast<char>(octet);
    }
  }
  if (!digits.empty()) {
    digits += '\'';
  }
  return digits;
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

std::string ContentsInHex(const PayloadBytes& bytes, std::int64_t length, std::int64_t startIndex) {
  std::string text = "0x";
  for (std::int64_t k = 0; k < length; ++k) {
    AppendByteToHex(text, bytes.At(startIndex + k));
  }
  return text;
}

std::string FormatElementContents(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                  std::int64_t startIndex) {
  std::string text;
  bool first = true;
  bool inQuote = false;
  for (std::int64_t k = 0; k < length; ++k) {
    const int octet = bytes.At(startIndex + k);
    if (textFlag && IsPrintable(octet)) {
      if (!inQuote) {
        inQuote = true;
        text += first ? "'" : ", '";
        first = false;
      }
      text += static_cast<char>(octet);
    } else {
      if (inQuote) {
        text += "', 0x";
        inQuote = false;
      } else if (first) {
        text += "0x";
        first = false;
      }
      AppendByteToHex(text, octet);
    }
  }
  if (inQuote) {
    text += '\'';
  }
  return text;
}

// A party number of length 0 has no octet 3 of its own (the octet after it belongs to the next
// element), so it shows nothing.
std::string DecodeCalledPartyNumber(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                    std::int64_t startIndex) {
  if (length < 1) {
    return {};
  }
  std::string text = QuotedDigits(bytes, length, textFlag, startIndex, IsPrintable);
  const int octet3 = bytes.At(startIndex);
  if (length > 1) {
    text += " - ";
  }
  text += DecodeNumberingPlan(octet3);
  text += DecodeTypeOfNumber(octet3);
  return text;
}

std::string DecodeCallingPartyNumber(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                     std::int64_t startIndex) {
  if (length < 1) {
    return {};
  }
  const int octet3 = bytes.At(startIndex);
  const bool hasOctet3a = octet3 <= 0x7F;
  const std::string digits = QuotedDigits(bytes, length, textFlag, startIndex, IsDigit);
  const bool showsDigits = hasOctet3a ? length >= 3 : length >= 2;
  std::string text;
  if (showsDigits) {
    text = digits + " - ";
  }
  text += DecodeNumberingPlan(octet3);
  text += DecodeTypeOfNumber(octet3);
  if (hasOctet3a) {
    const int octet3a = bytes.At(startIndex + 1);
    text += ", ";
    text += DecodePresentation(octet3a);
    text += DecodeScreening(octet3a);
  }
  return text;
}

}  // namespace sigrune
