#include "document/trace_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "test_files.h"
#include "trace/summary_line.h"

namespace sigrune {
namespace {

const std::string kPlain = SourceFile("examples/plain-trace.txt");
const std::string kTracelist = SourceFile("examples/tracelist-trace.xml");

using TraceDocumentTest = FolderTest;

MessageNumber Message(std::size_t number) {
  return MessageNumber{number};
}

// What a view of the document shows; a failed operation must leave all of it.
struct Snapshot {
  std::string path;
  std::size_t messages, rows;
  std::optional<ListFilter> filter;
  MessageNumber current;
  std::string findText;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Snap(const TraceDocument& document) {
  return {document.Path(),         document.Store().MessageCount(), document.RowCount(),
          document.ActiveFilter(), document.CurrentMessage(),       document.FindText()};
}

std::vector<std::size_t> Rows(const TraceDocument& document) {
  std::vector<std::size_t> numbers;
  for (std::size_t row = 0; row < document.RowCount(); ++row) {
    numbers.push_back(document.MessageAtRow(row).value);
  }
  return numbers;
}

TEST_F(TraceDocumentTest, OnlyASuccessfulOpenChangesTheDocumentAndItStartsAfresh) {
  TraceDocument document;
  EXPECT_FALSE(document.CanFind());
  EXPECT_FALSE(document.FilterEntry(ListFilter::PriOnly).enabled);
  ASSERT_EQ(document.Load(kPlain, LoadKind::Open).outcome, OperationOutcome::Done);
  EXPECT_EQ(document.Store().MessageCount(), 21u);
  EXPECT_TRUE(document.CanFind() && document.CanReload());
  document.SelectMessage(Message(5));
  ASSERT_TRUE(document.ApplyFilter(ListFilter::PriOnly));
  document.FindNext("no such text");
  const Snapshot before = Snap(document);

  const std::string folder = folder_.string();
  struct Failure {
    std::string path;
    OperationOutcome outcome;
    std::string errorText;
  };
  const Failure failures[] = {
      {"/nonexistent/t.txt", OperationOutcome::Failed,
       "cannot open /nonexistent/t.txt: No such file or directory"},
      {folder, OperationOutcome::Failed, folder + " is not a regular file"},
      {"/dev/zero", OperationOutcome::Failed, "/dev/zero is not a regular file"},
      {Write("empty.txt", "no messages\n"), OperationOutcome::NotFound, ""},
  };
  for (const Failure& failure : failures) {
    const LoadResult result = document.Load(failure.path, LoadKind::Open);
    EXPECT_EQ(result.outcome, failure.outcome) << failure.path;
    EXPECT_EQ(result.errorText, failure.errorText);
    EXPECT_EQ(Snap(document), before) << failure.path;
  }
  const auto cancel = [](std::uint64_t, std::uint64_t) { return false; };
  EXPECT_EQ(document.Load(kTracelist, LoadKind::Open, cancel).outcome, OperationOutcome::Cancelled);
  EXPECT_EQ(Snap(document), before);

  ASSERT_EQ(document.Load(kTracelist, LoadKind::Open).outcome, OperationOutcome::Done);
  EXPECT_EQ(Snap(document), (Snapshot{kTracelist, 10, 10, std::nullopt, MessageNumber{}, ""}));
  EXPECT_EQ(document.FilterDescription(), "");
}

TEST_F(TraceDocumentTest, OneFilterAtATimeKeyedOnTheSelectedMessage) {
  TraceDocument document;
  ASSERT_EQ(document.Load(kPlain, LoadKind::Open).outcome, OperationOutcome::Done);
  // Without a selected message the two filters that take their key from it change nothing.
  EXPECT_FALSE(document.ApplyFilter(ListFilter::SelectedCall));
  EXPECT_FALSE(document.ApplyFilter(ListFilter::ThisGateway));
  EXPECT_EQ(document.ActiveFilter(), std::nullopt);

  struct Case {
    std::size_t selected;
    ListFilter filter;
    std::string description;
    std::vector<std::size_t> rows;
  };
  const Case cases[] = {
      // The SERVICE lines read as call 1 from their second character, as the list always has.
      {3, ListFilter::SelectedCall, "call 0x0001", {1, 2, 3, 4, 5, 9, 10, 18, 19, 20}},
      {6, ListFilter::ThisGateway, "gateway 172.16.20.33", {6, 7, 8, 11, 21}},
      {0, ListFilter::H225Only, "H225 only", {6, 7, 8, 11, 21}},
  };
  for (const Case& expected : cases) {
    document.SelectMessage(Message(expected.selected));
    ASSERT_TRUE(document.ApplyFilter(expected.filter)) << expected.description;
    EXPECT_EQ(document.FilterDescription(), expected.description);
    EXPECT_EQ(Rows(document), expected.rows);
    for (const ListFilter other : {ListFilter::SelectedCall, ListFilter::ThisGateway,
                                   ListFilter::PriOnly, ListFilter::H225Only}) {
      const bool active = other == expected.filter;
      EXPECT_EQ(document.FilterEntry(other).enabled, active);
      EXPECT_EQ(document.FilterEntry(other).checked, active);
    }
    EXPECT_FALSE(document.ApplyFilter(ListFilter::PriOnly));
    EXPECT_EQ(document.RowOfMessage(Message(expected.rows[1])), 1u);
    EXPECT_EQ(document.RowOfMessage(Message(12)), std::nullopt);
    EXPECT_EQ(document.MessageAtRow(expected.rows.size()), MessageNumber{});
    // Switching off keeps the selected message.
    document.ClearFilter();
    EXPECT_EQ(document.RowCount(), 21u);
    EXPECT_EQ(document.CurrentMessage(), Message(expected.selected));
    EXPECT_TRUE(document.FilterEntry(ListFilter::PriOnly).enabled);
  }
}

TEST_F(TraceDocumentTest, FindStepsFromTheSelectedRowOrOnFromTheLastHit) {
  TraceDocument document;
  ASSERT_EQ(document.Load(kPlain, LoadKind::Open).outcome, OperationOutcome::Done);
  // "Channel ID" is in messages 3, 4, 12 and 13.
  struct Step {
    std::optional<bool> direction;  // set before the step, as a click on Up or Down
    std::string_view text;
    std::optional<std::size_t> hitRow;
  };
  const Step steps[] = {
      {std::nullopt, "Channel ID", 2},  // nothing selected: from row 0
      {std::nullopt, "Channel ID", 3},  // on from the last hit
      {std::nullopt, "Channel ID", 11},
      {false, "Channel ID", 11},  // a direction click includes the selected row again
      {std::nullopt, "Channel ID", 3},
      {std::nullopt, "Channel ID", 2},
      {std::nullopt, "Channel ID", std::nullopt},  // no wrap at the top
      {true, "", 2},                               // the empty text is in every message
      {std::nullopt, "", 3},
  };
  for (const Step& step : steps) {
    if (step.direction) {
      document.SetFindDirection(*step.direction);
    }
    const MessageNumber before = document.CurrentMessage();
    const FindResult result = document.FindNext(step.text);
    EXPECT_EQ(document.FindText(), step.text);
    if (step.hitRow) {
      EXPECT_EQ(result.outcome, OperationOutcome::Done);
      EXPECT_EQ(result.row, *step.hitRow);
      EXPECT_EQ(document.CurrentMessage(), Message(*step.hitRow + 1));
    } else {
      EXPECT_EQ(result.outcome, OperationOutcome::NotFound);
      EXPECT_EQ(document.CurrentMessage(), before);  // a failed search changes nothing
    }
  }
  // A cancelled search changes nothing either.
  const MessageNumber before = document.CurrentMessage();
  EXPECT_EQ(document.FindNext("Cause", [](std::size_t, std::size_t) { return false; }).outcome,
            OperationOutcome::Cancelled);
  EXPECT_EQ(document.CurrentMessage(), before);
}

TEST_F(TraceDocumentTest, FindSearchesTheFilteredRowsAndCountsUndecodableMessages) {
  TraceDocument document;
  // A fresh Find dialog had its last hit on row 0, so a first search down from row 0 skips it.
  const std::string path = Write(
      "failing.txt",
      "IsdnMsgData=08 01 81 45\nIsdnMsgData=8\nIsdnMsgData=08 02 81\nIsdnMsgData=08 01 81 45\n");
  ASSERT_EQ(document.Load(path, LoadKind::Open).outcome, OperationOutcome::Done);
  document.SelectMessage(Message(1));
  FindResult result = document.FindNext("DISCONNECT");
  EXPECT_EQ(result.row, 3u);
  EXPECT_EQ(result.undecodable.count, 2u);
  EXPECT_EQ(result.undecodable.first, Message(2));
  EXPECT_EQ(result.undecodable.firstReason, "Subscript out of range");

  ASSERT_EQ(document.Load(kPlain, LoadKind::Open).outcome, OperationOutcome::Done);
  ASSERT_TRUE(document.ApplyFilter(ListFilter::H225Only));
  result = document.FindNext("Display i = 'Alice'");
  EXPECT_EQ(result.row, 0u);
  EXPECT_EQ(result.message, Message(6));
}

TEST_F(TraceDocumentTest, ReloadKeepsTheSelectedMessageTheFilterAndTheFindText) {
  const std::string plain = ReadFile(kPlain);
  const std::string path = Write("reload.txt", plain);
  TraceDocument document;
  EXPECT_EQ(document.Reload().outcome, OperationOutcome::Failed);
  ASSERT_EQ(document.Load(path, LoadKind::Open).outcome, OperationOutcome::Done);
  document.SelectMessage(Message(6));
  ASSERT_TRUE(document.ApplyFilter(ListFilter::ThisGateway));
  document.FindNext("no such text");

  // The trace grew: the gateway's new message shows after the reload.
  const std::size_t lastMessage = plain.rfind("01/15/2004 10:24:31.015 CCP|Out");
  Write("reload.txt", plain + plain.substr(lastMessage));
  ASSERT_EQ(document.Reload().outcome, OperationOutcome::Done);
  EXPECT_EQ(Snap(document),
            (Snapshot{path, 22, 6, ListFilter::ThisGateway, Message(6), "no such text"}));

  // The selected message is gone: nothing is selected, and a filter keyed on it goes off.
  Write("reload.txt", plain.substr(0, plain.find("01/15/2004 10:23:47.310")));
  ASSERT_EQ(document.Reload().outcome, OperationOutcome::Done);
  EXPECT_EQ(Snap(document), (Snapshot{path, 5, 5, std::nullopt, MessageNumber{}, "no such text"}));
  ASSERT_TRUE(document.ApplyFilter(ListFilter::PriOnly));
  ASSERT_EQ(document.Reload().outcome, OperationOutcome::Done);
  EXPECT_EQ(document.ActiveFilter(), ListFilter::PriOnly);
}

TEST_F(TraceDocumentTest, ThisCallKeepsTheMessagesOfOneCall) {
  const std::string calls = ReadFile(SourceFile("tests/data/grouped-calls.txt"));
  const std::string path = Write("calls.txt", calls);
  TraceDocument document;
  ASSERT_EQ(document.Load(path, LoadKind::Open).outcome, OperationOutcome::Done);
  document.SelectMessage(Message(10));  // SERVICE: in no call
  EXPECT_FALSE(document.ApplyFilter(ListFilter::ThisCall));
  document.SelectMessage(Message(7));
  ASSERT_TRUE(document.ApplyFilter(ListFilter::ThisCall));
  EXPECT_EQ(Rows(document), (std::vector<std::size_t>{6, 7, 15, 16, 17}));
  EXPECT_EQ(document.FilterDescription(), "call 4");
  EXPECT_FALSE(document.FilterEntry(ListFilter::PriOnly).enabled);

  // From the calls table: the call's first message is selected.
  ASSERT_TRUE(document.ApplyCallFilter(CallNumber{8}));
  EXPECT_EQ(Snap(document), (Snapshot{path, 32, 3, ListFilter::ThisCall, Message(28), ""}));

  // The call gained a message: the reload, read as a worker reads it, groups the calls again.
  Write("calls.txt", calls +
                         "01/15/2004 10:08:00 CCP|Out Message -- PriReleaseCompleteMsg\n"
                         "01/15/2004 10:08:00 CCP|MMan_Id IpAddr=0601010a\n"
                         "01/15/2004 10:08:00 CCP|IsdnMsgData1= 08 01 85 5a\n");
  LoadedTrace read = TraceDocument::ReadTrace({path});
  ASSERT_EQ(read.calls->calls.size(), 10u);
  document.Adopt(std::move(read), LoadKind::Reload);
  EXPECT_EQ(Rows(document), (std::vector<std::size_t>{28, 29, 30, 33}));
  EXPECT_EQ(document.FilteredCall(), CallNumber{8});

  document.ClearFilter();
  ASSERT_TRUE(document.ApplyFilter(ListFilter::PriOnly));
  EXPECT_FALSE(document.ApplyCallFilter(CallNumber{2}));
  EXPECT_EQ(document.CurrentMessage(), Message(28));
}

TEST_F(TraceDocumentTest, ExportsEveryMessageWhateverTheFilterButNeverOverTheTrace) {
  const std::string path = Write("trace.txt", ReadFile(kPlain));
  TraceDocument document;
  ASSERT_EQ(document.Load(path, LoadKind::Open).outcome, OperationOutcome::Done);
  document.SelectMessage(Message(3));
  ASSERT_TRUE(document.ApplyFilter(ListFilter::SelectedCall));
  const std::string target = Path("export.txt");
  EXPECT_EQ(document.ExportAllMessages(target).messagesWritten, 21u);
  EXPECT_EQ(ReadFile(target), ReadFile(SourceFile("tests/data/plain-trace.export")));

  const std::string link = Path("link.txt");
  std::filesystem::create_hard_link(path, link);
  const ExportResult refused = document.ExportAllMessages(link);
  EXPECT_EQ(refused.outcome, OperationOutcome::Failed);
  EXPECT_EQ(refused.errorText, "cannot write " + link + ": it is the trace being exported");
  EXPECT_EQ(ReadFile(path), ReadFile(kPlain));

  // Of several files read as one, each is the trace; a reload reads them all again.
  const std::string other = Write("other.txt", "IsdnMsgData=08\n");
  const std::vector<std::string> both{other, path};
  ASSERT_EQ(document.Load(both, LoadKind::Open).outcome, OperationOutcome::Done);
  ASSERT_EQ(document.Reload().outcome, OperationOutcome::Done);
  EXPECT_EQ(document.Paths(), (std::vector<std::string>{path, other}));
  EXPECT_EQ(document.ExportAllMessages(other).errorText,
            "cannot write " + other + ": it is the trace being exported");
  EXPECT_EQ(document.SaveCallsCsv(other, {}).errorText,
            "cannot write " + other + ": it is the open trace");
  EXPECT_EQ(ReadFile(other), "IsdnMsgData=08\n");
}

// A message of gateway 192.168.1.5 at 10:00:SS, its header line first.
std::string LiveMessage(std::string_view direction, int second, std::string_view payload) {
  const std::string stamp = "01/15/2004 10:00:0" + std::to_string(second) + " CCP|";
  return stamp + std::string(direction) + " Message -- PriMsg\n" + stamp +
         "MMan_Id= 1. IpAddr=0501a8c0\n" + stamp + "IsdnMsgData1= " + std::string(payload) + "\n";
}

// The trace grows as a server writes it: a line in pieces, a header line without its data line,
// the file truncated, rotated and gone. Each poll appends the new whole messages to the list, to
// the PRI-only rows and to the calls.
TEST_F(TraceDocumentTest, FollowsTheLastFileAsItGrows) {
  const std::string live = Path("live.txt");
  // The load takes the unended last line for a whole one; once ended, it makes no other message.
  Write("live.txt", LiveMessage("In ", 1, "08 02 00 01 05") +
                        "01/15/2004 10:00:01 CCP|In  Message -- H225Msg\n"
                        "01/15/2004 10:00:01 CCP|IsdnMsgData1= 08 02 00 02");
  TraceDocument document;
  ASSERT_EQ(document.Load(live, LoadKind::Open).outcome, OperationOutcome::Done);
  ASSERT_TRUE(document.ApplyFilter(ListFilter::PriOnly));
  ASSERT_EQ(document.GroupCallsIfNeeded().calls.size(), 1u);
  std::string whyNot;
  std::optional<TraceFollower> follower = document.StartFollowing(whyNot);
  ASSERT_TRUE(follower) << whyNot;
  follower->SetMissingPathWait(std::chrono::milliseconds(0));  // the path is not coming back

  const auto append = [&](std::string_view text) {
    return [&live, text] { WriteFile(live, ReadFile(live) + std::string(text)); };
  };
  struct Step {
    std::function<void()> change;
    std::string messages;  // the new ones: line number, direction, payload
    std::size_t rows;      // PRI-only rows added
    std::string note;
  };
  const Step steps[] = {
      {append(" 05\n"), "", 0, ""},
      {append("01/15/2004 10:00:02 CCP|Out Mess"), "", 0, ""},
      {append("age -- PriMsg\n"), "", 0, ""},
      {append("01/15/2004 10:00:02 CCP|MMan_Id= 1. IpAddr=0501a8c0\n"
              "01/15/2004 10:00:02 CCP|IsdnMsgData1= 08 02 80 01 5a\n"),
       "6 Out 080280015a\n", 1, ""},
      {[&] { Write("live.txt", LiveMessage("In ", 3, "08 02 00 03 05")); }, "1 In 0802000305\n", 1,
       live + " was truncated: read again from its start"},
      {[&] {
         append(LiveMessage("Out", 4, "08 02 80 03 5a"))();
         std::filesystem::rename(live, live + ".1");
         Write("live.txt", LiveMessage("In ", 5, "08 02 00 05 05"));
       },
       "4 Out 080280035a\n1 In 0802000505\n", 2,
       live + " was replaced: read the new file from its start"},
      {[&] { std::filesystem::remove(live); }, "", 0, live + " disappeared: following stopped"},
  };
  std::size_t messages = document.Store().MessageCount();
  for (const Step& step : steps) {
    step.change();
    TraceFollower::Batch batch = follower->Poll();
    EXPECT_EQ(batch.note, step.note);
    EXPECT_EQ(batch.stopped,
              !step.note.empty() && step.note.find("disappeared") != std::string::npos);
    const std::size_t rows = document.RowCount();
    const AppendedMessages appended = document.AppendFollowed(std::move(batch));
    std::string described;
    for (std::size_t k = IndexOf(appended.first).value; k < document.Store().MessageCount(); ++k) {
      described += std::to_string(document.Store().msgLineNumbers[k]) +
                   (document.Store().msgIsIncoming[k] ? " In " : " Out ") +
                   PayloadText(DataLine(document.Store(), MessageIndex{k}), false) + "\n";
    }
    EXPECT_EQ(described, step.messages) << step.note;
    EXPECT_EQ(appended.first, Message(messages + 1));
    EXPECT_EQ(appended.count, document.Store().MessageCount() - messages);
    EXPECT_EQ(appended.firstRow, rows);
    EXPECT_EQ(appended.rowsAdded, step.rows);
    messages = document.Store().MessageCount();
  }
  // Calls 1 and 2 were released in the trace's later parts.
  const CallTable& calls = document.Calls();
  ASSERT_EQ(calls.calls.size(), 3u);
  EXPECT_EQ(calls.calls[0].messageCount, 2u);
  EXPECT_EQ(calls.calls[1].ended, CallEnded::Released);
  EXPECT_EQ(calls.calls[2].ended, CallEnded::Open);
}

TEST_F(TraceDocumentTest, CapturesTheRowsShownOrTheCallsMessagesAndACancelChangesNothing) {
  TraceDocument document;
  ASSERT_EQ(document.Load(SourceFile("tests/data/grouped-calls.txt"), LoadKind::Open).outcome,
            OperationOutcome::Done);
  const std::string target = Write("out.pcap", "old");
  document.GroupCallsIfNeeded();
  const RowMap calls = document.MessagesOfCalls(
      {CallNumber{8}, CallNumber{3}, CallNumber{8}, CallNumber{0}, CallNumber{11}});
  EXPECT_EQ(calls, (RowMap{Message(5), Message(9), Message(28), Message(29), Message(30)}));
  EXPECT_EQ(document.ExportMessagesAsPcap(target, calls, {}).messagesWritten, 5u);
  ASSERT_TRUE(document.ApplyFilter(ListFilter::H225Only));
  EXPECT_EQ(document.ExportShownAsPcap(target, {}).messagesWritten, document.RowCount());

  const std::string before = ReadFile(target);
  const auto stop = [](std::size_t, std::size_t) { return false; };
  EXPECT_EQ(document.ExportShownAsPcap(target, {}, stop).outcome, OperationOutcome::Cancelled);
  EXPECT_EQ(ReadFile(target), before);
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.pcap"});
}

}  // namespace
}  // namespace sigrune
