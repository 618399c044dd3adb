// Decodes arbitrary bytes as the contents of an H.225 user-user element, and as a whole message
// for the pane's section.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "q931/h225_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sigrune::H225UserInformation information;
  sigrune::DecodeH225UserInformation(sigrune::OctetView(data, size), 1, information);
  std::string text;
  for (const sigrune::AliasAddress& alias : information.sourceAddress) {
    sigrune::AppendAliasText(text, alias);
  }
  if (information.hasProtocolIdentifier) {
    sigrune::AppendObjectIdentifier(text, information.protocolIdentifier);
  }
  // The same octets in a message, behind a header and the element's two-octet length.
  std::vector<std::uint8_t> message{0x08,
                                    0x02,
                                    0x00,
                                    0x01,
                                    0x05,
                                    0x7e,
                                    static_cast<std::uint8_t>(size >> 8),
                                    static_cast<std::uint8_t>(size)};
  message.insert(message.end(), data, data + size);
  sigrune::H225Section(sigrune::PayloadBytes(std::move(message)));
  return 0;
}
