#include "window/go_to_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace sigrune {

GoToDialog::GoToDialog(QWidget* parent, std::function<QString(const QString&)> go)
    : QDialog(parent), go_(std::move(go)) {
  setObjectName(QStringLiteral("GoToDialog"));
  setWindowTitle(tr("Go to Message"));
  setModal(true);
  text_ = new QLineEdit;
  text_->setObjectName(QStringLiteral("goToText"));
  text_->setPlaceholderText(tr("1234, 10:23 or 10:23:45.678"));
  auto* label = new QLabel(tr("Message &number or time:"));
  label->setBuddy(text_);
  problem_ = new QLabel;
  problem_->setObjectName(QStringLiteral("goToProblem"));
  problem_->setWordWrap(true);
  problem_->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(text_);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &GoToDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &GoToDialog::reject);
  connect(text_, &QLineEdit::textEdited, problem_, &QLabel::hide);
  setMinimumWidth(fontMetrics().averageCharWidth() * 48);
}

void GoToDialog::Ask() {
  problem_->hide();
  text_->selectAll();
  text_->setFocus();
  open();
}

void GoToDialog::accept() {
  const QString problem = go_(text_->text());
  if (!problem.isEmpty()) {
    problem_->setText(problem);
    problem_->show();
    text_->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace sigrune
