#pragma once

// Following a growing trace: asks the scheduler to read what is appended to the trace's last file,
// about every half second and soon after the file system reports a change, and tells how the
// reads go. The scheduler reads on a worker of its own and hands each batch of new messages to
// the window when the window can take it.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>
#include <chrono>
#include <functional>

#include "document/operation_scheduler.h"
#include "trace/trace_follower.h"

namespace sigrune {

class FollowController : public QObject {
  Q_OBJECT

 public:
  using Batch = TraceFollower::Batch;
  // `apply` takes each batch read, when the scheduler lets it.
  FollowController(OperationScheduler& scheduler, std::function<void(Batch&&)> apply,
                   QObject* parent = nullptr);

  // Starts reading with the follower, which reads `path`, in place of any other.
  void Start(TraceFollower follower, const QString& path);
  // Stops reading and drops what was read and not yet taken, which the next follower reads again.
  void Stop();
  bool Following() const { return scheduler_.Following(); }
  // When the last read ended; null before the first.
  QTime LastRead() const { return lastRead_; }
  // While no readable file is at the path: why ("cannot follow PATH: REASON; waiting for a
  // readable file"); empty otherwise.
  const QString& WaitingFor() const { return waitingFor_; }
  // How long a missing path is waited for by the followers started from now on (tests shorten
  // it).
  void SetMissingPathWait(std::chrono::milliseconds wait) { missingPathWait_ = wait; }

 signals:
  // Following started or stopped, or a read ended.
  void StateChanged();
  // A read failed and following stopped: why.
  void ReadFailed(const QString& why);

 private:
  void PollSoon();
  void Read(const OperationScheduler::FollowRead& read);
  // Watches the file at the path, and its folder; `renew` watches it afresh.
  void WatchFile(bool renew);
  // No more timed reads or watches.
  void EndReads();

  OperationScheduler& scheduler_;
  QString path_;
  QTime lastRead_;
  QString waitingFor_;
  std::chrono::milliseconds missingPathWait_ = TraceFollower::kMissingPathWait;
  QTimer every_;  // the regular reads
  QTimer soon_;   // a reported change, read once the last read is far enough behind
  QFileSystemWatcher watcher_;
};

}  // namespace sigrune
