// A file read in pieces on several threads must give exactly what one reader gives; a data line
// kept in its short form must read as the whole line.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "calls/call_table.h"
#include "load_dump.h"
#include "q931/decoder.h"
#include "test_files.h"
#include "trace/summary_line.h"
#include "trace/trace_reader.h"
#include "writers/call_csv.h"

namespace sigrune {
namespace {

std::string Message(std::string_view time, std::string_view header, std::string_view address,
                    std::string_view payload, std::string_view end) {
  return std::string(time) + " CCP|" + std::string(header) + " Message -- PriMsg" +
         std::string(end) + std::string(time) + " CCP|MMan_Id= 1. IpAddr=" + std::string(address) +
         std::string(end) + std::string(time) + " CCP|IsdnMsgData1= " + std::string(payload) +
         "  |<CLID::ccp><GW::a>" + std::string(end);
}

// Traces whose lines fall across piece boundaries in every way: LF, CR LF and CR line ends, a
// data line with no header or gateway of its own, headers and gateways with no data line after
// them, a <Tracelist> document, a last line without its end (one whose header and gateway lines lie
// pieces before it, too), a file that ends in CR, and lines too long to keep.
std::vector<std::string> Traces() {
  std::string plain;
  const char* const ends[] = {"\n", "\r\n", "\r"};
  for (int k = 0; k < 24; ++k) {
    const std::string time = "01/15/2004 08:00:" + std::to_string(10 + k) + ".000";
    plain += Message(time, k % 3 == 0 ? "In " : "Out", k % 4 == 0 ? "0501a8c0" : "1e01010a",
                     k % 5 == 0 ? "08 02 00 0A 05 18 03 a9 83 8e" : "08 01 8b 45 08 02 82 90",
                     ends[k % 3]);
    if (k % 7 == 0) {
      plain += time + " CCP|IsdnMsgData1= 03 01 00\n";  // takes nothing of the message before
    }
    if (k % 6 == 0) {
      plain += "CCP|Out Message -- H225Msg\nMMan_Id= 2. IpAddr=0a01010a\nnoise =\n";
    }
  }
  std::string tracelist = "<Tracelist>\n";
  for (int k = 0; k < 12; ++k) {
    tracelist += "<Trace><Date>2004-01-15 08:00:0" + std::to_string(k % 10) +
                 "</Date><info>CCP|In  Message -- H225Msg</info></Trace>\n"
                 "<Trace><info>CCP|MMan_Id= 1. IpAddr=0501a8c0</info></Trace>\n"
                 "<Trace><Date>2004-01-15 08:00:01</Date><info>CCP|IsdnMsgData1= 08 02 00 " +
                 std::to_string(10 + k) + " 05</info></Trace>\n";
  }
  const std::string tooLong(kMaxLineLength + 1, 'x');
  return {
      plain,
      plain + "01/15/2004 08:01:00 CCP|IsdnMsgData1= 08 02 00 01 05",
      plain + "01/15/2004 08:01:00 CCP|Out Message -- PriMsg\r",
      plain + "In  Message -- PriMsg\nMMan_Id= 1. IpAddr=0501a8c0 " + std::string(300, '-') +
          "\nIsdnMsgData1= 08 02 00 01 5a",
      tracelist,
      "IsdnMsgData=08\n" + tooLong + "\nIsdnMsgData=09\n" + tooLong + "\rIsdnMsgData=0a\n",
  };
}

LoadOptions PiecesOf(std::size_t pieceSize, unsigned threads) {
  LoadOptions options;
  options.pieces = PieceReading{pieceSize, threads};
  return options;
}

TEST(TracePieces, ReadAsOneReaderReadsTheWholeFile) {
  const std::vector<std::string> traces = Traces();
  for (std::size_t trace = 0; trace < traces.size(); ++trace) {
    const std::string path = WriteTemporary("pieces.txt", traces[trace]);
    const std::string whole = Dump(LoadTraceFile(path, PiecesOf(0, 1)));
    const bool large = traces[trace].size() > kMaxLineLength;
    const std::vector<std::size_t> sizes =
        large ? std::vector<std::size_t>{4u << 20}
              : std::vector<std::size_t>{1, 2, 3, 7, 16, 61, 200, 1000};
    // The long lines cost time under the thread sanitizer: one way of reading them is enough.
    const std::vector<unsigned> threadCounts =
        large ? std::vector<unsigned>{2} : std::vector<unsigned>{1, 2, 3};
    for (const std::size_t pieceSize : sizes) {
      for (const unsigned threads : threadCounts) {
        std::size_t previewed = 0;
        LoadOptions options = PiecesOf(pieceSize, threads);
        options.watch.firstMessages = [&](MessageStore&& first) {
          previewed = first.MessageCount();
        };
        const LoadResult loaded = LoadTraceFile(path, options);
        ASSERT_EQ(Dump(loaded), whole) << trace << " " << pieceSize << " " << threads;
        EXPECT_LE(previewed, loaded.store.MessageCount());
      }
    }
  }
}

// A message's header line, pieces before its data line, numbered from the file's start; and that of
// a header line the file ends with, for the messages that following appends.
TEST(TracePieces, CarryTheHeaderLineNumberToTheDataLine) {
  std::string trace = "noise\nnoise\nIn  Message -- PriSetupMsg\nMMan_Id= 1. IpAddr=0501a8c0\n";
  const auto filler = [&trace](int lines) {
    for (int line = 0; line < lines; ++line) {
      trace += "filler line " + std::to_string(line) + "\n";
    }
  };
  // Lines 5 to 24, 27 to 36 and 39 to 48 are filler.
  filler(20);
  trace += "IsdnMsgData1= 08 02 00 01 05\nOut Message -- PriConnectMsg\n";
  filler(10);
  trace += "IsdnMsgData1= 08 02 80 01 07\nIsdnMsgData1= 08 02 80 01 0f\n";
  filler(10);
  trace += "In  Message -- PriReleaseMsg\nfiller\n";
  const std::string path = WriteTemporary("headers.txt", trace);
  for (const std::size_t pieceSize : {16, 40, 100, 300}) {
    for (const unsigned threads : {1u, 3u}) {
      const LoadResult loaded = LoadTraceFile(path, PiecesOf(pieceSize, threads));
      const std::vector<std::uint64_t> lines(loaded.store.msgLineNumbers.begin(),
                                             loaded.store.msgLineNumbers.end());
      EXPECT_EQ(lines, (std::vector<std::uint64_t>{3, 26, 0})) << pieceSize << " " << threads;
      ASSERT_TRUE(loaded.followPoint);
      EXPECT_EQ(loaded.followPoint->reader.headerLineNumber, 49u) << pieceSize << " " << threads;
      EXPECT_EQ(loaded.followPoint->reader.lineNumber, 50u) << pieceSize << " " << threads;
    }
  }
}

// The first piece is handed over before the rest, as the messages it will be in the whole, and
// the messages joined so far as they are joined; a stop on the way hands over nothing.
TEST(TracePieces, WatchAndStop) {
  const std::string path = WriteTemporary("pieces.txt", Traces().front());
  const LoadResult whole = LoadTraceFile(path);
  std::string previewed;
  std::string joined;
  LoadOptions options = PiecesOf(500, 2);
  LoadWatch& watch = options.watch;
  watch.firstMessages = [&](MessageStore&& first) {
    for (std::size_t k = 0; k < first.MessageCount(); ++k) {
      previewed += BuildSummaryLine(first, MessageIndex{k}) + "\n";
    }
    EXPECT_EQ(first.filePaths, std::vector<std::string>{path});
  };
  std::size_t told = 0;
  std::optional<CallTable> calls;
  watch.joined = [&](const MessageStore& store) {
    for (; told < store.MessageCount(); ++told) {
      joined += BuildSummaryLine(store, MessageIndex{told}) + "\n";
    }
    if (!calls) {
      calls = GroupCalls(store);
    } else {
      ExtendCalls(store, *calls);
    }
  };
  const LoadResult loaded = LoadTraceFile(path, options);
  std::string lines;
  for (std::size_t k = 0; k < whole.store.MessageCount(); ++k) {
    lines += BuildSummaryLine(whole.store, MessageIndex{k}) + "\n";
  }
  EXPECT_EQ(loaded.store.MessageCount(), whole.store.MessageCount());
  EXPECT_FALSE(previewed.empty());
  EXPECT_EQ(previewed, lines.substr(0, previewed.size()));
  EXPECT_EQ(joined, lines);
  // The calls grouped piece after piece are those of the whole.
  const auto csv = [](const MessageStore& store, const CallTable& table) {
    std::string text;
    for (std::uint32_t call = 1; call <= table.calls.size(); ++call) {
      AppendCallCsvRecord(text, store, table, CallNumber{call}, {.related = true, .timing = true});
    }
    return text;
  };
  ASSERT_TRUE(calls);
  EXPECT_EQ(csv(loaded.store, *calls), csv(whole.store, GroupCalls(whole.store)));

  // The first report comes while the first piece is read, whatever the other thread has read.
  const LoadResult stopped =
      LoadTraceFile(path, PiecesOf(100, 2), [](std::uint64_t, std::uint64_t) { return false; });
  EXPECT_EQ(stopped.outcome, OperationOutcome::Cancelled);
  EXPECT_EQ(stopped.store.MessageCount(), 0u);
}

// A line kept short gives the list line, payload, timestamp and octets of the whole line; lines
// that could read otherwise are kept whole.
TEST(TracePieces, ShortDataLinesReadAsWholeOnes) {
  const struct {
    std::string_view line;
    bool tracelist;
    bool shortened;
  } cases[] = {
      {"01/15/2004 08:00:00.001 CCP|IsdnMsgData1= 08 02 00 0A 05 04  |<CLID::a><GW::b>", false,
       true},
      {"01/15/2004 08:00:00.001 CCP|IsdnMsgData1= 08 02 80 0a 4d 8  |<CLID::a>", false, true},
      {"<Trace><Date>2004-01-15 08:00:00</Date><info>CCP|IsdnMsgData1= 08 01 8b 45</info></Trace>",
       true, true},
      // "|<CLID::" without its blank would be a marker; "=" and other characters in the payload.
      {"08:00:00 CCP|IsdnMsgData1= 08 02 |< CLID:: 00 01 05", false, false},
      {"08:00:00 CCP|IsdnMsgData1= 08 02 00 01 05 = 1", false, false},
      {"08:00:00 CCP|IsdnMsgData1= 08 02\t00 01 05", false, false},
      // The first "C" after the "=": the timestamp runs into the payload.
      {"08:00:00 IsdnMsgData1= 08 02 0C 01 05", false, false},
      {"08:00:00 CCP|IsdnMsgData1 08 02 00 01 05", false, false},
  };
  for (const auto& [line, tracelist, shortened] : cases) {
    const std::string text = (tracelist ? "<Tracelist>\n" : "") + std::string(line) + "\n";
    const MessageStore store = ReadTraceText(text);
    ASSERT_EQ(store.MessageCount(), 1u) << line;
    const std::string kept = DataLine(store, MessageIndex{0});
    EXPECT_EQ(kept.size() < line.size(), shortened) << kept;
    EXPECT_EQ(BuildSummaryLine(kept, true, "PRI", "10.1.1.1", tracelist),
              BuildSummaryLine(line, true, "PRI", "10.1.1.1", tracelist))
        << line;
    EXPECT_EQ(BuildSummaryLine(store, MessageIndex{0}),
              BuildSummaryLine(line, false, "", "", tracelist));
    EXPECT_EQ(TimestampText(kept, tracelist), TimestampText(line, tracelist)) << line;
    EXPECT_EQ(PayloadText(kept, tracelist), PayloadText(line, tracelist)) << line;
    PayloadBytes fromKept;
    PayloadBytes fromLine;
    fromKept.AssignSpacedHexText(PayloadTextWithBlanks(kept, tracelist));
    fromLine.AssignSpacedHexText(PayloadTextWithBlanks(line, tracelist));
    EXPECT_EQ(DumpMessageHex(fromKept), DumpMessageHex(fromLine)) << line;
  }
}

}  // namespace
}  // namespace sigrune
