#pragma once

// Texts of the window's tables: the core's Latin-1 texts on screen, and the bold column headings.

#include <QFont>
#include <QString>
#include <QVariant>
#include <span>
#include <string_view>

namespace sigrune {

inline QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// headerData() of a table whose columns are named by `headings`.
inline QVariant ColumnHeading(std::span<const char* const> headings, int section,
                              Qt::Orientation orientation, int role) {
  if (orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= headings.size()) {
    return {};
  }
  if (role == Qt::FontRole) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  return role == Qt::DisplayRole ? QString::fromUtf8(headings[static_cast<std::size_t>(section)])
                                 : QVariant();
}

}  // namespace sigrune
