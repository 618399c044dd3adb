// The decoder entry: the decoded text, written from the walk over the elements, and the hex dump.

#include <string>

#include "q931/decoder.h"
#include "q931/element_decoders.h"
#include "q931/element_names.h"
#include "q931/element_walker.h"
#include "trace/q931_codes.h"

namespace sigrune {

namespace {

void AppendDecimal(std::string& text, std::int64_t value) {
  text += std::to_string(value);
}

void AppendSingleOctetElement(std::string& text, int identifier) {
  if (identifier == q931::kMoreData) {
    text += "More Data";
  } else if (identifier == q931::kSendingComplete) {
    text += "Sending Complete";
  } else if (identifier <= 0x8F) {
    // No blank before the "0x": 0x85 reads "RESERVED = 50x85".
    text += "RESERVED = ";
    AppendDecimal(text, identifier & 0x0F);
    text += "0x";
    AppendByteToHex(text, identifier);
  } else if ((identifier & 0xF0) == q931::kCongestionLevel) {
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
  } else if ((identifier & 0xF0) == q931::kRepeatIndicator) {
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

// Ends a walk whose pieces are no longer wanted.
struct PiecesDeclined {};

// Writes one line (or a few) per element, each ending in CR LF.
class DecodedTextWriter : public ElementVisitor {
 public:
  // Appends to `text`; with `pieces`, hands the text over whenever it has grown long.
  DecodedTextWriter(const PayloadBytes& bytes, std::string& text,
                    const DecodedTextPieces* pieces = nullptr)
      : bytes_(bytes), pieces_(pieces), text_(text) {}

  void Visit(const InformationElement& element) override {
    switch (element.kind) {
      case ElementKind::Shift:
        AppendShift(element);
        break;
      case ElementKind::SingleOctet:
        if (element.codeset != 0) {
          AppendOtherCodesetHeading(element.codeset, element.identifier);
        } else {
          AppendSingleOctetElement(text_, element.identifier);
        }
        break;
      case ElementKind::VariableLength:
        AppendVariableLength(element);
        break;
    }
    text_ += "\r\n";
    if (pieces_ != nullptr && text_.size() >= kDecodedTextPieceSize) {
      HandOver();
    }
  }

  void HandOver() {
    if (text_.empty()) {
      return;
    }
    if (!(*pieces_)(text_)) {
      throw PiecesDeclined();
    }
    text_.clear();
  }

 private:
  void AppendShift(const InformationElement& element) {
    const int codeset = ShiftCodeset(element.identifier);
    const bool locking = IsLockingShift(element.identifier);
    if (locking) {
      text_ += "Locking ";
    }
    text_ += "Shift to CodeSet ";
    AppendDecimal(text_, codeset);
    if (locking && codeset <= element.codeset) {
      text_ += "   Decode Error: shift from codeset ";
      AppendDecimal(text_, element.codeset);
      text_ += " to ";
      AppendDecimal(text_, codeset);
    }
  }

  void AppendOtherCodesetHeading(int codeset, int identifier) {
    text_ += "Codeset ";
    AppendDecimal(text_, codeset);
    text_ += " IE 0x";
    AppendByteToHex(text_, identifier);
  }

  void AppendVariableLength(const InformationElement& element) {
    if (element.end == ElementEnd::NoLength) {
      text_ += "\r\n     Decode Error: Out of Bounds";
      return;
    }
    const auto shownLength = static_cast<std::int64_t>(element.contents.Size());
    const std::int64_t startIndex = element.position + 2;
    if (element.codeset != 0) {
      AppendOtherCodesetHeading(element.codeset, element.identifier);
      text_ += "  i = ";
      AppendElementContents(text_, bytes_, shownLength, true, startIndex);
    } else {
      if (element.identifier < lastIdentifier_) {
        text_ += "IE out of order or end of private IEs --\r\n";
      }
      lastIdentifier_ = element.identifier;
      const bool textFlag = HasTextFlag(element.identifier);
      AppendShownElementName(text_, element.identifier);
      text_ += " i = ";
      if (element.end == ElementEnd::PastEnd) {
        AppendElementContents(text_, bytes_, shownLength, textFlag, startIndex);
      } else if (element.lengthOctets == 2) {
        AppendElementContents(text_, bytes_, element.length, textFlag, startIndex + 1);
      } else {
        AppendContents(element.identifier, element.length, textFlag, startIndex);
      }
      AppendAddOnDecode(element.identifier, element.length, startIndex);
    }
    if (element.end == ElementEnd::PastEnd) {
      text_ += "\r\n     Decode Error: IE Length Error (0x";
      AppendByteToHex(text_, static_cast<int>(element.length));
      text_ += ")";
    }
  }

  // Call state, signal and progress indicator decoders read one octet at a fixed place whatever
  // the element's length says. When the element is too short to hold that octet (a call state or
  // signal element of length 0, a progress indicator of length 1), the octet would belong to the
  // next element, so the element shows only its own octets; at length 0 a progress indicator
  // still reads its octet 4, as it always has.
  void AppendContents(int identifier, std::int64_t length, bool textFlag, std::int64_t startIndex) {
    switch (identifier) {
      case q931::kBearerCapability:
        AppendBearerCapability(text_, bytes_, length, startIndex);
        break;
      case q931::kCause:
        AppendCause(text_, bytes_, length, startIndex);
        break;
      case q931::kCallState:
        if (length > 0) {
          AppendCallState(text_, bytes_.At(startIndex));
          text_ += ", ";
          text_ += DecodeCodingStandard(bytes_.At(startIndex));
        }
        break;
      case q931::kCallingNumber:
        AppendCallingPartyNumber(text_, bytes_, length, textFlag, startIndex);
        break;
      case q931::kCalledNumber:
        AppendCalledPartyNumber(text_, bytes_, length, textFlag, startIndex);
        break;
      default:
        AppendElementContents(text_, bytes_, length, textFlag, startIndex);
        break;
    }
  }

  // The decoders that follow the generic text of three elements; they run after an overrunning
  // element too, with its declared length.
  void AppendAddOnDecode(int identifier, std::int64_t length, std::int64_t startIndex) {
    if (identifier == q931::kChannelId) {
      AppendChannelId(text_, bytes_, length, startIndex);
    } else if (identifier == q931::kProgressIndicator && length != 1) {
      text_ += DecodeProgressDescription(bytes_.At(startIndex + 1));
    } else if (identifier == q931::kSignal && length > 0) {
      AppendSignalValue(text_, bytes_.At(startIndex));
    }
  }

  const PayloadBytes& bytes_;
  const DecodedTextPieces* pieces_;
  int lastIdentifier_ = 0;  // the last variable-length element read in codeset 0
  std::string& text_;
};

}  // namespace

void AppendDecodedMessage(std::string& text, const PayloadBytes& bytes) {
  const int protocolDiscriminator = bytes.At(1);
  if (protocolDiscriminator != q931::kQ931Discriminator) {
    text += "Invalid Protocol Discriminator: ";
    AppendDecimal(text, protocolDiscriminator);
    return;
  }
  if (!AppendHeader(text, bytes)) {
    return;
  }
  DecodedTextWriter writer(bytes, text);
  WalkInformationElements(bytes, writer);
}

std::string DecodeMessage(const PayloadBytes& bytes) {
  std::string text;
  AppendDecodedMessage(text, bytes);
  return text;
}

bool DecodeMessageInPieces(const PayloadBytes& bytes, const DecodedTextPieces& pieces,
                           std::string& buffer) {
  buffer.clear();
  if (bytes.At(1) != q931::kQ931Discriminator) {
    AppendDecodedMessage(buffer, bytes);
    return pieces(buffer);
  }
  if (!AppendHeader(buffer, bytes)) {
    return true;
  }
  DecodedTextWriter writer(bytes, buffer, &pieces);
  try {
    WalkInformationElements(bytes, writer);
    writer.HandOver();
  } catch (const PiecesDeclined&) {
    return false;
  }
  return true;
}

bool DecodeMessageInPieces(const PayloadBytes& bytes, const DecodedTextPieces& pieces) {
  std::string buffer;
  return DecodeMessageInPieces(bytes, pieces, buffer);
}

std::string DecodeStoredMessage(const MessageStore& store, MessageIndex message) {
  const std::size_t index = message.value;
  return DecodeMessage(PayloadBytesOfMessage(store, MessageIndex{index}));
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
