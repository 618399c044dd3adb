#include "trace/message_store.h"

#include <algorithm>

namespace sigrune {

namespace {
// Blocks grow from small to large, so that a small trace stays small.
constexpr std::size_t kFirstArenaBlockSize = 64u << 10;
constexpr std::size_t kLargestArenaBlockSize = 16u << 20;
}  // namespace

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
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < text.size()) {
    const std::size_t blockSize =
        blocks_.empty() ? kFirstArenaBlockSize
                        : std::min(2 * blocks_.back().capacity(), kLargestArenaBlockSize);
    blocks_.emplace_back().reserve(std::max(blockSize, text.size()));
  }
  LargeVector<char>& block = blocks_.back();
  const std::size_t start = block.size();
  block.insert(block.end(), text.begin(), text.end());
  return std::string_view(block.data() + start, text.size());
}

MessageStore::MessageStore() {
  InternGatewayIp(*this, {});
}

std::uint32_t InternGatewayIp(MessageStore& store, std::string_view dottedAddress) {
  const auto [position, inserted] = store.gatewayIpIndex.try_emplace(
      std::string(dottedAddress), static_cast<std::uint32_t>(store.gatewayIpTexts.size()));
  if (inserted) {
    store.gatewayIpTexts.emplace_back(dottedAddress);
  }
  return position->second;
}

void AppendMessage(MessageStore& store, std::string_view dataLine, std::uint32_t gatewayIpIndex,
                   Protocol protocol, bool isIncoming, std::uint64_t lineNumber,
                   const MessageColumns& columns, MessageTime time, std::uint32_t file) {
  store.msgDataLines.push_back(store.dataLineArena.Append(dataLine));
  store.msgGatewayIps.push_back(gatewayIpIndex);
  store.msgProtocols.push_back(protocol);
  store.msgIsIncoming.push_back(isIncoming);
  store.msgLineNumbers.push_back(lineNumber);
  store.msgFiles.push_back(file);
  store.msgColumns.push_back(columns);
  store.msgTimes.push_back(time);
  ++store.msgCount;
}

}  // namespace sigrune
