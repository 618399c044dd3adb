#include "window/editor_command.h"

namespace sigrune {

namespace {

enum class LineSyntax { Plus, LineOption, LineEquals };

struct Editor {
  const char* program;
  LineSyntax syntax;
};

// Tried in this order: the desktops' own editors first, then the smaller ones.
constexpr Editor kEditors[] = {
    {"gnome-text-editor", LineSyntax::Plus},
    {"gedit", LineSyntax::Plus},
    {"kate", LineSyntax::LineOption},
    {"kwrite", LineSyntax::LineOption},
    {"mousepad", LineSyntax::LineEquals},
    {"pluma", LineSyntax::Plus},
    {"geany", LineSyntax::Plus},
    {"gvim", LineSyntax::Plus},
};

}  // namespace

std::optional<EditorCommand> FindEditorCommand(
    const QString& fileName, std::uint64_t line,
    const std::function<QString(const QString&)>& findProgram) {
  const QString lineText = QString::number(line);
  for (const Editor& editor : kEditors) {
    const QString path = findProgram(QLatin1String(editor.program));
    if (path.isEmpty()) {
      continue;
    }
    switch (editor.syntax) {
      case LineSyntax::Plus:
        return EditorCommand{path, {QLatin1String("+") + lineText, fileName}};
      case LineSyntax::LineOption:
        return EditorCommand{path, {QStringLiteral("--line"), lineText, fileName}};
      case LineSyntax::LineEquals:
        return EditorCommand{path, {QLatin1String("--line=") + lineText, fileName}};
    }
  }
  return std::nullopt;
}

}  // namespace sigrune
