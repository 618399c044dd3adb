#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sigrune {

// A text given on the command line, in the locale's encoding (LC_CTYPE, as set by setlocale), in
// the Latin-1 of the trace texts; in the C or POSIX locale the bytes as they are. Nothing when it
// is not valid in the locale's encoding or holds a character beyond Latin-1.
std::optional<std::string> Latin1OfLocaleText(std::string_view text);

}  // namespace sigrune
