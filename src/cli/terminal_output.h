#pragma once

// What sigrune-cli writes when its output is a terminal: the trace's bytes must not drive the
// terminal, and Latin-1 texts should read right on a UTF-8 one. Files and pipes get the bytes
// unchanged.

#include <cstdio>
#include <string>
#include <string_view>

namespace sigrune {

// The bytes as a terminal should get them: control characters (below 0x20 except tab and line
// feed, 0x7F, and Latin-1's 0x80 to 0x9F) as \xNN with lower-case hex digits; a CR directly
// before a line feed stays, as a line end. With `utf8`, the other bytes above 0x7F are converted
// from Latin-1 to UTF-8.
std::string TerminalText(std::string_view bytes, bool utf8);

// A text for a line of standard error as a terminal should get it: the control characters that
// TerminalText escapes, and tab and line feed too, as \xNN, so that a file name in it can neither
// drive the terminal nor forge a line. Names and system messages come in the locale's encoding,
// not in Latin-1, so nothing is converted: with `utf8`, a well-formed UTF-8 sequence stays
// (unless it encodes one of 0x80 to 0x9F) and any other byte above 0x7F is escaped.
std::string TerminalLineText(std::string_view bytes, bool utf8);

// The text as `stream` should get it: as TerminalLineText shows it when `stream` is a terminal,
// else as it is.
std::string Escaped(std::FILE* stream, std::string_view text);

// True when the locale's character set (LC_CTYPE, as set by setlocale) is UTF-8.
bool LocaleIsUtf8();

// A stream that writes what TerminalText makes of its bytes to the file descriptor `fd`, keeping
// a CR at the end of one piece until the next shows whether a line feed follows. Null when the
// stream cannot be made. Closing it leaves `fd` open.
std::FILE* OpenTerminalStream(int fd, bool utf8);

}  // namespace sigrune
