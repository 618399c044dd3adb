#include "document/operation_scheduler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/trace_document.h"
#include "owner_queue.h"
#include "test_files.h"

namespace sigrune {
namespace {

using Kind = OperationKind;

TEST(OperationRules, SayWhatMayStartWhileWhatRuns) {
  struct Case {
    Kind running;
    Kind starting;
    Admission admission;
    bool resultWaits;  // the starting one's result waits for the running one to stop
  };
  const Case cases[] = {
      {Kind::Find, Kind::Load, Admission::Refused, false},
      {Kind::Load, Kind::Export, Admission::Refused, false},
      {Kind::CopyDecoded, Kind::Pcap, Admission::Refused, false},
      {Kind::WhereRows, Kind::Load, Admission::Beside, true},
      {Kind::Load, Kind::WhereRows, Admission::Beside, false},
      {Kind::WhereRows, Kind::FindAll, Admission::Beside, false},
      {Kind::PaneDecode, Kind::Load, Admission::Beside, false},
      {Kind::Export, Kind::PaneDecode, Admission::Beside, false},
      {Kind::Load, Kind::FollowPoll, Admission::Beside, false},
      {Kind::PaneDecode, Kind::PaneDecode, Admission::Supersedes, false},
      {Kind::WhereRows, Kind::WhereRows, Admission::Supersedes, false},
      {Kind::FollowPoll, Kind::FollowPoll, Admission::After, false},
  };
  for (const Case& c : cases) {
    const int running = static_cast<int>(c.running);
    const int starting = static_cast<int>(c.starting);
    EXPECT_EQ(AdmissionOf(c.starting, c.running), c.admission) << starting << " during " << running;
    EXPECT_EQ(ResultWaitsFor(c.starting, c.running), c.resultWaits)
        << starting << " during " << running;
  }
}

// Runs until cancelled; returns `value`.
std::function<int(OperationProgress&)> UntilCancelled(int value) {
  return [value](OperationProgress& progress) {
    while (progress.Report(0, 1)) {
      std::this_thread::yield();
    }
    return value;
  };
}

std::function<int(OperationProgress&)> AtOnce(int value) {
  return [value](OperationProgress&) { return value; };
}

TEST(OperationScheduler, RefusesAnOperationWhileAnotherRunsAndDropsASupersededResult) {
  OwnerQueue owner;
  OperationScheduler scheduler(owner.Post());
  std::vector<int> taken;
  const auto take = [&](std::optional<int> result) { taken.push_back(result.value_or(-1)); };
  ASSERT_TRUE(scheduler.Start<int>(Kind::Find, UntilCancelled(1), take));
  EXPECT_FALSE(scheduler.MayStart(Kind::Export));
  EXPECT_FALSE(scheduler.Start<int>(Kind::Export, AtOnce(2), take));

  // The newest decode for the pane supersedes the others; one that never started never runs.
  int decodes = 0;
  const auto decode = [&](std::function<int(OperationProgress&)> work) {
    return [&, work] {
      ++decodes;
      scheduler.Start<int>(Kind::PaneDecode, work, take);
    };
  };
  EXPECT_TRUE(scheduler.MayStart(Kind::PaneDecode));
  scheduler.StartNewest(Kind::PaneDecode, decode(UntilCancelled(3)));
  scheduler.StartNewest(Kind::PaneDecode, decode(AtOnce(4)));
  scheduler.StartNewest(Kind::PaneDecode, decode(AtOnce(5)));
  owner.RunUntil([&] { return !taken.empty(); });
  EXPECT_EQ(taken, std::vector<int>{5});
  EXPECT_EQ(decodes, 2);
  EXPECT_TRUE(scheduler.Busy(Lane::Operation));

  scheduler.Cancel(Lane::Operation);
  owner.RunUntil([&] { return taken.size() == 2; });
  EXPECT_EQ(taken.back(), 1);
}

TEST(OperationScheduler, TakesALoadOnceTheFilterBarsRowsStoppedAndFindsThemAgain) {
  OwnerQueue owner;
  OperationScheduler scheduler(owner.Post());
  std::vector<std::string> taken;
  int searches = 0;
  scheduler.StartNewest(Kind::WhereRows, [&] {
    ++searches;
    scheduler.Start<int>(Kind::WhereRows, searches == 1 ? UntilCancelled(1) : AtOnce(2),
                         [&](std::optional<int> rows) {
                           taken.push_back("rows " + std::to_string(rows.value_or(-1)));
                         });
  });
  scheduler.Start<int>(Kind::Load, AtOnce(0), [&](std::optional<int>) { taken.push_back("load"); });
  owner.RunUntil([&] { return taken.size() == 2; });
  EXPECT_EQ(taken, (std::vector<std::string>{"load", "rows 2"}));
}

class FollowScheduling : public FolderTest {};

// A message of gateway 192.168.1.5 at 10:00:0S.
std::string Message(int second) {
  const std::string stamp = "01/15/2004 10:00:0" + std::to_string(second) + " CCP|";
  return stamp + "In  Message -- PriMsg\n" + stamp + "MMan_Id= 1. IpAddr=0501a8c0\n" + stamp +
         "IsdnMsgData1= 08 02 00 01 05\n";
}

TEST_F(FollowScheduling, ABatchJoinsTheStoreOnlyOnceNoOperationReadsIt) {
  const std::string live = Write("live.txt", Message(1));
  TraceDocument document;
  ASSERT_EQ(document.Load(live, LoadKind::Open).outcome, OperationOutcome::Done);
  std::string whyNot;
  std::optional<TraceFollower> follower = document.StartFollowing(whyNot);
  ASSERT_TRUE(follower) << whyNot;
  WriteFile(live, Message(1) + Message(2));

  OwnerQueue owner;
  OperationScheduler scheduler(owner.Post());
  int reads = 0;
  std::size_t joined = 0;
  scheduler.OnFollowed(
      [&](const OperationScheduler::FollowRead&) { ++reads; },
      [&](TraceFollower::Batch&& batch) { joined += batch.messages.MessageCount(); });
  scheduler.Follow(std::move(*follower));
  ASSERT_TRUE(scheduler.Start<int>(Kind::FindAll, UntilCancelled(0), [](auto) {}));
  scheduler.PollFollowed();
  owner.RunUntil([&] { return reads == 1; });
  EXPECT_EQ(joined, 0u);
  scheduler.PollFollowed();  // none while a batch waits
  EXPECT_FALSE(scheduler.Busy(Lane::Follow));

  scheduler.Cancel(Lane::Operation);
  owner.RunUntil([&] { return joined > 0; });
  EXPECT_EQ(joined, 1u);
  EXPECT_TRUE(scheduler.Following());
}

}  // namespace
}  // namespace sigrune
