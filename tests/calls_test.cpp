#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "calls/call_detail.h"
#include "calls/call_flow.h"
#include "calls/call_statistics.h"
#include "calls/call_table.h"
#include "calls/call_texts.h"
#include "calls/message_facts.h"
#include "q931/decoder.h"
#include "test_files.h"
#include "trace/trace_reader.h"
#include "util/text_utilities.h"
#include "writers/call_csv.h"

namespace sigrune {
namespace {

// The calls' CSV of this trace is pinned, byte for byte, by the command line's test.
TEST(GroupCalls, PutsEachMessageInItsCall) {
  const LoadResult loaded = LoadTraceFile(SourceFile("tests/data/grouped-calls.txt"));
  const CallTable table = GroupCalls(loaded.store);
  const std::vector<std::uint32_t> callOfMessage(table.callOfMessage.begin(),
                                                 table.callOfMessage.end());
  // Messages 10 to 14: SERVICE, RESTART, RESTART ACKNOWLEDGE, length octet 0xF1, a header digit
  // that is none.
  EXPECT_EQ(callOfMessage,
            (std::vector<std::uint32_t>{1, 1, 2, 2, 3, 4, 4, 2, 3, 0, 0, 0, 0, 0, 4, 4,
                                        4, 2, 2, 2, 5, 5, 5, 6, 7, 7, 7, 8, 8, 8, 9, 10}));
  const RowMap messages = table.MessagesOf(CallNumber{4});
  std::vector<std::size_t> numbers;
  for (const MessageNumber message : messages) {
    numbers.push_back(message.value);
  }
  EXPECT_EQ(numbers, (std::vector<std::size_t>{6, 7, 15, 16, 17}));
  EXPECT_TRUE(table.MessagesOf(CallNumber{11}).empty());
}

TEST(GroupCalls, LinksEachIncomingCallToTheNearestOutgoingOne) {
  const LoadResult loaded = LoadTraceFile(SourceFile("tests/data/call-legs.txt"));
  const CallTable table = GroupCalls(loaded.store);
  // Each `in` call, and the `out` call it takes or 0; the rest are linked to none.
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {1, 2},             // the same calling digits, another gateway and protocol
      {4, 5},             // 5 and 6 at the same time: the lower number
      {7, 8},             // 0 s
      {9, 10},            // 5 s
      {11, 0},            // 5.001 s
      {14, 0},            // call 13 is half a second earlier
      {15, 17},           // nearer to 16 too, but 15 comes first
      {16, 18}, {19, 0},  // no time
      {21, 0},            // call 22 has no time
      {23, 0},            // neither has digits
      {26, 25},           // 0 s, the `out` call first
  };
  std::vector<std::uint32_t> expected(table.calls.size() + 1, 0);
  for (const auto& [in, out] : cases) {
    expected[in] = out;
    if (out != 0) {
      expected[out] = in;
    }
  }
  for (std::uint32_t call = 1; call <= table.calls.size(); ++call) {
    EXPECT_EQ(table.Record(CallNumber{call}).related.value, expected[call]) << "call " << call;
  }
}

// An `in` call and two `out` calls at the same time, one with its calling digits and one with its
// called digits: the lower number wins, whichever digits it shares; grouped whole or grown a
// message at a time.
TEST(GroupCalls, OnATieBetweenCallingAndCalledDigitsLinksTheLowerNumber) {
  const auto setup = [](std::string_view time, bool out, int reference, std::string_view calling,
                        std::string_view called) {
    const auto number = [](int identifier, std::string_view digits) {
      char octets[16];
      std::snprintf(octets, sizeof octets, " %02x %02zx 81", identifier, digits.size() + 1);
      std::string text = octets;
      for (const char digit : digits) {
        text += " 3" + std::string(1, digit);
      }
      return text;
    };
    const std::string stamp = "01/15/2004 " + std::string(time) + " CCP|";
    char header[16];
    std::snprintf(header, sizeof header, "08 02 00 %02x 05", reference);
    return stamp + (out ? "Out" : "In ") + " Message -- PriSetupMsg\n" + stamp +
           "MMan_Id= 1. (IpAddr=0501010a IpPort=2427)\n" + stamp + "IsdnMsgData1= " + header +
           number(0x6c, calling) + number(0x70, called) + "\n";
  };
  const std::string trace =
      // Call 2 shares the called digits, call 3 the calling ones.
      setup("10:00:00.000", false, 1, "100", "200") + setup("10:00:01.000", true, 2, "999", "200") +
      setup("10:00:01.000", true, 3, "100", "888") +
      // Call 5 shares the calling digits, call 6 the called ones.
      setup("10:01:00.000", false, 4, "101", "201") + setup("10:01:01.000", true, 5, "101", "777") +
      setup("10:01:01.000", true, 6, "666", "201");
  const MessageStore whole = ReadTraceText(trace);
  ASSERT_EQ(whole.MessageCount(), 6u);
  CallTable grown = GroupCalls(MessageStore());
  for (std::size_t count = 1; count <= whole.MessageCount(); ++count) {
    MessageStore first = ReadTraceText(trace);
    KeepFirstMessages(first, count);
    ExtendCalls(first, grown);
  }
  for (const CallTable& table : {GroupCalls(whole), grown}) {
    std::vector<std::uint32_t> related;
    for (const CallRecord& call : table.calls) {
      related.push_back(call.related.value);
    }
    EXPECT_EQ(related, (std::vector<std::uint32_t>{2, 1, 0, 5, 4, 0}));
  }
}

// Messages appended in pieces join the calls as if they had all been there: the same calls,
// facts, outcomes and links, whatever the pieces.
TEST(ExtendCalls, GroupsAppendedMessagesAsGroupCallsWould) {
  const auto described = [](const MessageStore& store, const CallTable& table) {
    std::string text;
    for (std::uint32_t call = 1; call <= table.calls.size(); ++call) {
      AppendCallCsvRecord(text, store, table, CallNumber{call}, {.related = true, .timing = true});
    }
    for (const std::uint32_t call : table.callOfMessage) {
      text += std::to_string(call) + " ";
    }
    return text;
  };
  for (const char* name : {"tests/data/call-legs.txt", "tests/data/grouped-calls.txt"}) {
    const MessageStore whole = LoadTraceFile(SourceFile(name)).store;
    const std::string expected = described(whole, GroupCalls(whole));
    for (std::size_t first = 0; first <= whole.MessageCount(); ++first) {
      MessageStore start = LoadTraceFile(SourceFile(name)).store;
      MessageStore middle = LoadTraceFile(SourceFile(name)).store;
      KeepFirstMessages(start, first);
      KeepFirstMessages(middle, std::min(first + 3, whole.MessageCount()));
      CallTable table = GroupCalls(start);
      ExtendCalls(middle, table);
      ExtendCalls(whole, table);
      ASSERT_EQ(described(whole, table), expected) << name << ", from message " << first + 1;
    }
  }
}

// Calls 1 and 2 are the legs of one conversation, call 3 fails on another gateway; the
// command line's golden files pin the names and labels.
TEST(BuildCallFlow, PutsEachPartyOnItsSideOfTheServer) {
  const LoadResult loaded = LoadTraceFile(SourceFile("tests/data/call-legs.txt"));
  const CallTable table = GroupCalls(loaded.store);
  const auto lanes = [](const CallFlow& flow) {
    std::string text;
    for (const FlowLane& lane : flow.lanes) {
      text +=
          lane.server ? "server" : lane.address + " " + std::string(ProtocolText(lane.protocol));
      text += "|";
    }
    return text;
  };
  const CallNumber one[] = {CallNumber{1}};
  const CallFlow alone = BuildCallFlow(loaded.store, table, one, false);
  EXPECT_EQ(lanes(alone), "10.1.1.5 PRI|server|");
  EXPECT_EQ(alone.arrows.size(), 8u);

  const CallNumber shown[] = {CallNumber{3}, CallNumber{1}};
  const CallFlow flow = BuildCallFlow(loaded.store, table, shown, true);
  EXPECT_EQ(lanes(flow), "10.1.1.5 PRI|server|10.20.20.33 H225|10.1.1.6 PRI|");
  ASSERT_EQ(flow.arrows.size(), 18u);
  const std::tuple<std::size_t, std::string> cases[] = {
      {1, "1 0>1 Exclusive channel 1"},
      {5, "2 2>1 progress: In-band info or appropriate now available"},
      {10, "3 1>3 "},
      {11, "3 3>1 undecodable!"},
      {12, "3 3>1 red"},
      {14, "3 3>1 red"},
      {15, "1 0>1 "},
  };
  for (const auto& [message, shownAs] : cases) {
    const FlowArrow& arrow = flow.arrows[message - 1];
    EXPECT_EQ(arrow.message.value, message);
    EXPECT_EQ(std::to_string(arrow.call.value) + " " + std::to_string(arrow.fromLane) + ">" +
                  std::to_string(arrow.toLane) + " " + arrow.detail +
                  (arrow.undecodable ? arrow.label + "!" : "") +
                  (arrow.failedClearing ? "red" : ""),
              shownAs);
  }
}

// Elements of other codesets and those that run past the end tell nothing.
TEST(ReadElementFacts, ReadsTheFirstOfEachInCodesetZero) {
  struct Case {
    std::string hex;  // a message after "08 02 00 01"
    std::string calling, called;
    int cause;
    int channel = -1;
  };
  const Case cases[] = {
      // A non-locking shift puts the first Calling party number in codeset 6.
      {"05 9e 6c 03 81 31 32 6c 03 81 33 34 6c 02 81 35", "34", "", -1},
      // A locking shift keeps codeset 6 to the end.
      {"05 96 70 02 81 38 6c 02 81 37", "", "", -1},
      {"05 6c 02 01 31 70 03 81 32 33", "", "23", -1},  // no octet with bit 8 set: no digits
      {"45 08 00 08 01 00 08 02 00 05 08 03 00 05 95 08 02 81 90", "", "", 21},
      {"45 08 05 81 90", "", "", -1},  // runs past the end
      // A basic rate Channel ID, then one of primary rate; four octets; bit 6 clear.
      {"05 18 01 89 18 03 a9 83 85", "", "", -1, 5},
      {"05 18 04 a9 83 87 00", "", "", -1, -1},
      {"05 18 03 89 83 87", "", "", -1, -1},
  };
  for (const Case& c : cases) {
    ElementFacts facts{true, true, true, true, "stale", "stale", 99};
    ReadElementFacts(PayloadBytesOfHexText(RemoveBlanks("08020001" + c.hex)), facts);
    EXPECT_EQ(facts.calling, c.calling) << c.hex;
    EXPECT_EQ(facts.called, c.called) << c.hex;
    EXPECT_EQ(facts.channel, c.channel) << c.hex;
    EXPECT_EQ(facts.cause, c.cause) << c.hex;
  }
}

// The detail line's facts: the cause's location from the element the cause came from, and the
// first fault over both legs, found on the leg that failed before the call did.
TEST(DescribeCall, NamesTheCauseLocationAndTheFirstFaultOfEitherLeg) {
  const LoadResult loaded = LoadTraceFile(SourceFile("examples/bridged-calls.txt"));
  const CallTable table = GroupCalls(loaded.store);
  const CallDetail detail = DescribeCall(loaded.store, table, CallNumber{1});
  EXPECT_EQ(std::vector<std::string>({detail.call, detail.direction, detail.gateway, detail.calling,
                                      detail.called, detail.outcome, detail.cause, detail.clearedBy,
                                      detail.firstFault}),
            (std::vector<std::string>{
                "Call 1", "in", "10.1.1.5 PRI", "2145550100", "9145550199", "failed",
                "cause 34 No channel available (public network serving the local user)",
                "cleared by the server",
                "first fault: call 2 (out, 172.16.20.33 H225) DISCONNECT cause 34, 0.769 s after "
                "its SETUP"}));
  EXPECT_EQ(FirstFaultCell(FirstFault(loaded.store, table, CallNumber{3})), "");

  // 16 and 31 are no fault; a call without a SETUP gives no time; locations without a name are
  // told by number.
  const MessageStore store = ReadTraceText(
      "IsdnMsgData1= 08 02 00 01 45 08 02 81 90\n"    // DISCONNECT 16, location 1
      "IsdnMsgData1= 08 02 00 01 4d 08 02 86 9f\n"    // RELEASE 31
      "IsdnMsgData1= 08 02 00 01 5a 08 02 8f 91\n");  // RELEASE COMPLETE 17, location 15
  const CallTable partial = GroupCalls(store);
  const CallDetail busy = DescribeCall(store, partial, CallNumber{1});
  EXPECT_EQ(busy.cause, "cause 16 Normal call clearing (private network serving the local user)");
  EXPECT_EQ(busy.firstFault, "first fault: call 1 (out) RELEASE_COMP cause 17");
  EXPECT_EQ(FirstFaultCell(FirstFault(store, partial, CallNumber{1})), "1 RELEASE_COMP 17");
  EXPECT_EQ(CauseLocationText(15), "location 15");
}

TEST(DurationText, RoundsToTheMillisecondWithHalvesAwayFromZero) {
  constexpr MessageTime kSecond = 1'000'000'000;
  const std::tuple<MessageTime, MessageTime, std::string> cases[] = {
      {0, 0, "0.000"},
      {0, 499'999, "0.000"},
      {0, 500'000, "0.001"},
      {7, 3600 * kSecond + 1'499'999 + 7, "3600.001"},
      {kSecond, kSecond - 1, "-"},
      // The ends of what a time holds are further apart than a signed difference reaches.
      {kNoTime + 1, std::numeric_limits<MessageTime>::max(), "18446744073.710"},
      {kNoTime, 0, ""},
      {0, kNoTime, ""},
  };
  for (const auto& [first, last, text] : cases) {
    EXPECT_EQ(DurationText(first, last), text) << first << " " << last;
  }
}

TEST(AppendCsvField, QuotesWhatWouldSplitTheRecordGuardsFormulasAndWritesUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"2145550100", "2145550100"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"one\rtwo", "\"one\rtwo\""},
      {"one\ntwo", "\"one\ntwo\""},
      {"caf\xe9 \xff", "caf\xc3\xa9 \xc3\xbf"},
      // What a spreadsheet would run gets an apostrophe, before the quotes.
      {"=HYPERLINK(\"http://x\";\"c\")", "\"'=HYPERLINK(\"\"http://x\"\";\"\"c\"\")\""},
      {"@SUM(1+1)", "'@SUM(1+1)"},
      {"+1-2", "'+1-2"},
      {"-2+3", "'-2+3"},
      {"\tx", "'\tx"},
      {"\rx", "\"'\rx\""},
      {"=caf\xe9", "'=caf\xc3\xa9"},
      {"-1.", "'-1."},
      {"+.5", "'+.5"},
      {"+", "'+"},
      // Numbers, the "-" of a negative duration, and formula characters further in stay.
      {"-", "-"},
      {"-12.345", "-12.345"},
      {"+7", "+7"},
      {"1+1", "1+1"},
      {"a=b", "a=b"},
  };
  for (const auto& [latin1, field] : cases) {
    std::string text = "x";
    AppendCsvField(text, latin1);
    EXPECT_EQ(text, "x" + field) << latin1;
  }
}

TEST(CallStatistics, ShareAndMinuteTexts) {
  const std::tuple<std::uint64_t, std::uint64_t, std::string> shares[] = {
      {1, 16, "6.3"},   {1, 8, "12.5"},
      {1, 3, "33.3"},   {2, 3, "66.7"},
      {1, 2000, "0.1"}, {1, 2001, "0.0"},
      {0, 5, "0.0"},    {5, 5, "100.0"},
      {0, 0, "0.0"},    {4'294'967'295, 4'294'967'296, "100.0"},
  };
  for (const auto& [part, whole, text] : shares) {
    EXPECT_EQ(ShareText(part, whole), text) << part << " of " << whole;
  }
  const std::pair<std::string, std::string> minutes[] = {
      {"1970-01-01 00:00:00", "1970-01-01 00:00"},
      {"1969-12-31 23:59:59.9", "1969-12-31 23:59"},
      {"02/29/2004 10:40:59.999", "2004-02-29 10:40"},
      {"2000-03-01 00:00:00", "2000-03-01 00:00"},
      {"1677-09-21 00:13:00", "1677-09-21 00:13"},
      {"2262-04-11 23:47:16", "2262-04-11 23:47"},
  };
  for (const auto& [timestamp, text] : minutes) {
    const MessageTime time = ParseMessageTime(timestamp);
    const std::int64_t minute = time / 60'000'000'000 - (time % 60'000'000'000 < 0 ? 1 : 0);
    EXPECT_EQ(MinuteText(minute), text) << timestamp;
  }
}

// Empty minutes are listed while the starts lie less than seven days apart.
TEST(CallStatistics, ListsEmptyMinutesOnlyWithinSevenDays) {
  const auto minutes = [](const std::string& first, const std::string& last) {
    std::string trace;
    for (const auto& [time, reference] : {std::pair{first, "01"}, std::pair{last, "02"}}) {
      trace += time + " CCP|In  Message -- PriSetupMsg\n" + time +
               " CCP|MMan_Id= 1. (IpAddr=0501010a IpPort=2427)\n" + time +
               " CCP|IsdnMsgData1= 08 02 00 " + reference + " 05\n";
    }
    const LoadResult loaded = LoadTraceFile(WriteTemporary("spread.txt", trace));
    const CallStatistics statistics = CountCallStatistics(loaded.store, GroupCalls(loaded.store));
    return statistics.minutes.size();
  };
  EXPECT_EQ(minutes("01/01/2004 00:00:00.000", "01/07/2004 23:59:59.999"), 10'080u);
  EXPECT_EQ(minutes("01/01/2004 00:00:30.000", "01/08/2004 00:00:29.999"), 10'081u);
  EXPECT_EQ(minutes("01/01/2004 00:00:30.000", "01/08/2004 00:00:30.000"), 2u);
}

TEST(CallTable, DigitsThatKeepComingBetweenOtherCallsStayWholeInBoundedRoom) {
  // Overlap sending on two calls at once, a digit at a time, and a third call's number between.
  CallTable table;
  table.calls.resize(3);
  std::string calling[3];
  std::string called[3];
  for (int k = 0; k < 100'000; ++k) {
    const auto call = static_cast<std::size_t>(k % 3);
    const std::string digit(1, static_cast<char>('0' + k % 10));
    const std::string callingDigit = k < 3 ? "5" : "";
    table.AppendDigits(table.calls[call], callingDigit, digit);
    calling[call] += callingDigit;
    called[call] += digit;
  }
  for (std::size_t call = 0; call < 3; ++call) {
    EXPECT_EQ(table.Calling(table.calls[call]), calling[call]);
    EXPECT_EQ(table.Called(table.calls[call]), called[call]);
  }
  EXPECT_LT(table.digits.size(), 8 * 100'003u);
}

}  // namespace
}  // namespace sigrune
