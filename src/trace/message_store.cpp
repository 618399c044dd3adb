#include "trace/message_store.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "trace/hex_digits.h"

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

TextArena::TextArena(TextArena&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      table_(other.table_),
      current_(other.current_),
      nextNumber_(other.nextNumber_),
      filling_(other.filling_),
      stride_(other.stride_) {
  other.blocks_.clear();
  other.filling_ = false;
}

TextArena& TextArena::operator=(TextArena&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::move(other.blocks_);
    table_ = other.table_;
    current_ = other.current_;
    nextNumber_ = other.nextNumber_;
    filling_ = other.filling_;
    stride_ = other.stride_;
    other.blocks_.clear();
    other.filling_ = false;
  }
  return *this;
}

TextArena::~TextArena() {
  Release();
}

void TextArena::Release() {
  LargeAllocator<char> allocator;
  for (const Block& block : blocks_) {
    if (block.data != nullptr) {
      allocator.deallocate(block.data, block.capacity);
    }
  }
  blocks_.clear();
  filling_ = false;
}

void TextArena::ShareWithLanes() {
  blocks_.resize(kMostBlocks);
}

void TextArena::LanesDone() {
  std::size_t used = blocks_.size();
  while (used > 0 && blocks_[used - 1].data == nullptr) {
    --used;
  }
  blocks_.resize(used);
  filling_ = false;
}

TextArena::Block& TextArena::Room(std::size_t size) {
  if (size > kLongestText) {
    throw std::bad_alloc();  // the reader never keeps so long a line
  }
  std::vector<Block>& filled = table_ != nullptr ? table_->blocks_ : blocks_;
  if (filling_ && filled[current_].capacity - filled[current_].size >= size) {
    return filled[current_];
  }
  const std::size_t blockSize =
      filling_ ? std::min(2 * filled[current_].capacity, kLargestArenaBlockSize)
               : kFirstArenaBlockSize;
  // This lane's next number, past every block taken over since; a lane's table has room for all.
  std::vector<Block>& blocks = table_ != nullptr ? table_->blocks_ : blocks_;
  std::size_t number = nextNumber_;
  if (table_ == nullptr && number < blocks.size()) {
    number += (blocks.size() - number + stride_ - 1) / stride_ * stride_;
  }
  if (number >= kMostBlocks) {
    throw std::bad_alloc();
  }
  if (number >= blocks.size()) {
    blocks.resize(number + 1);
  }
  Block& block = blocks[number];
  const std::size_t capacity = std::max(blockSize, size);
  block.data = LargeAllocator<char>().allocate(capacity);
  block.capacity = capacity;
  block.size = 0;
  current_ = number;
  nextNumber_ = number + stride_;
  filling_ = true;
  return block;
}

LineRef TextArena::Place(std::size_t start, std::size_t size) const {
  return (static_cast<LineRef>(current_) << kBlockShift) |
         (static_cast<LineRef>(start) << kOffsetShift) | static_cast<LineRef>(size);
}

LineRef TextArena::Append(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  Block& block = Room(text.size());
  const std::size_t start = block.size;
  std::memcpy(block.data + start, text.data(), text.size());
  block.size += text.size();
  return Place(start, text.size());
}

namespace {

// Characters that may stand in a payload kept without its blanks: hex digits and the blank.
constexpr std::array<bool, 256> kPayloadCharacters = [] {
  std::array<bool, 256> characters{};
  for (int c = 0; c < 256; ++c) {
    characters[static_cast<std::size_t>(c)] = c == ' ' || HexDigitValue(static_cast<char>(c)) >= 0;
  }
  return characters;
}();

}  // namespace

LineRef TextArena::AppendDataLine(std::string_view line, bool isTracelist) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos ||
      line.substr(0, equals).find('C') == std::string_view::npos) {
    return Append(line);
  }
  const std::string_view marker = isTracelist ? "</info>" : "|<CLID::";
  Block& block = Room(line.size());
  const std::size_t start = block.size;
  char* const kept = block.data + start;
  std::memcpy(kept, line.data(), equals + 1);
  char* out = kept + equals + 1;
  std::size_t k = equals + 1;
  // Most payloads are " XX" after " XX": three characters a step while they last.
  while (k + 3 <= line.size() && line[k] == ' ' && HexDigitValue(line[k + 1]) >= 0 &&
         HexDigitValue(line[k + 2]) >= 0) {
    out[0] = line[k + 1];
    out[1] = line[k + 2];
    out += 2;
    k += 3;
  }
  for (; k < line.size(); ++k) {
    const char c = line[k];
    if (!kPayloadCharacters[static_cast<unsigned char>(c)]) {
      if (c == marker.front() && line.substr(k, marker.size()) == marker) {
        break;
      }
      // Not a payload of digits alone: kept as it is, over what was written.
      std::memcpy(kept, line.data(), line.size());
      out = kept + line.size();
      break;
    }
    *out = c;
    out += c != ' ' ? 1 : 0;
  }
  const auto size = static_cast<std::size_t>(out - kept);
  block.size += size;
  return Place(start, size);
}

LineRef TextArena::TakeBlocks(TextArena&& other) {
  const LineRef added = static_cast<LineRef>(blocks_.size()) << kBlockShift;
  if (blocks_.size() + other.blocks_.size() > kMostBlocks) {
    throw std::bad_alloc();
  }
  blocks_.insert(blocks_.end(), other.blocks_.begin(), other.blocks_.end());
  other.blocks_.clear();
  other.filling_ = false;
  return added;
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
  AppendMessage(store, store.dataLineArena.Append(dataLine), gatewayIpIndex, protocol, isIncoming,
                lineNumber, columns, time, file);
}

void AppendMessage(MessageStore& store, LineRef dataLine, std::uint32_t gatewayIpIndex,
                   Protocol protocol, bool isIncoming, std::uint64_t lineNumber,
                   const MessageColumns& columns, MessageTime time, std::uint32_t file) {
  store.msgDataLines.push_back(dataLine);
  store.msgGatewayIps.push_back(gatewayIpIndex);
  store.msgProtocols.push_back(protocol);
  store.msgIsIncoming.push_back(isIncoming);
  store.msgLineNumbers.push_back(lineNumber);
  store.msgFiles.push_back(file);
  store.msgColumns.push_back(columns);
  store.msgTimes.push_back(time);
  store.SetMessageCount(store.MessageCount() + 1);
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
  store.SetMessageCount(count);
}

void MoveMessages(MessageStore& target, MessageStore&& source, LineBlocks lineBlocks) {
  // Everything is allocated first, so that running out of memory leaves the target as it was
  // (but for a new gateway address, which no message names).
  std::vector<std::uint32_t> gateways(source.gatewayIpTexts.size());
  for (std::size_t k = 0; k < gateways.size(); ++k) {
    gateways[k] = InternGatewayIp(target, source.gatewayIpTexts[k]);
  }
  const std::size_t count = target.MessageCount() + source.MessageCount();
  ForEachMessageArray(target, [count](auto& array) { MakeRoom(array, count); });
  if (lineBlocks == LineBlocks::Copied) {
    for (LineRef& line : source.msgDataLines) {
      line = target.dataLineArena.Append(source.dataLineArena.Text(line));
    }
  } else if (lineBlocks == LineBlocks::Taken) {
    const LineRef added = target.dataLineArena.TakeBlocks(std::move(source.dataLineArena));
    for (LineRef& line : source.msgDataLines) {
      line = TextArena::RenumberedRef(line, added);
    }
  }

  // The gateways by the target's numbers; the other arrays as they are.
  for (std::uint32_t& gateway : source.msgGatewayIps) {
    gateway = gateways[gateway];
  }
  ForEachMessageArray(target, source, [](auto& to, const auto& from) {
    to.insert(to.end(), from.begin(), from.end());
  });
  target.SetMessageCount(count);
  if (lineBlocks == LineBlocks::InLane) {
    EmptyForReuse(source);
  } else {
    source = MessageStore();
  }
}

void EmptyForReuse(MessageStore& store) {
  KeepFirstMessages(store, 0);
  store.gatewayIpTexts.resize(1);
  store.gatewayIpIndex.clear();
  InternGatewayIp(store, {});
  store.filePaths.clear();
  store.fileIsTracelist.clear();
  store.dataLineArena = TextArena();
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
