// Channel identification: interface, preference and channel of the element.

#include "q931/element_decoders.h"

namespace sigrune {

// The summary is made for the primary-rate layout of three contents octets: octet 3 without an
// interface identifier (bit 7 clear), octet 3.2 naming a channel number (bit 5 clear) in B-channel
// units (channel type 3 in bits 4-1), and the channel number in octet 3.3. Any other primary-rate
// element is "Unsupported". A basic-rate element carries its channel in bits 2-1 of octet 3 and
// is summarised from that octet alone (1 and 2 are B1 and B2, 3 is any channel, 0 none), so
// nothing of the next element is read for it; an element of length 0 has no octet 3 to read.
void AppendChannelId(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                     std::int64_t startIndex) {
  if (length < 1) {
    text += " - Unsupported decode";
    return;
  }
  const int octet3 = bytes.At(startIndex);
  const bool primaryRate = (octet3 & 0x20) != 0;
  int channel = 0;
  if (primaryRate) {
    const int octet32 = bytes.At(startIndex + 1);
    const bool supported = length == 3 && (octet3 & 0x40) == 0 && (octet32 & 0x1F) == 0x03;
    if (!supported) {
      text += " - Unsupported decode";
      return;
    }
    channel = bytes.At(startIndex + 2) & 0x7F;
  }
  text += primaryRate ? ", PRI interface, " : ", BRI interface, ";
  text += (octet3 & 0x08) != 0 ? "Exclusive" : "Preferred";
  text += " channel ";
  if (primaryRate) {
    text += std::to_string(channel);
  } else {
    constexpr const char* kBasicRateChannels[] = {"none", "1", "2", "any"};
    text += kBasicRateChannels[octet3 & 0x03];
  }
}

std::string DecodeChannelId(const PayloadBytes& bytes, std::int64_t length,
                            std::int64_t startIndex) {
  std::string text;
  AppendChannelId(text, bytes, length, startIndex);
  return text;
}

}  // namespace sigrune
