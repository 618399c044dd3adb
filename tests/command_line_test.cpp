#include "cli/command_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "address_space_limit.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "test_files.h"
#include "trace/trace_reader.h"
#include "waiting.h"

namespace sigrune {
namespace {

using Arguments = std::vector<std::string_view>;

// What the reader and the decoders print is pinned by their own tests; these pin what the
// command line adds: options, exit status and the words on standard error.
struct CommandResult {
  int status;
  std::string out;
  std::string err;
  bool operator==(const CommandResult&) const = default;
};

void PrintTo(const CommandResult& result, std::ostream* os) {
  *os << "status " << result.status << ", out " << ::testing::PrintToString(result.out) << ", err "
      << ::testing::PrintToString(result.err);
}

// Output to `out` when given (closed afterwards, nothing read back), else read back.
CommandResult RunReading(std::FILE* in, const Arguments& arguments, std::FILE* out = nullptr) {
  std::FILE* err = std::tmpfile();
  std::FILE* to = out != nullptr ? out : std::tmpfile();
  const int status = RunCommandLine(arguments, in, to, err);
  const std::string written = out != nullptr ? (std::fclose(out), "") : ReadBack(to);
  return {status, written, ReadBack(err)};
}

CommandResult RunCli(const Arguments& arguments, const std::string& input = "",
                     std::FILE* out = nullptr) {
  std::FILE* in = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  const CommandResult result = RunReading(in, arguments, out);
  std::fclose(in);
  return result;
}

CommandResult UsageFailure(std::string_view problem) {
  return {kExitUsage, "",
          "sigrune-cli: " + std::string(problem) +
              "\nTry 'sigrune-cli --help' for more information.\n"};
}

const std::string kPlain = SourceFile("examples/plain-trace.txt");
const std::string kTracelist = SourceFile("examples/tracelist-trace.xml");

class CommandLine : public FolderTest {};

// A FIFO (what `<(zcat trace.gz)` gives) and standard input are read as streams.
TEST_F(CommandLine, ListsATraceFromAFileAFifoOrStandardInput) {
  const std::string trace = ReadFile(kPlain);
  const CommandResult listed{kExitSuccess, ReadFile(SourceFile("tests/data/plain-trace.list")), ""};
  EXPECT_EQ(RunCli({"list", "--", kPlain}), listed);

  const std::string fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TestThread writer("the FIFO's writer to end", [&] { WriteFile(fifo, trace); });
  EXPECT_EQ(RunCli({"list", fifo}), listed);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // frees a writer left waiting
  writer.Join();
  ::close(reader);

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(::write(ends[1], trace.data(), trace.size()), static_cast<ssize_t>(trace.size()));
  ::close(ends[1]);
  std::FILE* in = ::fdopen(ends[0], "rb");
  EXPECT_EQ(RunReading(in, {"list", "-"}), listed);
  std::fclose(in);
  EXPECT_EQ(RunCli({"show", "-", "99"}, trace),
            (CommandResult{kExitFailure, "",
                           "sigrune-cli: message 99: standard input has 21 messages\n"}));
}

TEST_F(CommandLine, SaysWhatItCouldNotReadOnStandardError) {
  const std::string empty = Write("empty.txt", "");
  const std::string longLine =
      Write("long.txt", "In  Message -- a\n" + std::string(kMaxLineLength + 1, '0') +
                            "\nIsdnMsgData=0802000105\n");
  const std::string folder = folder_.string();
  const std::pair<Arguments, CommandResult> cases[] = {
      {{"list", "/nonexistent/trace.txt"},
       {kExitFailure, "",
        "sigrune-cli: cannot open /nonexistent/trace.txt: No such file or directory\n"}},
      {{"list", empty}, {kExitFailure, "", empty + " does not contain Q931 Messages.\n"}},
      {{"show", "/dev/zero", "1"},
       {kExitFailure, "", "sigrune-cli: /dev/zero: not a regular file or FIFO\n"}},
      {{"show", folder, "1"},
       {kExitFailure, "", "sigrune-cli: " + folder + ": not a regular file or FIFO\n"}},
      {{"list", longLine},
       {kExitSuccess, std::string(20, ' ') + "\t\tIn\t\tPRI\t     SETUP               \t\t0x0001\n",
        "sigrune-cli: " + longLine + ": 1 line longer than 16 MiB was skipped (line 2)\n"}},
  };
  for (const auto& [arguments, result] : cases) {
    EXPECT_EQ(RunCli(arguments), result);
  }
}

// The trace holds three small messages, then one of six million octets whose decoded text
// (70 bytes an octet) would take 420 MB: the load fails with 8 MiB to spare, the export with 96;
// the search, which reads the text in pieces, needs no room for it.
TEST_F(CommandLine, RunningOutOfMemoryNamesTheTraceAndFails) {
  if (!kCanLimitAddressSpace) {
    GTEST_SKIP() << "the address sanitizer cannot run with a bounded address space";
  }
  std::string text =
      "IsdnMsgData=0802000105\nIsdnMsgData=0802000105\nIsdnMsgData=0802000105\n"
      "IsdnMsgData=0802000105";
  for (int k = 0; k < 6000000; ++k) {
    text += "90";
  }
  const std::string path = Write("huge.txt", text + "\n");
  const std::tuple<Arguments, std::size_t, std::string_view> cases[] = {
      {{"list", path}, 8u << 20, "loading, after 3 messages"},
      {{"export", path}, 96u << 20, "exporting"},
  };
  for (const auto& [arguments, headroom, during] : cases) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = RunWithAddressSpaceHeadroom(
        headroom, [&] { return RunCommandLine(arguments, stdin, out, err); });
    std::fclose(out);
    EXPECT_EQ(status, kExitFailure) << arguments[0];
    EXPECT_EQ(ReadBack(err),
              "sigrune-cli: " + path + ": not enough memory (while " + std::string(during) + ")\n");
  }
  EXPECT_EQ(RunWithAddressSpaceHeadroom(96u << 20,
                                        [&] {
                                          return RunCli({"find", path, "Shift"}).status;
                                        }),
            kExitSuccess);
}

TEST_F(CommandLine, UsageErrorsSayWhatIsWrongAndExitWithTwo) {
  const std::pair<Arguments, std::string_view> misuses[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"--bogus", "list", kPlain}, "unknown option '--bogus'"},
      {{"list"}, "list takes one or more trace files"},
      {{"list", "a", "-"}, "standard input (-) cannot be read with other trace files"},
      {{"list", "--bogus", "a"}, "list: unknown option '--bogus'"},
      {{"list", kTracelist, "--pri", "--h225"}, "list takes one filter at a time"},
      {{"list", kTracelist, "--call", "xyz"}, "list: 'xyz' is not a call reference"},
      {{"list", kTracelist, "--call="}, "list: option '--call' needs a value"},
      {{"decode", "--crlf=no"}, "decode: option '--crlf' takes no value"},
      {{"show", kPlain}, "show takes trace files and one or more message numbers"},
      {{"show", kPlain, "0"}, "show: '0' is not a message number"},
      {{"show", kPlain, "x1"}, "show: 'x1' is not a message number"},
      {{"export", kPlain, "-o"}, "export: option '-o' needs a value"},
      {{"export", kPlain, "-o", "a", "-o", "b"},
       "export: option '-o/--output' can be given only once"},
      {{"export", kPlain, "--output", "a", "-o", "b"},
       "export: option '-o/--output' can be given only once"},
      {{"find", kPlain}, "find takes one or more trace files and a text"},
      {{"calls"}, "calls takes one or more trace files"},
      {{"calls", kPlain, "--outcome", "failed,busy,"},
       "calls: '' is not an outcome (answered, busy, no answer, rejected, cancelled, failed, "
       "none)"},
      {{"list", kPlain, "--in-call", "0"}, "list: '0' is not a call number"},
      {{"list", kPlain, "--pri", "--in-call", "1"}, "list takes one filter at a time"},
      {{"show", kPlain, "1", "--in-call", "1"},
       "show takes trace files and either message numbers or --in-call"},
      {{"flow", kPlain, "--related"}, "flow takes trace files and one or more call numbers"},
      {{"flow", kPlain, "1", "0x2"}, "flow: '0x2' is not a call number"},
      {{"pcap", kPlain},
       "pcap takes one or more trace files and one output file (-o FILE, or -o - for standard "
       "output)"},
      {{"pcap", kPlain, "-o", "a", "--failed", "--h225"},
       "pcap takes calls (--in-call, --failed) or one filter, not both"},
      {{"pcap", kPlain, "-o", "a", "--in-call", "1", "--in-call", "x"},
       "pcap: 'x' is not a call number"},
      {{"pcap", kPlain, "-o", "a", "--call", "xyz"}, "pcap: 'xyz' is not a call reference"},
      {{"pcap", kPlain, "-o", "a", "--server-address", "10.1.1"},
       "pcap: '10.1.1' is not an IPv4 address (A.B.C.D)"},
      {{"pcap", kPlain, "-o", "a", "--utc-offset", "+5:00"},
       "pcap: '+5:00' is not a UTC offset (+HH:MM or -HH:MM)"},
      {{"stats", "--csv"}, "stats takes one or more trace files"},
      // An option of one value given twice; only --where, --outcome and pcap's --in-call repeat.
      {{"list", kPlain, "--call", "1", "--call", "2"},
       "list: option '--call' can be given only once"},
      {{"list", kPlain, "--gateway", "a", "--gateway=b"},
       "list: option '--gateway' can be given only once"},
      {{"list", kPlain, "--in-call", "1", "--in-call", "1"},
       "list: option '--in-call' can be given only once"},
      {{"show", kPlain, "--in-call", "1", "--in-call", "2"},
       "show: option '--in-call' can be given only once"},
      {{"calls", kPlain, "--number", "1", "--number", "2"},
       "calls: option '--number' can be given only once"},
      {{"calls", kPlain, "--gateway", "a", "--gateway", "b"},
       "calls: option '--gateway' can be given only once"},
      {{"flow", kPlain, "1", "--names", "a", "--names", "b"},
       "flow: option '--names' can be given only once"},
      {{"pcap", kPlain, "-o", "a", "-o", "b"}, "pcap: option '-o/--output' can be given only once"},
      {{"pcap", kPlain, "-o", "a", "--server-address", "1.2.3.4", "--server-address", "1.2.3.5"},
       "pcap: option '--server-address' can be given only once"},
      {{"pcap", kPlain, "-o", "a", "--utc-offset", "+01:00", "--utc-offset", "+02:00"},
       "pcap: option '--utc-offset' can be given only once"},
      {{"calls", kPlain, "--number", "12a"}, "calls: '12a' is not a number (digits only)"},
      {{"calls", kPlain, "--number", ""}, "calls: '' is not a number (digits only)"},
  };
  for (const auto& [arguments, problem] : misuses) {
    EXPECT_EQ(RunCli(arguments), UsageFailure(problem));
  }
}

// Whatever an operand looks like, it reaches the command as typed.
TEST_F(CommandLine, OperandsAreTakenAsTyped) {
  const CommandResult noHit{kExitFailure, "", ""};
  const std::pair<Arguments, CommandResult> cases[] = {
      {{"find", kPlain, "[0x80,0x90]"}, noHit},
      {{"find", kPlain, "{}"}, noHit},
      {{"find", kPlain, "show"}, noHit},
      {{"find", kPlain, "--", "-x"}, noHit},
      {{"list", "--", "-x"},
       {kExitFailure, "", "sigrune-cli: cannot open -x: No such file or directory\n"}},
  };
  for (const auto& [arguments, result] : cases) {
    EXPECT_EQ(RunCli(arguments), result) << arguments.back();
  }
}

TEST_F(CommandLine, ListTakesAFilter) {
  // The call reference ends each line.
  const auto calls = [](const Arguments& arguments) {
    std::istringstream lines(RunCli(arguments).out);
    std::string shown;
    for (std::string line; std::getline(lines, line);) {
      shown += line.substr(line.rfind('\t') + 1) + " ";
    }
    return shown;
  };
  const std::string h225 = "0x1388 0x9388 0x9388 0x1388 ";
  const std::string pri = "0x000a 0x800a 0x800a 0x000a 0x800a 0x000a ";
  const std::pair<Arguments, std::string> cases[] = {
      {{"list", kTracelist, "--call", "0x1388"}, h225},
      {{"list", "--call", "800A", kTracelist}, pri},
      {{"list", kTracelist, "--gateway", "10.0.30.75"}, h225},
      {{"list", kTracelist, "--gateway", "10.0.30.7"}, ""},
      {{"list", kTracelist, "--h225"}, h225},
      {{"list", kTracelist, "--pri"}, pri},
  };
  for (const auto& [arguments, shown] : cases) {
    EXPECT_EQ(calls(arguments), shown) << arguments[2];
  }
}

TEST_F(CommandLine, DecodePrintsEachMessageAndReportsFailures) {
  EXPECT_EQ(
      RunCli({"decode", "08 02 00 01 05 A1", "08 01 81 45", "8", "09"}),
      (CommandResult{kExitFailure,
                     "SETUP, pd = 8, callref = 0x0001\nSending Complete\n"
                     "DISCONNECT, pd = 8, callref = 0x81\nInvalid Protocol Discriminator: 9\n",
                     "sigrune-cli: 8: Subscript out of range\n"}));
  EXPECT_EQ(
      RunCli({"decode", "--crlf", "080200010588"}),
      (CommandResult{kExitSuccess, "SETUP, pd = 8, callref = 0x0001\r\nRESERVED = 80x88\r\n", ""}));
  // LF, CR LF and a lone CR end lines; a failing line, even one too long to hold, does not stop
  // the run.
  EXPECT_EQ(
      RunCli({"decode"},
             "08 00 05\r\n8\r0801300f\n" + std::string(kMaxLineLength + 1, '0') + "\r\n0801b001"),
      (CommandResult{kExitFailure,
                     "\nCONNECT_ACK, pd = 8, callref = 0x30\nALERTING, pd = 8, callref = 0xB0\n",
                     "sigrune-cli: line 2: Subscript out of range\n"
                     "sigrune-cli: line 4: longer than 16 MiB\n"}));
}

TEST_F(CommandLine, DecodeShowsEachLineOfInputAsItComes) {
  int input[2];
  int output[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(pipe(output), 0);
  CommandResult result{};
  TestThread decode("decode to end with its input", [&] {
    std::FILE* in = fdopen(input[0], "r");
    result = RunReading(in, {"decode"}, fdopen(output[1], "w"));
    std::fclose(in);
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
  decode.Join();
  close(output[0]);
  EXPECT_EQ(result, (CommandResult{kExitSuccess, "", ""}));
}

// The example trace cut in two between messages, given in the wrong order, reads as the whole.
TEST_F(CommandLine, ReadsSeveralFilesAsOneTrace) {
  const std::string trace = ReadFile(kPlain);
  const std::size_t cut = trace.find("01/15/2004 10:24:02.930");
  const std::string first = Write("first.txt", trace.substr(0, cut));
  const std::string second = Write("second.txt", trace.substr(cut));
  const std::pair<Arguments, Arguments> sameAs[] = {
      {{"list", second, first}, {"list", kPlain}},
      {{"show", second, first, "3", "20"}, {"show", kPlain, "3", "20"}},
      {{"calls", "--related", second, first}, {"calls", "--related", kPlain}},
      {{"export", second, first}, {"export", kPlain}},
  };
  for (const auto& [several, one] : sameAs) {
    EXPECT_EQ(RunCli(several), RunCli(one)) << several[0];
  }
  EXPECT_EQ(
      RunCli({"show", first, second, first, "99"}),
      (CommandResult{kExitFailure, "",
                     "sigrune-cli: " + first + " was given twice and read once\n" +
                         "sigrune-cli: message 99: " + first + " + 2 more has 21 messages\n"}));
}

// `list --follow` run on a thread of its own, its output read as it comes.
class ListFollowing {
 public:
  explicit ListFollowing(Arguments arguments) {
    // Read often, and a path gone is gone.
    SetFollowTimes({std::chrono::milliseconds(20), std::chrono::milliseconds(0)});
    EXPECT_EQ(pipe(output_), 0);
    list_ = std::thread([this, arguments] {
      result_ = RunCli(arguments, "", fdopen(output_[1], "w"));
      ended_.set_value();
    });
  }
  ~ListFollowing() {
    Join();
    close(output_[0]);
    SetFollowTimes({});
  }
  // All it printed, once that is `size` bytes or more (or ten seconds have passed).
  const std::string& ReadUntil(std::size_t size) {
    pollfd ready = {output_[0], POLLIN, 0};
    char text[4096];
    while (shown_.size() < size && poll(&ready, 1, 10000) == 1) {
      const ssize_t got = read(output_[0], text, sizeof text);
      if (got <= 0) {
        break;
      }
      shown_.append(text, static_cast<std::size_t>(got));
    }
    return shown_;
  }
  // Interrupts it as Ctrl-C does, once it follows.
  void Interrupt() { pthread_kill(list_.native_handle(), SIGINT); }
  // How it ended, with all it printed.
  CommandResult Result() {
    Join();
    result_.out = ReadUntil(std::string::npos);
    return result_;
  }

 private:
  // Within the tests' limit, or the run ends saying what hung.
  void Join() {
    if (!list_.joinable()) {
      return;
    }
    if (ended_.get_future().wait_for(kWaitLimit) == std::future_status::timeout) {
      ADD_FAILURE() << "gave up after " << kWaitLimit.count() << " s waiting for list --follow";
      std::fflush(nullptr);
      ProcessFolder::Get().Remove();
      std::_Exit(EXIT_FAILURE);
    }
    list_.join();
  }

  int output_[2] = {-1, -1};
  std::promise<void> ended_;
  std::thread list_;
  std::string shown_;
  CommandResult result_{};
};

TEST_F(CommandLine, ListFollowPrintsTheLinesOfTheMessagesAppended) {
  const std::string trace = ReadFile(kPlain);
  const std::string listed = ReadFile(SourceFile("tests/data/plain-trace.list"));
  // Cut within a data line: not a line until it ends.
  const std::size_t cut =
      trace.find("IsdnMsgData", trace.find("01/15/2004 10:24:02.930")) + std::size_t{20};
  const std::string path = Write("live.txt", trace.substr(0, cut));
  ListFollowing list({"list", "--follow", path});
  const std::size_t firstLines = listed.find("01/15/2004 10:24:02.931");
  EXPECT_EQ(list.ReadUntil(firstLines), listed.substr(0, firstLines));
  std::ofstream(path, std::ios::app) << trace.substr(cut);
  EXPECT_EQ(list.ReadUntil(listed.size()), listed);

  // Whatever takes the path is waited for, saying so once, until a file it can read comes.
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  std::filesystem::rename(Path("fifo"), path);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::size_t firstMessage = trace.find('\n', trace.find("IsdnMsgData")) + 1;
  std::filesystem::rename(Write("rotated.txt", trace.substr(0, firstMessage)), path);
  const std::string firstLine = listed.substr(0, listed.find('\n') + 1);
  EXPECT_EQ(list.ReadUntil(listed.size() + firstLine.size()), listed + firstLine);
  std::filesystem::remove(path);
  EXPECT_EQ(list.Result(),
            (CommandResult{kExitFailure, listed + firstLine,
                           "sigrune-cli: cannot follow " + path +
                               ": it is a FIFO; waiting for a readable file\n" + "sigrune-cli: " +
                               path + " was replaced: read the new file from its start\n" +
                               "sigrune-cli: " + path + " disappeared: following stopped\n"}));

  const std::string gzip = Write("trace.gz", "");
  const std::pair<Arguments, std::string> refused[] = {
      {{"list", "--follow", "-"}, "sigrune-cli: cannot follow standard input\n"},
      {{"list", "--follow", gzip}, "sigrune-cli: cannot follow " + gzip + ": it is compressed\n"},
  };
  for (const auto& [arguments, problem] : refused) {
    EXPECT_EQ(RunCli(arguments), (CommandResult{kExitFailure, "", problem}));
  }
}

// With a term that later messages of a call decide, a call's messages are judged once it has
// ended, and printed together; at an interrupt, those of the calls still open as they stand.
// Messages in no call are printed as they come.
TEST_F(CommandLine, ListFollowJudgesCallsOnceTheyEnd) {
  const std::string trace = ReadFile(kPlain);
  const std::string listed = ReadFile(SourceFile("tests/data/plain-trace.list"));
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < listed.size(); at = listed.find('\n', at) + 1) {
    lines.push_back(listed.substr(at, listed.find('\n', at) + 1 - at));
  }
  const auto joined = [&](std::initializer_list<int> numbers) {
    std::string text;
    for (const int number : numbers) {
      text += lines[static_cast<std::size_t>(number - 1)];
    }
    return text;
  };
  // The three calls begun, none answered yet; then all but the last message (of call 2).
  const std::size_t answers = trace.find("01/15/2004 10:23:49.503");
  const std::size_t lastMessage = trace.find("01/15/2004 10:24:31.016");
  const std::string path = Write("live.txt", trace.substr(0, answers));
  ListFollowing list({"list", "--follow", "--where", "-outcome:busy", path});
  const std::string service = joined({1, 2});
  EXPECT_EQ(list.ReadUntil(service.size()), service);
  std::ofstream(path, std::ios::app) << trace.substr(answers, lastMessage - answers);
  const std::string call1 = service + joined({3, 4, 5, 9, 10, 18, 19, 20});
  EXPECT_EQ(list.ReadUntil(call1.size()), call1);
  list.Interrupt();
  EXPECT_EQ(list.Result(),
            (CommandResult{kExitSignalBase + SIGINT, call1 + joined({6, 7, 8, 11}), ""}));
}

TEST_F(CommandLine, WriteErrorsAreReportedOnceAndFail) {
  const Arguments commands[] = {{"--help"},
                                {"--version"},
                                {"list", kPlain},
                                {"show", kPlain, "3"},
                                {"decode"},
                                {"decode", "08 02 00 01 05 A1"},
                                {"find", kPlain, "Cause"},
                                {"export", kPlain},
                                {"flow", kPlain, "1"}};
  const std::string full = "sigrune-cli: write error: No space left on device\n";
  for (const Arguments& arguments : commands) {
    EXPECT_EQ(RunCli(arguments, "0801300f\n", std::fopen("/dev/full", "w")),
              (CommandResult{kExitFailure, "", full}))
        << arguments.front();
  }

  // The last check, as the program closes its output, catches what is still in the stream's
  // buffer.
  std::FILE* err = std::tmpfile();
  std::FILE* pending = std::fopen("/dev/full", "w");
  std::fputs("1\n", pending);
  EXPECT_EQ(CloseOutput(pending, err, kExitSuccess), kExitFailure);
  EXPECT_EQ(CloseOutput(std::tmpfile(), err, kExitUsage), kExitUsage);
  EXPECT_EQ(ReadBack(err), full);

  // A closed pipe ends the run without a word, as SIGPIPE would.
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  for (const Arguments& arguments : commands) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    EXPECT_EQ(RunCli(arguments, "0801300f\n", fdopen(ends[1], "w")),
              (CommandResult{kExitFailure, "", ""}))
        << arguments.front();
  }
  std::signal(SIGPIPE, previous);
}

TEST_F(CommandLine, ShowPrintsTheDecodedTextAndTheDump) {
  EXPECT_EQ(
      RunCli({"show", kPlain, "3", "22"}),
      (CommandResult{kExitFailure, ReadFile(SourceFile("tests/data/plain-trace-message-3.txt")),
                     "sigrune-cli: message 22: " + kPlain + " has 21 messages\n"}));
  EXPECT_EQ(RunCli({"show", "--crlf", kPlain, "1"}),
            (CommandResult{kExitSuccess,
                           "Invalid Protocol Discriminator: 3\r\nEntire Message: \r\n"
                           "0010:  03 02 00 00 0F 01 01 80 18 03 A9 83 81 \r\n",
                           ""}));
}

// An undecodable message gets its record like any other, and the run fails with a note.
TEST_F(CommandLine, ExportWritesEveryRecordToStandardOutputOrTheFile) {
  EXPECT_EQ(
      RunCli({"export", kTracelist}),
      (CommandResult{kExitSuccess, ReadFile(SourceFile("tests/data/tracelist-trace.export")), ""}));
  const std::string traceText = "IsdnMsgData=08 01 81 45\nIsdnMsgData=8\nIsdnMsgData=09\n";
  const std::string trace = Write("undecodable.txt", traceText);
  const std::string header =
      "=============================\r\n" + std::string(20, ' ') + "\r\nOut -> ";
  const std::string records = header + "DISCONNECT, pd = 8, callref = 0x81\r\n" + header +
                              "Undecodable message: Subscript out of range\r\n" + header +
                              "Invalid Protocol Discriminator: 9";
  const std::string note =
      "sigrune-cli: 1 message could not be decoded (message 2: Subscript out of range)\n";
  EXPECT_EQ(RunCli({"export", trace}), (CommandResult{kExitFailure, records, note}));
  const std::string path = Path("out.txt");
  EXPECT_EQ(RunCli({"export", "-o", path, trace}), (CommandResult{kExitFailure, "", note}));
  EXPECT_EQ(ReadFile(path), records);

  // A trace without messages still replaces the file, with an empty one; the trace itself is
  // never the target.
  const std::string empty = Write("empty.txt", "");
  EXPECT_EQ(RunCli({"export", empty, "--output", path}),
            (CommandResult{kExitFailure, "", empty + " does not contain Q931 Messages.\n"}));
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_EQ(
      RunCli({"export", trace, "-o", trace}),
      (CommandResult{kExitFailure, "",
                     "sigrune-cli: cannot write " + trace + ": it is the trace being exported\n"}));
  EXPECT_EQ(ReadFile(trace), traceText);
}

// The text is read in the locale's encoding and looked for in the Latin-1 decoded texts.
TEST_F(CommandLine, FindPrintsTheNumbersOfTheMessagesThatHoldTheText) {
  EXPECT_EQ(RunCli({"find", kPlain, "Cause i = 0x8090"}),
            (CommandResult{kExitSuccess, "18\n21\n", ""}));
  EXPECT_EQ(RunCli({"find", kPlain, "cause i ="}), (CommandResult{kExitFailure, "", ""}));

  const CommandResult found{kExitSuccess, "1\n3\n", ""};
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  EXPECT_EQ(RunCli({"find", kTracelist, "\xc2\xb5-law"}), found);
  for (const std::string_view beyond : {"\xe2\x82\xac", "\xb5-law"}) {  // the euro; not UTF-8
    EXPECT_EQ(RunCli({"find", kTracelist, beyond}),
              UsageFailure("find: the text '" + std::string(beyond) +
                           "' has no Latin-1 form, the encoding of trace texts"));
  }
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(RunCli({"find", kTracelist, "\xb5-law"}), found);
  std::setlocale(LC_ALL, previous.c_str());
}

// --lines: each line that holds the text, after the number and a tab, as `show` writes it.
TEST_F(CommandLine, FindLinesPrintsEachLineThatHoldsTheText) {
  EXPECT_EQ(RunCli({"find", kPlain, "Cause i", "--lines"}),
            (CommandResult{kExitSuccess,
                           "15\tCause i = 0x8291 - User busy \n"
                           "18\tCause i = 0x8090 - Normal call clearing \n"
                           "21\tCause i = 0x8090 - Normal call clearing \n",
                           ""}));
  // Every line that holds it, several of one message; in the dump ("0010:") it is not looked for.
  EXPECT_EQ(
      RunCli({"find", "--lines", kPlain, "Party Number i"}),
      (CommandResult{kExitSuccess,
                     "3\tCalling Party Number i = '2145550100' - Plan: ISDN, Type: National, "
                     "Presentation Allowed, User-provided, not screened\n"
                     "3\tCalled Party Number i = '1001' - Plan: ISDN, Type: Subscriber\n"
                     "6\tCalling Party Number i = '1001' - Plan: ISDN, Type: Unknown, Presentation "
                     "Allowed, User-provided, verified and passed\n"
                     "6\tCalled Party Number i = '9145550199' - Plan: ISDN, Type: Unknown\n"
                     "12\tCalled Party Number i = '5550142678' - Plan: ISDN, Type: National\n",
                     ""}));
  EXPECT_EQ(RunCli({"find", kPlain, "0010:", "--lines"}), (CommandResult{kExitFailure, "", ""}));
}

const std::string kCalls = SourceFile("tests/data/grouped-calls.txt");
const std::string kLegs = SourceFile("tests/data/call-legs.txt");

TEST_F(CommandLine, CallsPrintsATableOrTheCsv) {
  EXPECT_EQ(
      RunCli({"calls", "--csv", kCalls}),
      (CommandResult{kExitSuccess, ReadFile(SourceFile("tests/data/grouped-calls.csv")), ""}));
  // The dates of a <Tracelist> trace are its timestamps.
  EXPECT_EQ(RunCli({"calls", kTracelist}).out,
            "call  start                    duration  gateway     dir  calling     called  "
            "outcome    messages  cause\n"
            "   1  2004-01-16 08:02:14.032     5.853  10.0.30.75  in   4085550142  2005    "
            "cancelled         4  16 Normal call clearing\n"
            "   2  2004-01-16 08:02:14.051     5.885  10.1.1.30   out              2005    "
            "cancelled         6  16 Normal call clearing\n");
  const std::string service = Write("service.txt", "IsdnMsgData=03 02 00 00 0f\n");
  EXPECT_EQ(RunCli({"calls", service}),
            (CommandResult{kExitSuccess, "No calls in this trace\n", ""}));
  EXPECT_EQ(RunCli({"calls", kTracelist, "--failed"}),
            (CommandResult{kExitSuccess, "No calls match (2 calls in this trace)\n", ""}));
  EXPECT_EQ(RunCli({"calls", "--related", "--csv", kLegs}),
            (CommandResult{kExitSuccess, ReadFile(SourceFile("tests/data/call-legs.csv")), ""}));
  // Numbers that a spreadsheet would run as formulas.
  const std::string formulas =
      Write("formulas.txt", "IsdnMsgData=08 02 00 01 05 6c 06 21 80 3d 31 2b 32 70 03 80 40 41\n");
  EXPECT_NE(RunCli({"calls", "--csv", formulas}).out.find(",'=1+2,'@A,"), std::string::npos);
  EXPECT_EQ(RunCli({"calls", kTracelist, "--related", "--number", "4085"}).out,
            "call  start                    duration  gateway     dir  calling     called  "
            "outcome    messages  cause                    related  first fault\n"
            "   1  2004-01-16 08:02:14.032     5.853  10.0.30.75  in   4085550142  2005    "
            "cancelled         4  16 Normal call clearing        2\n");
  EXPECT_EQ(RunCli({"calls", kLegs, "--related", "--failed"}).out,
            "call  start                    duration  gateway   dir  calling  called   outcome  "
            "messages  cause                    related  first fault\n"
            "   3  01/15/2004 10:00:06.000     0.950  10.1.1.6  out           5550142  failed   "
            "       5  34 No channel available           3 DISCONNECT 34\n");
}

TEST_F(CommandLine, CallsFiltersCombine) {
  const auto calls = [](Arguments arguments) {
    arguments.insert(arguments.begin(), {"calls", "--csv", kCalls});
    std::istringstream lines(RunCli(arguments).out);
    std::string shown;
    for (std::string line; std::getline(lines, line);) {
      shown += line.substr(0, line.find(',')) + " ";
    }
    return shown;
  };
  const std::pair<Arguments, std::string> cases[] = {
      {{}, "call 1 2 3 4 5 6 7 8 9 10 "},
      {{"--failed"}, "call 4 "},
      {{"--outcome", "no answer,busy"}, "call 1 3 "},
      {{"--outcome", "answered", "--failed"}, "call 2 4 7 "},
      {{"--number", "55"}, "call 2 3 "},
      {{"--gateway", "10.1.1.6"}, "call 3 8 "},
      {{"--gateway", "10.1.1.6", "--outcome", "busy", "--number", "5"}, "call 3 "},
      {{"--gateway", "10.1.1"}, "call "},
  };
  for (const auto& [arguments, shown] : cases) {
    EXPECT_EQ(calls(arguments), shown) << ::testing::PrintToString(arguments);
  }
}

TEST_F(CommandLine, InCallKeepsTheMessagesOfOneCall) {
  const CommandResult listed = RunCli({"list", kCalls, "--in-call", "8"});
  EXPECT_EQ(listed.status, kExitSuccess);
  EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 3);
  EXPECT_NE(listed.out.find("10:07:00.0015"), std::string::npos);
  EXPECT_EQ(RunCli({"show", "--in-call", "8", kCalls}).out,
            "SETUP, pd = 8, callref = 0x05\n\nEntire Message: \n0010:  08 01 05 05 \n"
            "DISCONNECT, pd = 8, callref = 0x85\nCause i = 0x819F - Normal, unspecified or Special "
            "intercept, call blocked group restriction\n\nEntire Message: \n"
            "0010:  08 01 85 45 08 02 81 9F \n"
            "RELEASE, pd = 8, callref = 0x0005\n\nEntire Message: \n0010:  08 02 00 05 4D \n");
  for (const char* command : {"list", "show"}) {
    EXPECT_EQ(
        RunCli({command, kCalls, "--in-call", "11"}),
        (CommandResult{kExitFailure, "", "sigrune-cli: call 11: " + kCalls + " has 10 calls\n"}));
  }
}

// Twenty calls from 23:58 to 00:03 the next day, 23:59 without any, two with no time; sixteen have
// a cause, one of them alone (6.25 %); a gateway's two failure causes tie.
const std::string kStatistics = SourceFile("tests/data/call-statistics.txt");

TEST_F(CommandLine, StatsCountsTheCallsByMinuteGatewayAndCause) {
  const std::string service = Write("service.txt", "IsdnMsgData=03 02 00 00 0f\n");
  const std::pair<Arguments, std::string> cases[] = {
      {{"stats", "--csv", kStatistics}, ReadFile(SourceFile("tests/data/call-statistics.csv"))},
      {{"stats", kStatistics}, ReadFile(SourceFile("tests/data/call-statistics.stats"))},
      {{"stats", service, "--csv"},
       "# minutes\nminute,answered,busy,no answer,rejected,cancelled,failed,none\n"
       "# gateways\ngateway,protocol,calls,answered,busy,no answer,rejected,cancelled,failed,"
       "none,top_failure_cause\n"
       "# causes\ncause,cause_text,calls,share\n"},
      {{"stats", service}, "No calls in this trace\n"},
  };
  for (const auto& [arguments, out] : cases) {
    EXPECT_EQ(RunCli(arguments), (CommandResult{kExitSuccess, out, ""}))
        << ::testing::PrintToString(arguments);
  }
}

// Needs the filter bar's language.
TEST_F(CommandLine, StatsWhereCountsOnlyTheCallsOfTheMessagesItKeeps) {
  EXPECT_EQ(RunCli({"stats", "--csv", kStatistics, "--where", "gw:10.1.1.5"}),
            (CommandResult{kExitSuccess,
                           ReadFile(SourceFile("tests/data/call-statistics-where.csv")), ""}));
}

// Calls 1 and 2 are the legs of one conversation, call 3 fails, call 19 has no time.
TEST_F(CommandLine, FlowDrawsTheLadderOrWritesALinePerMessage) {
  const std::string names =
      Write("names.txt", "# Lanes\n10.1.1.5\tDallas PRI 1\n\n  10.20.20.33   Peer east  \r\n");
  EXPECT_EQ(RunCli({"flow", kLegs, "1", "3", "19", "--related", "--names", names}),
            (CommandResult{kExitSuccess, ReadFile(SourceFile("tests/data/call-legs.flow")), ""}));
  EXPECT_EQ(RunCli({"flow", "--tsv", kLegs, "19", "3", "1", "--related"}),
            (CommandResult{kExitSuccess, ReadFile(SourceFile("tests/data/call-legs.tsv")), ""}));
  EXPECT_EQ(RunCli({"flow", kCalls, "9", "--tsv"}).out,
            "31\tJan 15, 10:05:00 \xc3\xa9\t10.1.1.5\tserver\tCALL_PROC\t\n");

  const std::pair<std::string, std::string> badNames[] = {
      {"10.1.1.5 A\n010.1.1.5 B\n", "line 2: not an address and a name"},
      {"# no name:\n10.1.1.5\n", "line 2: not an address and a name"},
      {"10.1.1.256 C\n", "line 1: not an address and a name"},
      {"10.1.1.5 " + std::string(100, 'n') + " \t\n10.1.1.6 " + std::string(101, 'n') + "\n",
       "line 2: a name longer than 100 characters"},
  };
  for (const auto& [text, problem] : badNames) {
    EXPECT_EQ(RunCli({"flow", kLegs, "1", "--names", Write("bad.txt", text)}),
              (CommandResult{kExitFailure, "",
                             "sigrune-cli: " + Path("bad.txt") + ": " + problem + "\n"}));
  }
  EXPECT_EQ(
      RunCli({"flow", kLegs, "1", "27"}),
      (CommandResult{kExitFailure, "", "sigrune-cli: call 27: " + kLegs + " has 26 calls\n"}));
}

// A capture holds the times from 1970 to 2106-02-07 06:28:15.999999999 in UTC.
TEST_F(CommandLine, PcapCountsTheTimesACaptureCannotHoldApart) {
  std::string text = "IsdnMsgData1= 08 02 00 01 05\n";  // no time
  for (const char* time :
       {"1969-12-31 23:59:59.999", "1970-01-01 00:00:00", "2106-02-07 06:28:15.999",
        "2106-02-07 06:28:16", "2106-02-07 07:00:00"}) {
    text += std::string(time) + " CCP|IsdnMsgData1= 08 02 00 01 05\n";
  }
  const std::string trace = Write("times.txt", text);
  const std::string path = Path("out.pcap");
  const auto notes = [&](std::string_view notHeld) {
    return "sigrune-cli: 1 message without a time: written at the time of the packet before\n"
           "sigrune-cli: " +
           std::string(notHeld) +
           " with a time a pcap file cannot hold: written at the time of the packet before\n"
           "sigrune-cli: 6 messages written to " +
           path + "\n";
  };
  EXPECT_EQ(RunCli({"pcap", trace, "-o", path}),
            (CommandResult{kExitSuccess, "", notes("3 messages")}));
  EXPECT_EQ(RunCli({"pcap", trace, "-o", path, "--utc-offset", "+01:00"}),
            (CommandResult{kExitSuccess, "", notes("2 messages")}));
}

// The largest packet Wireshark reads is 262,144 octets: 36 of tags and 262,108 of message.
TEST_F(CommandLine, PcapWritesTheCaptureAndCountsWhatItSkipped) {
  const auto message = [](std::size_t octets) {
    return "IsdnMsgData=08020001" + std::string(2 * (octets - 4), '0') + "\n";
  };
  const std::string trace =
      Write("trace.txt", message(5) + "IsdnMsgData=\n" + message(262108) + message(262109));
  const std::string path = Path("out.pcap");
  EXPECT_EQ(RunCli({"pcap", trace, "-o", path}),
            (CommandResult{kExitSuccess, "",
                           "sigrune-cli: 1 message skipped: no octets\n"
                           "sigrune-cli: 1 message skipped: too large for a packet (262,144 "
                           "octets at most)\n"
                           "sigrune-cli: 2 messages without a time: written at the time of the "
                           "packet before\n"
                           "sigrune-cli: 2 messages written to " +
                               path + "\n"}));
  const std::string capture = ReadFile(path);
  EXPECT_EQ(capture.size(), 24 + 16 + 41 + 16 + 262144u);
  EXPECT_EQ(capture.substr(0, 24), std::string("\x4d\x3c\xb2\xa1\x02\0\x04\0\0\0\0\0\0\0\0\0"
                                               "\0\0\x04\0\xfc\0\0\0",
                                               24));

  const std::string written = "sigrune-cli: 21 messages written to standard output\n";
  const CommandResult toOutput = RunCli({"pcap", kPlain, "-o", "-", "--utc-offset", "-05:00"});
  EXPECT_EQ(toOutput.out.substr(0, 4), "\x4d\x3c\xb2\xa1");
  EXPECT_EQ(toOutput.err, written);
  const std::pair<Arguments, std::string> selections[] = {
      {{"--call", "0x0001"}, "18 messages"},
      {{"--in-call", "8", "--in-call", "4", "--failed"}, "8 messages"},
      {{"--gateway", "10.9.9.9"}, "0 messages"},
  };
  for (const auto& [selection, count] : selections) {
    Arguments arguments{"pcap", kCalls, "-o", path};
    arguments.insert(arguments.end(), selection.begin(), selection.end());
    EXPECT_EQ(
        RunCli(arguments),
        (CommandResult{kExitSuccess, "", "sigrune-cli: " + count + " written to " + path + "\n"}));
  }
  EXPECT_EQ(ReadFile(path).size(), 24u);  // the header alone

  const std::string missing = Path("missing/out.pcap");
  EXPECT_EQ(
      RunCli({"pcap", trace, "-o", missing}),
      (CommandResult{kExitFailure, "",
                     "sigrune-cli: cannot create " + missing + ": No such file or directory\n"}));
  EXPECT_EQ(
      RunCli({"pcap", trace, "-o", trace}),
      (CommandResult{kExitFailure, "",
                     "sigrune-cli: cannot write " + trace + ": it is the trace being exported\n"}));
}

TEST_F(CommandLine, HelpAndVersionGoToStandardOutput) {
  const CommandResult help = RunCli({"--help"});
  EXPECT_EQ(help.status, kExitSuccess);
  EXPECT_EQ(help.out.rfind("Usage: sigrune-cli COMMAND", 0), 0u);
  EXPECT_EQ(RunCli({"show", kPlain, "-h"}), help);
  const CommandResult version = RunCli({"--version"});
  EXPECT_EQ(version.status, kExitSuccess);
  EXPECT_EQ(version.out.rfind("sigrune-cli ", 0), 0u);
}

TEST(TerminalLineText, EscapesControlsLineEndsAndWhatIsNoCharacterOfTheLocale) {
  const std::tuple<std::string_view, bool, std::string_view> cases[] = {
      {"a\tb\nsigrune-cli: c\r\n", false, "a\\x09b\\x0asigrune-cli: c\\x0d\\x0a"},
      {"\x1b[2J\x7f", true, "\\x1b[2J\\x7f"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", true,
       "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"caf\xe9", true, "caf\\xe9"},
      {"caf\xe9 \x9b", false, "caf\xe9 \\x9b"},
      {"\xc2\x9b[2J", true, "\\xc2\\x9b[2J"},                // U+009B, a control
      {"\xed\xa0\x80 \xc3", true, "\\xed\\xa0\\x80 \\xc3"},  // a surrogate, a cut sequence
      {"\xe0\x80\xaf \xf4\x90\x80\x80", true, "\\xe0\\x80\\xaf \\xf4\\x90\\x80\\x80"},
  };
  for (const auto& [bytes, utf8, shown] : cases) {
    EXPECT_EQ(TerminalLineText(bytes, utf8), shown) << bytes;
  }
}

// A name holding an escape sequence or a line end reaches a terminal escaped; a file gets it as
// it is.
TEST_F(CommandLine, NamesReachATerminalsStandardErrorEscaped) {
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(grantpt(terminal), 0);
  ASSERT_EQ(unlockpt(terminal), 0);
  const int side = open(ptsname(terminal), O_RDWR | O_NOCTTY);
  ASSERT_GE(side, 0);
  termios modes{};
  ASSERT_EQ(tcgetattr(side, &modes), 0);
  cfmakeraw(&modes);  // the line feeds as they are written
  ASSERT_EQ(tcsetattr(side, TCSANOW, &modes), 0);
  std::FILE* err = fdopen(side, "w");
  const std::string name = Path("a\x1b[2J\nsigrune-cli: forged");
  const std::vector<std::string_view> arguments = {"list", name};
  std::FILE* out = std::tmpfile();
  EXPECT_EQ(RunCommandLine(arguments, nullptr, out, err), kExitFailure);
  std::fclose(out);
  std::fflush(err);
  std::string shown;
  pollfd ready{terminal, POLLIN, 0};
  char piece[4096];
  while (poll(&ready, 1, 1000) > 0) {
    const ssize_t got = read(terminal, piece, sizeof piece);
    if (got <= 0) {
      break;
    }
    shown.append(piece, static_cast<std::size_t>(got));
    if (shown.back() == '\n') {
      break;
    }
  }
  std::fclose(err);
  close(terminal);
  EXPECT_EQ(shown, "sigrune-cli: cannot open " + Path("a\\x1b[2J\\x0asigrune-cli: forged") +
                       ": No such file or directory\n");
  EXPECT_EQ(RunCli(arguments).err,
            "sigrune-cli: cannot open " + name + ": No such file or directory\n");
}

TEST(TerminalText, EscapesControlCharactersAndShowsLatin1) {
  const std::tuple<std::string_view, bool, std::string_view> cases[] = {
      {"a\tb\r\n", false, "a\tb\r\n"},
      {"\x1b[2J\r", false, "\\x1b[2J\\x0d"},
      {std::string_view("\x00\x7f\x9b\xa0", 4), false, "\\x00\\x7f\\x9b\xa0"},
      {"\xb5-law \xff", true, "\xc2\xb5-law \xc3\xbf"},
      {"\xb5\x1f", false, "\xb5\\x1f"},
  };
  for (const auto& [bytes, utf8, shown] : cases) {
    EXPECT_EQ(TerminalText(bytes, utf8), shown) << bytes;
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
  EXPECT_EQ(ReadBack(fdopen(ends[0], "r")), "x\r\n\xc2\xb5\\x0dy\\x0d");
}

// A list line whose timestamp holds a DEL reaches a UTF-8 terminal with the DEL escaped, and the
// rest of the line as a file gets it.
TEST_F(CommandLine, ListEscapesDelOnAUtf8Terminal) {
  const std::string trace =
      Write("del.txt", "01/15/2004 10:00:00.000\x7f\xb5 CCP|IsdnMsgData1= 08 02 00 01 05\n");
  const std::string toFile = RunCli({"list", trace}).out;
  const std::size_t del = toFile.find('\x7f');
  ASSERT_NE(del, std::string::npos) << toFile;
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  EXPECT_EQ(RunCli({"list", trace}, "", OpenTerminalStream(ends[1], true)).status, kExitSuccess);
  close(ends[1]);
  EXPECT_EQ(ReadBack(fdopen(ends[0], "r")),
            toFile.substr(0, del) + "\\x7f\xc2\xb5" + toFile.substr(del + 2));
}

}  // namespace
}  // namespace sigrune
