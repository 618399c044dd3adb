#pragma once

// The Find dialog (FindForm): a text, a direction, whether case matters, Find Next, Find All and
// Cancel. It stays open beside the
// main window; Cancel only hides it, so its text and direction stay for the next search. The
// search itself is the trace document's; the dialog only asks for it.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace sigrune {

class FindForm : public QDialog {
  Q_OBJECT

 public:
  explicit FindForm(QWidget* parent);

  // Find Next: asks for one search step with the text and direction shown.
  void doFind();

  QString FindText() const;
  void SetFindText(const QString& text);
  bool FindsDown() const;
  // "Match case", on unless the user turns it off.
  bool MatchesCase() const;
  // Find Next is off while another operation runs.
  void SetSearchEnabled(bool enabled);

 signals:
  void FindNextRequested();
  void FindAllRequested();
  void DirectionClicked(bool down);

 private:
  QLineEdit* findText = nullptr;
  QRadioButton* DirUp = nullptr;
  QRadioButton* DirDown = nullptr;
  QCheckBox* matchCase_ = nullptr;
  QPushButton* findButton_ = nullptr;
  QPushButton* findAllButton_ = nullptr;
};

}  // namespace sigrune
