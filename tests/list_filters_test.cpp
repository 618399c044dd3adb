#include "trace/list_filters.h"

#include <gtest/gtest.h>

#include "document/where_filter.h"
#include "trace/summary_line.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

TEST(CallReferenceValue, ReadsTheDigitsAfterTheFirstMarkerOrFromTheSecondCharacter) {
  struct Case {
    std::string_view line;
    std::string_view value;
    std::size_t digitTextLength;
  };
  const Case cases[] = {
      {"10:00     1.2.3.4\t\tIn\t\tPRI\t     SETUP               \t\t0x0005", "5", 4},
      {"x\t\t0x85", "85", 2},
      {"x\t\t0x8a0c", "8a0c", 4},
      {"x\t\t0x8A0C", "8a0c", 4},
      {"x\t\t0x00A3g7", "a3", 6},
      {"x\t\t0x", "", 0},
      {"x\t\t0x0x12", "", 4},
      {"01/15/2004 10:23:40.116          1.2.3.4\tOut\t\tPRI\t     SERVICE", "1", 61},
      {"x \t1a\n2 \t3", "1a23", 9},
      {"x", "", 0},
  };
  for (const Case& c : cases) {
    const CallReferenceReading reading = ReadCallReferenceValue(c.line);
    EXPECT_EQ(reading.value, c.value) << c.line;
    EXPECT_EQ(reading.digitTextLength, c.digitTextLength) << c.line;
  }
}

TEST(CallReferenceValue, PartnerInvertsTheFlagOfTheReferenceSize) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"0x0005", "8005"}, {"0x8005", "5"},
      {"0x85", "5"},      {"0x05", "85"},
      {"0x0085", "8085"}, {"0x123456", "11b456"},
      {"0x", "8000"},     {"0x100000000000000000000", "ffffffffffffffff8000"},
  };
  for (const auto& [line, partner] : cases) {
    EXPECT_EQ(PartnerCallReference(ReadCallReferenceValue(line)), partner) << line;
  }
}

TEST(FilterKey, KeepsTheMessagesOfEachFilter) {
  // Calls 0x0005/0x8005 (also as 0x05), 0x85 and 0x0085, 0x8a0c and 0x0A0C, on gateways
  // 10.1.1.1 and 10.1.1.10, PRI and H.225.
  LoadResult loaded = LoadTraceFile(SIGRUNE_SOURCE_DIR "/tests/data/calls-trace.txt");
  const MessageStore store = std::move(loaded.store);
  ASSERT_EQ(store.MessageCount(), 7u);
  using Rows = std::vector<std::size_t>;
  const CallTable calls = GroupCalls(store);
  const auto rows = [&](const FilterKey& key) {
    Rows numbers;
    for (const MessageNumber number : WhereRows(key.term, store, calls)) {
      numbers.push_back(number.value);
    }
    return numbers;
  };
  const auto selectedCall = [&](std::size_t index) {
    return rows(SelectedCallKey(BuildSummaryLine(store, MessageIndex{index})));
  };
  EXPECT_EQ(selectedCall(0), (Rows{1, 2, 4}));     // 0x0005 and 0x8005, also as 0x05
  EXPECT_EQ(selectedCall(2), (Rows{1, 3, 4, 5}));  // 0x85 and 0x05, in two or four digits
  EXPECT_EQ(selectedCall(5), (Rows{6, 7}));        // 0x8a0c and 0x0A0C
  EXPECT_EQ(rows(ThisGatewayKey(store, MessageIndex{0})), (Rows{1, 3, 4, 7}));
  EXPECT_EQ(rows(ProtocolKey(ListFilter::PriOnly)), (Rows{1, 2, 5, 6, 7}));
  EXPECT_EQ(rows(ProtocolKey(ListFilter::H225Only)), (Rows{3, 4}));
  EXPECT_EQ(rows(CallKey(calls.CallOf(MessageNumber{3}))), (Rows{3, 4}));
  // A gateway's index, which no message of the trace has.
  EXPECT_EQ(rows(GatewayKey(static_cast<std::uint32_t>(-1))), Rows{});
}

}  // namespace
}  // namespace sigrune
