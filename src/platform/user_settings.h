#pragma once

// Where the window keeps what it remembers between runs: INI files in the user's settings folder
// (~/.config/sigrune, or $XDG_CONFIG_HOME/sigrune): sigrune.ini, and apart from it lane-names.ini
// and filter-bar.ini. Tests point XDG_CONFIG_HOME at a folder of their own.

#include <QSettings>
#include <QString>
#include <memory>

namespace sigrune {

// The settings file NAME.ini, or nothing when something other than a regular file is at its path
// (a device, a FIFO, a folder, through a link too): such a file is neither read nor written, so
// that the window starts on defaults rather than blocking on a FIFO or replacing a device, and
// standard error says so once a run. A link to a regular file is followed; a missing file is
// made when a setting is first written.
std::unique_ptr<QSettings> SettingsFile(const QString& name);

inline std::unique_ptr<QSettings> UserSettings() {
  return SettingsFile(QStringLiteral("sigrune"));
}

// The folder a file dialog last took a file from, by the dialog's name; empty at first.
QString LastFolder(const QString& dialog);
void RememberFolder(const QString& dialog, const QString& chosenPath);

}  // namespace sigrune
