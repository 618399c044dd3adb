#pragma once

// The real main window with fake dialogs and launcher, and helpers to drive it.

#include <gtest/gtest.h>

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "fake_platform.h"
#include "platform/user_settings.h"
#include "test_files.h"
#include "waiting.h"
#include "window/main_window.h"
#include "window/message_list_model.h"

// Failures show the texts, not their UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace sigrune {

inline const QString kExamples = QStringLiteral(SIGRUNE_SOURCE_DIR "/examples/");
inline const QString kPlain = kExamples + QStringLiteral("plain-trace.txt");

// Writes a trace for a test into the test's temporary folder.
inline QString WriteTrace(std::string_view name, std::string_view text) {
  return QString::fromStdString(WriteTemporary(name, text));
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each test starts as a first run: nothing remembered from the tests before.
    UserSettings().clear();
    window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  }

  QAction* Action(const char* name) const {
    return window_->findChild<QAction*>(QLatin1String(name));
  }
  QTreeView* List() const { return window_->findChild<QTreeView*>(QStringLiteral("isdnList")); }
  QTextEdit* Pane() const { return window_->findChild<QTextEdit*>(QStringLiteral("tesselText")); }

  // Turns the event loop until the window's workers are done and their results shown; fails
  // after kWaitLimit.
  void Settle() const {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (!window_->Busy()) {
        loop.quit();
      }
    });
    bool late = false;
    QTimer::singleShot(kWaitLimit, &loop, [&] {
      late = true;
      loop.quit();
    });
    poll.start(1);
    loop.exec();
    if (late && window_->Busy()) {
      ADD_FAILURE() << "gave up after " << kWaitLimit.count()
                    << " s waiting for the window's workers to end";
    }
  }
  void Trigger(const char* action) const {
    Action(action)->trigger();
    Settle();
  }
  // File > Open, answering its dialog with the paths (or cancelling it).
  void OpenThroughMenu(std::optional<QStringList> paths) {
    dialogs_.openAnswers.push_back(std::move(paths));
    Trigger("isdnOpen");
  }
  void OpenThroughMenu(const QString& path) { OpenThroughMenu(QStringList{path}); }
  void SelectRow(int row) {
    List()->setCurrentIndex(List()->model()->index(row, 0));
    Settle();
  }
  // The status bar's count of messages, with the filter and the note on skipped lines.
  QString StatusCount() const {
    return window_->findChild<QStatusBar*>()->findChildren<QLabel*>().constFirst()->text();
  }
  QString RowLine(int row) const {
    return List()->model()->index(row, 0).data(MessageListModel::SummaryLineRole).toString();
  }

  FakeDialogs dialogs_;
  FakeLauncher launcher_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace sigrune
