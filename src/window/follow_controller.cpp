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

FollowController::FollowController(std::function<bool()> canApply,
                                   std::function<void(Batch&&)> apply, QObject* parent)
    : QObject(parent),
      canApply_(std::move(canApply)),
      apply_(std::move(apply)),
      poller_([this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      }) {
  every_.setInterval(kEveryMilliseconds);
  soon_.setSingleShot(true);
  connect(&every_, &QTimer::timeout, this, &FollowController::PollNow);
  connect(&soon_, &QTimer::timeout, this, &FollowController::PollNow);
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
  follower_ = std::make_shared<TraceFollower>(std::move(follower));
  follower_->SetMissingPathWait(missingPathWait_);
  path_ = path;
  following_ = true;
  lastRead_ = {};
  WatchFile(true);
  every_.start();
  PollNow();
  emit StateChanged();
}

void FollowController::Stop() {
  ++generation_;
  waiting_.reset();
  const bool wasFollowing = following_;
  EndReads();
  if (wasFollowing) {
    emit StateChanged();
  }
}

void FollowController::EndReads() {
  following_ = false;
  waitingFor_.clear();
  follower_.reset();
  pollAgain_ = false;
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
  if (!following_ || soon_.isActive()) {
    return;
  }
  const qint64 since = sincePoll_.isValid() ? sincePoll_.elapsed() : kShortestGapMilliseconds;
  soon_.start(static_cast<int>(std::max<qint64>(0, kShortestGapMilliseconds - since)));
}

void FollowController::PollNow() {
  if (!following_ || follower_ == nullptr || waiting_) {
    return;
  }
  if (poller_.Busy()) {
    pollAgain_ = true;
    return;
  }
  sincePoll_.start();
  pollAgain_ = false;
  const std::uint64_t generation = generation_;
  poller_.Start<Batch>(
      [follower = follower_](OperationProgress&) { return follower->Poll(); },
      [this, generation](std::optional<Batch> batch) { Polled(generation, std::move(batch)); });
}

void FollowController::Polled(std::uint64_t generation, std::optional<Batch> batch) {
  if (generation != generation_) {
    PollNow();  // for the follower that came since, when one did
    return;
  }
  lastRead_ = QTime::currentTime();
  if (!batch) {
    EndReads();
    emit StateChanged();
    emit ReadFailed(
        tr("%1: not enough memory to read on: following stopped").arg(QFileInfo(path_).fileName()));
    return;
  }
  const bool stopped = batch->stopped;
  const bool renewed = !batch->note.empty();
  waitingFor_ = QString::fromLocal8Bit(batch->waiting.c_str());
  if (batch->messages.msgCount > 0 || renewed) {
    waiting_ = std::move(batch);
  }
  if (stopped) {
    EndReads();
  } else {
    WatchFile(renewed);
  }
  ApplyWaiting();
  emit StateChanged();
  if (pollAgain_) {
    PollNow();
  }
}

void FollowController::ApplyWaiting() {
  if (waiting_ && canApply_()) {
    Batch batch = std::move(*waiting_);
    waiting_.reset();
    apply_(std::move(batch));
    if (pollAgain_) {
      PollNow();
    }
  }
}

}  // namespace sigrune
