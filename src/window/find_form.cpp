#include "window/find_form.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cstdlib>
#include <new>

#include "trace/text_utilities.h"
#include "window/load_progress.h"
#include "window/main_window.h"

namespace sigrune {

FindForm::FindForm(MainWindow& window) : QDialog(&window), window_(window) {
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

  auto* findButton = new QPushButton(tr("&Find Next"));
  findButton->setObjectName(QStringLiteral("FindButton"));
  findButton->setDefault(true);
  auto* cancelButton = new QPushButton(tr("Cancel"));
  cancelButton->setObjectName(QStringLiteral("CancelButton"));

  auto* textRow = new QHBoxLayout;
  textRow->addWidget(label);
  textRow->addWidget(findText);
  auto* left = new QVBoxLayout;
  left->addLayout(textRow);
  left->addWidget(direction, 0, Qt::AlignRight);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findButton);
  buttons->addWidget(cancelButton);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(buttons);

  connect(findButton, &QPushButton::clicked, this, &FindForm::doFind);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::hide);
  // A direction click makes the next search include the selected row again.
  connect(DirUp, &QRadioButton::clicked, this, [this] { lastFoundIndex = -1; });
  connect(DirDown, &QRadioButton::clicked, this, [this] { lastFoundIndex = -1; });
}

QString FindForm::FindText() const {
  return findText->text();
}

void FindForm::ClearFindText() {
  findText->clear();
}

void FindForm::doFind() {
  const QString text = findText->text();
  const bool down = DirDown->isChecked();
  const int selected = window_.SelectedRow();
  int start = selected == lastFoundIndex ? selected + (down ? 1 : -1) : selected;
  if (down && start < 0) {
    start = 0;
  }

  // The decoded texts are Latin-1: a text with other characters occurs in none of them.
  const QByteArray latin1 = text.toLatin1();
  const bool searchable = QString::fromLatin1(latin1) == text;
  const std::string_view needle(latin1.constData(), static_cast<std::size_t>(latin1.size()));

  QProgressDialog progress(tr("Searching for \"%1\"...").arg(text), tr("Cancel"), 0,
                           window_.RowCount(), &window_);
  PrepareProgressDialog(progress, tr("Find"));

  int hit = -1;
  std::size_t failures = 0;
  MainWindow::FindStep firstFailure;
  for (int row = start; searchable && hit < 0 && row >= 0 && row < window_.RowCount();
       row += down ? 1 : -1) {
    if (static_cast<std::size_t>(std::abs(row - start)) % kProgressInterval == 0) {
      progress.setValue(down ? row : window_.RowCount() - row);
      if (progress.wasCanceled()) {
        return;
      }
    }
    MainWindow::FindStep step;
    try {
      step = window_.FindInRow(row, needle);
    } catch (const std::bad_alloc&) {
      progress.reset();
      window_.ShowMessage(MessageIcon::Exclamation, tr("Find"),
                          tr("The search stopped at message %1: not enough memory.")
                              .arg(window_.MessageNumberOfRow(row)));
      return;
    }
    if (step.failed && failures++ == 0) {
      firstFailure = step;
    }
    if (step.position != 0) {
      hit = row;
    }
  }
  progress.reset();

  if (hit >= 0) {
    window_.SelectRow(hit);
    lastFoundIndex = hit;
    HighlightMatches(window_.Pane(), text, QColor(255, 0, 0), true);
  } else {
    window_.ShowMessage(MessageIcon::None, tr("Sigrune"), tr("Search String Not Found"));
  }
  if (failures > 0) {
    window_.ShowMessage(MessageIcon::Exclamation, tr("Sigrune"),
                        tr("%1 could not be decoded and %2 skipped; the first is message %3: %4.")
                            .arg(QString::fromStdString(CountOf(failures, "message", "messages")))
                            .arg(failures == 1 ? tr("was") : tr("were"))
                            .arg(firstFailure.messageNumber)
                            .arg(firstFailure.description));
  }
}

void HighlightMatches(QTextEdit& pane, const QString& text, const QColor& colour, bool bold) {
  if (text.isEmpty()) {
    return;
  }
  QTextCharFormat mark;
  mark.setForeground(colour);
  mark.setFontWeight(bold ? QFont::Bold : QFont::Normal);
  QTextDocument* document = pane.document();
  // Marking through cursors of the document's own leaves the pane's selection untouched.
  for (QTextCursor match = document->find(text, 0); !match.isNull();
       match = document->find(text, match)) {
    match.mergeCharFormat(mark);
  }
}

}  // namespace sigrune
