#include "window/trace_names.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>

namespace sigrune {

QStringList DecodedPaths(const std::vector<std::string>& paths) {
  QStringList decoded;
  decoded.reserve(static_cast<qsizetype>(paths.size()));
  for (const std::string& path : paths) {
    decoded << QFile::decodeName(path.c_str());
  }
  return decoded;
}

QString NameOfFiles(const QStringList& paths) {
  if (paths.isEmpty()) {
    return {};
  }
  const QString first = QFileInfo(paths.constFirst()).fileName();
  return paths.size() == 1 ? first : QObject::tr("%1 + %2 more").arg(first).arg(paths.size() - 1);
}

}  // namespace sigrune
