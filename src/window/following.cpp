// File > Follow: the messages appended to the trace's last file join the list as they come.

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStatusBar>

#include "window/calls/calls_pane.h"
#include "window/flat_list_view.h"
#include "window/follow_controller.h"
#include "window/main_window.h"
#include "window/message_list_model.h"
#include "window/trace_names.h"

namespace sigrune {

namespace {
// How long the status bar tells that the file was truncated or replaced.
constexpr int kNoteMilliseconds = 10'000;
}  // namespace

void MainWindow::CreateFollowing() {
  follow_ = new FollowController(
      scheduler_, [this](TraceFollower::Batch&& batch) { ApplyFollowed(std::move(batch)); }, this);
  connect(follow_, &FollowController::StateChanged, this, &MainWindow::ShowFollowState);
  connect(follow_, &FollowController::ReadFailed, this, [this](const QString& why) {
    followStopped_ = why;
    ShowFollowState();
  });
  // A list at its bottom stays there when its range grows after the rows came: a horizontal
  // scroll bar that comes with the vertical one takes a row's height from the view.
  QScrollBar* scroll = widgets_.messageList->verticalScrollBar();
  connect(scroll, &QScrollBar::rangeChanged, this, [this, scroll](int, int maximum) {
    if (follow_->Following() && scroll->value() == list_.scrollMaximum) {
      scroll->setValue(maximum);
    }
    list_.scrollMaximum = maximum;
  });
}

// File > Follow: reads on at the end of the last file, after reading the trace again when its
// load took the unended last line for a whole one.
void MainWindow::FollowClicked(bool follow) {
  if (follow && document_.IsOpen() && !follow_->Following() && document_.TookUnendedLastLine()) {
    // Read again, holding that line until its end comes, and followed from there.
    followStopped_.clear();
    StartLoad(DecodedPaths(document_.Paths()), LoadKind::Reload, true);
    ShowFollowState();
    return;
  }
  FollowTrace(follow);
}

// The same without reading again, also after a load asked to follow.
void MainWindow::FollowTrace(bool follow) {
  followStopped_.clear();
  if (!follow) {
    follow_->Stop();
  } else if (document_.IsOpen() && !follow_->Following()) {
    std::string whyNot;
    if (std::optional<TraceFollower> follower = document_.StartFollowing(whyNot)) {
      follow_->Start(std::move(*follower), QFile::decodeName(document_.Paths().back().c_str()));
    } else {
      dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Follow"),
                           QString::fromLocal8Bit(whyNot.c_str()));
    }
  }
  ShowFollowState();
}

// A follower's read, taken while no operation reads the store.
void MainWindow::ApplyFollowed(TraceFollower::Batch&& batch) {
  const QString note = QString::fromLocal8Bit(batch.note.c_str());
  const bool stopped = batch.stopped;
  // The list keeps showing its last row when it did, and stays put otherwise.
  const QScrollBar* scroll = widgets_.messageList->verticalScrollBar();
  const bool atBottom = scroll->value() == scroll->maximum();
  const AppendedMessages appended = document_.AppendFollowed(std::move(batch));
  const bool rowsAdded = widgets_.model->ShowAppendedRows();
  if (appended.callsChanged) {
    widgets_.callsPane->CallsChanged();
    ShowCallsInStatistics();
  }
  if (atBottom && rowsAdded) {
    widgets_.messageList->scrollToBottom();
  }
  UpdateStatusBar();
  if (stopped) {
    statusBar()->clearMessage();
    followStopped_ = note;
    ShowFollowState();
  } else if (!note.isEmpty()) {
    statusBar()->showMessage(note, kNoteMilliseconds);
  }
}

void MainWindow::ShowFollowState() {
  QString state = followStopped_;
  if (follow_->Following()) {
    state = follow_->WaitingFor();
    if (state.isEmpty()) {
      state = tr("Following");
      if (const QTime read = follow_->LastRead(); read.isValid()) {
        state += tr(", last read %1").arg(read.toString(QStringLiteral("HH:mm:ss")));
      }
    }
  }
  widgets_.followState->setText(state);
  actions_.follow->setChecked(follow_->Following());
}

}  // namespace sigrune
