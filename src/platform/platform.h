#pragma once

// What the window asks of the desktop: file dialogs, message boxes, and starting other programs.
// The program uses the Qt implementation; tests put fakes in its place.

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace sigrune {

enum class MessageIcon { None, Information, Exclamation, Critical };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The chosen files (one or more), or nothing when the user cancels.
  virtual std::optional<QStringList> OpenFileNames(QWidget* parent, const QStringList& nameFilters,
                                                   const QString& selectedFilter) = 0;
  // Asks before an existing file is chosen; nothing when the user cancels. `nameFilters` as
  // "CSV (*.csv)"; none offers every file.
  virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& title,
                                              const QStringList& nameFilters) = 0;
  virtual void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title,
                           const QString& text) = 0;
  // A question answered by one of `choices` (button captions) or by Cancel: the index of the
  // choice, nothing for Cancel.
  virtual std::optional<int> Choose(QWidget* parent, MessageIcon icon, const QString& title,
                                    const QString& text, const QStringList& choices) = 0;
};

// A name a save dialog gave, with `suffix` (".csv") added when it has none: the dialogs of some
// desktops do not add it.
inline QString WithSuffix(const QString& path, QLatin1String suffix) {
  return QFileInfo(path).suffix().isEmpty() ? path + suffix : path;
}

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Opens a document with the desktop's default program; false when that cannot be done.
  virtual bool OpenDocument(const QString& path) = 0;
  // Starts a program without waiting for it; false when it cannot be started.
  virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;
};

}  // namespace sigrune
