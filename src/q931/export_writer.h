#pragma once

// The export of every stored message, decoded, in the layout of a router's Q.931 debug output:
// for each message a separator line, the summary line up to its first tab (timestamp, padding
// and gateway), then the direction with an arrow and, on the same line, the decoded text.
// Lines end in CR LF; the bytes are the decoded texts' own (Latin-1).

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "trace/message_store.h"

namespace sigrune {

// Called now and then with the messages written so far; returning false stops the export.
using ExportProgress = std::function<bool(std::size_t messagesDone, std::size_t messageCount)>;

enum class ExportOutcome { Written, Stopped, DecodeFailed, WriteFailed };

struct ExportResult {
  ExportOutcome outcome = ExportOutcome::Written;
  std::size_t messagesWritten = 0;
  // For DecodeFailed: the message (number from 1) that stopped the export.
  std::size_t failedMessageNumber = 0;
  // What went wrong: the decoder's description, or the file and the system's reason.
  std::string errorText;
};

// Writes the records to an open stream. A message that fails to decode stops the export before
// its record; what was written stays.
ExportResult ExportRouterDebug(std::FILE* stream, const MessageStore& store,
                               const ExportProgress& progress = {});

// Creates (or replaces) the file and writes the records to it.
ExportResult ExportRouterDebug(const std::string& path, const MessageStore& store,
                               const ExportProgress& progress = {});

}  // namespace sigrune
