#include "calls/message_facts.h"

#include <string_view>

#include "q931/element_walker.h"
#include "trace/hex_digits.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

// The header read from the payload text itself, for the rare message whose call reference digits
// the columns keep as text (letters of both cases).
std::optional<CallHeader> HeaderOfText(const MessageStore& store, std::size_t index,
                                       std::size_t length) {
  constexpr std::size_t kLongestHeader = 2 * (3 + 2);
  char prefix[kLongestHeader];
  const std::size_t size =
      CopyPayloadTextPrefix(DataLine(store, MessageIndex{index}),
                            IsTracelist(store, MessageIndex{index}), prefix, kLongestHeader);
  const std::string_view head(prefix, size);
  const std::size_t characters = 2 * (3 + length);
  if (head.size() < characters) {
    return std::nullopt;
  }
  for (std::size_t k = 0; k < characters; ++k) {
    if (HexDigitValue(head[k]) < 0) {
      return std::nullopt;
    }
  }
  unsigned value = 0;
  for (std::size_t k = 0; k < length; ++k) {
    value = value * 256 + static_cast<unsigned>(ReadHexPair(head, 4 + 2 * k));
  }
  const unsigned flag = length == 1 ? 0x80 : 0x8000;
  return CallHeader{static_cast<std::uint16_t>(value & ~flag), static_cast<std::uint8_t>(length),
                    static_cast<std::uint8_t>(ReadHexPair(head, 4 + 2 * length)),
                    (value & flag) != 0};
}

// The elements the calls read facts from.
bool IsReadForFacts(const InformationElement& element) {
  return element.kind == ElementKind::VariableLength && element.end == ElementEnd::Inside &&
         element.codeset == 0;
}

class FactsVisitor : public ElementVisitor {
 public:
  explicit FactsVisitor(ElementFacts& facts) : facts_(facts) {}

  void Visit(const InformationElement& element) override {
    if (!IsReadForFacts(element)) {
      return;
    }
    switch (element.identifier) {
      case q931::kCallingNumber:
        if (facts_.wantsCalling && !seenCalling_) {
          seenCalling_ = true;
          AppendPartyDigits(facts_.calling, element.contents);
        }
        break;
      case q931::kCalledNumber:
        if (facts_.wantsCalled && !seenCalled_) {
          seenCalled_ = true;
          AppendPartyDigits(facts_.called, element.contents);
        }
        break;
      case q931::kCause:
        if (facts_.wantsCause && facts_.cause < 0) {
          facts_.cause = CauseValueOf(element.contents);
          if (facts_.cause >= 0) {
            facts_.causeLocation = element.contents.At(0) & 0x0F;
          }
        }
        break;
      default:
        break;
    }
  }

 private:
  ElementFacts& facts_;
  bool seenCalling_ = false;
  bool seenCalled_ = false;
};

class CauseVisitor : public ElementVisitor {
 public:
  explicit CauseVisitor(int value) : value_(value) {}
  bool Found() const { return found_; }

  void Visit(const InformationElement& element) override {
    if (!found_ && IsReadForFacts(element) && element.identifier == q931::kCause) {
      found_ = CauseValueOf(element.contents) == value_;
    }
  }

 private:
  int value_;
  bool found_ = false;
};

}  // namespace

std::optional<CallHeader> CallHeaderOf(const MessageStore& store, MessageIndex message) {
  const std::size_t index = message.value;
  const MessageColumns& columns = store.msgColumns[index];
  const std::size_t length = columns.callReferenceLength;
  std::optional<CallHeader> header;
  if (columns.protocolDiscriminator != q931::kQ931Discriminator || (length != 1 && length != 2)) {
    return std::nullopt;
  }
  if (columns.headerReadable) {
    header = CallHeader{columns.callReferenceValue, columns.callReferenceLength,
                        columns.messageType, columns.callReferenceFlag};
  } else if (columns.callReferenceAsText) {
    header = HeaderOfText(store, index, length);
  }
  if (!header || header->value == 0 || header->messageType == q931::kRestart ||
      header->messageType == q931::kRestartAcknowledge) {
    return std::nullopt;
  }
  return header;
}

void ReadElementFacts(const PayloadBytes& bytes, ElementFacts& facts) {
  facts.calling.clear();
  facts.called.clear();
  facts.cause = -1;
  facts.causeLocation = -1;
  FactsVisitor visitor(facts);
  WalkInformationElements(bytes, visitor);
}

bool HoldsCauseValue(const PayloadBytes& bytes, int value) {
  // Only in a header that the decoder reads do the octets after it stand for elements.
  if (bytes.At(1) != q931::kQ931Discriminator) {
    return false;
  }
  const int callReferenceLength = bytes.At(2) & 0x0F;
  if (callReferenceLength != 1 && callReferenceLength != 2) {
    return false;
  }
  CauseVisitor visitor(value);
  WalkInformationElements(bytes, visitor);
  return visitor.Found();
}

void AppendPartyDigits(std::string& digits, const OctetView& contents) {
  std::size_t k = 0;
  while (k < contents.Size() && (contents.At(k) & 0x80) == 0) {
    ++k;
  }
  for (++k; k < contents.Size(); ++k) {
    const int character = contents.At(k) & 0x7F;
    if (character >= 0x20 && character != 0x7F) {
      digits += static_cast<char>(character);
    }
  }
}

int CauseValueOf(const OctetView& contents) {
  if (contents.Size() == 0) {
    return -1;
  }
  const std::size_t valueOctet = (contents.At(0) & 0x80) != 0 ? 1 : 2;
  return valueOctet < contents.Size() ? contents.At(valueOctet) & 0x7F : -1;
}

}  // namespace sigrune
