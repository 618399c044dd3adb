#pragma once

// The calls as comma-separated values, in UTF-8 with LF line ends: a header row, then one record
// per call.

#include <span>
#include <string>
#include <string_view>

#include "calls/call_table.h"

namespace sigrune {

inline constexpr std::string_view kCallCsvHeader =
    "call,first_message,last_message,messages,start_time,end_time,duration,gateway,protocol,"
    "direction,crv,calling,called,outcome,cause,cause_text,cleared_by,began,ended\n";

// The columns after those of every call's record.
struct CallCsvColumns {
  bool related = false;   // `related`: the number of the call's other leg, if any
  bool timing = false;    // `channel`, `pdd`, `talk_time`
  bool h225Body = false;  // `call_identifier`, `media`, `release_reason`
};

// The header row, with the columns asked for after the others.
std::string CallCsvHeader(CallCsvColumns columns);

// The record of one call, its line end included.
void AppendCallCsvRecord(std::string& text, const MessageStore& store, const CallTable& calls,
                         CallNumber call, CallCsvColumns columns = {});

// Latin-1 text in UTF-8.
void AppendUtf8OfLatin1(std::string& text, std::string_view latin1);

// A field of Latin-1 text in UTF-8: as it is, or in double quotes with its double quotes
// doubled when it holds a comma, a double quote, a CR or an LF. A text that begins with `=`, `+`,
// `-`, `@`, a tab or a CR gets a leading `'`, so that a spreadsheet does not run it, unless it is
// a plain decimal number or a lone `-`.
void AppendCsvField(std::string& text, std::string_view latin1);

// A record of Latin-1 fields, each as AppendCsvField writes it, its line end included.
void AppendCsvRecord(std::string& text, std::span<const std::string> latin1Fields);

}  // namespace sigrune
