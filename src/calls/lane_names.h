#pragma once

// The names users give the lanes of a ladder ("Dallas PRI 1" for 10.1.1.5), by gateway address,
// as a text of "ADDRESS NAME" lines holds them.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace sigrune {

// The name of each address, in bytes as the text has them.
using LaneNames = std::map<std::string, std::string, std::less<>>;

// The longest name a lane takes, in characters (Latin-1 bytes): a lane is as wide as its name.
inline constexpr std::size_t kLongestLaneName = 100;

struct LaneNamesText {
  LaneNames names;
  std::uint64_t badLine = 0;  // the first line that says nothing right, from 1; 0: none
  bool nameTooLong = false;   // the bad line is an address and a name longer than kLongestLaneName
};

// Each line is an address in dotted decimal ("10.1.1.5", as a trace's addresses read), blanks or
// tabs, and the name: the rest of the line without blanks or tabs at either end. Lines of blanks
// and tabs only, and those whose first other character is "#", say nothing; a later line for an
// address wins. Lines end in LF or CR LF. Reading stops at the first bad line: one without an
// address and a name, or with a name longer than kLongestLaneName.
LaneNamesText ReadLaneNames(std::string_view text);

}  // namespace sigrune
