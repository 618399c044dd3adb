// Decodes arbitrary bytes as a message's octets, and as the hex text of a data line.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "q931/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const sigrune::PayloadBytes bytes(std::vector<std::uint8_t>(data, data + size));
    sigrune::DecodeMessage(bytes);
    sigrune::DumpMessageHex(bytes);
  } catch (const sigrune::SubscriptOutOfRange&) {
  }
  try {
    const std::string_view hexText(reinterpret_cast<const char*>(data), size);
    sigrune::DecodeMessage(sigrune::PayloadBytesOfHexText(hexText));
  } catch (const sigrune::SubscriptOutOfRange&) {
  }
  return 0;
}
