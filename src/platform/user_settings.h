#pragma once

// Where the window keeps what it remembers between runs: an INI file in the platform's usual
// place for the user's settings (~/.config/sigrune/sigrune.ini), apart from the lane names.
// Tests point QSettings' user scope at a temporary folder.

#include <QSettings>
#include <QString>

namespace sigrune {

inline QSettings UserSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("sigrune"),
                   QStringLiteral("sigrune"));
}

// The folder a file dialog last took a file from, by the dialog's name; empty at first.
inline QString LastFolder(const QString& dialog) {
  return UserSettings().value(QStringLiteral("folders/") + dialog).toString();
}
void RememberFolder(const QString& dialog, const QString& chosenPath);

}  // namespace sigrune
