#include "trace/summary_line.h"

#include "trace/hex_digits.h"
#include "trace/q931_codes.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

constexpr std::string_view kFiveBlanks = "     ";

std::string_view PayloadEndMarker(bool isTracelist) {
  return isTracelist ? std::string_view("</info>") : std::string_view("|<CLID::");
}

// The data line after its first "=", or the whole line when it has none.
std::string_view TextAfterEquals(std::string_view dataLine) {
  const std::size_t equals = dataLine.find('=');
  return equals == std::string_view::npos ? dataLine : dataLine.substr(equals + 1);
}

// Hands the characters of PayloadText to `append`, at most `limit` of them.
template <typename Append>
void ScanPayloadText(std::string_view dataLine, bool isTracelist, std::size_t limit,
                     Append&& append) {
  const std::string_view kept = TextAfterEquals(dataLine);
  const std::string_view endMarker = PayloadEndMarker(isTracelist);
  std::size_t count = 0;
  for (std::size_t k = 0; k < kept.size() && count < limit; ++k) {
    const char c = kept[k];
    if (c == endMarker.front() && kept.substr(k, endMarker.size()) == endMarker) {
      break;
    }
    if (c != ' ') {
      append(c);
      ++count;
    }
  }
}

// The columns that do not come from the payload.
SummaryFields FieldsBesidesPayload(std::string_view timestamp, bool isIncoming,
                                   std::string_view protocol, std::string_view gatewayIp) {
  SummaryFields fields;
  fields.timestamp = timestamp;
  fields.gatewayIp = gatewayIp;
  fields.direction = isIncoming ? "In" : "Out";
  fields.protocol = protocol;
  return fields;
}

std::string_view OtherProtocolType(int protocolDiscriminator) {
  return protocolDiscriminator == q931::kServiceDiscriminator ? "SERVICE" : "UNSUPPORTED MESSAGE";
}

void AppendTimestampPadding(std::string& line, std::string_view timestamp) {
  for (auto repeats = 4 - static_cast<int>(timestamp.size() / 10); repeats > 0; --repeats) {
    line += kFiveBlanks;
  }
}

}  // namespace

std::string_view PayloadTextWithBlanks(std::string_view dataLine, bool isTracelist) {
  const std::string_view kept = TextAfterEquals(dataLine);
  return kept.substr(0, kept.find(PayloadEndMarker(isTracelist)));
}

std::string PayloadText(std::string_view dataLine, bool isTracelist) {
  std::string hexText;
  PayloadTextPrefix(dataLine, isTracelist, std::string::npos, hexText);
  return hexText;
}

std::string_view PayloadTextPrefix(std::string_view dataLine, bool isTracelist, std::size_t limit,
                                   std::string& buffer) {
  buffer.clear();
  ScanPayloadText(dataLine, isTracelist, limit, [&buffer](char c) { buffer += c; });
  return buffer;
}

std::size_t CopyPayloadTextPrefix(std::string_view dataLine, bool isTracelist, char* prefix,
                                  std::size_t limit) {
  std::size_t size = 0;
  ScanPayloadText(dataLine, isTracelist, limit, [prefix, &size](char c) { prefix[size++] = c; });
  return size;
}

SummaryFields BuildSummaryFields(std::string_view dataLine, bool isIncoming,
                                 std::string_view protocol, std::string_view gatewayIp,
                                 bool isTracelist) {
  SummaryFields fields =
      FieldsBesidesPayload(TimestampText(dataLine, isTracelist), isIncoming, protocol, gatewayIp);
  // The call reference length is read from the whole octet 2 here, unlike the decoder's header.
  std::string payload;
  const std::string_view head = PayloadTextPrefix(dataLine, isTracelist, 4, payload);
  const int protocolDiscriminator = ReadHexPair(head, 0);
  const auto callReferenceDigits = static_cast<std::size_t>(2 * ReadHexPair(head, 2));
  if (protocolDiscriminator == q931::kQ931Discriminator) {
    const std::string_view hexText =
        PayloadTextPrefix(dataLine, isTracelist, 4 + callReferenceDigits + 2, payload);
    fields.messageType = MessageTypeName(ReadHexPair(hexText, 4 + callReferenceDigits));
    fields.hasCallReference = true;
    if (hexText.size() > 4) {
      fields.callReferenceDigits = hexText.substr(4, callReferenceDigits);
    }
  } else {
    fields.messageType = OtherProtocolType(protocolDiscriminator);
  }
  return fields;
}

SummaryFields& SummaryFields::operator=(const SummaryFields& other) {
  if (this != &other) {
    timestampRoom = other.timestampRoom;
    timestamp = other.timestamp.data() == other.timestampRoom.data()
                    ? std::string_view(timestampRoom.data(), other.timestamp.size())
                    : other.timestamp;
    gatewayIp = other.gatewayIp;
    direction = other.direction;
    protocol = other.protocol;
    messageType = other.messageType;
    hasCallReference = other.hasCallReference;
    callReferenceDigits = other.callReferenceDigits;
  }
  return *this;
}

namespace {

// The fields of a message whose call reference digits the columns keep as text, read from its line.
SummaryFields FieldsOfText(const MessageStore& store, std::size_t index) {
  const KeptLine kept = ReadKeptLine(store, MessageIndex{index});
  if (kept.shape == nullptr) {
    return BuildSummaryFields(
        kept.text, store.msgIsIncoming[index], ProtocolText(store.msgProtocols[index]),
        GatewayIp(store, MessageIndex{index}), IsTracelist(store, MessageIndex{index}));
  }
  const std::string line = DataLine(store, MessageIndex{index});
  SummaryFields fields = BuildSummaryFields(
      line, store.msgIsIncoming[index], ProtocolText(store.msgProtocols[index]),
      GatewayIp(store, MessageIndex{index}), IsTracelist(store, MessageIndex{index}));
  fields.timestamp = KeptTimestamp(store, MessageIndex{index}, fields.timestampRoom);
  return fields;
}

}  // namespace

SummaryFields BuildSummaryFields(const MessageStore& store, MessageIndex message) {
  const std::size_t index = message.value;
  const MessageColumns& columns = store.msgColumns[index];
  if (columns.callReferenceAsText) {
    return FieldsOfText(store, index);
  }
  SummaryFields fields =
      FieldsBesidesPayload({}, store.msgIsIncoming[index], ProtocolText(store.msgProtocols[index]),
                           GatewayIp(store, MessageIndex{index}));
  fields.timestamp = KeptTimestamp(store, MessageIndex{index}, fields.timestampRoom);
  if (columns.protocolDiscriminator == q931::kQ931Discriminator) {
    fields.messageType = MessageTypeName(columns.messageType);
    fields.hasCallReference = true;
    AppendCallReferenceDigits(fields.callReferenceDigits, columns);
  } else {
    fields.messageType = OtherProtocolType(columns.protocolDiscriminator);
  }
  return fields;
}

void AppendSummaryLine(std::string& line, const SummaryFields& fields) {
  line += fields.timestamp;
  AppendTimestampPadding(line, fields.timestamp);
  line += fields.gatewayIp;
  line += fields.gatewayIp.size() == 15 ? "\t" : "\t\t";
  line += fields.direction;
  line += "\t\t";
  line += fields.protocol;
  line += '\t';
  line += kFiveBlanks;
  line += fields.messageType;
  if (fields.hasCallReference) {
    line += "\t\t0x";
    line += fields.callReferenceDigits;
  }
}

void AppendSummaryLine(std::string& line, std::string_view dataLine, bool isIncoming,
                       std::string_view protocol, std::string_view gatewayIp, bool isTracelist) {
  AppendSummaryLine(line,
                    BuildSummaryFields(dataLine, isIncoming, protocol, gatewayIp, isTracelist));
}

std::string BuildSummaryLine(std::string_view dataLine, bool isIncoming, std::string_view protocol,
                             std::string_view gatewayIp, bool isTracelist) {
  std::string line;
  AppendSummaryLine(line, dataLine, isIncoming, protocol, gatewayIp, isTracelist);
  return line;
}

void AppendSummaryLine(std::string& line, const MessageStore& store, MessageIndex message) {
  const std::size_t index = message.value;
  AppendSummaryLine(line, BuildSummaryFields(store, MessageIndex{index}));
}

void AppendTimestampAndGateway(std::string& text, const MessageStore& store, MessageIndex message) {
  const std::size_t index = message.value;
  const std::size_t start = text.size();
  std::array<char, 30> room;
  const std::string_view timestamp = KeptTimestamp(store, MessageIndex{index}, room);
  text += timestamp;
  AppendTimestampPadding(text, timestamp);
  text += GatewayIp(store, MessageIndex{index});
  // A tab in the timestamp ends the piece there, as it ends the line's first column.
  const std::size_t tab = text.find('\t', start);
  if (tab != std::string::npos) {
    text.resize(tab);
  }
}

std::string BuildSummaryLine(const MessageStore& store, MessageIndex message) {
  const std::size_t index = message.value;
  std::string line;
  AppendSummaryLine(line, store, MessageIndex{index});
  return line;
}

void RebuildMessageList(const MessageStore& store, MessageListSink& list) {
  std::string line;
  for (std::size_t index = 0; index < store.MessageCount(); ++index) {
    line.clear();
    AppendSummaryLine(line, store, MessageIndex{index});
    list.AddItem(line);
  }
}

}  // namespace sigrune
