#include "window/recent_traces.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>

#include "platform/user_settings.h"
#include "window/trace_names.h"

namespace sigrune {

namespace {

const QString kRecent = QStringLiteral("recent");
const QString kFiles = QStringLiteral("files");

// The same files in another order are the same trace: they are read in the order of their times.
bool SameFiles(QStringList a, QStringList b) {
  a.sort();
  b.sort();
  return a == b;
}

}  // namespace

QList<QStringList> RecentTraces::Traces() const {
  const std::unique_ptr<QSettings> settings = UserSettings();
  QList<QStringList> traces;
  if (!settings) {
    return traces;
  }
  // The menu's entries and no more, whatever size the file claims.
  const int count = std::min(settings->beginReadArray(kRecent), kKept);
  for (int k = 0; k < count; ++k) {
    settings->setArrayIndex(k);
    const QStringList files = settings->value(kFiles).toStringList();
    if (!files.isEmpty()) {
      traces << files;
    }
  }
  settings->endArray();
  return traces;
}

void RecentTraces::Add(const QStringList& fileNames) {
  QStringList absolute;
  for (const QString& fileName : fileNames) {
    absolute << QFileInfo(fileName).absoluteFilePath();
  }
  QList<QStringList> traces = Traces();
  traces.removeIf([&](const QStringList& trace) { return SameFiles(trace, absolute); });
  traces.prepend(absolute);
  const std::unique_ptr<QSettings> settings = UserSettings();
  if (!settings) {
    return;
  }
  settings->remove(kRecent);
  settings->beginWriteArray(kRecent, static_cast<int>(std::min<qsizetype>(traces.size(), kKept)));
  for (int k = 0; k < traces.size() && k < kKept; ++k) {
    settings->setArrayIndex(k);
    settings->setValue(kFiles, traces[k]);
  }
  settings->endArray();
  settings->sync();
  emit Changed();
}

void RecentTraces::Clear() {
  if (const std::unique_ptr<QSettings> settings = UserSettings()) {
    settings->remove(kRecent);
  }
  emit Changed();
}

void RecentTraces::FillMenu(QMenu& menu) {
  menu.clear();
  const QList<QStringList> traces = Traces();
  for (int k = 0; k < traces.size(); ++k) {
    const QStringList& files = traces[k];
    // The accelerators 1 to 9, then 0 for the tenth.
    const QString number = k < 9 ? QString::number(k + 1) : QStringLiteral("0");
    QString name = NameOfFiles(files);
    name.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* entry = menu.addAction(QLatin1Char('&') + number + QLatin1Char(' ') + name);
    QStringList shown;
    for (const QString& file : files) {
      shown << QDir::toNativeSeparators(file);
    }
    entry->setToolTip(shown.join(QLatin1Char('\n')));
    entry->setStatusTip(shown.join(QLatin1String(", ")));
    connect(entry, &QAction::triggered, this, [this, files] { emit OpenRequested(files); });
  }
  if (!traces.isEmpty()) {
    menu.addSeparator();
  }
  QAction* clear = menu.addAction(tr("&Clear Recent"));
  clear->setObjectName(QStringLiteral("isdnClearRecent"));
  clear->setEnabled(!traces.isEmpty());
  connect(clear, &QAction::triggered, this, &RecentTraces::Clear);
  menu.setToolTipsVisible(true);
}

}  // namespace sigrune
