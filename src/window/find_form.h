#pragma once

// The Find dialog (FindForm): a text, a direction, Find Next and Cancel. It stays open beside the
// main window; Cancel only hides it, so its text and direction stay for the next search.

#include <QDialog>

class QLineEdit;
class QRadioButton;
class QTextEdit;

namespace sigrune {

class MainWindow;

class FindForm : public QDialog {
  Q_OBJECT

 public:
  explicit FindForm(MainWindow& window);

  // One search step: from the selected row (or the row after the last hit) down or up to the
  // first message whose decoded text holds the text; selects it and marks the text in the pane.
  void doFind();

  QString FindText() const;
  void ClearFindText();
  int lastFoundIndex = 0;

 private:
  MainWindow& window_;
  QLineEdit* findText = nullptr;
  QRadioButton* DirUp = nullptr;
  QRadioButton* DirDown = nullptr;
};

// Marks every occurrence of the text in the pane, whatever its case, with the colour and
// boldness; the pane's own selection stays as it was.
void HighlightMatches(QTextEdit& pane, const QString& text, const QColor& colour, bool bold);

}  // namespace sigrune
