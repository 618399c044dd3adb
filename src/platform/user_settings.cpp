#include "platform/user_settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace sigrune {

namespace {

// Said once a run for each file, however often the window asks for it.
void NoteUnusable(const QString& path, const std::error_code& error) {
  static std::mutex mutex;
  static QSet<QString> noted;
  const std::lock_guard lock(mutex);
  if (noted.contains(path)) {
    return;
  }
  noted.insert(path);
  const QByteArray name = QFile::encodeName(path);
  if (error) {
    std::fprintf(stderr, "sigrune: settings not read: %s: %s\n", name.constData(),
                 error.message().c_str());
  } else {
    std::fprintf(stderr, "sigrune: settings not read: %s is not a regular file\n",
                 name.constData());
  }
}

}  // namespace

std::unique_ptr<QSettings> SettingsFile(const QString& name) {
  // The place QSettings' user scope takes, named whole so that QSettings reads no other file.
  const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QStringLiteral("/sigrune/") + name + QStringLiteral(".ini");
  std::error_code error;
  const std::filesystem::file_type type =
      std::filesystem::status(QFile::encodeName(path).toStdString(), error).type();
  if (type != std::filesystem::file_type::regular &&
      type != std::filesystem::file_type::not_found) {
    NoteUnusable(path, error);
    return nullptr;
  }
  return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString LastFolder(const QString& dialog) {
  const std::unique_ptr<QSettings> settings = UserSettings();
  return settings ? settings->value(QStringLiteral("folders/") + dialog).toString() : QString();
}

void RememberFolder(const QString& dialog, const QString& chosenPath) {
  if (const std::unique_ptr<QSettings> settings = UserSettings()) {
    settings->setValue(QStringLiteral("folders/") + dialog, QFileInfo(chosenPath).absolutePath());
  }
}

}  // namespace sigrune
