#include "window/operation_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "document/worker.h"

namespace sigrune {

namespace {
// Operations quicker than this show no progress at all.
constexpr int kShowAfterMilliseconds = 250;
constexpr int kRefreshMilliseconds = 50;
}  // namespace

OperationBar::OperationBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("operationBar"));
  title_ = new QLabel;
  bar_ = new QProgressBar;
  bar_->setObjectName(QStringLiteral("operationProgress"));
  bar_->setMaximumWidth(200);
  bar_->setTextVisible(true);
  cancel_ = new QPushButton(tr("Cancel"));
  cancel_->setObjectName(QStringLiteral("operationCancel"));
  cancel_->setShortcut(QKeySequence(Qt::Key_Escape));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title_);
  layout->addWidget(bar_);
  layout->addWidget(cancel_);
  connect(cancel_, &QPushButton::clicked, this, &OperationBar::CancelRequested);
  connect(&refresh_, &QTimer::timeout, this, &OperationBar::Refresh);
  hide();
}

void OperationBar::Follow(const QString& title, const OperationProgress& progress) {
  progress_ = &progress;
  title_->setText(title);
  bar_->setRange(0, 0);
  started_.start();
  refresh_.start(kRefreshMilliseconds);
}

void OperationBar::Stop() {
  refresh_.stop();
  progress_ = nullptr;
  hide();
}

void OperationBar::Refresh() {
  if (progress_ == nullptr) {
    return;
  }
  const OperationProgress::Reading reading = progress_->Read();
  if (reading.total > 0) {
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(1000 * std::min(reading.done, reading.total) / reading.total));
  }
  if (isHidden() && started_.elapsed() >= kShowAfterMilliseconds) {
    show();
  }
}

}  // namespace sigrune
