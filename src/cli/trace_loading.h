#pragma once

#include <cstdio>
#include <string>

#include "trace/message_store.h"
#include "trace/trace_reader.h"

namespace sigrune {

// Loads the trace for a command. Any other outcome than Loaded is reported on `err`, naming the
// file; a trace without messages as the window reports it.
LoadOutcome LoadTraceForCommand(const std::string& fileName, std::FILE* err, MessageStore& store);

}  // namespace sigrune
