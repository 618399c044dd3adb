#pragma once

// The walk over a message's information elements. The walker alone decides where each element
// starts and ends, which codeset it is read in and where the walk stops; it hands every element it
// reads to a visitor. The decoded text is written by one visitor; code that needs numbers, causes
// or channels reads them from the octets the walk hands over, never from the decoded text.

#include <cstdint>

#include "q931/payload_bytes.h"

namespace sigrune {

enum class ElementKind : std::uint8_t {
  Shift,           // a locking or non-locking shift, 0x90..0x9F
  SingleOctet,     // any other identifier of 0x80 or more
  VariableLength,  // identifier 0x00..0x7F, a length and contents
};

// Where a variable-length element ends. Only an element that ends Inside has all its contents;
// the other two end the walk, so each is the last element visited.
enum class ElementEnd : std::uint8_t {
  Inside,    // its contents end at or before the message's last octet (always so for one octet)
  PastEnd,   // its length runs past the last octet: `contents` holds the octets up to the end
  NoLength,  // its length octet is missing or is the message's last octet: no contents at all
};

struct InformationElement {
  ElementKind kind = ElementKind::SingleOctet;
  int identifier = 0;
  // The codeset the element is read in; for a shift, the locked codeset it shifts from.
  int codeset = 0;
  std::int64_t position = 0;  // of the identifier octet, counted from 1
  // The length the element declares: one octet, or two for the user-user element of H.225 in
  // codeset 0 when that length fits the message (then `lengthOctets` is 2). 0 for a single
  // octet and for NoLength.
  std::int64_t length = 0;
  int lengthOctets = 1;
  ElementEnd end = ElementEnd::Inside;
  OctetView contents;  // after the length octet(s), never beyond the message
};

class ElementVisitor {
 public:
  virtual ~ElementVisitor() = default;
  // Called once per element, in message order. An exception thrown here ends the walk.
  virtual void Visit(const InformationElement& element) = 0;
};

inline bool IsLockingShift(int identifier) {
  return (identifier & 0x08) == 0;
}
inline int ShiftCodeset(int identifier) {
  return identifier & 0x07;
}

// Walks the elements after the message type: from octet (octet 2 AND 0x0F) + 4 to the end of the
// message. Fails with SubscriptOutOfRange when the message has no octet 2.
void WalkInformationElements(const PayloadBytes& bytes, ElementVisitor& visitor);

}  // namespace sigrune
