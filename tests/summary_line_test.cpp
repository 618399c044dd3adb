#include "trace/summary_line.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "test_files.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

const std::string kFive = "     ";

TEST(PayloadText, CutsBetweenTheFirstEqualsAndTheEndMarker) {
  const std::tuple<std::string_view, bool, std::string_view> cases[] = {
      {"x CCP|IsdnMsgData2= 08 02 00 01 05 04 03 80 90 a2  |<CLID::a=b>", false,
       "080200010504038090a2"},
      {"IsdnMsgData=08 02|<CLID::x|<CLID::y", false, "0802"},
      {"<info>IsdnMsgData= 08 0A |<CLID:: 1</info>|<CLID::</info>", true, "080A|<CLID::1"},
      {"IsdnMsgData 08 02 00", false, "IsdnMsgData080200"},
      {"IsdnMsgData=08\t02 \xb5", false, "08\t02\xb5"},
      {"IsdnMsgData=", false, ""},
  };
  for (const auto& [line, isTracelist, payload] : cases) {
    EXPECT_EQ(PayloadText(line, isTracelist), payload) << line;
    std::string buffer;
    for (std::size_t limit = 0; limit <= payload.size() + 1; ++limit) {
      EXPECT_EQ(PayloadTextPrefix(line, isTracelist, limit, buffer), payload.substr(0, limit));
    }
  }
}

// One entry of the table is checked with the other decoder tables.
TEST(MessageTypeName, NamesUnknownCodes) {
  for (const int unknown : {0x06, 0x00, -1, 0x7E, 0xFF}) {
    EXPECT_EQ(MessageTypeName(unknown), "UNKNOWN           ") << unknown;
  }
}

TEST(ShortenTimestamp, KeepsTheTimeStampPieceOfALongText) {
  const std::tuple<std::string_view, bool, std::string_view> cases[] = {
      {"<Trace><Date>2004-01-16 08:02:14.032</Date><info>", true, "2004-01-16 08:02:14.032"},
      {"<Trace><Date> 01/15/2004 10:23:45.678 </Date><Host>mrv</Host><info>", true,
       "01/15/2004 10:23:45.678"},
      {"00000123.456 |01/15/2004 10:23:45.678 |App|", false, "01/15/2004 10:23:45.678"},
      {"00000123.456 |app-server-01 10:33:31.497 |App|", false, "10:33:31.497"},
      {"trace 4711 of node 12 at 2004-01-15T10:23:45.678Z", false, "2004-01-15T10:23:45.678"},
      {"process 12 reports time 10:33:31. then stops here", false, "10:33:31"},
      {"a: b: no digits around any colon at all here", false, "a: b: no digits around any col"},
      {"10:33:31.4970000000000000000000000000000", false, "10:33:31.497000000000000000000"},
  };
  for (const auto& [text, isTracelist, timestamp] : cases) {
    EXPECT_EQ(ShortenTimestamp(text, isTracelist), timestamp) << text;
  }
}

struct SummaryCase {
  std::string dataLine;
  bool isIncoming;
  std::string_view protocol;
  std::string_view gateway;
  bool isTracelist;
  std::string line;
};

TEST(BuildSummaryLine, LaysOutTheColumns) {
  const std::string t23 = "01/15/2004 10:23:45.678";
  const std::string t30 = "01/15/2004 10:23:45.6789012345";
  // The columns before the message type, for the cases of the type and call reference columns.
  const std::string in = "1:2" + std::string(20, ' ') + "\t\tIn\t\tPRI\t" + kFive;
  const SummaryCase cases[] = {
      {t23 + " CCP|IsdnMsgData= 08 02 00 01 05 04 03 80 90 a2", true, "PRI", "10.1.1.5", false,
       t23 + "          10.1.1.5\t\tIn\t\tPRI\t" + kFive + "SETUP               \t\t0x0001"},
      // A gateway of 15 characters is followed by one tab.
      {t23 + " C=08 01 8A 45", false, "H225", "192.168.100.200", false,
       t23 + "          192.168.100.200\tOut\t\tH225\t" + kFive + "DISCONNECT         \t\t0x8A"},
      // No gateway and no header line.
      {"10:00 C=08 02 00 01 06", false, "", "", false,
       "10:00" + std::string(20, ' ') + "\t\tOut\t\t\t" + kFive + "UNKNOWN           \t\t0x0001"},
      // No colon: no timestamp; a line beginning with C.
      {"no time here C=08 00 07", false, "PRI", "1.2.3.4", false,
       std::string(20, ' ') + "1.2.3.4\t\tOut\t\tPRI\t" + kFive + "CONNECT            \t\t0x"},
      {"CCP|10:00 =08 00 07", false, "PRI", "", false,
       std::string(20, ' ') + "\t\tOut\t\tPRI\t" + kFive + "CONNECT            \t\t0x"},
      // Timestamps of 30 and 31 characters.
      {t30 + " C=08 01 0a 4d", true, "PRI", "1.2.3.4", false,
       t30 + kFive + "1.2.3.4\t\tIn\t\tPRI\t" + kFive + "RELEASE            \t\t0x0a"},
      {"x " + t30.substr(0, 29) + " C=08 01 0a 4d", true, "PRI", "", false,
       t30.substr(0, 29) + std::string(10, ' ') + "\t\tIn\t\tPRI\t" + kFive +
           "RELEASE            \t\t0x0a"},
      // The whole of octet 2 as call reference length; other protocol discriminators; an empty
      // and a short payload.
      {"1:2 C=08 F1 0a 0b 4d", true, "PRI", "", false, in + "UNKNOWN           \t\t0x0a0b4d"},
      {"1:2 C=03 02 00 01 0f", true, "PRI", "", false, in + "SERVICE"},
      {"1:2 C=09 02 00 01 05", true, "PRI", "", false, in + "UNSUPPORTED MESSAGE"},
      {"1:2 C=", true, "PRI", "", false, in + "UNSUPPORTED MESSAGE"},
      {"1:2 C=08 02 00", true, "PRI", "", false, in + "UNKNOWN           \t\t0x00"},
      // The date of a <Tracelist> line.
      {"<Trace><Date>" + t23 + "</Date><info>CCP|IsdnMsgData=08 02 8d 2a 5a |<CLID::x</info>",
       false, "H225", "10.0.30.75", true,
       t23 + "          10.0.30.75\t\tOut\t\tH225\t" + kFive + "RELEASE_COMP       \t\t0x8d2a"},
  };
  for (const SummaryCase& c : cases) {
    EXPECT_EQ(BuildSummaryLine(c.dataLine, c.isIncoming, c.protocol, c.gateway, c.isTracelist),
              c.line)
        << c.dataLine;
  }
}

class CollectingSink : public MessageListSink {
 public:
  void AddItem(std::string_view line) override {
    text += line;
    text += '\n';
  }
  std::string text;
};

TEST(RebuildMessageList, ListsTheExampleTracesLineForLine) {
  for (const std::string name : {"plain-trace.txt", "tracelist-trace.xml"}) {
    const LoadResult loaded = LoadTraceFile(SourceFile("examples/" + name));
    ASSERT_EQ(loaded.outcome, OperationOutcome::Done) << name;
    CollectingSink list;
    RebuildMessageList(loaded.store, list);
    EXPECT_EQ(list.text,
              ReadFile(SourceFile("tests/data/" + name.substr(0, name.find('.')) + ".list")))
        << name;
  }
}

}  // namespace
}  // namespace sigrune
