#include "trace/message_store.h"

#include <algorithm>
#include <iterator>

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

void TextArena::TakeBlocks(TextArena&& other) {
  // Reserved first: the moves that follow cannot fail. The blocks go before this arena's last,
  // which keeps taking the next lines.
  blocks_.reserve(blocks_.size() + other.blocks_.size());
  const auto at = blocks_.empty() ? blocks_.end() : blocks_.end() - 1;
  blocks_.insert(at, std::make_move_iterator(other.blocks_.begin()),
                 std::make_move_iterator(other.blocks_.end()));
  other.blocks_.clear();
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

namespace sigrune {

namespace {

// Room for `count` elements, grown by half at least, so that many small appends copy little.
template <typename Vector>
void MakeRoom(Vector& vector, std::size_t count) {
  if (count > vector.capacity()) {
    vector.reserve(std::max(count, vector.capacity() + vector.capacity() / 2));
  }
}

}  // namespace

void ReserveMessages(MessageStore& store, std::size_t messages) {
  ForEachMessageArray(store, [messages](auto& array) { array.reserve(messages); });
}

void KeepFirstMessages(MessageStore& store, std::size_t count) {
  ForEachMessageArray(store, [count](auto& array) { array.resize(count); });
  store.msgCount = count;
}

void MoveMessages(MessageStore& target, MessageStore&& source, LineBlocks lineBlocks) {
  // Everything is allocated first, so that running out of memory leaves the target as it was
  // (but for a new gateway address, which no message names).
  std::vector<std::uint32_t> gateways(source.gatewayIpTexts.size());
  for (std::size_t k = 0; k < gateways.size(); ++k) {
    gateways[k] = InternGatewayIp(target, source.gatewayIpTexts[k]);
  }
  const std::size_t count = target.msgCount + source.msgCount;
  ForEachMessageArray(target, [count](auto& array) { MakeRoom(array, count); });
  if (lineBlocks == LineBlocks::Copied) {
    for (std::string_view& line : source.msgDataLines) {
      line = target.dataLineArena.Append(line);
    }
  } else {
    target.dataLineArena.TakeBlocks(std::move(source.dataLineArena));
  }

  // The gateways by the target's numbers; the other arrays as they are.
  for (std::uint32_t& gateway : source.msgGatewayIps) {
    gateway = gateways[gateway];
  }
  ForEachMessageArray(target, source, [](auto& to, const auto& from) {
    to.insert(to.end(), from.begin(), from.end());
  });
  target.msgCount = count;
  source = MessageStore();
}

MessageTime TraceDayStart(const MessageStore& store) {
  for (const MessageTime time : store.msgTimes) {
    if (time != kNoTime) {
      return DayStart(time);
    }
  }
  return kNoTime;
}

}  // namespace sigrune
