#include "cli/command_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <poll.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "address_space_limit.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
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

// Output to `out` when given (closed afterwards, nothing read back), else to a temporary file.
CommandResult RunCli(std::vector<std::string_view> arguments, std::string_view input = {},
                     std::FILE* out = nullptr) {
  std::FILE* in = std::tmpfile();
  if (!input.empty()) {
    std::fwrite(input.data(), 1, input.size(), in);
  }
  std::rewind(in);
  std::FILE* err = std::tmpfile();
  if (out != nullptr) {
    const int status = RunCommandLine(arguments, in, out, err);
    std::fclose(in);
    std::fclose(out);
    return {status, "", ReadBack(err)};
  }
  out = std::tmpfile();
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

  // LF, CR LF and a lone CR end lines; a failing line, even one too long to hold, does not stop
  // the run.
  const std::string input =
      "08 00 05\r\n8\r0801300f\n" + std::string(kMaxLineLength + 1, '0') + "\r\n0801b001";
  const CommandResult lines = RunCli({"decode"}, input);
  EXPECT_EQ(lines.status, kExitFailure);
  EXPECT_EQ(lines.out, "\nCONNECT_ACK, pd = 8, callref = 0x30\nALERTING, pd = 8, callref = 0xB0\n");
  EXPECT_EQ(lines.err,
            "sigrune-cli: line 2: Subscript out of range\n"
            "sigrune-cli: line 4: longer than 16 MiB\n");
}

TEST(CommandLine, DecodeShowsEachLineOfInputAsItComes) {
  int input[2];
  int output[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(pipe(output), 0);
  std::FILE* err = std::tmpfile();
  int status = -1;
  std::thread decode([&] {
    std::FILE* in = fdopen(input[0], "r");
    std::FILE* out = fdopen(output[1], "w");
    status = RunCommandLine(std::vector<std::string_view>{"decode"}, in, out, err);
    std::fclose(in);
    std::fclose(out);
  });
  const auto readOutput = [&] {
    pollfd ready = {output[0], POLLIN, 0};
    char text[256];
    const ssize_t got = poll(&ready, 1, 10000) == 1 ? read(output[0], text, sizeof text) : 0;
    return std::string(text, got > 0 ? static_cast<std::size_t>(got) : 0);
  };
  // The line's CR LF is split: the LF that comes later ends no line of its own.
  ASSERT_EQ(write(input[1], "0801300f\r", 9), 9);
  EXPECT_EQ(readOutput(), "CONNECT_ACK, pd = 8, callref = 0x30\n");
  ASSERT_EQ(write(input[1], "\n0801b001", 9), 9);
  close(input[1]);
  EXPECT_EQ(readOutput(), "ALERTING, pd = 8, callref = 0xB0\n");
  decode.join();
  close(output[0]);
  EXPECT_EQ(status, kExitSuccess);
  EXPECT_EQ(ReadBack(err), "");
}

TEST(CommandLine, WriteErrorsAreReportedOnceAndFail) {
  const std::string trace = kExamples + "plain-trace.txt";
  const std::vector<std::vector<std::string_view>> commands = {{"--help"},
                                                               {"--version"},
                                                               {"list", trace},
                                                               {"show", trace, "3"},
                                                               {"decode"},
                                                               {"decode", "08 02 00 01 05 A1"},
                                                               {"find", trace, "Cause"},
                                                               {"export", trace}};
  for (const auto& arguments : commands) {
    const CommandResult full = RunCli(arguments, "0801300f\n", std::fopen("/dev/full", "w"));
    EXPECT_EQ(full.status, kExitFailure) << arguments.front();
    EXPECT_EQ(full.err, "sigrune-cli: write error: No space left on device\n") << arguments.front();
  }

  // The last check, as the program closes its output, catches what is still in the stream's
  // buffer; a closed pipe ends the run without a word, as SIGPIPE would.
  std::FILE* err = std::tmpfile();
  std::FILE* pending = std::fopen("/dev/full", "w");
  std::fputs("1\n", pending);
  EXPECT_EQ(CloseOutput(pending, err, kExitSuccess), kExitFailure);
  EXPECT_EQ(CloseOutput(std::tmpfile(), err, kExitUsage), kExitUsage);
  EXPECT_EQ(ReadBack(err), "sigrune-cli: write error: No space left on device\n");

  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  for (const auto& arguments : commands) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const CommandResult closed = RunCli(arguments, "0801300f\n", fdopen(ends[1], "w"));
    EXPECT_EQ(closed.status, kExitFailure) << arguments.front();
    EXPECT_EQ(closed.err, "") << arguments.front();
  }
  std::signal(SIGPIPE, previous);
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

TEST(CommandLine, ExportReportsWhatWentWrongAndExitsWithOne) {
  const std::string trace = testing::TempDir() + "sigrune-cli-undecodable.txt";
  const std::string traceText = "IsdnMsgData=08 01 81 45\nIsdnMsgData=8\nIsdnMsgData=09\n";
  std::ofstream(trace, std::ios::binary) << traceText;
  const std::string path = testing::TempDir() + "sigrune-cli-undecodable.export";
  const CommandResult undecodable = RunCli({"export", trace, "-o", path});
  EXPECT_EQ(undecodable.status, kExitFailure);
  EXPECT_EQ(undecodable.err,
            "sigrune-cli: 1 message could not be decoded (message 2: Subscript out of range)\n");
  EXPECT_NE(ReadFile(path).find("Undecodable message: Subscript out of range\r\n"
                                "=============================\r\n"),
            std::string::npos);
  std::remove(path.c_str());

  const CommandResult onto = RunCli({"export", trace, "-o", trace});
  EXPECT_EQ(onto.status, kExitFailure);
  EXPECT_EQ(onto.err, "sigrune-cli: cannot write " + trace + ": it is the trace being exported\n");
  EXPECT_EQ(ReadFile(trace), traceText);
  std::remove(trace.c_str());
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

TEST(CommandLine, FindReadsTheTextInTheLocalesEncoding) {
  const std::string trace = kExamples + "tracelist-trace.xml";
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  const CommandResult micro = RunCli({"find", trace, "\xc2\xb5-law"});
  EXPECT_EQ(micro.status, kExitSuccess);
  EXPECT_NE(micro.out, "");
  for (const std::string_view beyond : {"\xe2\x82\xac", "\xb5-law"}) {  // the euro, not UTF-8
    const CommandResult refused = RunCli({"find", trace, beyond});
    EXPECT_EQ(refused.status, kExitUsage);
    EXPECT_NE(refused.err.find("has no Latin-1 form"), std::string::npos);
  }
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(RunCli({"find", trace, "\xb5-law"}).out, micro.out);
  std::setlocale(LC_ALL, previous.c_str());
}

TEST(TerminalText, EscapesControlCharactersAndShowsLatin1) {
  struct Case {
    std::string_view bytes;
    bool utf8;
    std::string_view shown;
  };
  const Case cases[] = {
      {"a\tb\r\n", false, "a\tb\r\n"},
      {"\x1b[2J\r", false, "\\x1b[2J\\x0d"},
      {std::string_view("\x00\x7f\x9b\xa0", 4), false, "\\x00\\x7f\\x9b\xa0"},
      {"\xb5-law \xff", true, "\xc2\xb5-law \xc3\xbf"},
      {"\xb5\x1f", false, "\xb5\\x1f"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TerminalText(c.bytes, c.utf8), c.shown) << c.bytes;
  }

  // A CR at the end of one write waits for the next to show whether it ends a line.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::FILE* terminal = OpenTerminalStream(ends[1], true);
  for (const char* piece : {"x\r", "\n\xb5\r", "y\r"}) {
    std::fputs(piece, terminal);
    std::fflush(terminal);
  }
  EXPECT_EQ(std::fclose(terminal), 0);
  close(ends[1]);
  char shown[64];
  const ssize_t got = read(ends[0], shown, sizeof shown);
  close(ends[0]);
  EXPECT_EQ(std::string(shown, got > 0 ? static_cast<std::size_t>(got) : 0),
            "x\r\n\xc2\xb5\\x0dy\\x0d");
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
