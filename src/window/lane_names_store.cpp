#include "window/lane_names_store.h"

#include <QSettings>

namespace sigrune {

namespace {

// An INI file of its own (~/.config/sigrune/lane-names.ini), apart from any other setting.
QSettings Settings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("sigrune"),
                   QStringLiteral("lane-names"));
}

QString Key(const QString& address) {
  return QStringLiteral("names/") + address;
}

}  // namespace

QString LaneNamesStore::Name(const QString& address) const {
  return address.isEmpty() ? QString() : Settings().value(Key(address)).toString();
}

void LaneNamesStore::SetName(const QString& address, const QString& name) {
  if (address.isEmpty()) {
    return;
  }
  const QString trimmed = name.simplified();
  if (trimmed == Name(address)) {
    return;
  }
  QSettings settings = Settings();
  if (trimmed.isEmpty()) {
    settings.remove(Key(address));
  } else {
    settings.setValue(Key(address), trimmed);
  }
  emit NamesChanged();
}

}  // namespace sigrune
