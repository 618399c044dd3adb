#pragma once

// The status bar's view of a long operation: what it does, how far it got, and Cancel (or Esc).
// Shown only once the operation lasts, so that quick ones do not flicker; it reads the worker's
// progress on a timer and never waits for it.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace sigrune {

class OperationProgress;

class OperationBar : public QWidget {
  Q_OBJECT

 public:
  explicit OperationBar(QWidget* parent = nullptr);

  // Starts showing `progress` under the title ("Reading trace.txt…"); a total of 0 is shown as
  // busy.
  void Follow(const QString& title, const OperationProgress& progress);
  void Stop();

 signals:
  void CancelRequested();

 private:
  void Refresh();

  const OperationProgress* progress_ = nullptr;
  QElapsedTimer started_;
  QTimer refresh_;
  QLabel* title_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace sigrune
