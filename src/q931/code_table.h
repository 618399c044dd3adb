#pragma once

// Decoder tables: each is a list of {code, text} rows with its fallback text beside it.

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

}  // namespace sigrune
