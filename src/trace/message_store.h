#pragma once

// The messages of a trace, kept as parallel arrays in the order read (file after file). Index k
// holds message number k + 1: users and the list count messages from 1, the arrays from 0.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "trace/message_columns.h"
#include "trace/message_files.h"
#include "trace/message_lines.h"
#include "trace/message_number.h"
#include "trace/message_time.h"
#include "util/large_allocator.h"

namespace sigrune {

enum class Protocol : std::uint8_t { None, Pri, H225 };

// "PRI", "H225", or the empty text of a message without a header line.
std::string_view ProtocolText(Protocol protocol);

// A data line's place in its store's TextArena: block number, offset and length in 64 bits, half
// of what a view takes.
using LineRef = std::uint64_t;

// What a packed data line is rebuilt from besides its time and octets. Shapes are shared by every
// store, so that a record reads the same in whichever store or lane it is moved or copied to; a
// trace has a handful, and their number is capped.
struct LineShape {
  std::string before;  // the line's text before its timestamp
  std::string after;   // from the end of its timestamp to its first "=" included
  bool monthFirst = false;
  std::uint8_t fractionDigits = 0;
};

// A data line as the store keeps it (see DataLine): its text, or a shape, the case of its hex
// digits and its octets, the time coming from the message's.
struct KeptLine {
  const LineShape* shape = nullptr;  // none: `text` is the line
  bool upperCase = false;
  std::string_view text;  // or the octets

  std::span<const std::uint8_t> Octets() const {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
  }
};

// Holds the bytes of the data lines in large blocks: one load makes few allocations, and a stored
// line never moves (a block is never filled beyond its capacity), so its place stays valid when the
// store itself is moved.
class TextArena {
 public:
  // The longest text a block holds, and so the longest that can be kept: a line the reader keeps
  // and the record's tag.
  static constexpr std::size_t kLongestText = (std::size_t{1} << 24) + 2;

  TextArena() = default;
  // A lane of `table`'s: an arena filled on one of `stride` threads at once, whose blocks are
  // numbered lane, lane + stride, lane + 2 stride... in the table's numbers, so that the lines of
  // every lane can be read through the table (once the thread filling them says so) without a
  // line moving or being renumbered. The table must have ShareWithLanes() first, and outlives the
  // lane; it owns the blocks.
  TextArena(TextArena& table, std::uint32_t lane, std::uint32_t stride)
      : table_(&table), nextNumber_(lane), stride_(stride) {}
  TextArena(TextArena&& other) noexcept;
  TextArena& operator=(TextArena&& other) noexcept;
  TextArena(const TextArena&) = delete;
  TextArena& operator=(const TextArena&) = delete;
  ~TextArena();

  // Makes room for the numbers of every lane at once, so that lanes fill it without moving it.
  void ShareWithLanes();
  // Once the lanes are done: the room past their last block goes.
  void LanesDone();

  LineRef Append(std::string_view text);
  // A data line in the form the store keeps it (see DataLine), from the line as read, its
  // TimestampText (a piece of it) and time.
  LineRef AppendDataLine(std::string_view line, bool isTracelist, std::string_view timestamp,
                         MessageTime time);
  // A data line kept as it is.
  LineRef AppendTextLine(std::string_view line);
  std::string_view Text(LineRef ref) const {
    const std::size_t size = ref & kSizeMask;
    if (size == 0) {
      return {};
    }
    const std::vector<Block>& blocks = table_ != nullptr ? table_->blocks_ : blocks_;
    return {blocks[ref >> kBlockShift].data + ((ref >> kOffsetShift) & kOffsetMask), size};
  }

  // Takes over the other arena's blocks, numbered after this one's; returns what the other's
  // line places need added to stay valid (RenumberedRef).
  LineRef TakeBlocks(TextArena&& other);
  static LineRef RenumberedRef(LineRef ref, LineRef added) { return ref == 0 ? 0 : ref + added; }

 private:
  struct Block {
    char* data = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
  };
  static constexpr unsigned kOffsetShift = 25;
  static constexpr unsigned kBlockShift = 49;
  static constexpr LineRef kSizeMask = (LineRef{1} << kOffsetShift) - 1;
  static constexpr LineRef kOffsetMask = (LineRef{1} << (kBlockShift - kOffsetShift)) - 1;
  static constexpr std::size_t kMostBlocks = std::size_t{1} << (64 - kBlockShift);

  // Room for `size` more characters in the block being filled.
  Block& Room(std::size_t size);
  // The shape of a line whose text before its "=" is `head`; 0 when it has none that can be kept.
  std::uint32_t ShapeOf(std::string_view head, std::string_view timestamp, MessageTime time);
  LineRef Place(std::size_t start, std::size_t size) const;
  void Release();

  std::vector<Block> blocks_;   // by number; the numbers of lanes not filled yet are empty
  TextArena* table_ = nullptr;  // a lane's, whose blocks_ it fills
  std::size_t current_ = 0;     // the block being filled, when filling_
  std::size_t nextNumber_ = 0;  // of this lane's next block
  bool filling_ = false;
  std::size_t stride_ = 1;
  // The shapes found last, and their numbers: a trace's lines take turns among a few.
  static constexpr std::size_t kRecentShapes = 4;
  std::array<const LineShape*, kRecentShapes> recentShapes_{};
  std::array<std::uint32_t, kRecentShapes> recentShapeNumbers_{};
  std::size_t nextRecentShape_ = 0;
};

struct MessageStore {
  MessageStore();
  MessageStore(MessageStore&&) = default;
  MessageStore& operator=(MessageStore&&) = default;
  // The data line views point into this store's arena, so a copy would share them.
  MessageStore(const MessageStore&) = delete;
  MessageStore& operator=(const MessageStore&) = delete;

  std::size_t MessageCount() const { return count_; }
  // Only by what fills or trims the arrays, in step with them.
  void SetMessageCount(std::size_t count) { count_ = count; }

  // The data line of each message in dataLineArena (read through DataLine).
  LargeVector<LineRef> msgDataLines;
  // Index into gatewayIpTexts of each message's gateway address; 0 is the empty address.
  LargeVector<std::uint32_t> msgGatewayIps;
  LargeVector<Protocol> msgProtocols;
  LargeVector<bool> msgIsIncoming;
  // 1-based line of each message's header line in its own file; 0 when it had none.
  MessageLines msgLineNumbers;
  // The file of each message: an index into filePaths.
  MessageFiles msgFiles;
  // What the list reads from each message's payload and timestamp, computed when it is stored.
  LargeVector<MessageColumns> msgColumns;
  LargeVector<MessageTime> msgTimes;

  // The files the trace was read from, in reading order (by the time of each one's first timed
  // message); one for a single file, whose path is empty when read from a descriptor.
  std::vector<std::string> filePaths;
  // Whether the first line of each file held "<Tracelist>".
  std::vector<bool> fileIsTracelist;

  // The distinct gateway addresses in dotted decimal form; a trace has only a few.
  std::vector<std::string> gatewayIpTexts;
  std::unordered_map<std::string, std::uint32_t> gatewayIpIndex;
  TextArena dataLineArena;

 private:
  std::size_t count_ = 0;
};

// The per-message arrays, so that what is done to all of them names each once.
inline constexpr std::tuple kMessageArrays{
    &MessageStore::msgDataLines,  &MessageStore::msgGatewayIps,  &MessageStore::msgProtocols,
    &MessageStore::msgIsIncoming, &MessageStore::msgLineNumbers, &MessageStore::msgFiles,
    &MessageStore::msgColumns,    &MessageStore::msgTimes};

// Calls `function` with each per-message array of the store, or with the same array of two.
template <typename Function>
void ForEachMessageArray(MessageStore& store, Function&& function) {
  std::apply([&](auto... array) { (function(store.*array), ...); }, kMessageArrays);
}
template <typename Function>
void ForEachMessageArray(MessageStore& store, const MessageStore& other, Function&& function) {
  std::apply([&](auto... array) { (function(store.*array, other.*array), ...); }, kMessageArrays);
}

// Index of the dotted address in store.gatewayIpTexts, adding it when new.
std::uint32_t InternGatewayIp(MessageStore& store, std::string_view dottedAddress);

// Appends one message; the data line is kept as it is. The columns and time are
// the ones read from the data line (ReadMessageColumns, ParseMessageTime).
void AppendMessage(MessageStore& store, std::string_view dataLine, std::uint32_t gatewayIpIndex,
                   Protocol protocol, bool isIncoming, std::uint64_t lineNumber,
                   const MessageColumns& columns, MessageTime time, std::uint32_t file = 0);
// The same with the line already in an arena (the store's own, or a lane that joins it), or a
// record of another store's (RecordOf).
void AppendMessage(MessageStore& store, LineRef dataLine, std::uint32_t gatewayIpIndex,
                   Protocol protocol, bool isIncoming, std::uint64_t lineNumber,
                   const MessageColumns& columns, MessageTime time, std::uint32_t file);

// Whether the message comes from a <Tracelist> document.
inline bool IsTracelist(const MessageStore& store, MessageIndex index) {
  const std::uint32_t file = store.msgFiles[index.value];
  return file < store.fileIsTracelist.size() && store.fileIsTracelist[file];
}

// Makes room in every array for this many messages in all.
void ReserveMessages(MessageStore& store, std::size_t messages);

// Whether moved messages' data lines stay in the blocks they were read into (a whole file's),
// or are copied into the target's (a few lines, which a block of their own would waste). Moved
// without either, the source's lines are in a lane that the target takes later.
enum class LineBlocks { Taken, Copied, InLane };

// Moves the messages of `source` to the end of `target`, their file indexes as they are; their
// gateways are interned in target's table. Running out of memory leaves the target's messages
// as they were. A source whose lines are in a lane is left empty with its arrays' room, for the
// next piece its thread reads.
void MoveMessages(MessageStore& target, MessageStore&& source, LineBlocks lineBlocks);

// No messages, gateways or files, the arrays' room kept.
void EmptyForReuse(MessageStore& store);

// Forgets the messages after the first `count`.
void KeepFirstMessages(MessageStore& store, std::size_t count);

// The message's record in its store's arena, as another store's AppendMessage copies it.
inline std::string_view RecordOf(const MessageStore& store, MessageIndex index) {
  return store.dataLineArena.Text(store.msgDataLines[index.value]);
}

// The message's data line as the store keeps it.
KeptLine ReadKeptLine(const MessageStore& store, MessageIndex index);
// The first `limit` characters of the payload text of a packed record, into `prefix`; how many
// there are, or -1 for a record kept as text.
std::ptrdiff_t PackedPayloadPrefix(std::string_view record, char* prefix, std::size_t limit);

// The data line of the message as every output reads it. A line read from a trace whose payload
// is hex digits and blanks alone, after a "C" (which ends the timestamp) and a "=", reads without
// the blanks of the payload and without the end marker and what follows: the payload's octets,
// their case, the timestamp and every column read the same from it. Any other line reads exactly
// as read. Rebuilt when packed: the outputs that run over every message read ReadKeptLine.
std::string DataLine(const MessageStore& store, MessageIndex index);
// Its length, without building it.
std::size_t DataLineSize(const MessageStore& store, MessageIndex index);

// The list line's timestamp of the message, rebuilt into `room` when the line is packed.
std::string_view KeptTimestamp(const MessageStore& store, MessageIndex index,
                               std::array<char, 30>& room);

// The start of the day of the trace's first timed message, on which a typed time of day is read
// (ParseTypedTime); kNoTime when no message has a time.
MessageTime TraceDayStart(const MessageStore& store);

inline std::string_view GatewayIp(const MessageStore& store, MessageIndex index) {
  return store.gatewayIpTexts[store.msgGatewayIps[index.value]];
}

}  // namespace sigrune
