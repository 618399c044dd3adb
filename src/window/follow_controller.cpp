#include "window/follow_controller.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace sigrune {

namespace {

constexpr int kEveryMilliseconds = 500;
// A file that grows all the time would otherwise be read, and the list drawn, at every change:
// a quarter of a second apart is soon enough to see and costs little.
constexpr int kShortestGapMilliseconds = 250;

}  // namespace

FollowController::FollowController(OperationScheduler& scheduler,
                                   std::function<void(Batch&&)> apply, QObject* parent)
    : QObject(parent), scheduler_(scheduler) {
  scheduler_.OnFollowed([this](const OperationScheduler::FollowRead& read) { Read(read); },
                        std::move(apply));
  every_.setInterval(kEveryMilliseconds);
  soon_.setSingleShot(true);
  connect(&every_, &QTimer::timeout, this, [this] { scheduler_.PollFollowed(); });
  connect(&soon_, &QTimer::timeout, this, [this] { scheduler_.PollFollowed(); });
  // A file written a message at a time reports a change as often, each one waking the window:
  // heard once until the read it asks for has been made. A rotation renames the file and makes
  // another: the folder tells of it.
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
    watcher_.removePath(path_);
    PollSoon();
  });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FollowController::PollSoon);
}

void FollowController::Start(TraceFollower follower, const QString& path) {
  Stop();
  follower.SetMissingPathWait(missingPathWait_);
  scheduler_.Follow(std::move(follower));
  path_ = path;
  lastRead_ = {};
  WatchFile(true);
  every_.start();
  scheduler_.PollFollowed();
  emit StateChanged();
}

void FollowController::Stop() {
  const bool wasFollowing = Following();
  scheduler_.StopFollowing();
  EndReads();
  if (wasFollowing) {
    emit StateChanged();
  }
}

void FollowController::EndReads() {
  waitingFor_.clear();
  every_.stop();
  soon_.stop();
  if (!watcher_.files().isEmpty()) {
    watcher_.removePaths(watcher_.files());
  }
  if (!watcher_.directories().isEmpty()) {
    watcher_.removePaths(watcher_.directories());
  }
}

void FollowController::WatchFile(bool renew) {
  // The watch stays with the file it was set on, which a rotation renames: set again on the path.
  if (renew && !watcher_.files().isEmpty()) {
    watcher_.removePaths(watcher_.files());
  }
  if (watcher_.files().isEmpty() && QFileInfo::exists(path_)) {
    watcher_.addPath(path_);
  }
  const QString folder = QFileInfo(path_).absolutePath();
  if (!watcher_.directories().contains(folder)) {
    watcher_.addPath(folder);
  }
}

void FollowController::PollSoon() {
  if (!Following() || soon_.isActive()) {
    return;
  }
  using std::chrono::milliseconds;
  const std::optional<std::chrono::steady_clock::time_point> last = scheduler_.LastPoll();
  const qint64 since =
      last ? std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - *last)
                 .count()
           : kShortestGapMilliseconds;
  soon_.start(static_cast<int>(std::max<qint64>(0, kShortestGapMilliseconds - since)));
}

void FollowController::Read(const OperationScheduler::FollowRead& read) {
  lastRead_ = QTime::currentTime();
  if (read.outOfMemory) {
    EndReads();
    emit StateChanged();
    emit ReadFailed(
        tr("%1: not enough memory to read on: following stopped").arg(QFileInfo(path_).fileName()));
    return;
  }
  waitingFor_ = QString::fromLocal8Bit(read.waiting.c_str());
  if (read.stopped) {
    EndReads();
  } else {
    WatchFile(read.renewed);
  }
  emit StateChanged();
}

}  // namespace sigrune
