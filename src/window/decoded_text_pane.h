#pragma once

#include <string_view>

class QColor;
class QString;
class QTextEdit;

namespace sigrune {

// Fills the pane with a message: the decoded text in the system's proportional font at 8 points,
// directly followed by the hex dump in the fixed-pitch font at 10 points. Both texts are
// Latin-1, with CR LF line ends. The H.225 user information, when given, follows the dump in the
// proportional font.
void ShowDecodedMessage(QTextEdit& pane, std::string_view decodedText, std::string_view dump,
                        std::string_view h225Section = {});

// Adds a line of the window's own under a text that ends with a line end, in italics.
void AppendHiddenLinesNote(QTextEdit& pane, const QString& note);

// Marks every occurrence of the text in the pane, whatever its case, with the colour and
// boldness; the pane's own selection stays as it was.
void HighlightMatches(QTextEdit& pane, const QString& text, const QColor& colour, bool bold);

}  // namespace sigrune
