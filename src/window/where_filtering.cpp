// The filter bar: the list shows the messages its expression keeps, together with the menu
// filter's. The rows of a million messages take a good part of a second to find, so they are
// found on a worker of their own while the rest of the window stays as it was.

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>

#include "window/follow_controller.h"
#include "window/main_window.h"
#include "window/where_bar.h"

namespace sigrune {

namespace {

// For an expression that reads no calls: they need not be grouped for it.
const CallTable kNoCalls;

}  // namespace

void MainWindow::CreateWhereBar() {
  connect(whereBar_, &WhereBar::ExpressionChanged, this, &MainWindow::WhereChanged);
  auto* focus = new QShortcut(QKeySequence(tr("Ctrl+/")), this);
  connect(focus, &QShortcut::activated, this, [this] {
    isdnTabs->setCurrentWidget(messagesTab_);
    whereBar_->setFocus();
    whereBar_->lineEdit()->selectAll();
  });
}

bool MainWindow::Busy() const {
  return operations_.Busy() || paneWorker_.Busy() || whereWorker_.Busy() || whereBar_->Pending();
}

void MainWindow::WhereChanged(const QString& text) {
  // The trace's texts are Latin-1: a character beyond it is in no summary line.
  const QByteArray latin1 = text.toLatin1();
  WhereParse parse = ParseWhere(std::string_view(latin1.constData(), latin1.size()));
  if (parse.ok && QString::fromLatin1(latin1) != text) {
    parse.ok = false;
    parse.error = tr("\"%1\" holds a character that no trace text holds").arg(text).toStdString();
  }
  if (!parse.ok) {
    // The list stays as it was, and so does a filtering already under way.
    whereBar_->ShowError(QString::fromStdString(parse.error));
    return;
  }
  whereBar_->ShowAccepted();
  if (parse.expression.text == document_.Where().text && !whereWorker_.Busy()) {
    return;  // Enter on what was applied after the quiet
  }
  ++whereGeneration_;
  if (whereWorker_.Busy()) {
    whereWorker_.Cancel();
    pendingWhere_ = std::move(parse.expression);
    return;
  }
  StartWhere(std::move(parse.expression));
}

void MainWindow::StartWhere(WhereExpression expression) {
  pendingWhere_.reset();
  if (expression.terms.empty() || !document_.IsOpen()) {
    // Nothing to read: every message, or none yet.
    document_.SetWhere(expression.text);
    ShowDocument({.rows = true});
    return;
  }
  // Grouped here, if they were not yet, so that the worker only reads them.
  const CallTable& calls = WhereNeedsCalls(expression) ? document_.GroupCallsIfNeeded() : kNoCalls;
  const MessageStore& store = document_.Store();
  auto shared = std::make_shared<const WhereExpression>(std::move(expression));
  whereWorker_.Start<RowMap>(
      [shared, &store, &calls](OperationProgress& progress) {
        return WhereRows(*shared, store, calls,
                         [&progress] { return !progress.CancelRequested(); });
      },
      [this, shared, generation = whereGeneration_](std::optional<RowMap> rows) {
        WhereFiltered(generation, *shared, std::move(rows));
      });
}

void MainWindow::WhereFiltered(std::uint64_t generation, WhereExpression expression,
                               std::optional<RowMap> rows) {
  if (afterWhere_) {
    // A load waited; the trace it brings is filtered anew.
    std::exchange(afterWhere_, {})();
    if (generation == whereGeneration_) {
      pendingWhere_ = std::move(expression);
    }
  } else if (generation == whereGeneration_ && !rows) {
    whereBar_->ShowError(tr("not enough memory to filter the messages"));
  } else if (generation == whereGeneration_) {
    document_.TakeWhere(std::move(expression), std::move(*rows));
    ShowDocument({.rows = true});
  }
  if (pendingWhere_) {
    StartWhere(std::move(*pendingWhere_));
  }
  // Batches of a followed trace wait while the store is read.
  QTimer::singleShot(0, follow_, &FollowController::ApplyWaiting);
}

void MainWindow::AfterWhereStops(std::function<void()> step) {
  if (!whereWorker_.Busy()) {
    step();
    return;
  }
  whereWorker_.Cancel();
  afterWhere_ = [previous = std::move(afterWhere_), step = std::move(step)] {
    if (previous) {
      previous();
    }
    step();
  };
}

}  // namespace sigrune
