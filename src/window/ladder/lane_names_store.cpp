#include "window/ladder/lane_names_store.h"

#include "calls/lane_names.h"
#include "platform/user_settings.h"

namespace sigrune {

namespace {

// An INI file of its own (~/.config/sigrune/lane-names.ini), apart from any other setting.
std::unique_ptr<QSettings> Settings() {
  return SettingsFile(QStringLiteral("lane-names"));
}

// A name edited by hand in the file may be any length: its start stands for it, as a lane's
// header has room for no more.
QString Limited(QString name) {
  qsizetype length = std::min(name.size(), static_cast<qsizetype>(kLongestLaneName));
  if (length < name.size() && name[length - 1].isHighSurrogate()) {
    --length;
  }
  name.truncate(length);
  return name;
}

QString Key(const QString& address) {
  return QStringLiteral("names/") + address;
}

}  // namespace

QString LaneNamesStore::Name(const QString& address) const {
  const std::unique_ptr<QSettings> settings = address.isEmpty() ? nullptr : Settings();
  return settings ? Limited(settings->value(Key(address)).toString()) : QString();
}

void LaneNamesStore::SetName(const QString& address, const QString& name) {
  if (address.isEmpty()) {
    return;
  }
  const QString trimmed = Limited(name.simplified());
  const std::unique_ptr<QSettings> settings = Settings();
  if (!settings || trimmed == Name(address)) {
    return;
  }
  if (trimmed.isEmpty()) {
    settings->remove(Key(address));
  } else {
    settings->setValue(Key(address), trimmed);
  }
  emit NamesChanged();
}

}  // namespace sigrune
