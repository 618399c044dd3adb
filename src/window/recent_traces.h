#pragma once

// File > Open Recent: the last ten traces opened, each the set of files opened together, the
// latest first, kept in the user's settings.

#include <QList>
#include <QObject>
#include <QStringList>

class QMenu;

namespace sigrune {

class RecentTraces : public QObject {
  Q_OBJECT

 public:
  static constexpr int kKept = 10;

  using QObject::QObject;

  QList<QStringList> Traces() const;
  // Puts the files first, once: opened again, a trace moves up rather than in twice.
  void Add(const QStringList& fileNames);
  void Clear();

  // Fills the menu afresh: an entry per trace ("&1 a.txt + 2 more", the paths in its tip), then
  // "Clear Recent"; choosing a trace emits OpenRequested.
  void FillMenu(QMenu& menu);

 signals:
  void OpenRequested(const QStringList& fileNames);
  void Changed();
};

}  // namespace sigrune
