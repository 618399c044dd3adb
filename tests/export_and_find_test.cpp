#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "q931/export_writer.h"
#include "q931/message_search.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

MessageStore LoadExample(const std::string& name) {
  LoadResult loaded = LoadTraceFile(SIGRUNE_SOURCE_DIR "/examples/" + name);
  EXPECT_EQ(loaded.outcome, LoadOutcome::Loaded) << name;
  return std::move(loaded.store);
}

// Each test gets a folder of its own, so that whatever an export leaves behind can be seen.
class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("sigrune-export-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directory(folder_);
    path_ = (folder_ / "out.txt").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The file's permission bits.
  static unsigned Mode(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
  }

  std::filesystem::path folder_;
  std::string path_;
};

using Names = std::vector<std::string>;

TEST_F(ExportTest, WritesTheExamplesByteForByte) {
  for (const std::string name : {"plain-trace.txt", "tracelist-trace.xml"}) {
    const MessageStore store = LoadExample(name);
    const ExportResult result = ExportRouterDebug(path_, store);
    EXPECT_EQ(result.outcome, ExportOutcome::Written);
    EXPECT_EQ(result.messagesWritten, store.msgCount);
    const std::string expected =
        SIGRUNE_SOURCE_DIR "/tests/data/" + name.substr(0, name.find('.')) + ".export";
    EXPECT_EQ(ReadFile(path_), ReadFile(expected)) << name;
  }
  EXPECT_EQ(FolderEntries(), Names{"out.txt"});
}

TEST_F(ExportTest, AnUndecodableMessageGetsARecordSayingWhyAndTheExportGoesOn) {
  const MessageStore store = ReadTraceText(
      "10:00:00 C In  Message -- x\nIsdnMsgData=08 01 81 45\n"
      "10:00:01 C IsdnMsgData=8\n"
      "10:00:02 C IsdnMsgData=08 01 81 4d\n"
      "Out Message -- y\nIsdnMsgData=08 02 00\n");
  const ExportResult result = ExportRouterDebug(path_, store);
  EXPECT_EQ(result.outcome, ExportOutcome::Written);
  EXPECT_EQ(result.messagesWritten, 4u);
  EXPECT_EQ(result.undecodableMessages, 2u);
  EXPECT_EQ(result.firstUndecodableMessage, 2u);
  EXPECT_EQ(result.firstUndecodableReason, "Subscript out of range");
  EXPECT_EQ(UndecodableMessagesNote(result),
            "2 messages could not be decoded (first: message 2: Subscript out of range)");
  const std::string separator = "=============================\r\n";
  const std::string blanks(20, ' ');
  EXPECT_EQ(ReadFile(path_),
            separator + blanks + "\r\nIn <- DISCONNECT, pd = 8, callref = 0x81\r\n" +  //
                separator + "10:00:01" + blanks +
                "\r\nOut -> Undecodable message: Subscript out of range\r\n" +  //
                separator + "10:00:02" + blanks +
                "\r\nOut -> RELEASE, pd = 8, callref = 0x81\r\n" +  //
                separator + blanks + "\r\nOut -> Undecodable message: Subscript out of range\r\n");
}

TEST_F(ExportTest, TargetsThatCannotBeWrittenAreNamedWithTheReasonAndLeaveNothingBehind) {
  const MessageStore store = LoadExample("plain-trace.txt");
  WriteFile((folder_ / "file").string(), "a file");
  std::filesystem::create_directory(folder_ / "folder");
  const std::string missing = (folder_ / "missing/out.txt").string();
  const std::string underFile = (folder_ / "file/out.txt").string();
  const std::string folder = (folder_ / "folder").string();
  const struct {
    std::string target;
    std::string error;
  } cases[] = {
      {"/dev/full", "cannot write /dev/full: No space left on device"},
      {missing, "cannot create " + missing + ": No such file or directory"},
      {underFile, "cannot create " + underFile + ": Not a directory"},
      {folder, "cannot create " + folder + ": Is a directory"},
  };
  for (const auto& [target, error] : cases) {
    const ExportResult result = ExportRouterDebug(target, store);
    EXPECT_EQ(result.outcome, ExportOutcome::WriteFailed) << target;
    EXPECT_EQ(result.errorText, error);
  }
  EXPECT_EQ(FolderEntries(), (Names{"file", "folder"}));
  EXPECT_TRUE(std::filesystem::is_empty(folder_ / "folder"));

  // A device is written into, never replaced.
  EXPECT_EQ(ExportRouterDebug(std::string("/dev/null"), store).outcome, ExportOutcome::Written);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST_F(ExportTest, AWriteErrorWhileFlushingLeavesTheOldFileAsItWas) {
  const MessageStore store = LoadExample("plain-trace.txt");
  WriteFile(path_, "old contents");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The records fit the buffer, so the limit is met when the buffer is written out.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const ExportResult result = ExportRouterDebug(path_, store);
    ::_exit(result.outcome == ExportOutcome::WriteFailed &&
                    result.errorText == "cannot write " + path_ + ": File too large"
                ? 0
                : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(path_), "old contents");
  EXPECT_EQ(FolderEntries(), Names{"out.txt"});
}

TEST_F(ExportTest, TheTraceItselfIsRefusedByAnyOfItsNames) {
  const std::string trace = (folder_ / "trace.txt").string();
  std::filesystem::copy_file(SIGRUNE_SOURCE_DIR "/examples/plain-trace.txt", trace);
  std::filesystem::create_hard_link(trace, folder_ / "link.txt");
  const MessageStore store = LoadExample("plain-trace.txt");
  for (const std::string& target :
       {trace, (folder_ / "." / "trace.txt").string(), (folder_ / "link.txt").string()}) {
    const ExportResult result = ExportRouterDebug(target, store, {}, trace);
    EXPECT_EQ(result.outcome, ExportOutcome::WriteFailed);
    EXPECT_EQ(result.errorText, "cannot write " + target + ": it is the trace being exported");
  }
  EXPECT_EQ(ReadFile(trace), ReadFile(SIGRUNE_SOURCE_DIR "/examples/plain-trace.txt"));
  EXPECT_EQ(FolderEntries(), (Names{"link.txt", "trace.txt"}));
}

TEST_F(ExportTest, ANewFileFollowsTheUmaskAndAReplacedOneKeepsItsModeAndLinks) {
  const MessageStore store = LoadExample("plain-trace.txt");
  const mode_t previous = ::umask(027);
  EXPECT_EQ(ExportRouterDebug(path_, store).outcome, ExportOutcome::Written);
  EXPECT_EQ(Mode(path_), 0640u);
  ::chmod(path_.c_str(), 0604);
  ::umask(077);
  EXPECT_EQ(ExportRouterDebug(path_, store).outcome, ExportOutcome::Written);
  EXPECT_EQ(Mode(path_), 0604u);
  ::umask(previous);

  // Through a symbolic link, the file it names is replaced and the link stays.
  std::filesystem::create_symlink(path_, folder_ / "symlink.txt");
  WriteFile(path_, "old contents");
  EXPECT_EQ(ExportRouterDebug((folder_ / "symlink.txt").string(), store).outcome,
            ExportOutcome::Written);
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "symlink.txt"));
  EXPECT_EQ(ReadFile(path_), ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace.export"));
}

TEST_F(ExportTest, AStoppedExportLeavesTheOldFileAndAnEmptyStoreGivesAnEmptyFile) {
  const MessageStore store = LoadExample("plain-trace.txt");
  WriteFile(path_, "old contents");
  const ExportResult stopped =
      ExportRouterDebug(path_, store, [](std::size_t, std::size_t) { return false; });
  EXPECT_EQ(stopped.outcome, ExportOutcome::Stopped);
  EXPECT_EQ(ReadFile(path_), "old contents");
  EXPECT_EQ(FolderEntries(), Names{"out.txt"});

  EXPECT_EQ(ExportRouterDebug(path_, MessageStore()).outcome, ExportOutcome::Written);
  EXPECT_EQ(ReadFile(path_), "");
}

TEST(FindInDecodedMessage, LooksAtTheDecodedTextOnlyAndExactly) {
  const MessageStore store = LoadExample("plain-trace.txt");
  const std::size_t setup = 2;  // message 3
  EXPECT_EQ(FindInDecodedMessage(store, setup, "SETUP"), 1u);
  EXPECT_EQ(FindInDecodedMessage(store, setup, "Setup"), 0u);
  EXPECT_EQ(FindInDecodedMessage(store, setup, ""), 1u);
  EXPECT_EQ(FindInDecodedMessage(store, setup, "callref = 0x0001"), 16u);
  EXPECT_EQ(FindInDecodedMessage(store, setup, "\xB5-law"), 109u);
  EXPECT_EQ(FindInDecodedMessage(store, setup, "Entire Message"), 0u);  // only in the dump
  EXPECT_EQ(FindInDecodedMessage(store, setup, "10:23:45.679"), 0u);    // only in the list line
  EXPECT_EQ(FindInDecodedMessage(store, setup, "192.168.1.5"), 0u);
}

TEST(FindInAllMessages, ReportsHitsInOrderAndSkipsFailedMessages) {
  const MessageStore store = ReadTraceText(
      "IsdnMsgData=08 01 81 45\nIsdnMsgData=8\nIsdnMsgData=08 01 01 4d\nIsdnMsgData=09\n");
  std::vector<std::size_t> hits;
  std::vector<std::size_t> failures;
  FindCallbacks callbacks;
  callbacks.hit = [&](std::size_t index) { hits.push_back(index); };
  callbacks.failure = [&](std::size_t index, std::string_view) { failures.push_back(index); };
  EXPECT_TRUE(FindInAllMessages(store, "callref = 0x", callbacks));
  EXPECT_EQ(hits, (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(failures, std::vector<std::size_t>{1});

  hits.clear();
  EXPECT_TRUE(FindInAllMessages(store, "", callbacks));
  EXPECT_EQ(hits, (std::vector<std::size_t>{0, 2, 3}));

  callbacks.progress = [](std::size_t, std::size_t) { return false; };
  EXPECT_FALSE(FindInAllMessages(store, "", callbacks));
}

}  // namespace
}  // namespace sigrune
