#include "trace/summary_line.h"

#include "trace/hex_digits.h"
#include "trace/text_utilities.h"

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

}  // namespace

std::string PayloadText(std::string_view dataLine, bool isTracelist) {
  std::string hexText;
  PayloadTextPrefix(dataLine, isTracelist, std::string::npos, hexText);
  return hexText;
}

std::string_view PayloadTextPrefix(std::string_view dataLine, bool isTracelist, std::size_t limit,
                                   std::string& buffer) {
  const std::string_view kept = TextAfterEquals(dataLine);
  const std::string_view endMarker = PayloadEndMarker(isTracelist);
  buffer.clear();
  for (std::size_t k = 0; k < kept.size() && buffer.size() < limit; ++k) {
    const char c = kept[k];
    if (c == endMarker.front() && kept.substr(k, endMarker.size()) == endMarker) {
      break;
    }
    if (c != ' ') {
      buffer += c;
    }
  }
  return buffer;
}

SummaryFields BuildSummaryFields(std::string_view dataLine, bool isIncoming,
                                 std::string_view protocol, std::string_view gatewayIp,
                                 bool isTracelist) {
  SummaryFields fields;
  fields.timestamp = TimestampText(dataLine, isTracelist);
  fields.gatewayIp = gatewayIp;
  fields.direction = isIncoming ? "In" : "Out";
  fields.protocol = protocol;

  // The call reference length is read from the whole octet 2 here, unlike the decoder's header.
  std::string payload;
  const std::string_view head = PayloadTextPrefix(dataLine, isTracelist, 4, payload);
  const int protocolDiscriminator = ReadHexPair(head, 0);
  const auto callReferenceDigits = static_cast<std::size_t>(2 * ReadHexPair(head, 2));
  if (protocolDiscriminator == 0x08) {
    const std::string_view hexText =
        PayloadTextPrefix(dataLine, isTracelist, 4 + callReferenceDigits + 2, payload);
    fields.messageType = MessageTypeName(ReadHexPair(hexText, 4 + callReferenceDigits));
    fields.hasCallReference = true;
    if (hexText.size() > 4) {
      fields.callReferenceDigits = hexText.substr(4, callReferenceDigits);
    }
  } else if (protocolDiscriminator == 0x03) {
    fields.messageType = "SERVICE";
  } else {
    fields.messageType = "UNSUPPORTED MESSAGE";
  }
  return fields;
}

SummaryFields BuildSummaryFields(const MessageStore& store, std::size_t index) {
  return BuildSummaryFields(store.msgDataLines[index], store.msgIsIncoming[index],
                            ProtocolText(store.msgProtocols[index]), GatewayIp(store, index),
                            store.isTracelist);
}

void AppendSummaryLine(std::string& line, const SummaryFields& fields) {
  line += fields.timestamp;
  for (auto repeats = 4 - static_cast<int>(fields.timestamp.size() / 10); repeats > 0; --repeats) {
    line += kFiveBlanks;
  }
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

void AppendSummaryLine(std::string& line, const MessageStore& store, std::size_t index) {
  AppendSummaryLine(line, BuildSummaryFields(store, index));
}

std::string BuildSummaryLine(const MessageStore& store, std::size_t index) {
  std::string line;
  AppendSummaryLine(line, store, index);
  return line;
}

void RebuildMessageList(const MessageStore& store, MessageListSink& list) {
  std::string line;
  for (std::size_t index = 0; index < store.msgCount; ++index) {
    line.clear();
    AppendSummaryLine(line, store, index);
    list.AddItem(line);
  }
}

}  // namespace sigrune
