#pragma once

// What the calls read from one message: its call reference and type, from the typed columns, and
// from its information elements the party numbers and the clearing cause.

#include <cstdint>
#include <optional>
#include <string>

#include "q931/payload_bytes.h"
#include "trace/message_store.h"
#include "trace/q931_codes.h"

namespace sigrune {

inline bool IsClearingType(int type) {
  return type == q931::kDisconnect || type == q931::kRelease || type == q931::kReleaseComplete;
}

struct CallHeader {
  std::uint16_t value = 0;  // without the flag
  std::uint8_t length = 0;  // 1 or 2
  std::uint8_t messageType = 0;
  bool flag = false;
};

// The header of a message that belongs to a call. None for a message that is not Q.931, whose
// call reference length (octet 2 whole) is not 1 or 2, whose header is not all hex digits, that
// is on the global call reference, or that is a RESTART or its acknowledgement.
std::optional<CallHeader> CallHeaderOf(const MessageStore& store, MessageIndex index);

// What to read from a message's elements, and what was read. Only elements in codeset 0 that end
// inside the message count: the digits of the first Calling and Called party number, the value
// of the first Cause element that has one. Kept from message to message, so that the texts keep
// their room.
struct ElementFacts {
  bool wantsCalling = false;
  bool wantsCalled = false;
  bool wantsCause = false;

  std::string calling;
  std::string called;
  int cause = -1;          // -1: none
  int causeLocation = -1;  // of the element the cause came from: bits 4-1 of its octet 3
};

// Reads what `facts` wants, afresh; fails with SubscriptOutOfRange when the message has no octet 2.
void ReadElementFacts(const PayloadBytes& bytes, ElementFacts& facts);

// Whether any Cause element that ReadElementFacts would read holds the value, not only the first,
// in a message whose header the decoder reads: protocol discriminator 0x08, a call reference of 1
// or 2 octets (the low half of octet 2, as the decoder reads it). Fails as ReadElementFacts does.
bool HoldsCauseValue(const PayloadBytes& bytes, int value);

// The digits of a Calling or Called party number's contents: the octets after the first one with
// bit 8 set, each as its low 7 bits, without control characters and DEL.
void AppendPartyDigits(std::string& digits, const OctetView& contents);

// The cause value of a Cause element's contents (octet 3a skipped when present); -1 when the
// contents end first.
int CauseValueOf(const OctetView& contents);

}  // namespace sigrune
