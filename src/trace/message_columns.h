#pragma once

// What the message list reads from the start of a message's payload text, kept per message in
// typed form: computed once when the message is stored, so that the list lines, the filters and
// the export need not read the text again. Every field is exactly what the list's text rules read
// (octet 2 taken whole, digits read until the first character that is not one, a text cut short);
// where those rules yield something these fields cannot hold, a flag sends the message down the
// text rules instead, so that the results stay the same.

#include <cstdint>
#include <string>
#include <string_view>

namespace sigrune {

struct MessageColumns {
  // The call reference digits' value without the call reference flag: the top bit of the octets
  // the digits stand for, bit 8 for two digits (a one-octet reference), bit 16 otherwise.
  std::uint16_t callReferenceValue = 0;
  std::uint8_t protocolDiscriminator = 0;
  std::uint8_t callReferenceLength = 0;  // octet 2 whole
  std::uint8_t messageType = 0;
  // Where the list line's timestamp (TimestampText) stands in the data line, unless it starts
  // too far in to say (kTimestampNotKept).
  std::uint8_t timestampStart = 0;
  std::uint8_t timestampLength = 0;
  // How many call reference digits the list line shows after its "0x": twice the length, or
  // fewer when the text ends first. 0 to 4 unless callReferenceAsText.
  std::uint8_t callReferenceDigits : 3 = 0;
  bool callReferenceFlag : 1 = false;
  bool upperCaseDigits : 1 = false;  // the digits' letters, if any, are upper case
  // A Q.931 header whose every field the decoder reads as here: protocol discriminator 0x08, a
  // call reference of 1 or 2 octets (octet 2 whole) and the message type, all in hex digits.
  bool headerReadable : 1 = false;
  // The list line's call reference digits are not what the fields above give (more than four,
  // a character that is not a hex digit, letters of both cases); the message type is then not
  // kept either. Only for protocol discriminator 0x08.
  bool callReferenceAsText : 1 = false;
  // The list line's timestamp holds "0x", which Selected Call would read in place of the call
  // reference.
  bool timestampHoldsHexMarker : 1 = false;
};
// With the time, 16 bytes per message.
static_assert(sizeof(MessageColumns) == 8);

inline constexpr std::uint8_t kTimestampNotKept = 0xFF;

// The fields of one data line; `timestampText` is its TimestampText, a piece of it.
MessageColumns ReadMessageColumns(std::string_view dataLine, bool isTracelist,
                                  std::string_view timestampText);
// The same from the first kColumnsPrefix characters of the line's PayloadText (or all of them when
// fewer), known already.
inline constexpr std::size_t kColumnsPrefix = 10;
MessageColumns ReadMessageColumnsOfPrefix(std::string_view payloadPrefix, std::string_view dataLine,
                                          std::string_view timestampText);

// The list line's timestamp of the message whose data line and columns these are.
std::string_view KeptTimestamp(std::string_view dataLine, const MessageColumns& columns,
                               bool isTracelist);

// The call reference digits as the list line shows them, flag included.
std::uint16_t ShownCallReference(const MessageColumns& columns);

// Appends the call reference digits of a message without callReferenceAsText, as the list line
// shows them after its "0x".
void AppendCallReferenceDigits(std::string& text, const MessageColumns& columns);

}  // namespace sigrune
