#pragma once

// Edit > Go to Message: asks for a message number or a time. A text that reaches no message keeps
// the dialog open with the reason under it.

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;

namespace sigrune {

class GoToDialog : public QDialog {
  Q_OBJECT

 public:
  // `go` goes to the text's message and returns empty, or returns why it cannot.
  GoToDialog(QWidget* parent, std::function<QString(const QString&)> go);

  // Shows the dialog afresh, its last text selected.
  void Ask();

  void accept() override;

 private:
  std::function<QString(const QString&)> go_;
  QLineEdit* text_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace sigrune
