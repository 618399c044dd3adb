#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "calls/call_table.h"
#include "test_files.h"
#include "trace/summary_line.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

// A message of gateway 192.168.1.5 at the time given (none when empty), on three lines.
std::string Message(std::string_view time, std::string_view payload) {
  const std::string stamp = time.empty() ? "" : "01/15/2004 " + std::string(time) + " ";
  return stamp + "CCP|In  Message -- PriMsg\n" + stamp + "CCP|MMan_Id= 1. IpAddr=0501a8c0\n" +
         stamp + "CCP|IsdnMsgData1= " + std::string(payload) + "\n";
}

// Each message, one a line: its file's base name (unless left out), header line number, protocol,
// kind and payload.
std::string Described(const LoadResult& loaded, bool names = true) {
  const MessageStore& store = loaded.store;
  std::string text;
  for (std::size_t k = 0; k < store.MessageCount(); ++k) {
    const std::string& path = store.filePaths[store.msgFiles[k]];
    text += (names ? std::filesystem::path(path).filename().string() : "") + ":" +
            std::to_string(store.msgLineNumbers[k]) + " " +
            std::string(ProtocolText(store.msgProtocols[k])) +
            (IsTracelist(store, MessageIndex{k}) ? " tracelist " : " ") +
            PayloadText(DataLine(store, MessageIndex{k}), IsTracelist(store, MessageIndex{k})) +
            "\n";
  }
  return text;
}

class TraceFilesTest : public FolderTest {
 protected:
  TraceFilesTest() {
    std::filesystem::create_directory(folder_ / "a");
    std::filesystem::create_directory(folder_ / "b");
  }
};

// Given in any order, files are read by their first time; the untimed (and the empty) last;
// ties by base name, then path. The reader starts afresh in each file: a header line at the end
// of one is not the next file's.
TEST_F(TraceFilesTest, ReadsTheFilesInTheOrderOfTheirFirstTimes) {
  const std::string early =
      Write("early.xml",
            "<Tracelist>\n<Date>2004-01-15 09:00:00</Date><info>CCP|IsdnMsgData= 1"
            "</info>\nIn  Message -- H225 left waiting\n");
  const std::string late = Write("late.txt", "IsdnMsgData1= 2\n" + Message("10:00:02", "3"));
  const std::string tieB = Write("b/tie.txt", Message("10:00:03", "5"));
  const std::string tieA = Write("a/tie.txt", Message("10:00:03", "4"));
  const std::string tieZ = Write("z.txt", Message("10:00:03", "6"));
  const std::string untimed = Write("untimed.txt", "IsdnMsgData1= 8\n" + Message("", "9"));
  const std::string empty = Write("empty.txt", "");
  const LoadResult loaded = LoadTraceFiles({untimed, tieB, tieZ, empty, late, tieA, early});
  ASSERT_EQ(loaded.outcome, OperationOutcome::Done) << loaded.errorText;
  EXPECT_EQ(loaded.store.filePaths,
            (std::vector<std::string>{early, late, tieA, tieB, tieZ, empty, untimed}));
  EXPECT_EQ(Described(loaded),
            "early.xml:0  tracelist 1\n"
            "late.txt:0  2\nlate.txt:2 PRI 3\n"
            "tie.txt:1 PRI 4\ntie.txt:1 PRI 5\nz.txt:1 PRI 6\n"
            "untimed.txt:0  8\nuntimed.txt:2 PRI 9\n");
  EXPECT_EQ(loaded.followPoint->path, untimed);
  EXPECT_EQ(loaded.followPoint->fileIndex, 6u);
}

TEST_F(TraceFilesTest, ReadsAFileGivenTwiceOnceAndFailsOnOneThatCannotBeRead) {
  const std::string trace = Write("a/trace.txt", Message("10:00:01", "1"));
  const std::string other = Write("other.txt", Message("10:00:02", "2"));
  const LoadResult twice = LoadTraceFiles({trace, other, Path("b/../a/trace.txt")});
  EXPECT_EQ(twice.store.MessageCount(), 2u);
  EXPECT_EQ(twice.notes, (std::vector<std::string>{trace + " was given twice and read once"}));

  const std::string folder = Path("b");
  const std::string missing = Path("missing.txt");
  const std::pair<std::vector<std::string>, std::string> failures[] = {
      {{trace, folder}, folder + " is not a regular file"},
      {{missing, trace}, "cannot open " + missing + ": No such file or directory"},
  };
  for (const auto& [paths, errorText] : failures) {
    const LoadResult failed = LoadTraceFiles(paths);
    EXPECT_EQ(failed.outcome, OperationOutcome::Failed);
    EXPECT_EQ(failed.errorText, errorText);
  }
}

// A call set up in one file and released in the next is one call.
TEST_F(TraceFilesTest, ACallSpanningTwoFilesIsOneCall) {
  const std::string setup = Write("1.txt", Message("10:00:01", "08 02 00 01 05"));
  const std::string release = Write("2.txt", Message("10:00:09", "08 02 00 01 5a"));
  const LoadResult loaded = LoadTraceFiles({release, setup});
  const CallTable table = GroupCalls(loaded.store);
  ASSERT_EQ(table.calls.size(), 1u);
  EXPECT_EQ(table.calls[0].messageCount, 2u);
  EXPECT_EQ(table.calls[0].began, CallBegan::Setup);
  EXPECT_EQ(table.calls[0].ended, CallEnded::Released);
}

// Written by zlib as rotation tools write them: a member per piece, one after the other.
std::string WriteGzip(const std::string& path, const std::vector<std::string>& members) {
  for (const std::string& text : members) {
    gzFile file = gzopen(path.c_str(), "ab");
    gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
    gzclose(file);
  }
  return path;
}

TEST_F(TraceFilesTest, ReadsGzipFilesAndNamesWhereOneIsDamaged) {
  const std::string trace = ReadFile(SourceFile("examples/plain-trace.txt"));
  const std::string plain = Write("plain.txt", trace);
  const std::size_t half = trace.size() / 2;  // within a line
  const std::string gzip =
      WriteGzip(Path("trace.txt.gz"), {trace.substr(0, half), trace.substr(half)});
  const LoadResult fromGzip = LoadTraceFile(gzip);
  ASSERT_EQ(fromGzip.outcome, OperationOutcome::Done) << fromGzip.errorText;
  EXPECT_EQ(Described(fromGzip, false), Described(LoadTraceFile(plain), false));
  EXPECT_EQ(fromGzip.followPoint->refusal, "cannot follow " + gzip + ": it is compressed");

  const std::string packed = ReadFile(gzip);
  std::string damaged = packed;
  damaged[packed.size() / 3] ^= 0x55;
  const std::string cut = Write("cut.gz", packed.substr(0, packed.size() - 20));
  EXPECT_EQ(LoadTraceFile(cut).errorText, "cannot read " + cut + ": damaged gzip data at offset " +
                                              std::to_string(packed.size() - 20) +
                                              " (the data ends within a member)");
  const std::string bad = Write("bad.gz", damaged);
  EXPECT_EQ(LoadTraceFile(bad).errorText.rfind(
                "cannot read " + bad + ": damaged gzip data at offset ", 0),
            0u)
      << LoadTraceFile(bad).errorText;

  // Many blocks, the inflating thread stopped at the first.
  std::string large;
  while (large.size() < (8u << 20)) {
    large += Message("10:00:01", "08 02 00 01 05");
  }
  const std::string big = WriteGzip(Path("big.gz"), {large});
  EXPECT_EQ(LoadTraceFile(big).store.MessageCount(),
            large.size() / Message("10:00:01", "08 02 00 01 05").size());
  EXPECT_EQ(LoadTraceFile(big, {}, [](std::uint64_t, std::uint64_t) { return false; }).outcome,
            OperationOutcome::Cancelled);
}

// One gzip member of the text, made in memory.
std::string GzipMember(std::string_view text) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY),
            Z_OK);
  std::string member(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(member.data());
  stream.avail_out = static_cast<uInt>(member.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  member.resize(stream.total_out);
  deflateEnd(&stream);
  return member;
}

// Members after the first: one that starts well past the first read of the file (the first member
// holds digits that hardly compress), an empty one, one cut within a line from the one before,
// and the zeros some tools pad a file with.
TEST_F(TraceFilesTest, ReadsEveryGzipMemberWhereverItStarts) {
  std::string first;
  std::uint32_t state = 1;
  for (int message = 0; message < 6000; ++message) {
    std::string digits;
    for (int octet = 0; octet < 40; ++octet) {
      state = state * 1103515245 + 12345;
      digits += ' ';
      digits += "0123456789abcdef"[state >> 28];
      digits += "0123456789abcdef"[state >> 24 & 15];
    }
    first += Message("10:00:01", "08 02 00 01 05" + digits);
  }
  const std::string second = Message("10:00:02", "08 02 00 02 05");
  const std::string third = Message("10:00:03", "08 02 00 03 05");
  const std::string firstMember = GzipMember(first);
  ASSERT_GT(firstMember.size(), 256u << 10);
  const std::string cut = second + third.substr(0, 20);
  const std::string packed = firstMember + GzipMember("") + GzipMember(cut) +
                             GzipMember(third.substr(20)) + std::string(1000, '\0');
  const LoadResult loaded = LoadTraceFile(Write("members.txt.gz", packed));
  ASSERT_EQ(loaded.outcome, OperationOutcome::Done) << loaded.errorText;
  EXPECT_EQ(loaded.store.MessageCount(), 6002u);
  EXPECT_EQ(Described(loaded, false),
            Described(LoadTraceFile(Write("members.txt", first + second + third)), false));
}

}  // namespace
}  // namespace sigrune
