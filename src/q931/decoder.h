#pragma once

// The Q.931 decoder: a message's octets in, readable text out. The decoded text is a string of
// lines ending in CR LF: the header line, then one line (or a few) per information element.
// Every function here may throw SubscriptOutOfRange.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "q931/payload_bytes.h"
#include "trace/message_store.h"

namespace sigrune {

// The whole decoded text: the header line and the element lines, or the one-line text for a
// protocol discriminator other than 0x08, or empty for a call reference length other than 1 or 2.
std::string DecodeMessage(const PayloadBytes& bytes);
// The same appended to `text`, which keeps its room from one message to the next. When it throws,
// `text` may hold part of the decoded text, for the caller to drop.
void AppendDecodedMessage(std::string& text, const PayloadBytes& bytes);

// Takes each piece of a decoded text; false declines the rest.
using DecodedTextPieces = std::function<bool(std::string_view piece)>;
inline constexpr std::size_t kDecodedTextPieceSize = 1 << 16;

// DecodeMessage's text handed over in pieces of about kDecodedTextPieceSize as it is written, so
// that a message of millions of elements never sits in memory whole, and its reader can stop it.
// Throws as DecodeMessage does, possibly after some pieces were handed over; false when declined.
bool DecodeMessageInPieces(const PayloadBytes& bytes, const DecodedTextPieces& pieces);
// The same with the pieces written in `buffer`, which keeps its room from one message to the next.
bool DecodeMessageInPieces(const PayloadBytes& bytes, const DecodedTextPieces& pieces,
                           std::string& buffer);

// Appends "SETUP, pd = 8, callref = 0x0001" and CR LF to `text`; false, with nothing appended,
// for a call reference length other than 1 or 2.
bool AppendHeader(std::string& text, const PayloadBytes& bytes);

// The "Entire Message: " dump shown under the decoded text, sixteen octets a row.
std::string DumpMessageHex(const PayloadBytes& bytes);

// The octets of a stored message, from its data line's payload text.
PayloadBytes PayloadBytesOfMessage(const MessageStore& store, MessageIndex index);
// The same into `bytes`, which keeps its room from one message to the next.
void ReadPayloadBytesOfMessage(const MessageStore& store, MessageIndex index, PayloadBytes& bytes);

// The decoded text of a stored message.
std::string DecodeStoredMessage(const MessageStore& store, MessageIndex index);

}  // namespace sigrune
