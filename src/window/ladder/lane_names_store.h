#pragma once

// The names the user gives the ladders' lanes ("Dallas PRI 1" for 10.1.1.5): one per gateway
// address, kept in the user's settings and shared by every ladder open, which hears of each change.

#include <QObject>
#include <QString>

namespace sigrune {

class LaneNamesStore : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // The address's name; empty when it has none.
  QString Name(const QString& address) const;
  // A blank name forgets the address's name.
  void SetName(const QString& address, const QString& name);

 signals:
  void NamesChanged();
};

}  // namespace sigrune
