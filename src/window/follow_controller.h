#pragma once

// Following a growing trace: reads what is appended to the trace's last file on a worker of its
// own, about every half second and at once when the file system reports a change, and hands each
// batch of new messages to the window on its thread, when the window can take it. The batch waits
// meanwhile, and no other read is made until it was taken.

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "document/worker.h"
#include "trace/trace_follower.h"

namespace sigrune {

class FollowController : public QObject {
  Q_OBJECT

 public:
  using Batch = TraceFollower::Batch;
  // `canApply` says whether the window may take a batch now; `apply` takes it.
  FollowController(std::function<bool()> canApply, std::function<void(Batch&&)> apply,
                   QObject* parent = nullptr);

  // Starts reading with the follower, which reads `path`, in place of any other.
  void Start(TraceFollower follower, const QString& path);
  // Stops reading and drops what was read and not yet taken, which the next follower reads again.
  void Stop();
  bool Following() const { return following_; }
  // When the last read ended; null before the first.
  QTime LastRead() const { return lastRead_; }
  // While no readable file is at the path: why ("cannot follow PATH: REASON; waiting for a
  // readable file"); empty otherwise.
  const QString& WaitingFor() const { return waitingFor_; }
  // How long a missing path is waited for by the followers started from now on (tests shorten
  // it).
  void SetMissingPathWait(std::chrono::milliseconds wait) { missingPathWait_ = wait; }

  // The window may take a batch now, if one waits.
  void ApplyWaiting();

 signals:
  // Following started or stopped, or a read ended.
  void StateChanged();
  // A read failed and following stopped: why.
  void ReadFailed(const QString& why);

 private:
  void PollSoon();
  void PollNow();
  void Polled(std::uint64_t generation, std::optional<Batch> batch);
  // Watches the file at the path, and its folder; `renew` watches it afresh.
  void WatchFile(bool renew);
  // No more reads; a batch that waits is still handed over.
  void EndReads();

  std::function<bool()> canApply_;
  std::function<void(Batch&&)> apply_;
  // Read by the poll on the worker while one runs; the window thread then leaves it alone.
  std::shared_ptr<TraceFollower> follower_;
  QString path_;
  bool following_ = false;
  // Counts the stops, so that a read made before one is dropped when it ends.
  std::uint64_t generation_ = 0;
  std::optional<Batch> waiting_;
  // A change was reported while a read ran.
  bool pollAgain_ = false;
  QTime lastRead_;
  QString waitingFor_;
  std::chrono::milliseconds missingPathWait_ = TraceFollower::kMissingPathWait;
  QElapsedTimer sincePoll_;
  QTimer every_;  // the regular reads
  QTimer soon_;   // a reported change, read once the last read is far enough behind
  QFileSystemWatcher watcher_;
  // Last: its destructor waits for a read that runs, which reads the follower.
  Worker poller_;
};

}  // namespace sigrune
