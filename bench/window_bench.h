#pragma once

// What the window benchmarks share: dialogs that answer a save with one file, settings of their
// own, a launcher that starts nothing, and waiting, through the event loop, until the window's
// workers are done.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include "platform/platform.h"
#include "window/main_window.h"

namespace sigrune::bench {

// Answers every save dialog with the file; message boxes are only counted.
class BenchDialogs : public Dialogs {
 public:
  explicit BenchDialogs(QString file) : file_(std::move(file)) {}
  std::optional<QStringList> OpenFileNames(QWidget*, const QStringList&, const QString&) override {
    return std::nullopt;
  }
  std::optional<QString> SaveFileName(QWidget*, const QString&, const QStringList&) override {
    return file_;
  }
  void ShowMessage(QWidget*, MessageIcon, const QString&, const QString&) override { ++messages; }
  std::optional<int> Choose(QWidget*, MessageIcon, const QString&, const QString&,
                            const QStringList&) override {
    return std::nullopt;
  }
  int messages = 0;

 private:
  QString file_;
};

// What the window remembers (the recent traces, above all) goes to a folder of the run's own,
// removed at its end, never to the user's settings.
class ScratchSettings {
 public:
  ScratchSettings() {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
  }

 private:
  QTemporaryDir folder_;
};

class NoLauncher : public Launcher {
 public:
  bool OpenDocument(const QString&) override { return false; }
  bool StartProgram(const QString&, const QStringList&) override { return false; }
};

// Turns the event loop until the window's workers are done and what they gave is shown; the
// longest the window's thread went meanwhile without turning it, in milliseconds.
inline qint64 Settle(const MainWindow& window) {
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer sinceTick;
  sinceTick.start();
  qint64 longestStall = 0;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    longestStall = std::max(longestStall, sinceTick.restart());
    if (!window.Busy()) {
      loop.quit();
    }
  });
  poll.start(1);
  loop.exec();
  return longestStall;
}

// Seconds from the start of `work` until the window has shown all it led to.
template <typename Work>
double Seconds(MainWindow& window, Work work) {
  QElapsedTimer timer;
  timer.start();
  work();
  Settle(window);
  window.repaint();
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace sigrune::bench
