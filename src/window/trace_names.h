#pragma once

// How the window names the files of a trace: by their base names, the first of several with how
// many more there are.

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace sigrune {

// The paths as the core keeps them (the file system's bytes), as texts.
QStringList DecodedPaths(const std::vector<std::string>& paths);

// "a.txt" for one file, "a.txt + 2 more" for three; empty for none.
QString NameOfFiles(const QStringList& paths);

}  // namespace sigrune
