#include "document/where_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "document/trace_document.h"
#include "test_files.h"
#include "trace/summary_line.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

// Ten messages: call 1 (1, 2, 3, 8, 9) answered on 10.1.1.5, with two causes in message 8;
// call 2 (4, 5) busy on H.225; a SERVICE (6) and a RESTART (7) in no call on 10.1.1.50;
// call 3 (10) rejected, with no time and a quote in its timestamp text.
const std::string kTrace = SourceFile("tests/data/where-trace.txt");

using Numbers = std::vector<std::size_t>;

Numbers NumbersOf(const RowMap& rows) {
  Numbers numbers;
  for (const MessageNumber message : rows) {
    numbers.push_back(message.value);
  }
  return numbers;
}

Numbers DocumentRows(const TraceDocument& document) {
  Numbers numbers;
  for (std::size_t row = 0; row < document.RowCount(); ++row) {
    numbers.push_back(document.MessageAtRow(row).value);
  }
  return numbers;
}

TEST(WhereRows, EachFieldPhraseAndNegationKeepsItsMessages) {
  const LoadResult loaded = LoadTraceFile(kTrace);
  const CallTable calls = GroupCalls(loaded.store);
  const std::pair<std::string_view, Numbers> cases[] = {
      {"", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"   ", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"type:setup", {1, 2, 4}},  // SETUP_ACK too
      {"TYPE:Rel", {5, 9, 10}},
      {"type:service", {6}},
      {"type:\"release_c\"", {5, 10}},
      {"gw:10.1.1.5", {1, 2, 3, 8, 9, 10}},  // not 10.1.1.50
      {"gw:10.1.1", {}},
      {"proto:H225", {4, 5}},
      {"Dir:IN", {1, 5, 6, 8, 10}},
      {"crv:1", {1, 2, 3, 8, 9}},  // four digits' flag: 0x8001
      {"crv:0x2a", {4, 5}},        // two digits' flag: 0xaa
      {"crv:0x002a", {4}},
      {"crv:8A0C", {10}},  // its digits are shown in both cases
      {"crv:0", {7}},      // the RESTART's global reference
      {"call:2", {4, 5}},
      {"call:4", {}},
      {"cause:41", {8}},  // the second Cause element
      {"cause:16", {8}},
      {"cause:17", {5}},
      {"number:555", {1, 2, 3, 4, 5, 8, 9}},
      {"number:911", {4, 5}},
      {"channel:05", {1, 2, 3, 8, 9}},  // from the SETUP ACKNOWLEDGE's Channel ID
      {"-channel:5", {4, 5, 6, 7, 10}},
      {"outcome:answered", {1, 2, 3, 8, 9}},
      {"outcome:Rejected", {10}},
      {"outcome:no-answer", {}},
      {"-outcome:answered", {4, 5, 6, 7, 10}},  // and the messages in no call
      {"from:10:40", {2, 3, 4, 5, 6, 7, 8, 9}},
      {"to:10:45", {1, 2, 3, 4, 5, 6, 7, 8}},  // 10:45:00.000 itself
      {"from:10:40:00.001 to:10:45:00.000", {3, 4, 5, 6, 7, 8}},
      {"from:\"01/15/2004 10:45:00.001\"", {9}},
      {"to:\"2004-01-15 10:39:59.999000001\"", {1}},
      {"-from:10:40", {1, 10}},  // and the message without a time
      {"-gw:10.1.1.5", {4, 5, 6, 7}},
      {"-proto:pri", {4, 5}},
      {"-dir:in", {2, 3, 4, 7, 9}},
      {"-call:1", {4, 5, 6, 7, 10}},
      {"call:1 -dir:in", {2, 3, 9}},
      {"call:1 call:2", {}},
      {"-call:1 -call:2 \"1/15\"", {6, 7}},
      {"\"release_comp\"", {5, 10}},
      {"h225", {4, 5}},
      {"\"\\\"1:00\\\"\"", {10}},
      {"-\"\\\"1:00\\\"\"", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"\"in\t\tpri\"", {1, 6, 8, 10}},
      {"type:setup gw:10.1.1.5 from:10:40", {2}},
      {"-type:setup -type:rel", {3, 6, 7, 8}},
      // Any white space separates terms.
      {"type:setup\tdir:in", {1}},
      {"\r\ntype:setup\v\fgw:10.1.1.5\n", {1, 2}},
      {"\"release_comp\"\ttype:rel", {5, 10}},
  };
  for (const auto& [text, expected] : cases) {
    const WhereParse parse = ParseWhere(text);
    ASSERT_TRUE(parse.ok) << text << ": " << parse.error;
    EXPECT_EQ(NumbersOf(WhereRows(parse.expression, loaded.store, calls)), expected) << text;
    // Narrowing every message, and the messages from the sixth on as if appended.
    RowMap all;
    for (std::size_t index = 0; index < loaded.store.MessageCount(); ++index) {
      all.push_back(NumberOf(MessageIndex{index}));
    }
    KeepWhere(all, parse.expression, loaded.store, calls);
    EXPECT_EQ(NumbersOf(all), expected) << text;
    RowMap appended = {MessageNumber{1}};
    AppendWhereRows(appended, parse.expression, loaded.store, calls, 5);
    Numbers later = {1};
    std::copy_if(expected.begin(), expected.end(), std::back_inserter(later),
                 [](std::size_t number) { return number > 5; });
    EXPECT_EQ(NumbersOf(appended), later) << text;
    for (std::size_t index = 0; index < loaded.store.MessageCount(); ++index) {
      EXPECT_EQ(WhereKeeps(parse.expression, loaded.store, calls, index),
                std::find(expected.begin(), expected.end(), index + 1) != expected.end())
          << text << ", message " << index + 1;
    }
  }
}

// The numbers of the messages of a trace text that the expression keeps, whole and appended.
Numbers Kept(const std::string& trace, std::string_view text) {
  const MessageStore store = ReadTraceText(trace);
  const CallTable calls = GroupCalls(store);
  const WhereParse parse = ParseWhere(text);
  EXPECT_TRUE(parse.ok) << text << ": " << parse.error;
  RowMap appended;
  AppendWhereRows(appended, parse.expression, store, calls, 0);
  const Numbers kept = NumbersOf(WhereRows(parse.expression, store, calls));
  EXPECT_EQ(NumbersOf(appended), kept) << text;
  return kept;
}

// A value typed with its flag takes the reference without it too, in both lengths; the flag is
// the top bit of as many octets as the value has digits.
TEST(WhereRows, CrvTakesTheValueTypedWithItsFlagAndWithout) {
  std::string trace;
  for (const char* payload : {"08 01 05 05", "08 01 85 07", "08 02 00 05 05", "08 02 80 05 07",
                              "08 01 06 05", "08 02 00 85 05"}) {
    trace += std::string("IsdnMsgData1= ") + payload + "\n";
  }
  const std::pair<std::string_view, Numbers> cases[] = {
      {"crv:85", {1, 2, 3, 6}},   // 0x85 and 0x05, which 0x0005 and 0x0085 are too
      {"crv:0x8005", {1, 3, 4}},  // 0x8005 and 0x0005
      {"crv:0x0085", {2, 6}},     // 0x0085 and 0x8085
      {"-crv:85", {4, 5}},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Kept(trace, text), expected) << text;
  }
}

// The time of `to:` is kept itself, to the millisecond, in each form a time is typed in.
TEST(WhereRows, ToKeepsTheMessageAtItsOwnTimeInEveryForm) {
  std::string trace;
  for (const char* time : {"23:59:59.999", "10:00:00.000", "10:00:00.001", "10:00:00.002"}) {
    trace += std::string("01/15/2004 ") + time + " CCP|IsdnMsgData1= 08 02 00 01 05\n";
  }
  const std::pair<std::string_view, Numbers> cases[] = {
      {"to:10:00:00.001", {2, 3}},
      {"to:\"2004-01-15 10:00:00.001\"", {2, 3}},
      {"to:\"01/15/2004 10:00:00.001\"", {2, 3}},
      {"to:10:00", {2}},
      {"to:10:00:00", {2}},
      {"to:23:59:59.999", {1, 2, 3, 4}},
      {"from:10:00:00.001 to:10:00:00.001", {3}},
      {"-to:10:00:00.001", {1, 4}},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Kept(trace, text), expected) << text;
  }
}

// Octets after a header that the decoder does not read are no elements, whatever they look like.
TEST(WhereRows, CauseReadsOnlyTheElementsOfAHeaderTheDecoderReads) {
  const MessageStore store = ReadTraceText(
      "IsdnMsgData1= 08 02 00 01 4d 08 02 81 e3\n"     // cause 99
      "IsdnMsgData1= 08 01 81 5a 08 02 81 e3\n"        // a one-octet call reference
      "IsdnMsgData1= 08 11 81 5a 08 02 81 e3\n"        // length 1 in octet 2's low half
      "IsdnMsgData1= cc 02 00 01 4d 08 02 81 e3\n"     // protocol discriminator 204
      "IsdnMsgData1= 08 00 4d 08 02 81 e3\n"           // no call reference
      "IsdnMsgData1= 08 03 00 00 01 4d 08 02 81 e3\n"  // three octets of it
      "IsdnMsgData1= 08 02 00 01 4d 08 03 81 e3\n");   // a cause that runs past the end
  const CallTable calls = GroupCalls(store);
  EXPECT_EQ(NumbersOf(WhereRows(ParseWhere("cause:99").expression, store, calls)),
            (Numbers{1, 2, 3}));
}

TEST(ParseWhere, NamesTheTermThatDoesNotParseAndWhy) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"tpye:setup", R"("tpye:setup": unknown field "tpye")"},
      {"type:setup Foo:1", R"("Foo:1": unknown field "Foo")"},
      {"type:", R"("type:": empty value)"},
      {"gw:\"\"", R"("gw:""": empty value)"},
      {"a - b", R"("-": a lone "-" negates nothing)"},
      {"-", R"("-": a lone "-" negates nothing)"},
      {"\"\"", R"("""": empty phrase)"},
      {"x \"abc def", R"(""abc def": unclosed quote)"},
      {"from:\"10:40", R"("from:"10:40": unclosed quote)"},
      {"\"ab\"c d", R"(""ab"c": a blank must follow the closing quote)"},
      {"tpye:setup\tdir:in", R"("tpye:setup": unknown field "tpye")"},
      {"-\ttype:setup", R"("-": a lone "-" negates nothing)"},
      {"call:0", R"("call:0": "0" is not a call number)"},
      {"call:+1", R"("call:+1": "+1" is not a call number)"},
      {"call:99999999999", R"("call:99999999999": "99999999999" is not a call number)"},
      {"cause:128", R"("cause:128": "128" is not a cause value (0 to 127))"},
      {"crv:0x", R"("crv:0x": "0x" is not a call reference (hexadecimal digits))"},
      {"crv:12g", R"("crv:12g": "12g" is not a call reference (hexadecimal digits))"},
      {"number:12a", R"("number:12a": "12a" is not a number (digits only))"},
      {"channel:-1", R"("channel:-1": "-1" is not a channel number)"},
      {"from:25:00",
       R"("from:25:00": "25:00" is not a time (HH:MM, HH:MM:SS, HH:MM:SS.fff or a date and time with seconds))"},
      {"to:2004-01-15",
       R"("to:2004-01-15": "2004-01-15" is not a time (HH:MM, HH:MM:SS, HH:MM:SS.fff or a date and time with seconds))"},
      {"dir:up", R"("dir:up": "up" is not a direction (in, out))"},
      {"proto:isdn", R"("proto:isdn": "isdn" is not a protocol (pri, h225))"},
      {"outcome:no_answer",
       R"("outcome:no_answer": "no_answer" is not an outcome (answered, busy, no-answer, rejected, cancelled, failed, none))"},
  };
  for (const auto& [text, error] : cases) {
    const WhereParse parse = ParseWhere(text);
    EXPECT_FALSE(parse.ok) << text;
    EXPECT_EQ(parse.error, error) << text;
  }
}

TEST(CallsWhere, KeepsTheCallsOfWhichAMessageIsKept) {
  const LoadResult loaded = LoadTraceFile(kTrace);
  const CallTable calls = GroupCalls(loaded.store);
  const std::pair<std::string_view, std::vector<std::uint32_t>> cases[] = {
      {"type:setup", {1, 2}}, {"cause:41", {1}}, {"-call:1", {2, 3}}, {"type:service", {}}};
  for (const auto& [text, expected] : cases) {
    std::vector<std::uint32_t> kept;
    for (const CallNumber call : CallsWhere(ParseWhere(text).expression, loaded.store, calls)) {
      kept.push_back(call.value);
    }
    EXPECT_EQ(kept, expected) << text;
  }
}

using WhereDocument = FolderTest;

// The rows are those both the menu filter and the expression keep, whichever came first.
TEST_F(WhereDocument, TheExpressionIsAndedWithEachMenuFilter) {
  const std::string expression = "-type:setup";
  const std::pair<ListFilter, Numbers> cases[] = {
      // 0x0001 and 0x8001, and the SERVICE line, read from its second character ("1/15...").
      {ListFilter::SelectedCall, {3, 6, 8, 9}},
      {ListFilter::ThisCall, {3, 8, 9}},           // call 1
      {ListFilter::ThisGateway, {3, 8, 9, 10}},    // 10.1.1.5
      {ListFilter::PriOnly, {3, 6, 7, 8, 9, 10}},  // PRI
      {ListFilter::H225Only, {5}},
  };
  for (const auto& [filter, expected] : cases) {
    for (const bool expressionFirst : {true, false}) {
      TraceDocument document;
      ASSERT_EQ(document.Load(kTrace, LoadKind::Open).outcome, OperationOutcome::Done);
      document.SelectMessage(MessageNumber{2});
      if (expressionFirst) {
        ASSERT_TRUE(document.SetWhere(expression));
      }
      ASSERT_TRUE(document.ApplyFilter(filter));
      if (!expressionFirst) {
        ASSERT_TRUE(document.SetWhere(expression));
      }
      EXPECT_EQ(DocumentRows(document), expected) << static_cast<int>(filter);
      EXPECT_EQ(document.RowOfMessage(MessageNumber{2}), std::nullopt);
      // Find All's rows: the menu filter's alone.
      TraceDocument alone;
      ASSERT_EQ(alone.Load(kTrace, LoadKind::Open).outcome, OperationOutcome::Done);
      alone.SelectMessage(MessageNumber{2});
      ASSERT_TRUE(alone.ApplyFilter(filter));
      EXPECT_EQ(document.MenuFilterRows(), alone.ShownRows());
      EXPECT_EQ(alone.MenuFilterRows(), alone.ShownRows());
      // Each alone again.
      document.ClearFilter();
      EXPECT_EQ(DocumentRows(document), (Numbers{3, 5, 6, 7, 8, 9, 10}));
      ASSERT_TRUE(document.SetWhere(""));
      EXPECT_FALSE(document.IsFiltered());
      EXPECT_EQ(document.RowCount(), 10u);
    }
  }
}

TEST_F(WhereDocument, ABadExpressionChangesNothingAndReloadKeepsAGoodOne) {
  TraceDocument document;
  ASSERT_EQ(document.Load(kTrace, LoadKind::Open).outcome, OperationOutcome::Done);
  ASSERT_TRUE(document.SetWhere("outcome:answered"));
  ASSERT_TRUE(document.ApplyFilter(ListFilter::PriOnly));
  std::string error;
  EXPECT_FALSE(document.SetWhere("outcome:answered tpye:x", &error));
  EXPECT_EQ(error, R"("tpye:x": unknown field "tpye")");
  EXPECT_EQ(document.Where().text, "outcome:answered");
  EXPECT_EQ(DocumentRows(document), (Numbers{1, 2, 3, 8, 9}));
  ASSERT_EQ(document.Reload().outcome, OperationOutcome::Done);
  EXPECT_EQ(DocumentRows(document), (Numbers{1, 2, 3, 8, 9}));
  // Read on a worker with the expression, or adopted after it changed.
  for (const std::string where : {"outcome:answered", "outcome:busy"}) {
    ReadOptions options;
    options.where = ParseWhere(where).expression;
    LoadedTrace loaded = TraceDocument::ReadTrace({kTrace}, options);
    ASSERT_TRUE(loaded.whereRows);
    document.Adopt(std::move(loaded), LoadKind::Reload);
    EXPECT_EQ(DocumentRows(document), (Numbers{1, 2, 3, 8, 9})) << where;
  }
}

TEST_F(WhereDocument, AppendedMessagesAreFilteredToo) {
  const std::string live = Path("live.txt");
  const std::string trace = ReadFile(kTrace);
  // The first five messages, then the rest as they are appended.
  std::size_t cut = 0;
  for (int line = 0; line < 15; ++line) {
    cut = trace.find('\n', cut) + 1;
  }
  Write("live.txt", trace.substr(0, cut));
  TraceDocument document;
  ASSERT_EQ(document.Load(live, LoadKind::Open).outcome, OperationOutcome::Done);
  document.SelectMessage(MessageNumber{1});
  ASSERT_TRUE(document.ApplyFilter(ListFilter::ThisGateway));
  ASSERT_TRUE(document.SetWhere("-outcome:answered"));
  EXPECT_EQ(DocumentRows(document), Numbers{});
  std::string whyNot;
  std::optional<TraceFollower> follower = document.StartFollowing(whyNot);
  ASSERT_TRUE(follower) << whyNot;
  WriteFile(live, trace);
  const AppendedMessages appended = document.AppendFollowed(follower->Poll());
  EXPECT_EQ(appended.firstRow, 0u);
  EXPECT_EQ(appended.rowsAdded, 1u);
  EXPECT_EQ(DocumentRows(document), Numbers{10});
}

// The command line's rows, exports and calls follow the same expression as the document's.
TEST_F(WhereDocument, TheCommandLineKeepsWhatTheDocumentKeeps) {
  const auto run = [](std::vector<std::string_view> arguments) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = RunCommandLine(arguments, nullptr, out, err);
    return std::make_tuple(status, ReadBack(out), ReadBack(err));
  };
  const std::string_view expression = "-type:setup from:10:40";
  TraceDocument document;
  ASSERT_EQ(document.Load(kTrace, LoadKind::Open).outcome, OperationOutcome::Done);
  ASSERT_TRUE(document.SetWhere(expression));
  ASSERT_TRUE(document.ApplyFilter(ListFilter::PriOnly));
  std::string lines;
  for (const std::size_t number : DocumentRows(document)) {
    lines += BuildSummaryLine(document.Store(), MessageIndex{number - 1}) + "\n";
  }
  EXPECT_EQ(run({"list", kTrace, "--pri", "--where", expression}),
            std::make_tuple(0, lines, std::string()));
  // Repeated, the expressions must all hold; each is read alone.
  EXPECT_EQ(run({"list", kTrace, "--where", "-type:setup", "--pri", "--where=from:10:40"}),
            std::make_tuple(0, lines, std::string()));

  const std::string all = Path("all.txt");
  const std::string kept = Path("kept.txt");
  ASSERT_EQ(std::get<0>(run({"export", kTrace, "-o", all})), 0);
  ASSERT_EQ(std::get<0>(run({"export", kTrace, "-o", kept, "--where", "call:2"})), 0);
  // Messages 4 and 5 are the fourth and fifth records of the whole export.
  const std::string records = ReadFile(all);
  const std::string separator = "=============================\r\n";
  std::vector<std::size_t> starts;
  for (std::size_t at = records.find(separator); at != std::string::npos;
       at = records.find(separator, at + 1)) {
    starts.push_back(at);
  }
  ASSERT_EQ(starts.size(), 10u);
  EXPECT_EQ(ReadFile(kept), records.substr(starts[3], starts[5] - starts[3]));

  EXPECT_EQ(std::get<1>(run({"calls", kTrace, "--csv", "--where", "cause:17"})),
            std::get<1>(run({"calls", kTrace, "--csv", "--outcome", "busy"})));
  const std::string capture = Path("c.pcap");
  EXPECT_EQ(
      run({"pcap", kTrace, "-o", capture, "--in-call", "1", "--where", "dir:out"}),
      std::make_tuple(0, std::string(), "sigrune-cli: 3 messages written to " + capture + "\n"));
  for (const std::string_view command : {"list", "export", "calls", "stats"}) {
    EXPECT_EQ(run({command, kTrace, "--where", "a \"b"}),
              std::make_tuple(2, std::string(),
                              "sigrune-cli: " + std::string(command) +
                                  ": --where: \"\"b\": unclosed quote\nTry 'sigrune-cli --help' "
                                  "for more information.\n"))
        << command;
    // Joined, these two would read as one phrase.
    EXPECT_EQ(std::get<2>(run({command, kTrace, "--where", "type:setup \"a\\", "--where", "\" b"})),
              "sigrune-cli: " + std::string(command) +
                  ": --where: \"\"a\\\": unclosed quote\nTry 'sigrune-cli --help' for more "
                  "information.\n")
        << command;
  }
}

}  // namespace
}  // namespace sigrune
