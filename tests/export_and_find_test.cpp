#include <gtest/gtest.h>

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

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("sigrune-export-" +
              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())))
                .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::string path_;
};

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
}

TEST_F(ExportTest, AMessageThatFailsStopsTheExportAtItsRecord) {
  const MessageStore store = ReadTraceText(
      "10:00:00 C In  Message -- x\nIsdnMsgData=08 01 81 45\n"
      "10:00:01 C IsdnMsgData=8\n"
      "10:00:02 C IsdnMsgData=08 01 81 4d\n");
  const ExportResult result = ExportRouterDebug(path_, store);
  EXPECT_EQ(result.outcome, ExportOutcome::DecodeFailed);
  EXPECT_EQ(result.failedMessageNumber, 2u);
  EXPECT_EQ(result.errorText, "Subscript out of range");
  EXPECT_EQ(ReadFile(path_), "=============================\r\n" + std::string(20, ' ') +
                                 "\r\nIn <- DISCONNECT, pd = 8, callref = 0x81\r\n");
}

TEST_F(ExportTest, ReportsFilesThatCannotBeWrittenAndCanBeStopped) {
  const MessageStore store = LoadExample("plain-trace.txt");
  const ExportResult full = ExportRouterDebug(std::string("/dev/full"), store);
  EXPECT_EQ(full.outcome, ExportOutcome::WriteFailed);
  EXPECT_EQ(full.errorText, "cannot write /dev/full: No space left on device");

  const ExportResult missing = ExportRouterDebug(std::string("/nonexistent/x.txt"), store);
  EXPECT_EQ(missing.outcome, ExportOutcome::WriteFailed);
  EXPECT_EQ(missing.errorText, "cannot create /nonexistent/x.txt: No such file or directory");

  const ExportResult stopped =
      ExportRouterDebug(path_, store, [](std::size_t, std::size_t) { return false; });
  EXPECT_EQ(stopped.outcome, ExportOutcome::Stopped);

  const ExportResult empty = ExportRouterDebug(path_, MessageStore());
  EXPECT_EQ(empty.outcome, ExportOutcome::Written);
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
