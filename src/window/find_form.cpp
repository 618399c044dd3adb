#include "window/find_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace sigrune {

FindForm::FindForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindForm"));
  setWindowTitle(tr("Find"));
  setModal(false);

  findText = new QLineEdit;
  findText->setObjectName(QStringLiteral("findText"));
  auto* label = new QLabel(tr("Fi&nd what:"));
  label->setBuddy(findText);

  DirUp = new QRadioButton(tr("&Up"));
  DirUp->setObjectName(QStringLiteral("DirUp"));
  DirDown = new QRadioButton(tr("&Down"));
  DirDown->setObjectName(QStringLiteral("DirDown"));
  DirDown->setChecked(true);
  auto* direction = new QGroupBox(tr("Direction"));
  auto* directionLayout = new QHBoxLayout(direction);
  directionLayout->addWidget(DirUp);
  directionLayout->addWidget(DirDown);

  auto* findButton = findButton_ = new QPushButton(tr("&Find Next"));
  findButton->setObjectName(QStringLiteral("FindButton"));
  findButton->setDefault(true);
  findAllButton_ = new QPushButton(tr("Find &All"));
  findAllButton_->setObjectName(QStringLiteral("FindAllButton"));
  matchCase_ = new QCheckBox(tr("Match &case"));
  matchCase_->setObjectName(QStringLiteral("MatchCase"));
  matchCase_->setChecked(true);
  auto* cancelButton = new QPushButton(tr("Cancel"));
  cancelButton->setObjectName(QStringLiteral("CancelButton"));

  auto* textRow = new QHBoxLayout;
  textRow->addWidget(label);
  textRow->addWidget(findText);
  auto* left = new QVBoxLayout;
  left->addLayout(textRow);
  auto* options = new QHBoxLayout;
  options->addWidget(matchCase_, 0, Qt::AlignBottom);
  options->addStretch();
  options->addWidget(direction);
  left->addLayout(options);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findButton);
  buttons->addWidget(findAllButton_);
  buttons->addWidget(cancelButton);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(buttons);

  connect(findButton, &QPushButton::clicked, this, &FindForm::doFind);
  connect(findAllButton_, &QPushButton::clicked, this, &FindForm::FindAllRequested);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::hide);
  connect(DirUp, &QRadioButton::clicked, this, [this] { emit DirectionClicked(false); });
  connect(DirDown, &QRadioButton::clicked, this, [this] { emit DirectionClicked(true); });
}

void FindForm::SetSearchEnabled(bool enabled) {
  findButton_->setEnabled(enabled);
  findAllButton_->setEnabled(enabled);
}

void FindForm::doFind() {
  emit FindNextRequested();
}

QString FindForm::FindText() const {
  return findText->text();
}

void FindForm::SetFindText(const QString& text) {
  findText->setText(text);
}

bool FindForm::FindsDown() const {
  return DirDown->isChecked();
}

bool FindForm::MatchesCase() const {
  return matchCase_->isChecked();
}

}  // namespace sigrune
