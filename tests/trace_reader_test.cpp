#include "trace/trace_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "address_space_limit.h"

namespace sigrune {
namespace {

struct ClassifyCase {
  std::string_view line;
  LineKind kind;
};

TEST(ClassifyLine, FirstMarkerOfTheFixedOrderWins) {
  const ClassifyCase cases[] = {
      {"10:00:00.001 CCP|In  Message -- PriSetupMsg", LineKind::IncomingHeader},
      {"10:00:00.001 CCP|In Message -- PriSetupMsg", LineKind::Other},
      {"Out Message -- H225SetupMsg", LineKind::OutgoingHeader},
      {"MMan_Id= 1. IpAddr=0501a8c0", LineKind::Gateway},
      {"CCP|IsdnMsgData2= 08 02 00 01 05", LineKind::Data},
      {"IsdnMsgData MMan_Id", LineKind::Gateway},
      {"IsdnMsgData Out Message -- In  Message -- ", LineKind::IncomingHeader},
      {"MMan_Id Out Message -- ", LineKind::OutgoingHeader},
      {"isdnmsgdata mman_id in  message -- ", LineKind::Other},
      {"MMMan_IdM", LineKind::Gateway},
      {"", LineKind::Other},
  };
  for (const auto& [line, kind] : cases) {
    EXPECT_EQ(ClassifyLine(line), kind) << line;
  }
}

LineKind NaiveClassify(std::string_view line) {
  if (line.find("In  Message -- ") != std::string_view::npos)
    return LineKind::IncomingHeader;
  if (line.find("Out Message -- ") != std::string_view::npos)
    return LineKind::OutgoingHeader;
  if (line.find("MMan_Id") != std::string_view::npos)
    return LineKind::Gateway;
  if (line.find("IsdnMsgData") != std::string_view::npos)
    return LineKind::Data;
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

TEST(ReadTraceText, FillsEachMessageFromItsOwnHeaderAndGatewayLines) {
  const MessageStore store = ReadTraceText(
      "first line\n"
      "CCP|H225 In  Message -- SetupMsg\n"
      "MMan_Id= 3. IpAddr=211410ac IpPort=1720\n"
      "noise\n"
      "IsdnMsgData1= 08 02 0d 2a 05\n"
      "IsdnMsgData1= 08 02 0d 2a 07\n"
      "Out Message -- H225 in the middle\n"
      "Out Message -- PriAlertingMsg\n"
      "MMan_Id= 1. IpAddr=0501a8c0\n"
      "MMan_Id= 2. IpAddr=c864a8c0\n"
      "IsdnMsgData2= 08 02 80 01 01");
  ASSERT_EQ(store.msgCount, 3u);
  EXPECT_FALSE(store.isTracelist);
  EXPECT_EQ(store.msgDataLines[0], "IsdnMsgData1= 08 02 0d 2a 05");
  EXPECT_EQ(store.msgProtocols[0], Protocol::H225);
  EXPECT_TRUE(store.msgIsIncoming[0]);
  EXPECT_EQ(store.msgLineNumbers[0], 2u);
  EXPECT_EQ(GatewayIp(store, 0), "172.16.20.33");
  // The second message had no header or gateway line of its own.
  EXPECT_EQ(store.msgProtocols[1], Protocol::None);
  EXPECT_FALSE(store.msgIsIncoming[1]);
  EXPECT_EQ(store.msgLineNumbers[1], 0u);
  EXPECT_EQ(GatewayIp(store, 1), "");
  // The later of two header lines, and of two gateway lines, wins.
  EXPECT_EQ(store.msgProtocols[2], Protocol::Pri);
  EXPECT_FALSE(store.msgIsIncoming[2]);
  EXPECT_EQ(store.msgLineNumbers[2], 8u);
  EXPECT_EQ(GatewayIp(store, 2), "192.168.100.200");
  EXPECT_EQ(store.msgDataLines[2], "IsdnMsgData2= 08 02 80 01 01");
}

TEST(ReadTraceText, OnlyTheFirstLineMakesATracelist) {
  EXPECT_TRUE(ReadTraceText("<?xml?><Tracelist>\nIsdnMsgData=08").isTracelist);
  EXPECT_FALSE(ReadTraceText("<?xml?>\n<Tracelist>\nIsdnMsgData=08").isTracelist);
  EXPECT_FALSE(ReadTraceText("\n<Tracelist>IsdnMsgData=08").isTracelist);
}

TEST(ReadTraceText, ALineWithBothGatewayAndDataMarkersMakesNoMessage) {
  const MessageStore store =
      ReadTraceText("MMan_Id IpAddr=0501a8c0 IsdnMsgData=08\nIsdnMsgData=09");
  ASSERT_EQ(store.msgCount, 1u);
  EXPECT_EQ(store.msgDataLines[0], "IsdnMsgData=09");
  EXPECT_EQ(GatewayIp(store, 0), "192.168.1.5");
}

// A data line as a test shows it: a long one by its length and a digest.
std::string Shown(std::string_view line) {
  return line.size() <= 64 ? std::string(line)
                           : std::to_string(line.size()) + " octets #" +
                                 std::to_string(std::hash<std::string_view>()(line));
}

// What reading the text in pieces gives: each message's header line number and data line, then
// the skipped long lines.
std::string ReadInPieces(std::string_view text, std::size_t pieceSize) {
  TraceTextReader reader;
  for (std::size_t start = 0; start < text.size(); start += pieceSize) {
    reader.Feed(text.substr(start, pieceSize));
  }
  const MessageStore store = reader.Finish();
  std::string read;
  for (std::size_t k = 0; k < store.msgCount; ++k) {
    read += std::to_string(store.msgLineNumbers[k]) + " " + Shown(store.msgDataLines[k]) + "\n";
  }
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
       "1 IsdnMsgData=\xb5\t\x01 08\n3 IsdnMsgData=2\n7 IsdnMsgData=3\nskipped 0 from 0"},
      {"In  Message -- a\n" + std::string(kMaxLineLength + 1, 'x') + "\r\n" + exact +
           "\r\nOut Message -- b\rIsdnMsgData=" + std::string(kMaxLineLength, '0') +
           "\nIsdnMsgData=2\n" + std::string(kMaxLineLength + 1, 'q'),
       {7, 65537, kMaxLineLength, kMaxLineLength + 1, 1u << 30},
       "1 " + Shown(exact) + "\n4 IsdnMsgData=2\nskipped 3 from 2"},
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
  ASSERT_EQ(store.msgCount, messages);
  EXPECT_EQ(store.msgLineNumbers.back(), 4 * messages - 2);
  for (std::size_t k = 0; k < messages; ++k) {
    ASSERT_EQ(store.msgDataLines[k], "IsdnMsgData=08 02 00 01 05 " + std::to_string(k)) << k;
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

class TraceFileTest : public ::testing::Test {
 protected:
  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("sigrune-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

// The window opens regular files only: a FIFO without a writer must not block it, and a device
// is not even opened.
TEST_F(TraceFileTest, FailuresNameTheFileAndTheReason) {
  const std::string missing = (folder_ / "missing.txt").string();
  const std::string fifo = (folder_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> failures[] = {
      {missing, "cannot open " + missing + ": No such file or directory"},
      {folder_.string(), folder_.string() + " is not a regular file"},
      {"/dev/zero", "/dev/zero is not a regular file"},
      {fifo, fifo + " is not a regular file"},
  };
  for (const auto& [path, errorText] : failures) {
    const LoadResult failed = LoadTraceFile(path);
    EXPECT_EQ(failed.outcome, LoadOutcome::Failed) << path;
    EXPECT_EQ(failed.errorText, errorText);
  }

  EXPECT_EQ(LoadTraceFile(WriteFile("empty.txt", "")).outcome, LoadOutcome::NoMessages);
  EXPECT_EQ(LoadTraceFile(WriteFile("none.txt", "MMan_Id\nno data\n")).outcome,
            LoadOutcome::NoMessages);
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
  const std::string path = WriteFile("sparse.txt", text);
  ASSERT_EQ(::truncate(path.c_str(), off_t{5} << 30), 0);
  const auto load = [&] {
    const LoadResult loaded = LoadTraceFile(path);
    const bool right = loaded.outcome == LoadOutcome::Loaded && loaded.store.msgCount == messages &&
                       loaded.skippedLongLines == 1 && loaded.firstSkippedLine == messages + 1;
    return right ? 0 : 1;
  };
  EXPECT_EQ(kCanLimitAddressSpace ? RunWithAddressSpaceHeadroom(512u << 20, load) : load(), 0);
}

TEST_F(TraceFileTest, ASecondSmallerFileKeepsNothingOfTheFirst) {
  const LoadResult first = LoadTraceFile(
      WriteFile("first.txt",
                "<Tracelist>\nIn  Message -- H225\nMMan_Id IpAddr=0501a8c0\nIsdnMsgData=1\n"
                "IsdnMsgData=2\n"));
  ASSERT_EQ(first.outcome, LoadOutcome::Loaded);
  const LoadResult second = LoadTraceFile(WriteFile("second.txt", "IsdnMsgData=3"));
  ASSERT_EQ(second.outcome, LoadOutcome::Loaded);
  ASSERT_EQ(second.store.msgCount, 1u);
  EXPECT_FALSE(second.store.isTracelist);
  EXPECT_EQ(second.store.msgDataLines[0], "IsdnMsgData=3");
  EXPECT_EQ(second.store.msgProtocols[0], Protocol::None);
  EXPECT_EQ(GatewayIp(second.store, 0), "");
  EXPECT_EQ(second.store.msgLineNumbers[0], 0u);
}

TEST_F(TraceFileTest, ProgressReportsBytesAndCanStopTheLoad) {
  const std::string path = WriteFile("trace.txt", "IsdnMsgData=08\n");
  std::uint64_t lastBytes = 0;
  std::uint64_t lastSize = 0;
  const LoadResult loaded = LoadTraceFile(path, [&](std::uint64_t bytes, std::uint64_t size) {
    lastBytes = bytes;
    lastSize = size;
    return true;
  });
  EXPECT_EQ(loaded.outcome, LoadOutcome::Loaded);
  EXPECT_EQ(lastBytes, 15u);
  EXPECT_EQ(lastSize, 15u);

  // Stopped after its first block of messages, a load hands over none of them.
  std::string text;
  while (text.size() <= (4u << 20)) {
    text += "IsdnMsgData=08\n";
  }
  const LoadResult stopped = LoadTraceFile(WriteFile("long.txt", text),
                                           [](std::uint64_t, std::uint64_t) { return false; });
  EXPECT_EQ(stopped.outcome, LoadOutcome::Stopped);
  EXPECT_EQ(stopped.store.msgCount, 0u);
  EXPECT_TRUE(stopped.store.msgDataLines.empty());
}

}  // namespace
}  // namespace sigrune
