#pragma once

// Which text editor opens a trace at a line, and how it is told the line.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace sigrune {

struct EditorCommand {
  QString program;  // the editor's full path
  QStringList arguments;
};

// The first editor of a fixed list that `findProgram` finds (it returns the full path of a
// program name, or an empty text), with the arguments that open `fileName` at `line`. The file is
// one argument of its own: no shell ever reads it.
std::optional<EditorCommand> FindEditorCommand(
    const QString& fileName, std::uint64_t line,
    const std::function<QString(const QString&)>& findProgram);

}  // namespace sigrune
