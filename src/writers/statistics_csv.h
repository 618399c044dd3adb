#pragma once

// The statistics as comma-separated values, by the calls CSV's rules (UTF-8, LF line ends): three
// sections, each a line "# minutes", "# gateways" or "# causes", a header row, then its records.

#include <string>

#include "calls/call_statistics.h"

namespace sigrune {

std::string StatisticsCsv(const MessageStore& store, const CallStatistics& statistics);

// The name of the cause value without blanks at either end, as the calls' cause_text.
std::string_view CauseValueName(std::int16_t cause);

}  // namespace sigrune
