#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/find_all.h"
#include "document/go_to.h"
#include "document/trace_document.h"
#include "test_files.h"

namespace sigrune {
namespace {

const std::string kPlain = SourceFile("examples/plain-trace.txt");

std::vector<std::size_t> Numbers(const FindAllResult& result) {
  std::vector<std::size_t> numbers;
  for (const FoundMessage& found : result.found) {
    numbers.push_back(found.message.value);
  }
  return numbers;
}

// Find All finds what Find finds, message for message: the decoded text, not the dump.
TEST(FindAll, FindsTheMessagesFindFindsWithTheirFirstMatchingLine) {
  TraceDocument document;
  ASSERT_EQ(document.Load(kPlain, LoadKind::Open).outcome, OperationOutcome::Done);
  const MessageStore& store = document.Store();
  struct Case {
    std::string text;
    FindCase findCase;
    std::vector<std::size_t> messages;
    std::string firstLine;  // of the first message found
  };
  const Case cases[] = {
      {"Cause i", FindCase::Exact, {15, 18, 21}, "Cause i = 0x8291 - User busy "},
      {"cause I", FindCase::Exact, {}, ""},
      {"cause I", FindCase::Ignore, {15, 18, 21}, "Cause i = 0x8291 - User busy "},
      {"Party Number",
       FindCase::Exact,
       {3, 6, 12},
       "Calling Party Number i = '2145550100' - Plan: ISDN, Type: National, Presentation "
       "Allowed, User-provided, not screened"},
      // In every dump, and in no decoded text.
      {"0010:", FindCase::Exact, {}, ""},
      {"08 02 00 01", FindCase::Ignore, {}, ""},
      // A line end: found across lines, in none alone.
      {"User busy \r\n", FindCase::Exact, {15}, ""},
  };
  for (const Case& test : cases) {
    const FindAllResult result = FindAllMessages(store, nullptr, test.text, test.findCase);
    EXPECT_EQ(Numbers(result), test.messages) << test.text;
    EXPECT_EQ(result.matches, test.messages.size()) << test.text;
    if (!result.found.empty()) {
      EXPECT_EQ(result.found[0].firstLine, test.firstLine) << test.text;
    }
    std::vector<std::size_t> found;
    FindCallbacks callbacks;
    callbacks.hit = [&](MessageNumber message) { found.push_back(message.value); };
    FindInAllMessages(store, test.text, callbacks, test.findCase);
    EXPECT_EQ(found, test.messages) << test.text;
  }

  // The filter's rows only; a cap keeps the first and counts them all; a cancel gives nothing.
  const RowMap rows = {MessageNumber{15}, MessageNumber{16}, MessageNumber{21}};
  EXPECT_EQ(Numbers(FindAllMessages(store, &rows, "Cause", FindCase::Exact)),
            (std::vector<std::size_t>{15, 21}));
  const FindAllResult capped = FindAllMessages(store, nullptr, "", FindCase::Exact, 2);
  EXPECT_EQ(Numbers(capped), (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(capped.matches, 21u);
  EXPECT_EQ(capped.found[1].firstLine, "Invalid Protocol Discriminator: 3");  // no line end
  const FindAllResult cancelled = FindAllMessages(store, nullptr, "Cause", FindCase::Exact,
                                                  kFindAllKept, [](auto, auto) { return false; });
  EXPECT_EQ(cancelled.outcome, OperationOutcome::Cancelled);
  EXPECT_EQ(cancelled.matches, 0u);
  EXPECT_TRUE(cancelled.found.empty());
}

TEST(FindAll, TheOppositeSearchStepsBackOverTheLastHit) {
  struct Case {
    bool down;
    std::int64_t firstRow;
    std::optional<std::size_t> selected;
    std::int64_t oppositeFirstRow;
  };
  const Case cases[] = {
      {true, 4, 3, 2},     // Find Again down would step over the hit at 3: up from 2
      {true, 3, 3, 3},     // the selected row is no hit: it is searched either way
      {false, 2, 3, 4},    // up over the hit: down from 4
      {false, 3, 3, 3},    //
      {true, 1, 0, -1},    // up from above the first row: nothing
      {true, 0, {}, -1},   // nothing selected: up finds nothing
      {false, -1, {}, 0},  // down starts at the first row
  };
  for (const Case& test : cases) {
    FindQuery query;
    query.down = test.down;
    query.firstRow = test.firstRow;
    const FindQuery opposite = OppositeFindQuery(query, test.selected);
    EXPECT_EQ(opposite.down, !test.down) << test.firstRow;
    EXPECT_EQ(opposite.firstRow, test.oppositeFirstRow) << test.down << " " << test.firstRow;
  }
}

TEST(GoTo, ReachesAMessageByNumberOrTheFirstAtOrAfterATime) {
  TraceDocument document;
  ASSERT_EQ(document.Load(kPlain, LoadKind::Open).outcome, OperationOutcome::Done);
  struct Case {
    const char* text;
    std::size_t message;  // 0: none, then the problem
    const char* problem;
  };
  const Case all[] = {
      {" 3 ", 3, ""},
      {"21", 21, ""},
      {"0", 0, "there is no message 0: the trace has 21 messages"},
      {"22", 0, "there is no message 22: the trace has 21 messages"},
      {"99999999999999999999999", 0,
       "there is no message 99999999999999999999999: the trace has 21 messages"},
      {"10:24", 12, ""},  // 10:24:02.931
      {"10:23:47.311", 6, ""},
      {"10:23:47.3111", 7, ""},
      {"01/15/2004 10:24:17.663", 19, ""},
      {"2004-01-15 00:00", 0,
       "\"2004-01-15 00:00\" is neither a message number nor a time (HH:MM, HH:MM:SS, "
       "HH:MM:SS.fff or a whole timestamp)"},
      {"09:00", 1, ""},
      {"10:25", 0, "no message of the list is at or after 10:25"},
      {"2004-01-16 00:00:00", 0, "no message of the list is at or after 2004-01-16 00:00:00"},
      {"ten", 0,
       "\"ten\" is neither a message number nor a time (HH:MM, HH:MM:SS, HH:MM:SS.fff or a "
       "whole timestamp)"},
  };
  for (const Case& test : all) {
    const GoToTarget target = FindGoToTarget(document, test.text);
    EXPECT_EQ(target.message.value, test.message) << test.text;
    EXPECT_EQ(target.problem, test.problem) << test.text;
  }
  // Through the filter's rows: messages 6, 7, 8, 11 and 21.
  ASSERT_TRUE(document.ApplyFilter(ListFilter::H225Only));
  EXPECT_EQ(FindGoToTarget(document, "10:24").message.value, 21u);
  EXPECT_EQ(FindGoToTarget(document, "7").message.value, 7u);
  EXPECT_EQ(FindGoToTarget(document, "3").problem,
            "message 3 is not in the list: the filter shows H225 only");
}

}  // namespace
}  // namespace sigrune
