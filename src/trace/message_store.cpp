#include "trace/message_store.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>

#include "trace/hex_digits.h"

namespace sigrune {

namespace {
// Blocks grow from small to large, so that a small trace stays small.
constexpr std::size_t kFirstArenaBlockSize = 64u << 10;
constexpr std::size_t kLargestArenaBlockSize = 16u << 20;

// A record starts with its tag: 0 for a line kept as text, otherwise the shape's number and the
// case bit, (shape << 1 | upper), in one octet below 0x80 or two (0x80 | high, low).
constexpr std::uint32_t kMostShapes = 0x7FFF >> 1;
constexpr std::size_t kLongestTag = 2;
// Longer texts around a timestamp are kept as text: the table stays small whatever the trace.
constexpr std::size_t kLongestShape = 200;

class ShapeTable {
 public:
  // The shape's number, adding it when new; 0 when the table is full.
  std::uint32_t Intern(std::string_view before, std::string_view after, bool monthFirst,
                       std::uint8_t fractionDigits) {
    std::string key;
    key.reserve(3 + before.size() + after.size());
    key += static_cast<char>(monthFirst);
    key += static_cast<char>(fractionDigits);
    key += static_cast<char>(before.size());
    key += before;
    key += after;
    const std::lock_guard lock(mutex_);
    if (const auto found = ids_.find(key); found != ids_.end()) {
      return found->second;
    }
    if (kept_.size() >= kMostShapes) {
      return 0;
    }
    kept_.push_back(LineShape{std::string(before), std::string(after), monthFirst, fractionDigits});
    const auto id = static_cast<std::uint32_t>(kept_.size());
    shapes_[id].store(&kept_.back(), std::memory_order_release);
    ids_.emplace(std::move(key), id);
    return id;
  }

  const LineShape* At(std::uint32_t id) const {
    return id <= kMostShapes ? shapes_[id].load(std::memory_order_acquire) : nullptr;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::uint32_t> ids_;
  std::deque<LineShape> kept_;  // never moves what it holds
  std::array<std::atomic<const LineShape*>, kMostShapes + 1> shapes_{};
};

// Never destroyed: a thread still reading at exit finds it whole.
ShapeTable& Shapes() {
  static ShapeTable& table = *new ShapeTable;
  return table;
}

std::size_t WriteTag(char* to, std::uint32_t shape, bool upperCase) {
  const std::uint32_t value = shape << 1 | (upperCase ? 1 : 0);
  if (value < 0x80) {
    to[0] = static_cast<char>(value);
    return 1;
  }
  to[0] = static_cast<char>(0x80 | value >> 8);
  to[1] = static_cast<char>(value & 0xFF);
  return 2;
}

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

// Each character's value as a hex digit, with 0x10 for a to f, 0x20 for A to F, and 0x40 for any
// character that is no digit: one load tells all that packing a payload needs.
constexpr unsigned kLowerLetter = 0x10;
constexpr unsigned kUpperLetter = 0x20;
constexpr unsigned kNoDigit = 0x40;
constexpr std::array<unsigned char, 256> kDigitCells = [] {
  std::array<unsigned char, 256> cells{};
  for (int c = 0; c < 256; ++c) {
    const int value = HexDigitValue(static_cast<char>(c));
    cells[static_cast<std::size_t>(c)] =
        static_cast<unsigned char>(value < 0 ? kNoDigit
                                             : value | (c >= 'a'   ? kLowerLetter
                                                        : c >= 'A' ? kUpperLetter
                                                                   : 0));
  }
  return cells;
}();

unsigned DigitCell(char c) {
  return kDigitCells[static_cast<unsigned char>(c)];
}

}  // namespace

LineRef TextArena::AppendTextLine(std::string_view line) {
  if (line.empty()) {
    return 0;
  }
  Block& block = Room(1 + line.size());
  const std::size_t start = block.size;
  block.data[start] = 0;
  std::memcpy(block.data + start + 1, line.data(), line.size());
  block.size += 1 + line.size();
  return Place(start, 1 + line.size());
}

std::uint32_t TextArena::ShapeOf(std::string_view head, std::string_view timestamp,
                                 MessageTime time) {
  if (timestamp.empty()) {
    return 0;
  }
  // Where the columns keep it too (KeptTimestamp reads a text line's from them).
  const auto start = static_cast<std::size_t>(timestamp.data() - head.data());
  const std::size_t length = timestamp.size();
  // ParseMessageTime reads 19 characters and a fraction of 1 to 9 digits, which FormatMessageTime
  // writes back the same.
  if (time == kNoTime || start >= kTimestampNotKept || length < 19 || length > kLongestTimeText ||
      length == 20 || start + length + 2 > head.size() || head.size() - length > kLongestShape) {
    return 0;  // (a "C" stands between the timestamp and the "=")
  }
  const std::string_view before = head.substr(0, start);
  const std::string_view after = head.substr(start + length);
  const bool monthFirst = head[start + 2] == '/';
  const auto fractionDigits = static_cast<std::uint8_t>(length == 19 ? 0 : length - 20);
  for (std::size_t k = 0; k < kRecentShapes; ++k) {
    const LineShape* const shape = recentShapes_[k];
    // The texts differ most often in their last characters ("IsdnMsgData1=", "...2=").
    if (shape != nullptr && shape->after.size() == after.size() &&
        shape->after.back() == after.back() &&
        shape->after[after.size() - 2] == after[after.size() - 2] &&
        shape->monthFirst == monthFirst && shape->fractionDigits == fractionDigits &&
        shape->before == before && shape->after == after) {
      return recentShapeNumbers_[k];
    }
  }
  const std::uint32_t number = Shapes().Intern(before, after, monthFirst, fractionDigits);
  if (number != 0) {
    recentShapes_[nextRecentShape_] = Shapes().At(number);
    recentShapeNumbers_[nextRecentShape_] = number;
    nextRecentShape_ = (nextRecentShape_ + 1) % kRecentShapes;
  }
  return number;
}

LineRef TextArena::AppendDataLine(std::string_view line, bool isTracelist,
                                  std::string_view timestamp, MessageTime time) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos ||
      line.substr(0, equals).find('C') == std::string_view::npos) {
    return AppendTextLine(line);
  }
  const std::string_view marker = isTracelist ? "</info>" : "|<CLID::";
  const std::uint32_t shape = ShapeOf(line.substr(0, equals + 1), timestamp, time);
  if (shape != 0) {
    // The octets, read as the kept text would be: digits in pairs whatever the blanks between.
    Block& block = Room(kLongestTag + line.size() / 2);
    char* const record = block.data + block.size;
    char tag[kLongestTag];
    const std::size_t tagSize = WriteTag(tag, shape, false);
    auto* out = reinterpret_cast<unsigned char*>(record + tagSize);
    std::size_t k = equals + 1;
    // Most payloads are " XX" after " XX": three characters a step while they last.
    unsigned cells = 0;  // the letters seen, in kLowerLetter and kUpperLetter
    while (k + 3 <= line.size() && line[k] == ' ') {
      const unsigned high = DigitCell(line[k + 1]);
      const unsigned low = DigitCell(line[k + 2]);
      if (((high | low) & kNoDigit) != 0) {
        break;
      }
      cells |= high | low;
      *out++ = static_cast<unsigned char>((high & 0x0F) << 4 | (low & 0x0F));
      k += 3;
    }
    unsigned pending = kNoDigit;  // a first digit waiting for its second
    bool packed = true;
    for (; k < line.size(); ++k) {
      const char c = line[k];
      if (c == ' ') {
        continue;
      }
      const unsigned cell = DigitCell(c);
      if ((cell & kNoDigit) != 0) {
        packed = c == marker.front() && line.substr(k, marker.size()) == marker;
        break;
      }
      cells |= cell;
      if (pending == kNoDigit) {
        pending = cell;
      } else {
        *out++ = static_cast<unsigned char>((pending & 0x0F) << 4 | (cell & 0x0F));
        pending = kNoDigit;
      }
    }
    const unsigned letters = cells & (kLowerLetter | kUpperLetter);
    if (packed && pending == kNoDigit && letters != (kLowerLetter | kUpperLetter)) {
      WriteTag(record, shape, letters == kUpperLetter);
      const auto size = static_cast<std::size_t>(reinterpret_cast<char*>(out) - record);
      const std::size_t start = block.size;
      block.size += size;
      return Place(start, size);
    }
  }
  // Kept as text: without the payload's blanks when it is digits and blanks alone.
  Block& block = Room(1 + line.size());
  const std::size_t start = block.size;
  char* const kept = block.data + start + 1;
  block.data[start] = 0;
  std::memcpy(kept, line.data(), equals + 1);
  char* out = kept + equals + 1;
  for (std::size_t k = equals + 1; k < line.size(); ++k) {
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
  const auto size = static_cast<std::size_t>(out - kept) + 1;
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
  AppendMessage(store, store.dataLineArena.AppendTextLine(dataLine), gatewayIpIndex, protocol,
                isIncoming, lineNumber, columns, time, file);
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

template <typename Vector>
void AppendArray(Vector& to, const Vector& from) {
  to.insert(to.end(), from.begin(), from.end());
}

void AppendArray(MessageFiles& to, const MessageFiles& from) {
  to.Append(from);
}

void AppendArray(MessageLines& to, const MessageLines& from) {
  to.Append(from);
}

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
  ForEachMessageArray(target, source, [](auto& to, const auto& from) { AppendArray(to, from); });
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

KeptLine ReadKeptLine(const MessageStore& store, MessageIndex index) {
  const std::string_view record = RecordOf(store, index);
  if (record.empty()) {
    return {};
  }
  const auto tag = static_cast<unsigned char>(record[0]);
  if (tag == 0) {
    return {nullptr, false, record.substr(1)};
  }
  std::uint32_t value = tag;
  std::size_t tagSize = 1;
  if (tag >= 0x80) {
    if (record.size() < 2) {
      return {};
    }
    value = (tag & 0x7Fu) << 8 | static_cast<unsigned char>(record[1]);
    tagSize = 2;
  }
  const LineShape* shape = Shapes().At(value >> 1);
  if (shape == nullptr) {
    return {};
  }
  return {shape, (value & 1) != 0, record.substr(tagSize)};
}

std::ptrdiff_t PackedPayloadPrefix(std::string_view record, char* prefix, std::size_t limit) {
  if (record.empty() || record[0] == 0) {
    return -1;
  }
  const std::size_t tagSize = static_cast<unsigned char>(record[0]) >= 0x80 ? 2 : 1;
  if (record.size() < tagSize) {
    return -1;
  }
  const unsigned value = static_cast<unsigned char>(record[tagSize - 1]);
  const char* const digits = (value & 1) != 0 ? "0123456789ABCDEF" : "0123456789abcdef";
  std::size_t size = 0;
  for (std::size_t k = tagSize; k < record.size() && size < limit; ++k) {
    const auto octet = static_cast<unsigned char>(record[k]);
    prefix[size++] = digits[octet >> 4];
    if (size < limit) {
      prefix[size++] = digits[octet & 0x0F];
    }
  }
  return static_cast<std::ptrdiff_t>(size);
}

namespace {

std::size_t TimeTextSize(const LineShape& shape) {
  return 19 + (shape.fractionDigits == 0 ? 0 : 1 + shape.fractionDigits);
}

}  // namespace

std::string DataLine(const MessageStore& store, MessageIndex index) {
  const KeptLine kept = ReadKeptLine(store, index);
  if (kept.shape == nullptr) {
    return std::string(kept.text);
  }
  std::string line;
  line.reserve(DataLineSize(store, index));
  line += kept.shape->before;
  char time[kLongestTimeText];
  line.append(time, FormatMessageTime(store.msgTimes[index.value], kept.shape->monthFirst,
                                      kept.shape->fractionDigits, time));
  line += kept.shape->after;
  const char* const digits = kept.upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
  for (const std::uint8_t octet : kept.Octets()) {
    const char pair[2] = {digits[octet >> 4], digits[octet & 0x0F]};
    line.append(pair, 2);
  }
  return line;
}

std::size_t DataLineSize(const MessageStore& store, MessageIndex index) {
  const KeptLine kept = ReadKeptLine(store, index);
  if (kept.shape == nullptr) {
    return kept.text.size();
  }
  return kept.shape->before.size() + TimeTextSize(*kept.shape) + kept.shape->after.size() +
         2 * kept.text.size();
}

std::string_view KeptTimestamp(const MessageStore& store, MessageIndex index,
                               std::array<char, 30>& room) {
  const KeptLine kept = ReadKeptLine(store, index);
  if (kept.shape == nullptr) {
    return KeptTimestamp(kept.text, store.msgColumns[index.value], IsTracelist(store, index));
  }
  return {room.data(), FormatMessageTime(store.msgTimes[index.value], kept.shape->monthFirst,
                                         kept.shape->fractionDigits, room.data())};
}

}  // namespace sigrune
