#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "q931/message_search.h"
#include "test_files.h"
#include "trace/trace_reader.h"
#include "writers/export_writer.h"

namespace sigrune {
namespace {

MessageStore LoadExample(const std::string& name) {
  LoadResult loaded = LoadTraceFile(SourceFile("examples/" + name));
  EXPECT_EQ(loaded.outcome, OperationOutcome::Done) << name;
  return std::move(loaded.store);
}

unsigned PermissionBits(const std::string& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

using Names = std::vector<std::string>;

class ExportTest : public FolderTest {
 protected:
  const MessageStore plain_ = LoadExample("plain-trace.txt");
  const std::string target_ = Path("out.txt");
};

TEST_F(ExportTest, WritesTheExamplesByteForByte) {
  for (const std::string name : {"plain-trace.txt", "tracelist-trace.xml"}) {
    const MessageStore store = LoadExample(name);
    const ExportResult result = ExportRouterDebug(target_, store);
    EXPECT_EQ(result.outcome, OperationOutcome::Done);
    EXPECT_EQ(result.messagesWritten, store.MessageCount());
    EXPECT_EQ(ReadFile(target_),
              ReadFile(SourceFile("tests/data/" + name.substr(0, name.find('.')) + ".export")));
  }
  EXPECT_EQ(Entries(), Names{"out.txt"});
}

TEST_F(ExportTest, AnUndecodableMessageGetsARecordSayingWhyAndTheExportGoesOn) {
  const MessageStore store = ReadTraceText(
      "10:00:00 C In  Message -- x\nIsdnMsgData=08 01 81 45\n"
      "10:00:01 C IsdnMsgData=8\n"
      "10:00:02 C IsdnMsgData=08 01 81 4d\n"
      "Out Message -- y\nIsdnMsgData=08 02 00\n");
  const ExportResult result = ExportRouterDebug(target_, store);
  EXPECT_EQ(result.outcome, OperationOutcome::Done);
  EXPECT_EQ(result.messagesWritten, 4u);
  EXPECT_EQ(UndecodableMessagesNote(result.undecodable),
            "2 messages could not be decoded (first: message 2: Subscript out of range)");
  const std::string separator = "=============================\r\n";
  const std::string blanks(20, ' ');
  EXPECT_EQ(ReadFile(target_),
            separator + blanks + "\r\nIn <- DISCONNECT, pd = 8, callref = 0x81\r\n" +  //
                separator + "10:00:01" + blanks +
                "\r\nOut -> Undecodable message: Subscript out of range\r\n" +  //
                separator + "10:00:02" + blanks +
                "\r\nOut -> RELEASE, pd = 8, callref = 0x81\r\n" +  //
                separator + blanks + "\r\nOut -> Undecodable message: Subscript out of range\r\n");
}

// Devices, FIFOs and the program's own descriptors, written in place, are in
// write_targets_test.cpp, on nodes of its own rather than the machine's.
TEST_F(ExportTest, TargetsThatCannotBeWrittenAreNamedWithTheReasonAndLeaveNothingBehind) {
  Write("file", "a file");
  std::filesystem::create_directory(folder_ / "folder");
  const std::string missing = Path("missing/out.txt");
  const std::string underFile = Path("file/out.txt");
  const std::string folder = Path("folder");
  const std::pair<std::string, std::string> cases[] = {
      {missing, "cannot create " + missing + ": No such file or directory"},
      {underFile, "cannot create " + underFile + ": Not a directory"},
      {folder, "cannot create " + folder + ": Is a directory"},
  };
  for (const auto& [target, error] : cases) {
    const ExportResult result = ExportRouterDebug(target, plain_);
    EXPECT_EQ(result.outcome, OperationOutcome::Failed) << target;
    EXPECT_EQ(result.errorText, error);
  }
  EXPECT_EQ(Entries(), (Names{"file", "folder"}));
  EXPECT_TRUE(std::filesystem::is_empty(folder_ / "folder"));
}

TEST_F(ExportTest, AWriteErrorWhileFlushingOrAStopLeavesTheOldFileAsItWas) {
  Write("out.txt", "old contents");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The records fit the buffer, so the limit is met when the buffer is written out.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const ExportResult result = ExportRouterDebug(target_, plain_);
    ::_exit(result.outcome == OperationOutcome::Failed &&
                    result.errorText == "cannot write " + target_ + ": File too large"
                ? 0
                : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const auto stop = [](std::size_t, std::size_t) { return false; };
  EXPECT_EQ(ExportRouterDebug(target_, plain_, {}, stop).outcome, OperationOutcome::Cancelled);
  EXPECT_EQ(ReadFile(target_), "old contents");
  EXPECT_EQ(Entries(), Names{"out.txt"});
}

TEST_F(ExportTest, TheTraceItselfIsRefusedByAnyOfItsNames) {
  const std::string trace = Write("trace.txt", "IsdnMsgData=08\n");
  std::filesystem::create_hard_link(trace, folder_ / "link.txt");
  RouterDebugOptions options;
  options.tracePaths = {trace};
  for (const std::string& target : {trace, Path("./trace.txt"), Path("link.txt")}) {
    const ExportResult result = ExportRouterDebug(target, plain_, options);
    EXPECT_EQ(result.outcome, OperationOutcome::Failed);
    EXPECT_EQ(result.errorText, "cannot write " + target + ": it is the trace being exported");
  }
  EXPECT_EQ(ReadFile(trace), "IsdnMsgData=08\n");
  EXPECT_EQ(Entries(), (Names{"link.txt", "trace.txt"}));
}

TEST_F(ExportTest, ANewFileFollowsTheUmaskAndAReplacedOneKeepsItsModeAndLinks) {
  const mode_t previous = ::umask(027);
  EXPECT_EQ(ExportRouterDebug(target_, MessageStore()).outcome, OperationOutcome::Done);
  EXPECT_EQ(PermissionBits(target_), 0640u);
  EXPECT_EQ(ReadFile(target_), "");
  ::chmod(target_.c_str(), 0604);
  ::umask(077);
  // Through a symbolic link, the file it names is replaced and the link stays.
  std::filesystem::create_symlink(target_, folder_ / "symlink.txt");
  EXPECT_EQ(ExportRouterDebug(Path("symlink.txt"), plain_).outcome, OperationOutcome::Done);
  ::umask(previous);
  EXPECT_EQ(PermissionBits(target_), 0604u);
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "symlink.txt"));
  EXPECT_EQ(ReadFile(target_), ReadFile(SourceFile("tests/data/plain-trace.export")));
}

TEST(FindInDecodedMessage, LooksAtTheDecodedTextOnlyAndExactly) {
  const MessageStore store = LoadExample("plain-trace.txt");
  const std::pair<std::string_view, std::size_t> cases[] = {
      {"SETUP", 1},        {"Setup", 0},          {"", 1}, {"callref = 0x0001", 16},
      {"\xB5-law", 109},   {"Entire Message", 0},  // only in the dump
      {"10:23:45.679", 0},                         // only in the list line
  };
  for (const auto& [text, position] : cases) {
    EXPECT_EQ(FindInDecodedMessage(store, MessageIndex{2}, text), position)
        << text;  // message 3, a SETUP
  }
}

TEST(FindText, IgnoringCaseFoldsAsciiLettersOnly) {
  struct Case {
    std::string_view searched, text;
    std::size_t exact, ignoringCase;
  };
  constexpr std::size_t kNone = std::string_view::npos;
  const Case cases[] = {
      {"Called Party Number", "party", kNone, 7},
      {"Called Party Number", "PARTY NUMBER", kNone, 7},
      {"Called Party Number", "Number", 13, 13},
      {"aaaB aaab", "AAAB", kNone, 0},
      {"xx\xB5-LAW", "\xB5-law", kNone, 2},
      {"\xC4", "\xE4", kNone, kNone},  // Latin-1 letters keep their case
      {"[\\]", "{|}", kNone, kNone},
      {"short", "", 0, 0},
      {"ab", "abc", kNone, kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindText(c.searched, c.text, FindCase::Exact), c.exact) << c.text;
    EXPECT_EQ(FindText(c.searched, c.text, FindCase::Ignore), c.ignoringCase) << c.text;
  }
}

TEST(FindInAllMessages, ReportsHitsInOrderAndSkipsFailedMessages) {
  const MessageStore store = ReadTraceText(
      "IsdnMsgData=08 01 81 45\nIsdnMsgData=8\nIsdnMsgData=08 01 01 4d\nIsdnMsgData=09\n");
  std::vector<std::size_t> hits;
  std::vector<std::size_t> failures;
  FindCallbacks callbacks;
  callbacks.hit = [&](MessageNumber message) { hits.push_back(IndexOf(message).value); };
  callbacks.failure = [&](MessageNumber message, std::string_view) {
    failures.push_back(IndexOf(message).value);
  };
  EXPECT_TRUE(FindInAllMessages(store, "callref = 0x", callbacks));
  EXPECT_TRUE(FindInAllMessages(store, "", callbacks));
  EXPECT_EQ(hits, (std::vector<std::size_t>{0, 2, 0, 2, 3}));
  EXPECT_EQ(failures, (std::vector<std::size_t>{1, 1}));

  callbacks.progress = [](std::size_t, std::size_t) { return false; };
  EXPECT_FALSE(FindInAllMessages(store, "", callbacks));
}

}  // namespace
}  // namespace sigrune
