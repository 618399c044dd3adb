#pragma once

// The list filters' entries, and the call reference value of a list line as Selected Call reads
// it: the value and its partner, both sides of a call.

#include <cstddef>
#include <string>
#include <string_view>

namespace sigrune {

// A call reference value of any size: its significant hexadecimal digits in lower case, empty
// for 0. Compared whole, so that a value of more than four digits never wraps.
using CallReferenceValue = std::string;

struct CallReferenceReading {
  CallReferenceValue value;
  std::size_t digitTextLength = 0;  // the text read, which tells a one-octet reference
};

// The call reference value of a list line: the hexadecimal digits after its first "0x"; a line
// without "0x" is read from its second character, skipping blanks, tabs and line feeds.
CallReferenceReading ReadCallReferenceValue(std::string_view line);

// The value with the call reference flag inverted: bit 8 for a digit text of two characters (a
// one-octet reference), bit 16 otherwise.
CallReferenceValue PartnerCallReference(const CallReferenceReading& reading);

// The Filter menu's entries, one on at a time. Each keeps the rows of a term of the filter bar's
// language (document/where_filter.h's FilterKey).
enum class ListFilter { SelectedCall, ThisGateway, PriOnly, H225Only, ThisCall };

}  // namespace sigrune
