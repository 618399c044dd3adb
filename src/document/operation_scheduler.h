#pragma once

// Which long operation may run while which, in one table, and the workers that run them. The
// window asks here to start an operation and gets its result through the poster: whether one is
// refused, which supersedes which, which result waits for what and when a followed batch may join
// the store are decided here and nowhere else. No Qt: the rules are tested without a window.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/worker.h"
#include "trace/trace_follower.h"

namespace sigrune {

enum class OperationKind : std::uint8_t {
  Load,         // a trace opened or read again
  Find,         // one step of Find Again
  FindAll,      // Find All into the results panel
  Export,       // Save As Tessel: every message
  Pcap,         // a capture of the shown messages, or of calls
  CopyDecoded,  // a message's whole decoded text, for the clipboard
  PaneDecode,   // the selected message, for the pane
  WhereRows,    // the rows of the filter bar's expression
  FollowPoll,   // a read of what was appended to a followed trace
};

// The workers: each runs one operation at a time.
enum class Lane : std::uint8_t { Operation, Pane, Where, Follow };

// What becomes of an operation asked for while another runs.
enum class Admission : std::uint8_t {
  Beside,      // it starts and runs beside the other
  Refused,     // it does not start; the window says why
  Supersedes,  // the running one is cancelled and its result dropped; the newest starts after it
  After,       // it is made once the running one has ended
};

struct OperationRule {
  OperationKind kind;
  Lane lane;
  Admission sameLane;  // while an operation of its lane runs; one of another lane runs beside
  bool readsStore;     // reads the document's store while it runs
  // Its result replaces the store: it is taken once the store's readers on other lanes have
  // stopped, which are asked to and then run again over the new store.
  bool replacesStore;
  bool batchesWait;  // a followed batch joins the store only once it has ended
};

// One row per kind, in the order of OperationKind. The pane decodes a copy of its message and a
// follower reads only its file, so neither reads the store.
// clang-format off
inline constexpr std::array<OperationRule, 9> kOperationRules = {{
    // kind                      lane             same lane              reads  replaces batches
    {OperationKind::Load,        Lane::Operation, Admission::Refused,    false, true,  true},
    {OperationKind::Find,        Lane::Operation, Admission::Refused,    true,  false, true},
    {OperationKind::FindAll,     Lane::Operation, Admission::Refused,    true,  false, true},
    {OperationKind::Export,      Lane::Operation, Admission::Refused,    true,  false, true},
    {OperationKind::Pcap,        Lane::Operation, Admission::Refused,    true,  false, true},
    {OperationKind::CopyDecoded, Lane::Operation, Admission::Refused,    false, false, true},
    {OperationKind::PaneDecode,  Lane::Pane,      Admission::Supersedes, false, false, false},
    {OperationKind::WhereRows,   Lane::Where,     Admission::Supersedes, true,  false, true},
    {OperationKind::FollowPoll,  Lane::Follow,    Admission::After,      false, false, false},
}};
// clang-format on

constexpr const OperationRule& RuleOf(OperationKind kind) {
  return kOperationRules[static_cast<std::size_t>(kind)];
}

// What becomes of `starting` asked for while `running` runs.
constexpr Admission AdmissionOf(OperationKind starting, OperationKind running) {
  return RuleOf(starting).lane == RuleOf(running).lane ? RuleOf(starting).sameLane
                                                       : Admission::Beside;
}

// Whether the result of `kind` is taken only once `running`, cancelled for it, has stopped.
constexpr bool ResultWaitsFor(OperationKind kind, OperationKind running) {
  return RuleOf(kind).replacesStore && RuleOf(running).readsStore &&
         RuleOf(running).lane != RuleOf(kind).lane;
}

class OperationScheduler {
 public:
  explicit OperationScheduler(Poster post);
  // Cancels what runs and waits for it; results not yet handed over are dropped.
  ~OperationScheduler();
  OperationScheduler(const OperationScheduler&) = delete;
  OperationScheduler& operator=(const OperationScheduler&) = delete;

  bool Busy(Lane lane) const { return LaneOf(lane).worker.Busy(); }
  // Whether `kind` may start now: false while the rules refuse it.
  bool MayStart(OperationKind kind) const;
  // Asks the operation of the lane to stop; it hands over its (cancelled) result as usual.
  void Cancel(Lane lane) { LaneOf(lane).worker.Cancel(); }
  const OperationProgress& Progress(Lane lane) const { return LaneOf(lane).worker.Progress(); }

  // Starts `work` as an operation of `kind` unless its lane is busy (false). `deliver` gets the
  // result on the owner's thread (none when the work ran out of memory), unless a newer operation
  // superseded it; a result that replaces the store waits for the store's readers to stop.
  template <class Result>
  bool Start(OperationKind kind, std::function<Result(OperationProgress&)> work,
             std::function<void(std::optional<Result>)> deliver) {
    LaneState& lane = LaneOf(RuleOf(kind).lane);
    if (lane.worker.Busy()) {
      return false;
    }
    ++lane.starts;
    lane.running = kind;
    return lane.worker.Start<Result>(
        std::move(work), [this, kind, deliver = std::move(deliver)](std::optional<Result> result) {
          auto kept = std::make_shared<std::optional<Result>>(std::move(result));
          Ended(kind, [deliver, kept] { deliver(std::move(*kept)); });
        });
  }

  // For the kinds that a newer one supersedes: `start`, which calls Start, runs now, or once the
  // operation it supersedes has stopped; and again when that one stopped for a new store.
  void StartNewest(OperationKind kind, std::function<void()> start);

  // For the work of the next operation of `kind`'s lane to hand something over before its result
  // (the first messages of a trace being read): `show` gets it on the owner's thread while that
  // operation still runs, never after. Callable from the worker.
  template <class Value>
  std::function<void(Value&&)> Interim(OperationKind kind, std::function<void(Value&&)> show) {
    const LaneState& lane = LaneOf(RuleOf(kind).lane);
    return [post = post_, alive = alive_, &lane, start = lane.starts + 1,
            show = std::move(show)](Value&& value) {
      auto kept = std::make_shared<Value>(std::move(value));
      post([alive, &lane, start, show, kept] {
        if (*alive && lane.starts == start && lane.worker.Busy()) {
          show(std::move(*kept));
        }
      });
    };
  }

  // --- Following: a follower reads on its own lane, beside every operation ---
  // What a read of the follower found, told before its batch joins the store.
  struct FollowRead {
    bool outOfMemory = false;  // following stopped
    bool stopped = false;      // the follower stopped (the file went): following stopped
    bool renewed = false;      // the file was read afresh (the batch's note says why)
    std::string waiting;       // the follower's: why no readable file is at the path
  };
  // `read` hears of each read; `apply` takes each batch, when no operation it waits for runs.
  void OnFollowed(std::function<void(const FollowRead&)> read,
                  std::function<void(TraceFollower::Batch&&)> apply);
  // Reads with `follower` from now on, in place of any other; the first read is asked for apart.
  void Follow(TraceFollower follower);
  // No more reads; what was read and not yet taken is dropped, for the next follower to read.
  void StopFollowing();
  bool Following() const { return follower_ != nullptr; }
  // Reads now, unless a read runs (then once it has ended) or a batch waits to be taken.
  void PollFollowed();
  // When the last read started; none before the first.
  std::optional<std::chrono::steady_clock::time_point> LastPoll() const { return lastPoll_; }

 private:
  struct LaneState {
    explicit LaneState(Poster post) : worker(std::move(post)) {}
    Worker worker;
    OperationKind running = OperationKind::Load;   // the last started
    std::uint64_t starts = 0;                      // for Interim
    std::function<void()> current;                 // StartNewest's, of the last started
    std::function<void()> pending;                 // the newest, once the running one has stopped
    std::vector<std::function<void()>> afterStop;  // results waiting for the running one to stop
  };
  LaneState& LaneOf(Lane lane);
  const LaneState& LaneOf(Lane lane) const;
  LaneState& LaneOf(OperationKind kind) { return LaneOf(RuleOf(kind).lane); }

  void Ended(OperationKind kind, std::function<void()> take);
  // Takes a result, once the store's readers on other lanes have stopped when it replaces it.
  void Take(OperationKind kind, std::function<void()> take);
  void RunNewest(LaneState& lane, std::function<void()> start);
  void Polled(std::uint64_t generation, std::optional<TraceFollower::Batch> batch);
  void ApplyFollowed();
  bool BatchMayJoin() const;

  Poster post_;
  // Whether this scheduler still exists, for what it posted itself.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  std::function<void(const FollowRead&)> followRead_;
  std::function<void(TraceFollower::Batch&&)> followApply_;
  // Read by a poll on the follow lane while one runs; the owner then leaves it alone.
  std::shared_ptr<TraceFollower> follower_;
  // Counts the stops, so that a read made before one is dropped when it ends.
  std::uint64_t followGeneration_ = 0;
  std::optional<TraceFollower::Batch> waitingBatch_;
  bool pollAgain_ = false;  // a read was asked for while one ran
  std::optional<std::chrono::steady_clock::time_point> lastPoll_;

  // Last: they stop first, while what their operations read still exists.
  LaneState operation_;
  LaneState pane_;
  LaneState where_;
  LaneState follow_;
};

}  // namespace sigrune
