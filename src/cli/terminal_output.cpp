#include "cli/terminal_output.h"

#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace sigrune {

namespace {

bool IsControl(unsigned char byte) {
  return (byte < 0x20 && byte != '\t' && byte != '\n') || (byte >= 0x7F && byte < 0xA0);
}

void AppendEscaped(std::string& text, unsigned char byte) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  text += "\\x";
  text += kHexDigits[byte >> 4];
  text += kHexDigits[byte & 0xF];
}

// The length of the well-formed UTF-8 sequence at `k`; 0 for none.
std::size_t Utf8Length(std::string_view bytes, std::size_t k) {
  const auto at = [&bytes](std::size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
  };
  const unsigned lead = at(k);
  std::size_t length = 0;
  unsigned low = 0x80;
  unsigned high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : low;    // no overlong form
    high = lead == 0xED ? 0x9F : high;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : low;
    high = lead == 0xF4 ? 0x8F : high;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (at(k + 1) < low || at(k + 1) > high) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (at(k + i) < 0x80 || at(k + i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

struct TerminalCookie {
  int fd;
  bool utf8;
  bool heldCarriageReturn = false;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

ssize_t WriteToTerminal(void* cookie, const char* data, std::size_t size) {
  auto& terminal = *static_cast<TerminalCookie*>(cookie);
  // No exception may cross the C library's stream code.
  try {
    std::string bytes;
    if (terminal.heldCarriageReturn) {
      bytes += '\r';
    }
    bytes.append(data, size);
    terminal.heldCarriageReturn = !bytes.empty() && bytes.back() == '\r';
    if (terminal.heldCarriageReturn) {
      bytes.pop_back();
    }
    return WriteAll(terminal.fd, TerminalText(bytes, terminal.utf8)) ? static_cast<ssize_t>(size)
                                                                     : -1;
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return -1;
  }
}

int CloseTerminal(void* cookie) {
  auto* terminal = static_cast<TerminalCookie*>(cookie);
  // A CR that ends the output is no line end.
  const bool written = !terminal->heldCarriageReturn || WriteAll(terminal->fd, "\\x0d");
  delete terminal;
  return written ? 0 : -1;
}

}  // namespace

std::string TerminalText(std::string_view bytes, bool utf8) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const auto byte = static_cast<unsigned char>(bytes[k]);
    if (byte == '\r' && k + 1 < bytes.size() && bytes[k + 1] == '\n') {
      text += '\r';
    } else if (IsControl(byte)) {
      AppendEscaped(text, byte);
    } else if (utf8 && byte >= 0x80) {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      text += static_cast<char>(byte);
    }
  }
  return text;
}

std::string TerminalLineText(std::string_view bytes, bool utf8) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t k = 0; k < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[k]);
    const std::size_t length = utf8 && byte >= 0x80 ? Utf8Length(bytes, k) : 0;
    // U+0080 to U+009F are the same controls as Latin-1's bytes.
    if (length > 0 && !(byte == 0xC2 && static_cast<unsigned char>(bytes[k + 1]) < 0xA0)) {
      text.append(bytes.substr(k, length));
      k += length;
      continue;
    }
    if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && (utf8 || byte < 0xA0))) {
      AppendEscaped(text, byte);
    } else {
      text += static_cast<char>(byte);
    }
    ++k;
  }
  return text;
}

std::string Escaped(std::FILE* stream, std::string_view text) {
  const int fd = fileno(stream);
  return fd >= 0 && ::isatty(fd) ? TerminalLineText(text, LocaleIsUtf8()) : std::string(text);
}

bool LocaleIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0;
}

std::FILE* OpenTerminalStream(int fd, bool utf8) {
  auto* cookie = new (std::nothrow) TerminalCookie{fd, utf8};
  if (cookie == nullptr) {
    return nullptr;
  }
  const cookie_io_functions_t functions = {nullptr, WriteToTerminal, nullptr, CloseTerminal};
  std::FILE* stream = fopencookie(cookie, "w", functions);
  if (stream == nullptr) {
    delete cookie;
  }
  return stream;
}

}  // namespace sigrune
