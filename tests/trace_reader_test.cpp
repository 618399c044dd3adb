#include "trace/trace_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "address_space_limit.h"
#include "test_files.h"

namespace sigrune {
namespace {

// Which marker wins over which is left to the comparison with the plain search below.
TEST(ClassifyLine, FindsTheMarkersExactly) {
  const std::pair<std::string_view, LineKind> cases[] = {
      {"10:00:00.001 CCP|In  Message -- PriSetupMsg", LineKind::IncomingHeader},
      {"10:00:00.001 CCP|In Message -- PriSetupMsg", LineKind::Other},
      {"Out Message -- H225SetupMsg", LineKind::OutgoingHeader},
      {"MMan_Id= 1. IpAddr=0501a8c0", LineKind::Gateway},
      {"CCP|IsdnMsgData2= 08 02 00 01 05", LineKind::Data},
      {"isdnmsgdata mman_id in  message -- ", LineKind::Other},
      {"MMMan_IdM", LineKind::Gateway},
      {"", LineKind::Other},
  };
  for (const auto& [line, kind] : cases) {
    EXPECT_EQ(ClassifyLine(line), kind) << line;
  }
}

// The rule the slow way: the first marker, in this order, that the line holds.
LineKind NaiveClassify(std::string_view line) {
  const std::pair<std::string_view, LineKind> markers[] = {
      {"In  Message -- ", LineKind::IncomingHeader},
      {"Out Message -- ", LineKind::OutgoingHeader},
      {"MMan_Id", LineKind::Gateway},
      {"IsdnMsgData", LineKind::Data},
  };
  for (const auto& [marker, kind] : markers) {
    if (line.find(marker) != std::string_view::npos) {
      return kind;
    }
  }
  return LineKind::Other;
}

TEST(ClassifyLine, AgreesWithAPlainSearchOnMixedFragments) {
  const std::string_view fragments[] = {"In  Message -- ",
                                        "Out Message -- ",
                                        "MMan_Id",
                                        "IsdnMsgData",
                                        "M",
                                        "In  ",
                                        "Isdn",
                                        "MMan",
                                        " -- ",
                                        "x"};
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (int piece = static_cast<int>(random() % 6); piece > 0; --piece) {
      const std::string_view fragment = fragments[random() % std::size(fragments)];
      line += fragment.substr(random() % 3 == 0 ? random() % fragment.size() : 0);
    }
    ASSERT_EQ(ClassifyLine(line), NaiveClassify(line)) << line;
  }
}

TEST(HexIpToDotted, ReadsLittleEndianPairs) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"0501a8c0", "192.168.1.5"}, {"501a8c0", "192.168.1.5"},      {"1a2b", "0.0.43.26"},
      {"501a8c0)", "0.140.26.80"}, {"C864A8C0", "192.168.100.200"}, {"", "0.0.0.0"},
      {"zz01a8g0", "0.168.1.0"},
  };
  for (const auto& [text, dotted] : cases) {
    EXPECT_EQ(HexIpToDotted(text), dotted) << text;
  }
}

TEST(GatewayAddressText, TakesEightCharactersAfterTheMarkerOrFromTheSeventh) {
  EXPECT_EQ(GatewayAddressText("MMan_Id= 1. IpAddr=501a8c0 IpPort=2427"), "501a8c0");
  EXPECT_EQ(GatewayAddressText("MMan_Id= 1. IpAddr=0501a8c0"), "0501a8c0");
  EXPECT_EQ(GatewayAddressText("MMan_Id0501a8c0ff"), "d0501a8c");
  EXPECT_EQ(GatewayAddressText("MMan_Id"), "d");
  EXPECT_EQ(GatewayAddressText("MMan"), "");
  EXPECT_EQ(GatewayAddressText("IpAddr=   1a2b   x"), "1a2b");
}

// A data line as a test shows it: a long one by its length and a digest.
std::string Shown(std::string_view line) {
  return line.size() <= 64 ? std::string(line)
                           : std::to_string(line.size()) + " octets #" +
                                 std::to_string(std::hash<std::string_view>()(line));
}

// Each message, one a line: header line number, direction, protocol, gateway and data line.
std::string Described(const MessageStore& store) {
  std::string text;
  for (std::size_t k = 0; k < store.MessageCount(); ++k) {
    text += std::to_string(store.msgLineNumbers[k]) + (store.msgIsIncoming[k] ? " In " : " Out ") +
            std::string(ProtocolText(store.msgProtocols[k])) + " " +
            std::string(GatewayIp(store, MessageIndex{k})) + " " +
            Shown(DataLine(store, MessageIndex{k})) + "\n";
  }
  return text;
}

// The later of two header lines, and of two gateway lines, wins; a message takes none from the
// message before it; a line with both the gateway and the data marker is a gateway line.
TEST(ReadTraceText, FillsEachMessageFromItsOwnHeaderAndGatewayLines) {
  EXPECT_EQ(Described(ReadTraceText("first line\n"
                                    "CCP|H225 In  Message -- SetupMsg\n"
                                    "MMan_Id= 3. IpAddr=211410ac IpPort=1720\n"
                                    "noise\n"
                                    "IsdnMsgData1= 08 02 0d 2a 05\n"
                                    "IsdnMsgData1= 08 02 0d 2a 07\n"
                                    "Out Message -- H225 in the middle\n"
                                    "Out Message -- PriAlertingMsg\n"
                                    "MMan_Id= 1. IpAddr=0501a8c0\n"
                                    "MMan_Id= 2. IpAddr=c864a8c0\n"
                                    "IsdnMsgData2= 08 02 80 01 01\n"
                                    "MMan_Id IpAddr=0501a8c0 IsdnMsgData=08\n"
                                    "IsdnMsgData=09\n"
                                    "MMan_Id IpAddr=\n"  // no address text at all
                                    "IsdnMsgData=0a")),
            "2 In H225 172.16.20.33 IsdnMsgData1= 08 02 0d 2a 05\n"
            "0 Out   IsdnMsgData1= 08 02 0d 2a 07\n"
            "8 Out PRI 192.168.100.200 IsdnMsgData2= 08 02 80 01 01\n"
            "0 Out  192.168.1.5 IsdnMsgData=09\n"
            "0 Out  0.0.0.0 IsdnMsgData=0a\n");
}

TEST(ReadTraceText, OnlyTheFirstLineMakesATracelist) {
  EXPECT_TRUE(IsTracelist(ReadTraceText("<?xml?><Tracelist>\nIsdnMsgData=08"), MessageIndex{0}));
  EXPECT_FALSE(IsTracelist(ReadTraceText("<?xml?>\n<Tracelist>\nIsdnMsgData=08"), MessageIndex{0}));
  EXPECT_FALSE(IsTracelist(ReadTraceText("\n<Tracelist>IsdnMsgData=08"), MessageIndex{0}));
}

// What reading the text in pieces gives: the messages, then the skipped long lines.
std::string ReadInPieces(std::string_view text, std::size_t pieceSize) {
  TraceTextReader reader;
  for (std::size_t start = 0; start < text.size(); start += pieceSize) {
    reader.Feed(text.substr(start, pieceSize));
  }
  const std::string read = Described(reader.Finish());  // which counts a last line too long
  return read + "skipped " + std::to_string(reader.SkippedLongLines()) + " from " +
         std::to_string(reader.FirstSkippedLine());
}

// Pieces of any size read the same: a CR LF may be split between two of them, and a line too
// long to be a message line is skipped wherever the pieces end; one of exactly the limit is read.
TEST(ReadTraceText, KeepsEveryByteAndAcceptsEveryLineEnd) {
  const std::string exact = "IsdnMsgData=" + std::string(kMaxLineLength - 12, '7');
  const std::tuple<std::string, std::vector<std::size_t>, std::string> cases[] = {
      {"In  Message -- a\r\nIsdnMsgData=\xb5\t\x01 08\rOut Message -- b\n\nIsdnMsgData=2\r\r"
       "Out Message -- c\r\nIsdnMsgData=3",
       {1, 2, 3, 4, 5, 6, 7, 1000},
       "1 In PRI  IsdnMsgData=\xb5\t\x01 08\n3 Out PRI  IsdnMsgData=2\n"
       "7 Out PRI  IsdnMsgData=3\nskipped 0 from 0"},
      {"In  Message -- a\n" + std::string(kMaxLineLength + 1, 'x') + "\r\n" + exact +
           "\r\nOut Message -- b\rIsdnMsgData=" + std::string(kMaxLineLength, '0') +
           "\nIsdnMsgData=2\n" + std::string(kMaxLineLength + 1, 'q'),
       {7, 65537, kMaxLineLength, kMaxLineLength + 1, 1u << 30},
       "1 In PRI  " + Shown(exact) + "\n4 Out PRI  IsdnMsgData=2\nskipped 3 from 2"},
  };
  for (const auto& [text, pieceSizes, expected] : cases) {
    for (const std::size_t pieceSize : pieceSizes) {
      EXPECT_EQ(ReadInPieces(text, pieceSize), expected) << pieceSize;
    }
  }
}

// The data lines outgrow the store's first text block many times over; none may move or mix.
TEST(ReadTraceText, HasNoSixteenBitLimitsAndKeepsEveryDataLine) {
  std::string text;
  const std::size_t messages = 40000;
  for (std::size_t k = 0; k < messages; ++k) {
    text += "x\nIn  Message -- PriSetupMsg\nMMan_Id IpAddr=0501a8c0\nIsdnMsgData=08 02 00 01 05 " +
            std::to_string(k) + "\n";
  }
  const MessageStore store = ReadTraceText(text);
  ASSERT_EQ(store.MessageCount(), messages);
  EXPECT_EQ(store.msgLineNumbers.back(), 4 * messages - 2);
  for (std::size_t k = 0; k < messages; ++k) {
    ASSERT_EQ(DataLine(store, MessageIndex{k}), "IsdnMsgData=08 02 00 01 05 " + std::to_string(k))
        << k;
  }
}

TEST(SkippedLinesNote, CountsTheLinesAndNamesTheFirst) {
  LoadResult result;
  EXPECT_EQ(SkippedLinesNote(result), "");
  result.skippedLongLines = 1;
  result.firstSkippedLine = 1234567;
  EXPECT_EQ(SkippedLinesNote(result), "1 line longer than 16 MiB was skipped (line 1234567)");
  result.skippedLongLines = 3;
  EXPECT_EQ(SkippedLinesNote(result),
            "3 lines longer than 16 MiB were skipped (first: line 1234567)");
}

class TraceFileTest : public FolderTest {};

// The window opens regular files only: a FIFO without a writer must not block it, and a device
// is not even opened.
TEST_F(TraceFileTest, FailuresNameTheFileAndTheReason) {
  const std::string missing = Path("missing.txt");
  const std::string fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> failures[] = {
      {missing, "cannot open " + missing + ": No such file or directory"},
      {folder_.string(), folder_.string() + " is not a regular file"},
      {"/dev/zero", "/dev/zero is not a regular file"},
      {fifo, fifo + " is not a regular file"},
  };
  for (const auto& [path, errorText] : failures) {
    const LoadResult failed = LoadTraceFile(path);
    EXPECT_EQ(failed.outcome, OperationOutcome::Failed) << path;
    EXPECT_EQ(failed.errorText, errorText);
  }
  EXPECT_EQ(LoadTraceFile(Write("empty.txt", "")).outcome, OperationOutcome::NotFound);
  EXPECT_EQ(LoadTraceFile(Write("none.txt", "MMan_Id\nno data\n")).outcome,
            OperationOutcome::NotFound);
}

// A data line of exactly the limit is held whole over the reads of a file, of its pieces and of
// its inflated blocks, all shorter than the line.
TEST_F(TraceFileTest, ALineOfExactlyTheLimitIsHeldAcrossReads) {
  const std::string exact = "IsdnMsgData=08 02 00 01 05 " + std::string(kMaxLineLength - 27, '7');
  const std::string text = "In  Message -- a\r\n" + exact + "\r\nIsdnMsgData=2\n";
  const std::string plain = Write("exact.txt", text);
  const std::string packed = Path("exact.txt.gz");
  gzFile file = gzopen(packed.c_str(), "wb1");
  ASSERT_EQ(gzwrite(file, text.data(), static_cast<unsigned>(text.size())),
            static_cast<int>(text.size()));
  ASSERT_EQ(gzclose(file), Z_OK);
  const std::pair<std::string, PieceReading> loads[] = {
      {plain, PieceReading{}},  // too small for pieces
      {plain, PieceReading{1u << 20, 2}},
      {packed, PieceReading{}},
  };
  for (const auto& [path, pieces] : loads) {
    LoadOptions options;
    options.pieces = pieces;
    const LoadResult loaded = LoadTraceFile(path, options);
    ASSERT_EQ(loaded.store.MessageCount(), 2u) << path << " " << pieces.pieceSize;
    EXPECT_EQ(loaded.skippedLongLines, 0u);
    EXPECT_TRUE(DataLine(loaded.store, MessageIndex{0}) == exact)
        << path << " " << pieces.pieceSize;
    EXPECT_EQ(loaded.store.msgLineNumbers[0], 1u);
    EXPECT_EQ(DataLine(loaded.store, MessageIndex{1}), "IsdnMsgData=2");
  }
}

// Messages close together in the first block, then 5 GB of NUL bytes that take no disk space:
// one line, far too long. Guessing the number of messages from the first block and the size
// once asked for gigabytes; the child fails any load that takes much more than its messages.
TEST_F(TraceFileTest, ASparseFileLoadsInMemoryBoundedByItsMessages) {
  const std::size_t messages = 100000;
  std::string text;
  for (std::size_t k = 0; k < messages; ++k) {
    text += "IsdnMsgData=08\n";
  }
  const std::string path = Write("sparse.txt", text);
  ASSERT_EQ(::truncate(path.c_str(), off_t{5} << 30), 0);
  const auto load = [&] {
    const LoadResult loaded = LoadTraceFile(path);
    const bool right = loaded.outcome == OperationOutcome::Done &&
                       loaded.store.MessageCount() == messages && loaded.skippedLongLines == 1 &&
                       loaded.firstSkippedLine == messages + 1;
    return right ? 0 : 1;
  };
  EXPECT_EQ(kCanLimitAddressSpace ? RunWithAddressSpaceHeadroom(512u << 20, load) : load(), 0);
}

// Progress reports bytes read and the size; a stop after the first block of messages hands over
// none of them; a second, smaller file keeps nothing of the first.
TEST_F(TraceFileTest, ProgressCanStopALoadAndEachLoadStartsAfresh) {
  std::pair<std::uint64_t, std::uint64_t> progress;
  const LoadResult first =
      LoadTraceFile(Write("first.txt",
                          "<Tracelist>\nIn  Message -- H225\nMMan_Id IpAddr=0501a8c0\n"
                          "IsdnMsgData=1\nIsdnMsgData=2\n"),
                    {}, [&](std::uint64_t done, std::uint64_t total) {
                      progress = {done, total};
                      return true;
                    });
  EXPECT_EQ(first.outcome, OperationOutcome::Done);
  EXPECT_EQ(progress, (std::pair<std::uint64_t, std::uint64_t>{84, 84}));
  const LoadResult second = LoadTraceFile(Write("second.txt", "IsdnMsgData=3"));
  EXPECT_FALSE(IsTracelist(second.store, MessageIndex{0}));
  EXPECT_EQ(Described(second.store), "0 Out   IsdnMsgData=3\n");

  std::string text;
  while (text.size() <= (4u << 20)) {
    text += "IsdnMsgData=08\n";
  }
  const LoadResult stopped = LoadTraceFile(Write("long.txt", text), {},
                                           [](std::uint64_t, std::uint64_t) { return false; });
  EXPECT_EQ(stopped.outcome, OperationOutcome::Cancelled);
  EXPECT_EQ(stopped.store.MessageCount(), 0u);
  EXPECT_EQ(stopped.store.MessageCount(), 0u);
}

}  // namespace
}  // namespace sigrune
