#include "cli/command_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "address_space_limit.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

struct CommandResult {
  int status;
  std::string out;
  std::string err;
};

std::string ReadBack(std::FILE* stream) {
  std::rewind(stream);
  std::string text;
  char piece[4096];
  for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, stream)) > 0;) {
    text.append(piece, got);
  }
  std::fclose(stream);
  return text;
}

CommandResult RunCli(std::vector<std::string_view> arguments, std::string_view input = {}) {
  std::FILE* in = std::tmpfile();
  if (!input.empty()) {
    std::fwrite(input.data(), 1, input.size(), in);
  }
  std::rewind(in);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const int status = RunCommandLine(arguments, in, out, err);
  std::fclose(in);
  return {status, ReadBack(out), ReadBack(err)};
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

const std::string kExamples = SIGRUNE_SOURCE_DIR "/examples/";

TEST(CommandLine, ListPrintsTheSummaryLines) {
  const CommandResult plain = RunCli({"list", kExamples + "plain-trace.txt"});
  EXPECT_EQ(plain.status, kExitSuccess);
  EXPECT_EQ(plain.out, ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace.list"));
  EXPECT_EQ(plain.err, "");
  const CommandResult tracelist = RunCli({"list", "--", kExamples + "tracelist-trace.xml"});
  EXPECT_EQ(tracelist.status, kExitSuccess);
  EXPECT_EQ(tracelist.out, ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/tracelist-trace.list"));
}

TEST(CommandLine, ListFiltersOneWayAtATime) {
  const auto rows = [](const std::string& list) {
    std::vector<std::string> calls;
    std::size_t start = 0;
    for (std::size_t end; (end = list.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = list.substr(start, end - start);
      calls.push_back(line.substr(line.rfind('\t') + 1));
    }
    return calls;
  };
  const std::string trace = kExamples + "tracelist-trace.xml";
  using Calls = std::vector<std::string>;
  EXPECT_EQ(rows(RunCli({"list", trace, "--call", "0x1388"}).out),
            (Calls{"0x1388", "0x9388", "0x9388", "0x1388"}));
  EXPECT_EQ(rows(RunCli({"list", "--call", "800A", trace}).out),
            (Calls{"0x000a", "0x800a", "0x800a", "0x000a", "0x800a", "0x000a"}));
  EXPECT_EQ(rows(RunCli({"list", trace, "--gateway", "10.0.30.75"}).out),
            (Calls{"0x1388", "0x9388", "0x9388", "0x1388"}));
  EXPECT_EQ(RunCli({"list", trace, "--gateway", "10.0.30.7"}).out, "");
  EXPECT_EQ(rows(RunCli({"list", trace, "--h225"}).out),
            (Calls{"0x1388", "0x9388", "0x9388", "0x1388"}));
  EXPECT_EQ(rows(RunCli({"list", trace, "--pri"}).out),
            (Calls{"0x000a", "0x800a", "0x800a", "0x000a", "0x800a", "0x000a"}));
  EXPECT_EQ(RunCli({"list", trace, "--pri", "--h225"}).status, kExitUsage);
  EXPECT_EQ(RunCli({"list", trace, "--call", "xyz"}).status, kExitUsage);
}

CommandResult RunCliReading(std::FILE* in, std::vector<std::string_view> arguments) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const int status = RunCommandLine(arguments, in, out, err);
  return {status, ReadBack(out), ReadBack(err)};
}

std::string WriteTemporary(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(CommandLine, FailuresNameTheFile) {
  const CommandResult missing = RunCli({"list", "/nonexistent/trace.txt"});
  EXPECT_EQ(missing.status, kExitFailure);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err,
            "sigrune-cli: cannot open /nonexistent/trace.txt: No such file or directory\n");

  const std::string emptyPath = WriteTemporary("sigrune-cli-empty.txt", "");
  const CommandResult empty = RunCli({"list", emptyPath});
  EXPECT_EQ(empty.status, kExitFailure);
  EXPECT_EQ(empty.err, emptyPath + " does not contain Q931 Messages.\n");
  std::remove(emptyPath.c_str());

  const std::string folder = testing::TempDir();
  for (const std::string& path : {std::string("/dev/zero"), folder}) {
    const CommandResult refused = RunCli({"show", path, "1"});
    EXPECT_EQ(refused.status, kExitFailure);
    EXPECT_EQ(refused.err, "sigrune-cli: " + path + ": not a regular file or FIFO\n");
  }
}

// A FIFO (what `<(zcat trace.gz)` gives) and standard input are read as streams.
TEST(CommandLine, ReadsATraceFromAFifoOrFromStandardInput) {
  const std::string trace = ReadFile(kExamples + "plain-trace.txt");
  const std::string list = ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace.list");

  const std::string fifo = testing::TempDir() + "sigrune-cli-fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << trace; });
  const CommandResult fromFifo = RunCli({"list", fifo});
  // Frees the writer if the command never opened the FIFO.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  ::close(reader);
  std::remove(fifo.c_str());
  EXPECT_EQ(fromFifo.status, kExitSuccess);
  EXPECT_EQ(fromFifo.out, list);
  EXPECT_EQ(fromFifo.err, "");

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(::write(ends[1], trace.data(), trace.size()), static_cast<ssize_t>(trace.size()));
  ::close(ends[1]);
  std::FILE* in = ::fdopen(ends[0], "rb");
  const CommandResult fromPipe = RunCliReading(in, {"list", "-"});
  std::fclose(in);
  EXPECT_EQ(fromPipe.status, kExitSuccess);
  EXPECT_EQ(fromPipe.out, list);

  const CommandResult tooFew = RunCli({"show", "-", "99"}, trace);
  EXPECT_EQ(tooFew.err, "sigrune-cli: message 99: standard input has 21 messages\n");
}

TEST(CommandLine, NotesTheSkippedLongLinesAndSucceeds) {
  const std::string path = WriteTemporary(
      "sigrune-cli-long.txt",
      "In  Message -- a\n" + std::string(kMaxLineLength + 1, '0') + "\nIsdnMsgData=0802000105\n");
  const CommandResult listed = RunCli({"list", path});
  std::remove(path.c_str());
  EXPECT_EQ(listed.status, kExitSuccess);
  EXPECT_EQ(listed.err,
            "sigrune-cli: " + path + ": 1 line longer than 16 MiB was skipped (line 2)\n");
}

// The trace holds three small messages, then one of six million octets whose decoded text
// (70 bytes an octet) would take 420 MB: the load fails with 8 MiB to spare, the decode with 96.
TEST(CommandLine, RunningOutOfMemoryNamesTheTraceAndFails) {
  if (!kCanLimitAddressSpace) {
    GTEST_SKIP() << "the address sanitizer cannot run with a bounded address space";
  }
  std::string text;
  for (int k = 0; k < 3; ++k) {
    text += "IsdnMsgData=0802000105\n";
  }
  text += "IsdnMsgData=0802000105";
  text.append(12000000, '9').append("\n");
  for (std::size_t k = text.size() - 12000001; k < text.size() - 1; k += 2) {
    text[k + 1] = '0';
  }
  const std::string path = WriteTemporary("sigrune-cli-huge.txt", text);
  struct Case {
    std::vector<std::string_view> arguments;
    std::size_t headroom;
    std::string err;
  };
  const Case cases[] = {
      {{"list", path}, 8u << 20, "loading, after 3 messages"},
      {{"find", path, "Shift"}, 96u << 20, "searching"},
      {{"export", path}, 96u << 20, "exporting"},
  };
  for (const Case& expected : cases) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = RunWithAddressSpaceHeadroom(
        expected.headroom, [&] { return RunCommandLine(expected.arguments, stdin, out, err); });
    std::fclose(out);
    EXPECT_EQ(status, kExitFailure) << expected.arguments[0];
    EXPECT_EQ(ReadBack(err),
              "sigrune-cli: " + path + ": not enough memory (while " + expected.err + ")\n");
  }
  std::remove(path.c_str());
}

TEST(CommandLine, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string_view>> misuses = {
      {}, {"frobnicate"}, {"list"}, {"list", "a", "b"}, {"list", "--bogus", "a"}};
  for (const auto& arguments : misuses) {
    const CommandResult result = RunCli(arguments);
    EXPECT_EQ(result.status, kExitUsage) << (arguments.empty() ? "" : arguments.back());
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("--help"), std::string::npos);
  }
}

TEST(CommandLine, DecodePrintsEachMessageAndReportsFailures) {
  const CommandResult arguments = RunCli({"decode", "08 02 00 01 05 A1", "08 01 81 45", "8", "09"});
  EXPECT_EQ(arguments.status, kExitFailure);
  EXPECT_EQ(arguments.out,
            "SETUP, pd = 8, callref = 0x0001\nSending Complete\n"
            "DISCONNECT, pd = 8, callref = 0x81\nInvalid Protocol Discriminator: 9\n");
  EXPECT_EQ(arguments.err, "sigrune-cli: 8: Subscript out of range\n");

  const CommandResult crlf = RunCli({"decode", "--crlf", "080200010588"});
  EXPECT_EQ(crlf.status, kExitSuccess);
  EXPECT_EQ(crlf.out, "SETUP, pd = 8, callref = 0x0001\r\nRESERVED = 80x88\r\n");

  const CommandResult input = RunCli({"decode"}, "08 00 05\r\n0801300f\n0801b001");
  EXPECT_EQ(input.status, kExitSuccess);
  EXPECT_EQ(input.out, "\nCONNECT_ACK, pd = 8, callref = 0x30\nALERTING, pd = 8, callref = 0xB0\n");
}

TEST(CommandLine, ShowPrintsTheDecodedTextAndTheDump) {
  const CommandResult setup = RunCli({"show", kExamples + "plain-trace.txt", "3", "22"});
  EXPECT_EQ(setup.status, kExitFailure);
  EXPECT_EQ(setup.out, ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace-message-3.txt"));
  EXPECT_NE(setup.err.find("message 22"), std::string::npos);

  const CommandResult service = RunCli({"show", "--crlf", kExamples + "plain-trace.txt", "1"});
  EXPECT_EQ(service.status, kExitSuccess);
  EXPECT_EQ(service.out,
            "Invalid Protocol Discriminator: 3\r\nEntire Message: \r\n"
            "0010:  03 02 00 00 0F 01 01 80 18 03 A9 83 81 \r\n");

  EXPECT_EQ(RunCli({"show", kExamples + "plain-trace.txt", "0"}).status, kExitUsage);
  EXPECT_EQ(RunCli({"show", kExamples + "plain-trace.txt", "x1"}).status, kExitUsage);
  EXPECT_EQ(RunCli({"show", kExamples + "plain-trace.txt"}).status, kExitUsage);
}

TEST(CommandLine, ExportWritesTheRecordsToAFileOrStandardOutput) {
  const std::string expected = ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/tracelist-trace.export");
  const CommandResult toOutput = RunCli({"export", kExamples + "tracelist-trace.xml"});
  EXPECT_EQ(toOutput.status, kExitSuccess);
  EXPECT_EQ(toOutput.out, expected);

  const std::string path = testing::TempDir() + "sigrune-cli-export.txt";
  const CommandResult toFile = RunCli({"export", "-o", path, kExamples + "tracelist-trace.xml"});
  EXPECT_EQ(toFile.status, kExitSuccess);
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(ReadFile(path), expected);

  // A trace without messages still replaces the file, with an empty one.
  const std::string emptyPath = WriteTemporary("sigrune-cli-empty.txt", "");
  const CommandResult empty = RunCli({"export", emptyPath, "--output", path});
  EXPECT_EQ(empty.status, kExitFailure);
  EXPECT_EQ(empty.err, emptyPath + " does not contain Q931 Messages.\n");
  EXPECT_EQ(ReadFile(path), "");
  std::remove(path.c_str());
  std::remove(emptyPath.c_str());

  EXPECT_EQ(RunCli({"export", kExamples + "plain-trace.txt", "-o"}).status, kExitUsage);
  EXPECT_EQ(RunCli({"export", kExamples + "plain-trace.txt", "-o", "a", "-o", "b"}).status,
            kExitUsage);
}

TEST(CommandLine, FindPrintsTheNumbersOfTheMessagesThatHoldTheText) {
  const CommandResult hits = RunCli({"find", kExamples + "plain-trace.txt", "Cause i = 0x8090"});
  EXPECT_EQ(hits.status, kExitSuccess);
  EXPECT_EQ(hits.out, "18\n21\n");
  const CommandResult none = RunCli({"find", kExamples + "plain-trace.txt", "cause i ="});
  EXPECT_EQ(none.status, kExitFailure);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(RunCli({"find", kExamples + "plain-trace.txt"}).status, kExitUsage);
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
  const CommandResult help = RunCli({"--help"});
  EXPECT_EQ(help.status, kExitSuccess);
  EXPECT_NE(help.out.find("list TRACE"), std::string::npos);
  const CommandResult version = RunCli({"--version"});
  EXPECT_EQ(version.status, kExitSuccess);
  EXPECT_EQ(version.out.rfind("sigrune-cli ", 0), 0u);
}

}  // namespace
}  // namespace sigrune
