#include "q931/element_walker.h"
#include "trace/q931_codes.h"

namespace sigrune {

namespace {

// The walker's state for one message; nothing lives on between messages.
struct Walk {
  const PayloadBytes& bytes;
  ElementVisitor& visitor;
  std::int64_t count;
  std::int64_t i;  // position of the current element's identifier octet
  int lockedCodeset = 0;
  int activeCodeset = 0;
};

// A shift lasts: a locking one to the end of the message, a non-locking one for the next element
// read in another codeset or the next variable-length element.
void WalkSingleOctet(Walk& walk, int identifier) {
  InformationElement element;
  element.identifier = identifier;
  element.position = walk.i;
  element.length = 0;
  if ((identifier & 0x70) == 0x10) {
    element.kind = ElementKind::Shift;
    element.codeset = walk.lockedCodeset;
    walk.visitor.Visit(element);
    if (IsLockingShift(identifier)) {
      walk.lockedCodeset = ShiftCodeset(identifier);
    }
    walk.activeCodeset = ShiftCodeset(identifier);
  } else {
    element.kind = ElementKind::SingleOctet;
    element.codeset = walk.activeCodeset;
    walk.visitor.Visit(element);
    if (walk.activeCodeset != 0) {
      walk.activeCodeset = walk.lockedCodeset;
    }
  }
  walk.i += 1;
}

void WalkVariableLength(Walk& walk, int identifier) {
  const std::int64_t i = walk.i;
  const std::int64_t count = walk.count;
  InformationElement element;
  element.kind = ElementKind::VariableLength;
  element.identifier = identifier;
  element.codeset = walk.activeCodeset;
  element.position = i;
  walk.activeCodeset = walk.lockedCodeset;
  // The length octet must exist and must not be the last octet: an element of length 0 at the
  // very end counts as out of bounds too.
  if (i + 1 >= count) {
    element.end = ElementEnd::NoLength;
    walk.i = count + 1;
    walk.visitor.Visit(element);
    return;
  }
  element.length = walk.bytes.At(i + 1);
  if (element.length >= count - i) {
    element.end = ElementEnd::PastEnd;
    element.contents = walk.bytes.View(i + 2, count - 1 - i);
    walk.i = count + 1;
    walk.visitor.Visit(element);
    return;
  }
  // H.225 carries the user-user element with a two-octet length.
  const std::int64_t userLength = identifier == q931::kUserUser && element.codeset == 0
                                      ? 256 * element.length + walk.bytes.At(i + 2)
                                      : 0;
  if (identifier == q931::kUserUser && element.codeset == 0 && i + 2 + userLength <= count) {
    element.length = userLength;
    element.lengthOctets = 2;
    element.contents = walk.bytes.View(i + 3, userLength);
    walk.i += 3 + userLength;
  } else {
    element.contents = walk.bytes.View(i + 2, element.length);
    walk.i += 2 + element.length;
  }
  walk.visitor.Visit(element);
}

}  // namespace

void WalkInformationElements(const PayloadBytes& bytes, ElementVisitor& visitor) {
  Walk walk{bytes, visitor, bytes.Count(), (bytes.At(2) & 0x0F) + 4};
  while (walk.i <= walk.count) {
    const int identifier = bytes.At(walk.i);
    if (identifier >= 0x80) {
      WalkSingleOctet(walk, identifier);
    } else {
      WalkVariableLength(walk, identifier);
    }
  }
}

}  // namespace sigrune
