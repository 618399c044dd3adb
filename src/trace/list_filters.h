#pragma once

// The list filters: the selected call (both sides of it), one gateway, PRI only or H.225 only.
// A filter is one pass over the store that yields the row map: the numbers (from 1) of the
// messages the filtered list shows, in store order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/message_number.h"
#include "trace/message_store.h"

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

// This Call keeps the messages of one call; the trace document, which holds the calls, builds its
// rows (BuildFilteredIndexMap keeps none for it).
enum class ListFilter { SelectedCall, ThisGateway, PriOnly, H225Only, ThisCall };

struct FilterKey {
  ListFilter filter = ListFilter::PriOnly;
  CallReferenceValue callReference;  // Selected Call: the value and its partner
  CallReferenceValue partner;
  std::uint32_t gatewayIpIndex = 0;  // This Gateway
};

// The key of Selected Call from the selected line, of This Gateway from the selected message.
FilterKey SelectedCallKey(std::string_view selectedLine);
FilterKey ThisGatewayKey(const MessageStore& store, std::size_t selectedIndex);
FilterKey ProtocolKey(ListFilter filter);

bool MessageMatches(const MessageStore& store, std::size_t index, const FilterKey& key);

// The numbers of every message the filter keeps, in store order.
RowMap BuildFilteredIndexMap(const MessageStore& store, const FilterKey& key);

}  // namespace sigrune
