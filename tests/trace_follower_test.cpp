#include "trace/trace_follower.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "test_files.h"
#include "trace/summary_line.h"

namespace sigrune {
namespace {

// A message of gateway 192.168.1.5 at 10:00:SS, its header line first.
std::string Message(std::string_view header, int second, std::string_view payload) {
  const std::string stamp = "01/15/2004 10:00:0" + std::to_string(second) + " CCP|";
  return stamp + std::string(header) + " Message -- PriMsg\n" + stamp +
         "MMan_Id= 1. IpAddr=0501a8c0\n" + stamp + "IsdnMsgData1= " + std::string(payload) + "\n";
}

// Each message: its line number, protocol, direction and payload.
std::string Described(const MessageStore& store) {
  std::string described;
  for (std::size_t k = 0; k < store.MessageCount(); ++k) {
    described += std::to_string(store.msgLineNumbers[k]) + " " +
                 std::string(ProtocolText(store.msgProtocols[k])) +
                 (store.msgIsIncoming[k] ? " In " : " Out ") +
                 PayloadText(DataLine(store, MessageIndex{k}), false) + "\n";
  }
  return described;
}

class TraceFollowerTest : public FolderTest {
 protected:
  // Loads the file as for following (its unended last line held) and begins to follow it.
  TraceFollower Follow(LoadResult& loaded) {
    loaded = LoadTraceFile(path_);
    HoldUnendedLastLine(loaded);
    std::string whyNot;
    std::optional<TraceFollower> follower = TraceFollower::Begin(loaded, path_, whyNot);
    EXPECT_TRUE(follower) << whyNot;
    follower->SetMissingPathWait(TraceFollower::kMissingPathWait, [this] { return now_; });
    return std::move(*follower);
  }
  TraceFollower Follow() {
    LoadResult loaded;
    return Follow(loaded);
  }
  void Append(std::string_view text) const {
    std::ofstream(path_, std::ios::binary | std::ios::app)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  // Another file takes the path, as a rotation makes it.
  void Replace(std::string_view text) const {
    const std::string made = Write("made.txt", text);
    std::filesystem::rename(made, path_);
  }

  const std::string path_ = Path("live.txt");
  std::chrono::steady_clock::time_point now_{};
};

// Whatever takes the path, the messages read stay and the follower waits for a regular file it
// can read, saying so once; a path that is missing is waited for five seconds.
TEST_F(TraceFollowerTest, WaitsForAReadableFileAtThePath) {
  Write("live.txt", Message("In ", 1, "08 02 00 01 05"));
  TraceFollower follower = Follow();
  const std::string waiting = "; waiting for a readable file";
  struct Step {
    std::function<void()> change;
    std::string messages;
    std::string note;
    std::string waiting;
    bool stopped = false;
  };
  const Step steps[] = {
      {[&] {
         Append(Message("Out", 2, "08 02 80 01 02"));
         ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
         std::filesystem::rename(Path("fifo"), path_);
       },
       "4 PRI Out 0802800102\n", "cannot follow " + path_ + ": it is a FIFO" + waiting,
       "cannot follow " + path_ + ": it is a FIFO" + waiting},
      {[&] {
         std::filesystem::remove(path_);
         std::filesystem::create_directory(path_);
       },
       "", "", "cannot follow " + path_ + ": it is a FIFO" + waiting},
      {[&] {
         std::filesystem::remove(path_);
         Write("live.txt", Message("In ", 3, "08 02 00 03 05"));
       },
       "1 PRI In 0802000305\n", path_ + " was replaced: read the new file from its start", ""},
      // Renamed away, the file is read on while its new one is not made yet.
      {[&] {
         std::filesystem::rename(path_, path_ + ".1");
         std::ofstream(path_ + ".1", std::ios::app) << Message("Out", 4, "08 02 80 03 5a");
       },
       "4 PRI Out 080280035a\n", "", ""},
      {[&] {
         now_ += TraceFollower::kMissingPathWait - std::chrono::milliseconds(1);
         Write("live.txt", Message("In ", 5, "08 02 00 05 05"));
       },
       "1 PRI In 0802000505\n", path_ + " was replaced: read the new file from its start", ""},
      {[&] { std::filesystem::remove(path_); }, "", "", ""},
      {[&] { now_ += TraceFollower::kMissingPathWait; }, "",
       path_ + " disappeared: following stopped", "", true},
  };
  for (const Step& step : steps) {
    step.change();
    const TraceFollower::Batch batch = follower.Poll();
    EXPECT_EQ(Described(batch.messages), step.messages) << step.note;
    EXPECT_EQ(batch.note, step.note);
    EXPECT_EQ(batch.waiting, step.waiting);
    EXPECT_EQ(batch.stopped, step.stopped) << step.note;
  }

  // A file the user cannot read is waited for too (root reads every file).
  if (geteuid() != 0) {
    Write("live.txt", Message("In ", 1, "08 02 00 01 05"));
    TraceFollower locked = Follow();
    Replace(Message("In ", 2, "08 02 00 02 05"));
    std::filesystem::permissions(path_, std::filesystem::perms::none);
    const TraceFollower::Batch batch = locked.Poll();
    EXPECT_EQ(batch.note, "cannot follow " + path_ + ": Permission denied" + waiting);
    EXPECT_FALSE(batch.stopped);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_read);
    EXPECT_EQ(Described(locked.Poll().messages), "1 PRI In 0802000205\n");
  }
}

// Truncated and written past the old size within one poll (copied and truncated by a rotation),
// the file is read again from its start: no message is lost, and the old content's header line
// waiting for its data line is no new message's.
TEST_F(TraceFollowerTest, AFileRewrittenPastItsOldSizeIsReadAgain) {
  Write("live.txt", Message("In ", 1, "08 02 00 01 05") +
                        "01/15/2004 10:00:01 CCP|Out Message -- H225SetupMsg\n");
  TraceFollower follower = Follow();
  // A data line first, as a rewrite in the middle of a message leaves it.
  std::string rewritten = "01/15/2004 10:00:02 CCP|IsdnMsgData1= 08 02 80 02 07\n";
  std::string expected = "0  Out 0802800207\n";
  for (int k = 0; k < 6; ++k) {
    rewritten += Message("In ", 2, "08 02 00 02 0" + std::to_string(k));
    expected += std::to_string(3 * k + 2) + " PRI In 080200020" + std::to_string(k) + "\n";
  }
  WriteFile(path_, rewritten);
  TraceFollower::Batch batch = follower.Poll();
  EXPECT_EQ(batch.note, path_ + " was rewritten: read again from its start");
  EXPECT_EQ(Described(batch.messages), expected);
  Append(Message("Out", 3, "08 02 80 02 5a"));
  batch = follower.Poll();
  EXPECT_EQ(batch.note, "");
  EXPECT_EQ(Described(batch.messages), "20 PRI Out 080280025a\n");
}

// Followed, the last line without its line end is not a line yet, from the load on; the end of
// the old content (rewritten or replaced) ends it, as a read of a whole file does.
TEST_F(TraceFollowerTest, AnUnendedLastLineIsHeldUntilItEnds) {
  const std::string half = "01/15/2004 10:00:02 CCP|IsdnMsgData1= 08 02 00";
  const std::string second = Message("In ", 2, "08 02 00 02 05");
  Write("live.txt",
        Message("In ", 1, "08 02 00 01 05") + second.substr(0, second.rfind("01/15")) + half);
  LoadResult loaded;
  TraceFollower follower = Follow(loaded);
  EXPECT_EQ(Described(loaded.store), "1 PRI In 0802000105\n");
  EXPECT_EQ(Described(follower.Poll().messages), "");
  Append(" 02 05\n" + half);
  EXPECT_EQ(Described(follower.Poll().messages), "4 PRI In 0802000205\n");

  // Replaced: the held line is the old file's last message.
  Replace(Message("Out", 3, "08 02 80 03 5a"));
  TraceFollower::Batch batch = follower.Poll();
  EXPECT_EQ(batch.note, path_ + " was replaced: read the new file from its start");
  EXPECT_EQ(Described(batch.messages), "0  Out 080200\n1 PRI Out 080280035a\n");
  // Rewritten: the same.
  Append(half);
  EXPECT_EQ(Described(follower.Poll().messages), "");
  WriteFile(path_, Message("Out", 4, "08 02 80 04 5a") + Message("Out", 4, "08 02 80 05 5a"));
  batch = follower.Poll();
  EXPECT_EQ(batch.note, path_ + " was rewritten: read again from its start");
  EXPECT_EQ(Described(batch.messages),
            "0  Out 080200\n1 PRI Out 080280045a\n4 PRI Out 080280055a\n");

  // Without following, the load takes it for a whole one.
  Write("live.txt", half);
  EXPECT_EQ(Described(LoadTraceFile(path_).store), "0  Out 080200\n");
}

// A line too long held by the load is counted once, when it ends; one appended later is told of
// as a load tells of it.
TEST_F(TraceFollowerTest, LinesTooLongAreToldOfOnce) {
  const std::string longLine(kMaxLineLength + 1, 'x');
  Write("live.txt", Message("In ", 1, "08 02 00 01 05") + longLine);
  LoadResult loaded;
  TraceFollower follower = Follow(loaded);
  EXPECT_EQ(SkippedLinesNote(loaded), "");
  std::string appended = "\n";
  appended += Message("In ", 2, "08 02 00 02 05");
  appended += longLine + "\n";
  appended += longLine + "\n";
  Append(appended);
  const TraceFollower::Batch batch = follower.Poll();
  EXPECT_EQ(Described(batch.messages), "5 PRI In 0802000205\n");
  EXPECT_EQ(batch.note, path_ + ": 3 lines longer than 16 MiB were skipped (first: line 4)");
  Append(longLine + "\n");
  EXPECT_EQ(follower.Poll().note, path_ + ": 1 line longer than 16 MiB was skipped (line 10)");
}

}  // namespace
}  // namespace sigrune
