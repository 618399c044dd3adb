#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "document/trace_document.h"

namespace sigrune {

// Opens the trace for a command in the document: a regular file or a FIFO, or `in` for "-". Any
// other outcome than Loaded is reported on `err`, naming the file; a trace without messages as
// the window reports it. Skipped long lines are noted on `err` too.
LoadOutcome LoadTraceForCommand(const std::string& fileName, std::FILE* in, std::FILE* err,
                                TraceDocument& document);

// How the messages name a trace: "standard input" for "-".
std::string_view TraceNameForMessages(std::string_view fileName);

}  // namespace sigrune
