#include "window/decoded_text_pane.h"

#include <QFontDatabase>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace sigrune {

namespace {

QString PaneText(std::string_view text) {
  QString converted = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  converted.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return converted;
}

QTextCharFormat FontFormat(QFontDatabase::SystemFont kind, int pointSize) {
  QFont font = QFontDatabase::systemFont(kind);
  font.setPointSize(pointSize);
  QTextCharFormat format;
  format.setFont(font);
  return format;
}

}  // namespace

void ShowDecodedMessage(QTextEdit& pane, std::string_view decodedText, std::string_view dump,
                        std::string_view h225Section) {
  pane.clear();
  QTextCursor cursor(pane.document());
  cursor.insertText(PaneText(decodedText), FontFormat(QFontDatabase::GeneralFont, 8));
  cursor.insertText(PaneText(dump), FontFormat(QFontDatabase::FixedFont, 10));
  if (!h225Section.empty()) {
    // The section starts by ending the dump's last row: a blank line sets it apart.
    cursor.insertText(QStringLiteral("\n") + PaneText(h225Section),
                      FontFormat(QFontDatabase::GeneralFont, 8));
  }
  pane.moveCursor(QTextCursor::Start);
}

void AppendHiddenLinesNote(QTextEdit& pane, const QString& note) {
  QTextCursor cursor(pane.document());
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format = FontFormat(QFontDatabase::GeneralFont, 8);
  format.setFontItalic(true);
  // The shown text ends with its last line's end.
  cursor.insertText(note, format);
  pane.moveCursor(QTextCursor::Start);
}

void HighlightMatches(QTextEdit& pane, const QString& text, const QColor& colour, bool bold) {
  if (text.isEmpty()) {
    return;
  }
  QTextCharFormat mark;
  mark.setForeground(colour);
  mark.setFontWeight(bold ? QFont::Bold : QFont::Normal);
  QTextDocument* document = pane.document();
  // Marking through cursors of the document's own leaves the pane's selection untouched.
  for (QTextCursor match = document->find(text, 0); !match.isNull();
       match = document->find(text, match)) {
    match.mergeCharFormat(mark);
  }
}

}  // namespace sigrune
