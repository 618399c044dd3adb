#pragma once

// The real main window with fake dialogs and launcher, and helpers to drive it.

#include <gtest/gtest.h>

#include <QAction>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QXmlStreamReader>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "fake_platform.h"
#include "platform/user_settings.h"
#include "test_files.h"
#include "waiting.h"
#include "window/flat_list_view.h"
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
// The texts of an SVG file's <text> elements; empty when it does not read as XML.
inline QStringList SvgTexts(const std::string& path) {
  QXmlStreamReader svg(QByteArray::fromStdString(ReadFile(path)));
  QStringList texts;
  while (!svg.atEnd()) {
    if (svg.readNext() == QXmlStreamReader::StartElement && svg.name() == QLatin1String("text")) {
      texts << svg.readElementText();
    }
  }
  return svg.hasError() ? QStringList() : texts;
}

inline QString WriteTrace(std::string_view name, std::string_view text) {
  return QString::fromStdString(WriteTemporary(name, text));
}

// The user's settings in a folder of the test's own (FOLDER/config/sigrune) while it lives; the
// folder is then removed.
class OwnSettings {
 public:
  explicit OwnSettings(std::string_view label = "settings")
      : saved_(qgetenv("XDG_CONFIG_HOME")),
        folder_(std::filesystem::temp_directory_path() /
                ("sigrune-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                 std::string(label))) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(File(""));
    qputenv("XDG_CONFIG_HOME",
            QFile::encodeName(QString::fromStdString((folder_ / "config").string())));
  }
  ~OwnSettings() {
    qputenv("XDG_CONFIG_HOME", saved_);
    std::filesystem::remove_all(folder_);
  }
  OwnSettings(const OwnSettings&) = delete;
  OwnSettings& operator=(const OwnSettings&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  std::filesystem::path File(std::string_view name) const {
    return folder_ / "config" / "sigrune" / name;
  }

 private:
  QByteArray saved_;
  std::filesystem::path folder_;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each test starts as a first run: nothing remembered from the tests before.
    if (const std::unique_ptr<QSettings> settings = UserSettings()) {
      settings->clear();
    }
    window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  }

  QAction* Action(const char* name) const {
    return window_->findChild<QAction*>(QLatin1String(name));
  }
  sigrune::FlatListView* List() const {
    return window_->findChild<sigrune::FlatListView*>(QStringLiteral("isdnList"));
  }
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
