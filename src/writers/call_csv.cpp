#include "writers/call_csv.h"

#include "calls/call_kpis.h"
#include "calls/call_texts.h"

namespace sigrune {

namespace {

void AppendLatin1AsUtf8(std::string& text, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x80) {
    text += c;
  } else {
    text += static_cast<char>(0xC0 | (byte >> 6));
    text += static_cast<char>(0x80 | (byte & 0x3F));
  }
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// An optional sign, digits, and optionally a point and digits.
bool IsPlainDecimal(std::string_view text) {
  std::size_t k = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  const auto digits = [&] {
    const std::size_t start = k;
    while (k < text.size() && IsDigit(text[k])) {
      ++k;
    }
    return k > start;
  };
  if (!digits()) {
    return false;
  }
  if (k < text.size() && text[k] == '.') {
    ++k;
    if (!digits()) {
      return false;
    }
  }
  return k == text.size();
}

// A spreadsheet runs a cell that begins so as a formula; numbers and the "-" of a negative
// duration are what they seem.
bool WouldRunAsFormula(std::string_view text) {
  constexpr std::string_view kFormulaStarts = "=+-@\t\r";
  return !text.empty() && kFormulaStarts.find(text.front()) != std::string_view::npos &&
         text != "-" && !IsPlainDecimal(text);
}

}  // namespace

void AppendUtf8OfLatin1(std::string& text, std::string_view latin1) {
  for (const char c : latin1) {
    AppendLatin1AsUtf8(text, c);
  }
}

void AppendCsvField(std::string& text, std::string_view latin1) {
  // One look at each character: find_first_of would search the four for every one.
  bool quoted = false;
  bool ascii = true;
  for (const char c : latin1) {
    quoted = quoted || c == ',' || c == '"' || c == '\r' || c == '\n';
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  }
  const bool guarded = WouldRunAsFormula(latin1);
  if (!quoted && ascii && !guarded) {
    text += latin1;
    return;
  }
  if (quoted) {
    text += '"';
  }
  if (guarded) {
    text += '\'';
  }
  for (const char c : latin1) {
    if (c == '"') {
      text += '"';
    }
    AppendLatin1AsUtf8(text, c);
  }
  if (quoted) {
    text += '"';
  }
}

void AppendCsvRecord(std::string& text, std::span<const std::string> latin1Fields) {
  for (std::size_t k = 0; k < latin1Fields.size(); ++k) {
    if (k > 0) {
      text += ',';
    }
    AppendCsvField(text, latin1Fields[k]);
  }
  text += '\n';
}

std::string CallCsvHeader(CallCsvColumns columns) {
  std::string header(kCallCsvHeader.substr(0, kCallCsvHeader.size() - 1));
  if (columns.related) {
    header += ",related";
  }
  if (columns.timing) {
    header += ",channel,pdd,talk_time";
  }
  if (columns.h225Body) {
    header += ",call_identifier,media,release_reason";
  }
  header += '\n';
  return header;
}

void AppendCallCsvRecord(std::string& text, const MessageStore& store, const CallTable& calls,
                         CallNumber call, CallCsvColumns columns) {
  const CallRecord& record = calls.Record(call);
  const std::string numbers[] = {
      std::to_string(call.value), std::to_string(record.firstMessage.value),
      std::to_string(record.lastMessage.value), std::to_string(record.messageCount)};
  const std::string start = StartTimeText(store, record);
  const std::string end = EndTimeText(store, record);
  const std::string duration = DurationText(store, record);
  const std::string crv = CallReferenceText(record);
  const std::string cause = CauseText(record);
  const std::string_view fields[] = {
      numbers[0],
      numbers[1],
      numbers[2],
      numbers[3],
      start,
      end,
      duration,
      store.gatewayIpTexts[record.gatewayIpIndex],
      ProtocolText(record.protocol),
      DirectionText(record.direction),
      crv,
      calls.Calling(record),
      calls.Called(record),
      OutcomeText(record.outcome),
      cause,
      CauseName(record),
      ClearedByText(record.clearedBy),
      BeganText(record.began),
      EndedText(record.ended),
  };
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) {
      text += ',';
    }
    first = false;
    AppendCsvField(text, field);
  }
  if (columns.related) {
    text += ',';
    if (record.related) {
      text += std::to_string(record.related.value);
    }
  }
  if (columns.timing) {
    for (const std::string& cell : CallTimingCells(store, record)) {
      text += ',';
      text += cell;
    }
  }
  if (columns.h225Body) {
    for (const std::string& cell : {CallIdentifierText(calls, record), MediaText(calls, record),
                                    ReleaseReasonText(calls, record)}) {
      text += ',';
      AppendCsvField(text, cell);
    }
  }
  text += '\n';
}

}  // namespace sigrune
