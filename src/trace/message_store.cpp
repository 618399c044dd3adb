#include "trace/message_store.h"

#include <algorithm>
#include <cstring>

namespace sigrune {

namespace {
constexpr std::size_t kArenaBlockSize = 16u << 20;
}

std::string_view ProtocolText(Protocol protocol) {
  switch (protocol) {
    case Protocol::Pri:
      return "PRI";
    case Protocol::H225:
      return "H225";
    case Protocol::None:
      break;
  }
  return {};
}

std::string_view TextArena::Append(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  if (text.size() > freeSize_) {
    const std::size_t blockSize = std::max(kArenaBlockSize, text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
    free_ = blocks_.back().get();
    freeSize_ = blockSize;
  }
  std::memcpy(free_, text.data(), text.size());
  const std::string_view stored(free_, text.size());
  free_ += text.size();
  freeSize_ -= text.size();
  return stored;
}

MessageStore::MessageStore() { InternGatewayIp(*this, {}); }

std::uint32_t InternGatewayIp(MessageStore& store, std::string_view dottedAddress) {
  const auto [position, inserted] = store.gatewayIpIndex.try_emplace(
      std::string(dottedAddress), static_cast<std::uint32_t>(store.gatewayIpTexts.size()));
  if (inserted) {
    store.gatewayIpTexts.emplace_back(dottedAddress);
  }
  return position->second;
}

void AppendMessage(MessageStore& store, std::string_view dataLine, std::uint32_t gatewayIpIndex,
                   Protocol protocol, bool isIncoming, std::uint64_t lineNumber) {
  store.msgDataLines.push_back(store.dataLineArena.Append(dataLine));
  store.msgGatewayIps.push_back(gatewayIpIndex);
  store.msgProtocols.push_back(protocol);
  store.msgIsIncoming.push_back(isIncoming);
  store.msgLineNumbers.push_back(lineNumber);
  ++store.msgCount;
}

}  // namespace sigrune
