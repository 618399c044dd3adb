#pragma once

// The one-line summary of a message in the message list. Its columns are read back by the filters
// and the export, so the layout is kept exactly: timestamp and padding, gateway, direction,
// protocol, message type and, for a Q.931 message, the call reference.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "trace/message_store.h"
#include "trace/message_types.h"

namespace sigrune {

// The message's octets as hexadecimal text: the data line after its first "=", cut before the
// first end marker ("</info>" in a Tracelist trace, "|<CLID::" otherwise), with every blank
// removed.
std::string PayloadText(std::string_view dataLine, bool isTracelist);
// The same with its blanks.
std::string_view PayloadTextWithBlanks(std::string_view dataLine, bool isTracelist);

// The first `limit` characters of PayloadText, without building the rest.
std::string_view PayloadTextPrefix(std::string_view dataLine, bool isTracelist, std::size_t limit,
                                   std::string& buffer);
// The same into `prefix`, which holds `limit` characters; returns how many it got.
std::size_t CopyPayloadTextPrefix(std::string_view dataLine, bool isTracelist, char* prefix,
                                  std::size_t limit);

// The timestamp column's text before padding: the text before the first "C", trimmed, empty
// unless it holds a ":", and shortened to 30 characters at most.
std::string_view TimestampText(std::string_view dataLine, bool isTracelist);

// The timestamp piece of a text longer than 30 characters: inside <Date>...</Date> in a Tracelist
// trace, otherwise the date-and-time (or time-of-day) run in it; never more than 30 characters.
std::string_view ShortenTimestamp(std::string_view text, bool isTracelist);

// The columns of a summary line, each without the blanks and tabs that lay the line out.
struct SummaryFields {
  SummaryFields() = default;
  SummaryFields(const SummaryFields& other) { *this = other; }
  // A copy's timestamp is a piece of its own room when the original's was of the original's.
  SummaryFields& operator=(const SummaryFields& other);

  std::string_view timestamp;  // a piece of the data line, or of timestampRoom
  std::string_view gatewayIp;
  std::string_view direction;     // "In" or "Out"
  std::string_view protocol;      // "PRI", "H225" or empty
  std::string_view messageType;   // the padded name, "SERVICE" or "UNSUPPORTED MESSAGE"
  bool hasCallReference = false;  // a Q.931 message: the line ends in "0x" and the digits
  std::string callReferenceDigits;
  std::array<char, 30> timestampRoom{};  // the timestamp of a packed line, rebuilt
};

SummaryFields BuildSummaryFields(std::string_view dataLine, bool isIncoming,
                                 std::string_view protocol, std::string_view gatewayIp,
                                 bool isTracelist);
// The same from the store's columns (the text rules above only for what the columns cannot hold).
SummaryFields BuildSummaryFields(const MessageStore& store, MessageIndex index);

// Lays the fields out: timestamp and padding, gateway, direction, protocol, message type and call
// reference, with the tabs and blanks of the list.
void AppendSummaryLine(std::string& line, const SummaryFields& fields);

void AppendSummaryLine(std::string& line, std::string_view dataLine, bool isIncoming,
                       std::string_view protocol, std::string_view gatewayIp, bool isTracelist);
std::string BuildSummaryLine(std::string_view dataLine, bool isIncoming, std::string_view protocol,
                             std::string_view gatewayIp, bool isTracelist);

// The summary line of the message at `index` (message number index + 1).
void AppendSummaryLine(std::string& line, const MessageStore& store, MessageIndex index);
std::string BuildSummaryLine(const MessageStore& store, MessageIndex index);

// The summary line of the message at `index` up to its first tab: the timestamp, its padding and
// the gateway, unless the timestamp holds a tab itself.
void AppendTimestampAndGateway(std::string& text, const MessageStore& store, MessageIndex index);

// Where RebuildMessageList puts the lines: the command line's output, or a test's list.
class MessageListSink {
 public:
  virtual ~MessageListSink() = default;
  virtual void AddItem(std::string_view line) = 0;
};

// Appends the summary line of every stored message, in store order.
void RebuildMessageList(const MessageStore& store, MessageListSink& list);

}  // namespace sigrune
