#include "document/operation_scheduler.h"

namespace sigrune {

namespace {

constexpr bool RulesInOrder() {
  for (std::size_t k = 0; k < kOperationRules.size(); ++k) {
    if (static_cast<std::size_t>(kOperationRules[k].kind) != k) {
      return false;
    }
  }
  return true;
}
static_assert(RulesInOrder(), "RuleOf finds a kind's rule by its place");

constexpr Lane kLanes[] = {Lane::Operation, Lane::Pane, Lane::Where, Lane::Follow};

}  // namespace

OperationScheduler::OperationScheduler(Poster post)
    : post_(std::move(post)), operation_(post_), pane_(post_), where_(post_), follow_(post_) {}

OperationScheduler::~OperationScheduler() {
  *alive_ = false;
}

OperationScheduler::LaneState& OperationScheduler::LaneOf(Lane lane) {
  return const_cast<LaneState&>(std::as_const(*this).LaneOf(lane));
}

const OperationScheduler::LaneState& OperationScheduler::LaneOf(Lane lane) const {
  switch (lane) {
    case Lane::Operation:
      return operation_;
    case Lane::Pane:
      return pane_;
    case Lane::Where:
      return where_;
    case Lane::Follow:
      break;
  }
  return follow_;
}

bool OperationScheduler::MayStart(OperationKind kind) const {
  const OperationRule& rule = RuleOf(kind);
  const LaneState& lane = LaneOf(rule.lane);
  return !lane.worker.Busy() || AdmissionOf(kind, lane.running) != Admission::Refused;
}

void OperationScheduler::StartNewest(OperationKind kind, std::function<void()> start) {
  LaneState& lane = LaneOf(kind);
  if (lane.worker.Busy()) {
    lane.worker.Cancel();
    lane.pending = std::move(start);
    return;
  }
  RunNewest(lane, std::move(start));
}

void OperationScheduler::RunNewest(LaneState& lane, std::function<void()> start) {
  lane.pending = nullptr;
  lane.current = start;
  if (start) {
    start();
  }
}

void OperationScheduler::Ended(OperationKind kind, std::function<void()> take) {
  LaneState& lane = LaneOf(kind);
  if (!lane.afterStop.empty()) {
    // Stopped for results that replace the store it read: they are taken, and it runs again over
    // what they brought unless a newer one waits.
    for (const std::function<void()>& waiting : std::exchange(lane.afterStop, {})) {
      waiting();
    }
    RunNewest(lane, lane.pending ? lane.pending : lane.current);
  } else if (lane.pending) {
    RunNewest(lane, lane.pending);  // its result is dropped
  } else {
    Take(kind, std::move(take));
  }
  if (RuleOf(kind).batchesWait) {
    // Once the result that ended it has been taken.
    post_([this, alive = alive_] {
      if (*alive) {
        ApplyFollowed();
      }
    });
  }
}

void OperationScheduler::Take(OperationKind kind, std::function<void()> take) {
  for (const Lane reader : kLanes) {
    LaneState& lane = LaneOf(reader);
    if (lane.worker.Busy() && ResultWaitsFor(kind, lane.running)) {
      lane.worker.Cancel();
      lane.afterStop.push_back(
          [this, kind, take = std::move(take)]() mutable { Take(kind, std::move(take)); });
      return;
    }
  }
  take();
}

void OperationScheduler::OnFollowed(std::function<void(const FollowRead&)> read,
                                    std::function<void(TraceFollower::Batch&&)> apply) {
  followRead_ = std::move(read);
  followApply_ = std::move(apply);
}

void OperationScheduler::Follow(TraceFollower follower) {
  StopFollowing();
  follower_ = std::make_shared<TraceFollower>(std::move(follower));
}

void OperationScheduler::StopFollowing() {
  ++followGeneration_;
  waitingBatch_.reset();
  follower_.reset();
  pollAgain_ = false;
}

void OperationScheduler::PollFollowed() {
  if (follower_ == nullptr || waitingBatch_) {
    return;
  }
  if (follow_.worker.Busy()) {
    pollAgain_ = true;
    return;
  }
  lastPoll_ = std::chrono::steady_clock::now();
  pollAgain_ = false;
  Start<TraceFollower::Batch>(
      OperationKind::FollowPoll,
      [follower = follower_](OperationProgress&) { return follower->Poll(); },
      [this, generation = followGeneration_](std::optional<TraceFollower::Batch> batch) {
        Polled(generation, std::move(batch));
      });
}

void OperationScheduler::Polled(std::uint64_t generation,
                                std::optional<TraceFollower::Batch> batch) {
  if (generation != followGeneration_) {
    PollFollowed();  // for the follower that came since, when one did
    return;
  }
  FollowRead read;
  if (!batch) {
    read.outOfMemory = true;
  } else {
    read.stopped = batch->stopped;
    read.renewed = !batch->note.empty();
    read.waiting = batch->waiting;
    if (batch->messages.MessageCount() > 0 || read.renewed) {
      waitingBatch_ = std::move(batch);
    }
  }
  if (read.outOfMemory || read.stopped) {
    // A batch that waits is still handed over.
    follower_.reset();
    pollAgain_ = false;
  }
  if (followRead_) {
    followRead_(read);
  }
  ApplyFollowed();
  if (pollAgain_) {
    PollFollowed();
  }
}

bool OperationScheduler::BatchMayJoin() const {
  for (const Lane lane : kLanes) {
    const LaneState& state = LaneOf(lane);
    if (state.worker.Busy() && RuleOf(state.running).batchesWait) {
      return false;
    }
  }
  return true;
}

void OperationScheduler::ApplyFollowed() {
  if (!waitingBatch_ || !BatchMayJoin() || !followApply_) {
    return;
  }
  TraceFollower::Batch batch = std::move(*waitingBatch_);
  waitingBatch_.reset();
  followApply_(std::move(batch));
  if (pollAgain_) {
    PollFollowed();
  }
}

}  // namespace sigrune
