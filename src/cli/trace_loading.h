#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/command_parser.h"
#include "cli/output_buffer.h"
#include "document/trace_document.h"

namespace sigrune {

// Opens the trace for a command in the document: regular files or FIFOs, read as one trace, or
// `in` for "-". Any other outcome than Loaded is reported on `err`, naming the file; a trace
// without messages as the window reports it, unless it is fine (a trace to follow). Skipped long
// lines and the reading's notes (a file given twice) are noted on `err` too.
// CallGrouping::WhileReading groups the calls of files while they are read (the commands that need
// them). A trace read to be followed holds its unended last line (HoldUnendedLastLine).
enum class EmptyTrace { Failure, Fine };
enum class CallGrouping { Later, WhileReading };
OperationOutcome LoadTraceForCommand(const TraceFiles& files, std::FILE* in, std::FILE* err,
                                     TraceDocument& document,
                                     EmptyTrace empty = EmptyTrace::Failure,
                                     CallGrouping grouping = CallGrouping::Later,
                                     UnendedLastLine lastLine = UnendedLastLine::Whole);

// How the messages name a trace: "standard input" for "-", "FIRST + N more" for several files.
std::string TraceNameForMessages(const TraceFiles& files);

// Whether the trace has the message; otherwise says "message N: TRACE has M messages" on `err`,
// after what `output` holds.
bool CheckMessageNumber(const MessageStore& store, const TraceFiles& files, MessageNumber number,
                        OutputBuffer& output, std::FILE* err);

}  // namespace sigrune
