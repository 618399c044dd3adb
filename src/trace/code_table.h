#pragma once

// Decoder tables: each is a list of {code, text} rows with its fallback text beside it.

#include <array>
#include <cstddef>
#include <string_view>

namespace sigrune {

struct CodeText {
  int code;
  std::string_view text;
};

template <typename Table>
constexpr std::string_view LookUp(const Table& table, int code, std::string_view fallback) {
  for (const CodeText& row : table) {
    if (row.code == code) {
      return row.text;
    }
  }
  return fallback;
}

// A table of one-octet codes indexed by code, for the few that are looked up for nearly every
// message; it answers as LookUp does.
class IndexedCodeTable {
 public:
  template <std::size_t N>
  constexpr IndexedCodeTable(const CodeText (&rows)[N], std::string_view fallback)
      : fallback_(fallback) {
    texts_.fill(fallback);
    // From the last row back, so that the first row of a code wins, as in LookUp.
    for (std::size_t k = N; k > 0; --k) {
      texts_[static_cast<std::size_t>(rows[k - 1].code)] = rows[k - 1].text;
    }
  }

  constexpr std::string_view operator()(int code) const {
    return code >= 0 && code < 256 ? texts_[static_cast<std::size_t>(code)] : fallback_;
  }

 private:
  std::array<std::string_view, 256> texts_{};
  std::string_view fallback_;
};

}  // namespace sigrune
