// Bearer capability, and the coding standard table that the call state element shares.

#include "q931/element_decoders.h"
#include "trace/code_table.h"

namespace sigrune {

namespace {

// Several masks keep bit 8, the extension bit, so a value with it clear falls on the fallback.
constexpr CodeText kBearerCodingStandards[] = {
    {0x80, "ITU-T standard"},
    {0xA0, "ISO/IEC standard"},
    {0xC0, "National standard"},
    {0xE0, "Network defined standard"},
};

constexpr CodeText kTransferCapabilities[] = {
    {0x80, "Speech"},       {0x88, "UDI"},    {0x89, "RDI"},
    {0x90, "3.1kHz audio"}, {0x91, "UDI-TA"}, {0x98, "Video"},
};

constexpr CodeText kTransferModes[] = {
    {0x80, "Circuit mode"},
    {0xC0, "Packet mode"},
};

constexpr CodeText kTransferRates[] = {
    {0x80, "Packet mode rate"},
    {0x90, "64k"},
    {0x91, "2x64k"},
    {0x93, "384k"},
    {0x95, "1536k"},
    {0x97, "1920k"},
    {0x98, "Multirate"},
};

// The value keeps bit 6, the low bit of the layer identification. 0x22 begins with the micro sign
// (0xB5 in Latin-1).
constexpr CodeText kLayer1Protocols[] = {
    {0x21, "V.110"},
    {0x22, "\xB5-law"},
    {0x23, "A-law"},
    {0x24, "G.721 32k ADPCM"},
    {0x25, "H.221/H.242"},
    {0x26, "H.223/H.245"},
    {0x27, "Non-ITU-T protocol"},
    {0x28, "V.120"},
    {0x29, "X.31"},
};

constexpr CodeText kCodingStandards[] = {
    {0x00, "ITU-T standard"},
    {0x40, "ISO/IEC standard"},
    {0x80, "National standard"},
    {0xC0, "Network defined standard"},
};

}  // namespace

std::string_view DecodeBearerCodingStandard(int octet3) {
  return LookUp(kBearerCodingStandards, octet3 & 0xE0, "");
}

std::string_view DecodeTransferCapability(int octet3) {
  return LookUp(kTransferCapabilities, octet3 & 0x9F, "Reserved capability");
}

std::string_view DecodeTransferMode(int octet4) {
  return LookUp(kTransferModes, octet4 & 0xE0, "Reserved mode");
}

std::string_view DecodeTransferRate(int octet4) {
  return LookUp(kTransferRates, octet4 & 0x9F, "Reserved rate");
}

std::string_view DecodeLayer1Protocol(int octet5) {
  return LookUp(kLayer1Protocols, octet5 & 0x3F, "Reserved protocol");
}

std::string_view DecodeCodingStandard(int octet) {
  return LookUp(kCodingStandards, octet & 0xC0, "");
}

void AppendBearerCapability(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                            std::int64_t startIndex) {
  AppendContentsInHex(text, bytes, length, startIndex);
  if (length != 3) {
    text += ", Unknown Bearer Capability";
    return;
  }
  const int octet3 = bytes.At(startIndex);
  const int octet4 = bytes.At(startIndex + 1);
  const int octet5 = bytes.At(startIndex + 2);
  for (const std::string_view field :
       {DecodeBearerCodingStandard(octet3), DecodeTransferCapability(octet3),
        DecodeTransferMode(octet4), DecodeTransferRate(octet4), DecodeLayer1Protocol(octet5)}) {
    text += ", ";
    text += field;
  }
}

std::string DecodeBearerCapability(const PayloadBytes& bytes, std::int64_t length,
                                   std::int64_t startIndex) {
  std::string text;
  AppendBearerCapability(text, bytes, length, startIndex);
  return text;
}

}  // namespace sigrune
