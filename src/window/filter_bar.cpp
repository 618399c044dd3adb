#include "window/filter_bar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "window/where_bar.h"

namespace sigrune {

FilterBar::FilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("filterBar"));
  // A framed label, so that it reads as one thing that the × takes away.
  auto* frame = new QFrame;
  frame->setObjectName(QStringLiteral("menuFilter"));
  frame->setFrameShape(QFrame::StyledPanel);
  menuFilter_ = frame;
  menuFilterText_ = new QLabel;
  menuFilterText_->setObjectName(QStringLiteral("menuFilterText"));
  clearMenuFilter_ = new QToolButton;
  clearMenuFilter_->setObjectName(QStringLiteral("clearMenuFilter"));
  clearMenuFilter_->setText(QString(QChar(0x00D7)));
  clearMenuFilter_->setAutoRaise(true);
  clearMenuFilter_->setToolTip(tr("Switch the Filter menu's filter off"));
  auto* chip = new QHBoxLayout(frame);
  chip->setContentsMargins(6, 0, 0, 0);
  chip->setSpacing(2);
  chip->addWidget(menuFilterText_);
  chip->addWidget(clearMenuFilter_);
  menuFilter_->hide();

  where_ = new WhereBar;
  error_ = new QLabel;
  error_->setObjectName(QStringLiteral("whereError"));
  error_->setTextFormat(Qt::PlainText);
  error_->hide();

  auto* line = new QHBoxLayout;
  line->setSpacing(4);
  line->addWidget(menuFilter_);
  line->addWidget(where_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(line);
  layout->addWidget(error_);
  setFocusProxy(where_);

  connect(clearMenuFilter_, &QToolButton::clicked, this, &FilterBar::MenuFilterOff);
  connect(where_, &WhereBar::EscapedEmpty, this, [this] {
    if (!menuFilter_->isHidden()) {
      emit MenuFilterOff();
    }
  });
}

void FilterBar::ShowMenuFilter(const QString& description) {
  menuFilterText_->setText(description);
  menuFilter_->setHidden(description.isEmpty());
}

void FilterBar::ShowError(const QString& reason) {
  where_->ShowError(reason);
  error_->setText(tr("Not applied: %1").arg(reason));
  error_->show();
}

void FilterBar::ShowAccepted() {
  where_->ShowAccepted();
  error_->hide();
  error_->clear();
}

}  // namespace sigrune
