#include "window/window_settings.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSplitter>
#include <algorithm>

#include "platform/user_settings.h"

namespace sigrune {

namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kMaximized = QStringLiteral("window/maximized");
const QString kSplitter = QStringLiteral("splitter");
const QString kColumns = QStringLiteral("window/listColumns");

// The least of a window that one must see on a screen to take hold of it and move it.
constexpr qint64 kShownWidth = 200;
constexpr qint64 kShownHeight = 100;

}  // namespace

QRect FirstStartGeometry(const QRect& available) {
  QRect placed(0, 0, available.width() * 8 / 10, available.height() * 8 / 10);
  placed.moveCenter(available.center());
  return placed;
}

QRect PlaceOnScreens(const QRect& saved, const QList<QRect>& availableScreens,
                     const QRect& primaryAvailable) {
  // In 64 bits: a hand-edited file may hold any int, and QRect's own width() overflows.
  const qint64 left = saved.left();
  const qint64 top = saved.top();
  for (const QRect& screen : availableScreens) {
    const qint64 width = std::min<qint64>(qint64{saved.right()} - left + 1, screen.width());
    const qint64 height = std::min<qint64>(qint64{saved.bottom()} - top + 1, screen.height());
    const qint64 shownWidth =
        std::min(left + width, qint64{screen.right()} + 1) - std::max<qint64>(left, screen.left());
    const qint64 shownHeight =
        std::min(top + height, qint64{screen.bottom()} + 1) - std::max<qint64>(top, screen.top());
    if (shownWidth >= kShownWidth && shownHeight >= kShownHeight) {
      return {saved.topLeft(), QSize(static_cast<int>(width), static_cast<int>(height))};
    }
  }
  return FirstStartGeometry(primaryAvailable);
}

void RestoreMainWindow(QMainWindow& window, QSplitter& splitter) {
  const std::unique_ptr<QSettings> settings = UserSettings();
  const auto value = [&](const QString& key) {
    return settings ? settings->value(key) : QVariant();
  };
  const QScreen* primary = QGuiApplication::primaryScreen();
  const QRect primaryAvailable =
      primary != nullptr ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
  const QRect saved = value(kGeometry).toRect();
  if (saved.isValid()) {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
      screens << screen->availableGeometry();
    }
    window.setGeometry(PlaceOnScreens(saved, screens, primaryAvailable));
  } else {
    window.setGeometry(FirstStartGeometry(primaryAvailable));
  }
  if (value(kMaximized).toBool()) {
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
  }
  RestoreSplitter(splitter, kSplitter);
}

void SaveMainWindow(const QMainWindow& window, const QList<int>& splitterSizes) {
  const std::unique_ptr<QSettings> settings = UserSettings();
  if (!settings) {
    return;
  }
  settings->setValue(kGeometry, window.normalGeometry());
  settings->setValue(kMaximized, window.isMaximized());
  QVariantList sizes;
  for (const int size : splitterSizes) {
    sizes << size;
  }
  settings->setValue(QStringLiteral("window/") + kSplitter, sizes);
}

void RestoreSplitter(QSplitter& splitter, const QString& name) {
  const std::unique_ptr<QSettings> settings = UserSettings();
  if (!settings) {
    return;
  }
  QList<int> sizes;
  for (const QVariant& size : settings->value(QStringLiteral("window/") + name).toList()) {
    sizes << std::max(0, size.toInt());
  }
  if (sizes.size() == splitter.count()) {
    splitter.setSizes(sizes);
  }
}

void SaveSplitter(const QSplitter& splitter, const QString& name) {
  QVariantList sizes;
  for (const int size : splitter.sizes()) {
    sizes << size;
  }
  if (const std::unique_ptr<QSettings> settings = UserSettings()) {
    settings->setValue(QStringLiteral("window/") + name, sizes);
  }
}

QList<int> SavedColumnWidths() {
  const std::unique_ptr<QSettings> settings = UserSettings();
  QList<int> widths;
  if (settings) {
    for (const QVariant& width : settings->value(kColumns).toList()) {
      widths << std::max(0, width.toInt());
    }
  }
  return widths;
}

void SaveColumnWidths(const QList<int>& widths) {
  QVariantList saved;
  for (const int width : widths) {
    saved << width;
  }
  if (const std::unique_ptr<QSettings> settings = UserSettings()) {
    settings->setValue(kColumns, saved);
  }
}

}  // namespace sigrune
