#include "trace/message_columns.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "document/where_filter.h"
#include "q931/decoder.h"
#include "trace/list_filters.h"
#include "trace/message_time.h"
#include "trace/summary_line.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

TEST(ParseMessageTime, ReadsARealDateAndTimeOfEitherFormOnly) {
  constexpr MessageTime kSecond = 1'000'000'000;
  const std::pair<std::string_view, MessageTime> cases[] = {
      {"01/15/2004 10:23:45", 1074162225 * kSecond},
      {"2004-01-15 10:23:45", 1074162225 * kSecond},
      {"01/15/2004 10:23:45.6", 1074162225 * kSecond + 600'000'000},
      {"2004-01-15 10:23:45.123456789", 1074162225 * kSecond + 123'456'789},
      {"1970-01-01 00:00:00", 0},
      {"12/31/1969 23:59:59.5", -kSecond / 2},
      {"02/29/2000 23:59:59", 951868799 * kSecond},
      {"2262-04-11 23:47:16.854775807", 9'223'372'036'854'775'807},
      {"2262-04-11 23:47:16.854775808", kNoTime},
      {"1677-09-21 00:12:43", kNoTime},
      {"9999-12-31 23:59:59", kNoTime},
      {"02/30/2004 10:00:00", kNoTime},
      {"02/29/1900 10:00:00", kNoTime},
      {"13/01/2004 10:00:00", kNoTime},
      {"2004-01-15 24:00:00", kNoTime},
      {"2004-01-15 23:60:00", kNoTime},
      {"2004-01-15 23:59:60", kNoTime},
      {"01/15/04 10:23:45", kNoTime},
      {"1/15/2004 10:23:45", kNoTime},
      {"2004-01-15T10:23:45", kNoTime},
      {"2004/01/15 10:23:45", kNoTime},
      {"2004-01-15 10:23:45.", kNoTime},
      {"2004-01-15 10:23:45.1234567890", kNoTime},
      {"2004-01-15 10:23:45,5", kNoTime},
      {"2004-01-15 10:23:45 x", kNoTime},
      {"2004-01-15 10:23:4x", kNoTime},
      {"10:23:45.678", kNoTime},
      {"", kNoTime},
  };
  for (const auto& [text, time] : cases) {
    EXPECT_EQ(ParseMessageTime(text), time) << text;
    if (time != kNoTime) {
      // Written back as read, as a packed data line's timestamp is.
      char written[kLongestTimeText];
      const auto digits = static_cast<unsigned>(text.size() == 19 ? 0 : text.size() - 20);
      EXPECT_EQ(std::string_view(written, FormatMessageTime(time, text[2] == '/', digits, written)),
                text);
    }
  }
  // The time is read from the timestamp the list shows: the <Date> of a long Tracelist text.
  EXPECT_EQ(ParseMessageTime(TimestampText(
                "<Trace><Date>2004-01-15 10:23:45.678</Date><Host>ccp-01</Host><info>CCP|", true)),
            1074162225 * kSecond + 678'000'000);
}

TEST(ParseTypedTime, ReadsAWholeTimestampOrATimeOfDayOnTheTracesDay) {
  constexpr MessageTime kSecond = 1'000'000'000;
  const MessageTime day = DayStart(ParseMessageTime("01/15/2004 10:23:45"));
  EXPECT_EQ(day, 1074124800 * kSecond);
  EXPECT_EQ(DayStart(-kSecond / 2), -86400 * kSecond);
  const std::pair<std::string_view, MessageTime> cases[] = {
      {"10:45", day + (10 * 3600 + 45 * 60) * kSecond},
      {"10:45:07", day + (10 * 3600 + 45 * 60 + 7) * kSecond},
      {"00:00:00.000000001", day + 1},
      {"2004-01-16 00:00:00", day + 86400 * kSecond},
      {"10:45:7", kNoTime},
      {"10:4", kNoTime},
      {"24:00", kNoTime},
      {"10:45 ", kNoTime},
      {"10:45:00.", kNoTime},
      {"", kNoTime},
  };
  for (const auto& [text, time] : cases) {
    EXPECT_EQ(ParseTypedTime(text, day), time) << text;
  }
  EXPECT_EQ(ParseTypedTime("10:45", kNoTime), kNoTime);
}

// A trace of the given data lines' payloads and timestamps, plain or Tracelist, with headers and
// gateways that vary from message to message.
std::string TraceOf(const std::vector<std::pair<std::string, std::string>>& messages,
                    bool isTracelist) {
  const std::string_view gateways[] = {"c864a8c0", "0501010a", "", "0501a8c0"};
  std::string text = isTracelist ? "<Tracelist>\n" : "";
  for (std::size_t k = 0; k < messages.size(); ++k) {
    const auto& [timestamp, payload] = messages[k];
    text += k % 3 == 0 ? "In  Message -- PRI\n" : k % 3 == 1 ? "Out Message -- H225\n" : "";
    if (!gateways[k % 4].empty()) {
      text += "MMan_Id IpAddr=" + std::string(gateways[k % 4]) + "\n";
    }
    text += isTracelist ? "<Trace><Date>" + timestamp + "</Date><info>CCP|IsdnMsgData= " + payload +
                              "</info></Trace>\n"
                        : timestamp + " CCP|IsdnMsgData1= " + payload + " |<CLID::x\n";
  }
  return text;
}

// Every list line, timestamp-and-gateway piece, time and Selected Call result the load's columns
// give is the one the text rules give.
void ExpectColumnsAgreeWithTheText(const MessageStore& store) {
  std::vector<std::string> lines;
  std::vector<CallReferenceValue> values;
  for (std::size_t index = 0; index < store.MessageCount(); ++index) {
    const std::string dataLine = DataLine(store, MessageIndex{index});
    lines.push_back(BuildSummaryLine(
        dataLine, store.msgIsIncoming[index], ProtocolText(store.msgProtocols[index]),
        GatewayIp(store, MessageIndex{index}), IsTracelist(store, MessageIndex{index})));
    values.push_back(ReadCallReferenceValue(lines.back()).value);
    ASSERT_EQ(BuildSummaryLine(store, MessageIndex{index}), lines.back()) << dataLine;
    std::string piece;
    AppendTimestampAndGateway(piece, store, MessageIndex{index});
    ASSERT_EQ(piece, lines.back().substr(0, lines.back().find('\t'))) << dataLine;
    ASSERT_EQ(store.msgTimes[index],
              ParseMessageTime(TimestampText(dataLine, IsTracelist(store, MessageIndex{index}))))
        << dataLine;
    const MessageColumns& columns = store.msgColumns[index];
    if (columns.headerReadable) {
      // The header as the decoder reads it from the octets.
      const PayloadBytes bytes = PayloadBytesOfMessage(store, MessageIndex{index});
      const int length = bytes.At(2);
      const int reference = length == 1 ? bytes.At(3) : 256 * bytes.At(3) + bytes.At(4);
      const int flag = length == 1 ? 0x80 : 0x8000;
      ASSERT_EQ(bytes.At(1), 0x08) << dataLine;
      ASSERT_EQ(columns.callReferenceLength, length) << dataLine;
      ASSERT_EQ(columns.callReferenceValue, reference & ~flag) << dataLine;
      ASSERT_EQ(columns.callReferenceFlag, (reference & flag) != 0) << dataLine;
      ASSERT_EQ(columns.messageType, bytes.At(3 + length)) << dataLine;
    }
  }
  for (std::size_t selected = 0; selected < store.MessageCount(); ++selected) {
    const CallReferenceReading reading = ReadCallReferenceValue(lines[selected]);
    const CallReferenceValue partner = PartnerCallReference(reading);
    RowMap expected;
    for (std::size_t index = 0; index < store.MessageCount(); ++index) {
      if (values[index] == reading.value || values[index] == partner) {
        expected.push_back(NumberOf(MessageIndex{index}));
      }
    }
    ASSERT_EQ(WhereRows(SelectedCallKey(lines[selected]).term, store, kNoCalls), expected)
        << lines[selected];
  }
}

// A data line reads as it always did whether kept as octets or as text; octets only where the
// line can be rebuilt exactly.
TEST(KeptLine, ReadsAsTheLineWithoutItsBlanksAndMarker) {
  const struct {
    std::string_view line;
    std::string_view kept;
    bool packed;
  } cases[] = {
      {"01/15/2004 10:23:45.678 CCP|IsdnMsgData1= 08 02 00 0a 05 |<CLID::a><GW::b>",
       "01/15/2004 10:23:45.678 CCP|IsdnMsgData1=0802000a05", true},
      {"01/15/2004 10:23:45 CCP|IsdnMsgData1= 08 02 80 0A 45  |<CLID::a>",
       "01/15/2004 10:23:45 CCP|IsdnMsgData1=0802800A45", true},
      {" 2004-01-15 10:23:45.123456789 CCP|IsdnMsgData=0802 00 01 5",
       " 2004-01-15 10:23:45.123456789 CCP|IsdnMsgData=080200015", false},  // odd digits
      {"12/31/1969 23:59:59.9 CCP|IsdnMsgData= 08 01 05 4d",
       "12/31/1969 23:59:59.9 CCP|IsdnMsgData=0801054d", true},
      {"01/15/2004 10:23:45 CCP|IsdnMsgData= 08 02 8A 0c 45",
       "01/15/2004 10:23:45 CCP|IsdnMsgData=08028A0c45", false},
      {"01/15/2004 10:23:45 CCP|IsdnMsgData= 08 02 zz",
       "01/15/2004 10:23:45 CCP|IsdnMsgData= 08 02 zz", false},
      {"01/15/2004 10:23:4x CCP|IsdnMsgData= 08 02 00 01 05",
       "01/15/2004 10:23:4x CCP|IsdnMsgData=0802000105", false},
      {"10:23:45 CCP|IsdnMsgData= 08 02 00 01 05", "10:23:45 CCP|IsdnMsgData=0802000105", false},
      {"01/15/2004 10:23:45 CCP|IsdnMsgData=", "01/15/2004 10:23:45 CCP|IsdnMsgData=", true},
      {"IsdnMsgData= 08 02 00 01 05", "IsdnMsgData= 08 02 00 01 05", false},
      {"pid 7 01/15/2004 10:23:45.6 CCP|IsdnMsgData= 08 02 00 01 05",
       "pid 7 01/15/2004 10:23:45.6 CCP|IsdnMsgData=0802000105", false},  // no ":" before the "C"
      {"01/15/2004 10:23:45.6 C IsdnMsgData= 08 02 00 01 05",
       "01/15/2004 10:23:45.6 C IsdnMsgData=0802000105", true},
  };
  for (const auto& [line, kept, packed] : cases) {
    const MessageStore store = ReadTraceText(std::string(line) + "\n");
    ASSERT_EQ(store.MessageCount(), 1u) << line;
    EXPECT_EQ(DataLine(store, MessageIndex{0}), kept) << line;
    EXPECT_EQ(DataLineSize(store, MessageIndex{0}), kept.size()) << line;
    EXPECT_EQ(ReadKeptLine(store, MessageIndex{0}).shape != nullptr, packed) << line;
  }
}

TEST(MessageColumns, GiveWhatTheTextRulesGive) {
  const std::string t = "01/15/2004 10:23:45.678";
  std::vector<std::pair<std::string, std::string>> messages = {
      {t, "08 02 00 05 05 04 03 80 90 a2"},
      {t, "08 02 80 05 45"},
      {t, "08 02 8a 0c 45"},
      {t, "08 02 8A 0C 45"},
      {t, "08 02 8A 0c 45"},  // both cases: kept as text
      {t, "08 02 00 0A 4d"},
      {t, "08 01 85 4d"},  // one-octet references, with and without the flag
      {t, "08 01 05 4d"},
      {t, "08 00 07"},
      {t, "08 03 00 00 01 05"},
      {t, "08 03 01"},
      {t, "08 F1 0a 0b 4d"},
      {t, "08 02 0"},  // odd digit counts
      {t, "08 02 001"},
      {t, "08 02 00 01 0"},
      {t, "08 01 8"},
      {t, "08 02 zz 01 05"},
      {t, "08 02 0x 12 05"},
      {t, "8x 02 00 01 05"},
      {t, "08 02 00 01"},
      {t, "03 02 00 01 0f"},  // SERVICE and others: no "0x" in the line
      {t, "09 02 00 01 05"},
      {t, ""},
      {t, "0"},
      {"10:00x", "08 02 00 05 05"},  // a "0x" before the call reference
      {"10:00x", "08 01 85 4d"},
      {"", "08 02 80 05 05"},
      {"", "03 00"},
      {"no time", "08 02 00 05 05"},
      {"10:00\tx", "08 02 00 05 05"},
      {"process 12 at 2004-01-15 10:23:45.678 on node 0x7", "08 02 00 05 05"},
      {"process 12 at 2004-01-15 10:23:45.678 on node 0x7", "03 01 05"},
      {"2004-01-15 10:23:45.6789012345678", "08 02 00 05 05"},
      {std::string(300, '.') + " 10:23:45 .", "08 02 00 05 05"},  // a timestamp far into the line
  };
  std::ifstream captures(SIGRUNE_SOURCE_DIR "/tests/data/real-q931.txt");
  for (std::string line; std::getline(captures, line);) {
    if (!line.empty() && line.front() != '#') {
      messages.emplace_back(t, line);
    }
  }
  std::mt19937 random(11);
  const std::string_view characters = "000000888123aAfFx |";
  const std::string_view timestamps[] = {t,  "01/15/2004 10:24:59", "01/15/2004 10:23:60", "10:0x",
                                         "", "01/15/2004 10:0",     "02/30/2004 10:23:01"};
  for (int k = 0; k < 300; ++k) {
    std::string payload = k % 2 == 0 ? "08" : "";
    for (auto length = random() % 12; length > 0; --length) {
      payload += characters[random() % characters.size()];
    }
    messages.emplace_back(timestamps[random() % std::size(timestamps)], payload);
  }
  for (const bool isTracelist : {false, true}) {
    const MessageStore store = ReadTraceText(TraceOf(messages, isTracelist));
    ASSERT_EQ(store.MessageCount(), messages.size());
    ExpectColumnsAgreeWithTheText(store);
  }
}

}  // namespace
}  // namespace sigrune
