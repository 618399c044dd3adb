// The decoder entry, the information-element walker and the hex dump.

#include <string>

#include "q931/decoder.h"
#include "q931/element_decoders.h"
#include "q931/element_names.h"

namespace sigrune {

namespace {

// The walker's state for one message; nothing lives on between messages.
struct Walk {
  const PayloadBytes& bytes;
  std::int64_t count;
  std::int64_t i;  // position of the current element's identifier octet
  int lockedCodeset = 0;
  int activeCodeset = 0;
  int lastIdentifier = 0;  // the last variable-length element read in codeset 0
  std::string text;
};

void AppendDecimal(std::string& text, std::int64_t value) {
  text += std::to_string(value);
}

void WalkShift(Walk& walk, int identifier) {
  const int codeset = identifier & 0x07;
  const bool locking = (identifier & 0x08) == 0;
  if (locking) {
    walk.text += "Locking ";
  }
  walk.text += "Shift to CodeSet ";
  AppendDecimal(walk.text, codeset);
  if (locking) {
    if (codeset <= walk.lockedCodeset) {
      walk.text += "   Decode Error: shift from codeset ";
      AppendDecimal(walk.text, walk.lockedCodeset);
      walk.text += " to ";
      AppendDecimal(walk.text, codeset);
    }
    walk.lockedCodeset = codeset;
  }
  walk.activeCodeset = codeset;
}

void AppendSingleOctetElement(std::string& text, int identifier) {
  if (identifier == 0xA0) {
    text += "More Data";
  } else if (identifier == 0xA1) {
    text += "Sending Complete";
  } else if (identifier <= 0x8F) {
    // No blank before the "0x": 0x85 reads "RESERVED = 50x85".
    text += "RESERVED = ";
    AppendDecimal(text, identifier & 0x0F);
    text += "0x";
    AppendByteToHex(text, identifier);
  } else if ((identifier & 0xF0) == 0xB0) {
    const int level = identifier & 0x0F;
    text += "Congestion Level = 0x";
    AppendByteToHex(text, level);
    if (level == 0x00) {
      text += " (receiver ready)";
    } else if (level == 0x0F) {
      text += " (receiver not ready)";
    } else {
      text += " (Error: reserved value ";
      AppendByteToHex(text, identifier);
      text += ")";
    }
  } else if ((identifier & 0xF0) == 0xD0) {
    // The value is written in decimal after its "0x": 0xDB reads "Repeat Indicator = 0x11".
    const int indicator = identifier & 0x0F;
    text += "Repeat Indicator = 0x";
    AppendDecimal(text, indicator);
    text += indicator == 2 ? " (Prioritized list for selecting one possibility)"
                           : " (Error: reserved value)";
  } else {
    text += "IE 0x";
    AppendByteToHex(text, identifier);
  }
}

void WalkSingleOctet(Walk& walk, int identifier) {
  if ((identifier & 0x70) == 0x10) {
    WalkShift(walk, identifier);
  } else if (walk.activeCodeset != 0) {
    walk.text += "Codeset ";
    AppendDecimal(walk.text, walk.activeCodeset);
    walk.text += " IE 0x";
    AppendByteToHex(walk.text, identifier);
    walk.activeCodeset = walk.lockedCodeset;
  } else {
    AppendSingleOctetElement(walk.text, identifier);
  }
  walk.i += 1;
}

bool HasTextFlag(int identifier) {
  switch (identifier) {
    case 0x0C:
    case 0x1C:
    case 0x28:
    case 0x2C:
    case 0x3A:
    case 0x4C:
    case 0x6C:
    case 0x6D:
    case 0x70:
    case 0x71:
    case 0x73:
    case 0x74:
    case 0x78:
      return true;
    default:
      return false;
  }
}

// The contents of a variable-length element in codeset 0 that fits in the message. Returns the
// octets to advance besides identifier and length octet.
//
// Call state, signal and progress indicator decoders read one octet at a fixed place whatever the
// element's length says. When the element is too short to hold that octet (a call state or
// signal element of length 0, a progress indicator of length 1), the octet would belong to the
// next element, so the element shows only its own octets; at length 0 a progress indicator still
// reads its octet 4, as it always has.
std::int64_t AppendElementContents(Walk& walk, int identifier, std::int64_t length, bool textFlag) {
  const PayloadBytes& bytes = walk.bytes;
  const std::int64_t i = walk.i;
  const std::int64_t startIndex = i + 2;
  switch (identifier) {
    case 0x7E: {
      // H.225 carries the user-user element with a two-octet length.
      const std::int64_t userLength = 256 * bytes.At(i + 1) + bytes.At(i + 2);
      if (i + 2 + userLength <= walk.count) {
        walk.text += FormatElementContents(bytes, userLength, textFlag, i + 3);
        return userLength + 1;
      }
      walk.text += FormatElementContents(bytes, length, textFlag, startIndex);
      return length;
    }
    case 0x04:
      walk.text += DecodeBearerCapability(bytes, length, startIndex);
      return length;
    case 0x08:
      walk.text += DecodeCause(bytes, length, startIndex);
      return length;
    case 0x14:
      if (length > 0) {
        walk.text += DecodeCallState(bytes.At(startIndex));
        walk.text += ", ";
        walk.text += DecodeCodingStandard(bytes.At(startIndex));
      }
      return length;
    case 0x6C:
      walk.text += DecodeCallingPartyNumber(bytes, length, textFlag, startIndex);
      return length;
    case 0x70:
      walk.text += DecodeCalledPartyNumber(bytes, length, textFlag, startIndex);
      return length;
    default:
      walk.text += FormatElementContents(bytes, length, textFlag, startIndex);
      return length;
  }
}

// The decoders that follow the generic text of three elements; they run after an overrunning
// element too, with its declared length.
void AppendAddOnDecode(Walk& walk, int identifier, std::int64_t length) {
  const std::int64_t startIndex = walk.i + 2;
  if (identifier == 0x18) {
    walk.text += DecodeChannelId(walk.bytes, length, startIndex);
  } else if (identifier == 0x1E && length != 1) {
    walk.text += DecodeProgressDescription(walk.bytes.At(walk.i + 3));
  } else if (identifier == 0x34 && length > 0) {
    walk.text += DecodeSignalValue(walk.bytes.At(startIndex));
  }
}

void WalkVariableLength(Walk& walk, int identifier) {
  const std::int64_t i = walk.i;
  const std::int64_t count = walk.count;
  // The length octet must exist and must not be the last octet: an element of length 0 at the
  // very end counts as out of bounds too.
  const bool outOfBounds = i + 1 >= count;
  bool lengthError = false;
  std::int64_t step = 0;
  if (!outOfBounds) {
    const std::int64_t length = walk.bytes.At(i + 1);
    const bool overrun = length >= count - i;
    step = length;
    if (walk.activeCodeset != 0) {
      walk.text += "Codeset ";
      AppendDecimal(walk.text, walk.activeCodeset);
      walk.text += " IE 0x";
      AppendByteToHex(walk.text, identifier);
      walk.text += "  i = ";
      walk.text += FormatElementContents(walk.bytes, overrun ? count - 1 - i : length, true, i + 2);
      lengthError = overrun;
    } else {
      if (identifier < walk.lastIdentifier) {
        walk.text += "IE out of order or end of private IEs --\r\n";
      }
      walk.lastIdentifier = identifier;
      const bool textFlag = HasTextFlag(identifier);
      walk.text += ShownElementName(identifier);
      walk.text += " i = ";
      if (overrun) {
        walk.text += FormatElementContents(walk.bytes, count - 1 - i, textFlag, i + 2);
        lengthError = true;
      } else {
        step = AppendElementContents(walk, identifier, length, textFlag);
      }
      AppendAddOnDecode(walk, identifier, length);
    }
  }
  if (lengthError) {
    walk.text += "\r\n     Decode Error: IE Length Error (0x";
    AppendByteToHex(walk.text, walk.bytes.At(i + 1));
    walk.text += ")";
    walk.i = count + 1;
  } else if (outOfBounds) {
    walk.text += "\r\n     Decode Error: Out of Bounds";
    walk.i = count + 1;
  } else {
    walk.i += 2 + step;
  }
  walk.activeCodeset = walk.lockedCodeset;
}

}  // namespace

std::string DecodeInformationElements(const PayloadBytes& bytes) {
  Walk walk{bytes, bytes.Count(), (bytes.At(2) & 0x0F) + 4, 0, 0, 0, {}};
  while (walk.i <= walk.count) {
    const int identifier = bytes.At(walk.i);
    if (identifier >= 0x80) {
      WalkSingleOctet(walk, identifier);
    } else {
      WalkVariableLength(walk, identifier);
    }
    walk.text += "\r\n";
  }
  return std::move(walk.text);
}

std::string DecodeMessage(const PayloadBytes& bytes) {
  const int protocolDiscriminator = bytes.At(1);
  if (protocolDiscriminator != 0x08) {
    return "Invalid Protocol Discriminator: " + std::to_string(protocolDiscriminator);
  }
  std::string text = DecodeHeader(bytes);
  if (text.empty()) {
    return text;
  }
  text += DecodeInformationElements(bytes);
  return text;
}

std::string DecodeStoredMessage(const MessageStore& store, std::size_t index) {
  return DecodeMessage(PayloadBytesOfMessage(store, index));
}

std::string DumpMessageHex(const PayloadBytes& bytes) {
  // The row label counts octets with a low part that runs from 16 to 255 and then starts again
  // at 16, so the labels go 0010 ... 00F0, 0110.
  int high = 0;
  int low = 16;
  std::string text = "\r\nEntire Message: \r\n";
  const auto appendLabel = [&] {
    AppendByteToHex(text, high);
    AppendByteToHex(text, low);
    text += ":  ";
  };
  appendLabel();
  const std::int64_t count = bytes.Count();
  for (std::int64_t k = 1; k <= count; ++k) {
    if (++low > 255) {
      low = 16;
      ++high;
    }
    AppendByteToHex(text, bytes.At(k));
    text += ' ';
    if (k % 16 == 0) {
      text += "\r\n";
      appendLabel();
    }
  }
  return text;
}

}  // namespace sigrune
