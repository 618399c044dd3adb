#pragma once

// The messages of a trace, kept as parallel arrays in the order read (file after file). Index k
// holds message number k + 1: users and the list count messages from 1, the arrays from 0.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "trace/large_allocator.h"
#include "trace/message_columns.h"
#include "trace/message_time.h"

namespace sigrune {

enum class Protocol : std::uint8_t { None, Pri, H225 };

// "PRI", "H225", or the empty text of a message without a header line.
std::string_view ProtocolText(Protocol protocol);

// Holds the bytes of the data lines in large blocks: one load makes few allocations, and a stored
// line never moves (a block is never filled beyond its capacity), so views into it stay valid
// when the store itself is moved.
class TextArena {
 public:
  std::string_view Append(std::string_view text);
  // Takes over the other arena's blocks, whose lines stay where they are.
  void TakeBlocks(TextArena&& other);

 private:
  std::vector<LargeVector<char>> blocks_;
};

struct MessageStore {
  MessageStore();
  MessageStore(MessageStore&&) = default;
  MessageStore& operator=(MessageStore&&) = default;
  // The data line views point into this store's arena, so a copy would share them.
  MessageStore(const MessageStore&) = delete;
  MessageStore& operator=(const MessageStore&) = delete;

  std::size_t msgCount = 0;

  // The whole data line of each message, exactly as read, without its line break.
  LargeVector<std::string_view> msgDataLines;
  // Index into gatewayIpTexts of each message's gateway address; 0 is the empty address.
  LargeVector<std::uint32_t> msgGatewayIps;
  LargeVector<Protocol> msgProtocols;
  LargeVector<bool> msgIsIncoming;
  // 1-based line of each message's header line in its own file; 0 when it had none.
  LargeVector<std::uint64_t> msgLineNumbers;
  // The file of each message: an index into filePaths.
  LargeVector<std::uint32_t> msgFiles;
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

// Appends one message; the data line is copied into the store. The columns and time are the ones
// read from the data line (ReadMessageColumns, ParseMessageTime).
void AppendMessage(MessageStore& store, std::string_view dataLine, std::uint32_t gatewayIpIndex,
                   Protocol protocol, bool isIncoming, std::uint64_t lineNumber,
                   const MessageColumns& columns, MessageTime time, std::uint32_t file = 0);

// Whether the message comes from a <Tracelist> document.
inline bool IsTracelist(const MessageStore& store, std::size_t index) {
  const std::uint32_t file = store.msgFiles[index];
  return file < store.fileIsTracelist.size() && store.fileIsTracelist[file];
}

// Makes room in every array for this many messages in all.
void ReserveMessages(MessageStore& store, std::size_t messages);

// Whether moved messages' data lines stay in the blocks they were read into (a whole file's),
// or are copied into the target's (a few lines, which a block of their own would waste).
enum class LineBlocks { Taken, Copied };

// Moves the messages of `source` to the end of `target`, their file indexes as they are; their
// gateways are interned in target's table. Running out of memory leaves the target's messages
// as they were.
void MoveMessages(MessageStore& target, MessageStore&& source, LineBlocks lineBlocks);

// Forgets the messages after the first `count`.
void KeepFirstMessages(MessageStore& store, std::size_t count);

// The whole data line of the message, exactly as read; read through here, so that the store may
// keep its lines in another form.
inline std::string_view DataLine(const MessageStore& store, std::size_t index) {
  return store.msgDataLines[index];
}

// The start of the day of the trace's first timed message, on which a typed time of day is read
// (ParseTypedTime); kNoTime when no message has a time.
MessageTime TraceDayStart(const MessageStore& store);

inline std::string_view GatewayIp(const MessageStore& store, std::size_t index) {
  return store.gatewayIpTexts[store.msgGatewayIps[index]];
}

}  // namespace sigrune
