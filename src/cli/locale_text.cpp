#include "cli/locale_text.h"

#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>

// The conversion takes a wide character for its Unicode code point.
#ifndef __STDC_ISO_10646__
#error "wchar_t must hold Unicode code points"
#endif

namespace sigrune {

std::optional<std::string> Latin1OfLocaleText(std::string_view text) {
  const char* locale = std::setlocale(LC_CTYPE, nullptr);
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0) {
    return std::string(text);
  }
  std::string latin1;
  std::mbstate_t state{};
  for (std::size_t k = 0; k < text.size();) {
    wchar_t character = 0;
    const std::size_t used = std::mbrtowc(&character, text.data() + k, text.size() - k, &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
      return std::nullopt;  // not valid in the encoding, or cut off
    }
    if (static_cast<std::uint32_t>(character) > 0xFF) {
      return std::nullopt;
    }
    latin1 += static_cast<char>(character);
    k += used == 0 ? 1 : used;  // a NUL counts one byte
  }
  return latin1;
}

}  // namespace sigrune
