#pragma once

// The export of every stored message, decoded, in the layout of a router's Q.931 debug output:
// for each message a separator line, the summary line up to its first tab (timestamp, padding
// and gateway), then the direction with an arrow and, on the same line, the decoded text.
// Lines end in CR LF; the bytes are the decoded texts' own (Latin-1).

#include <cstddef>
#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "trace/message_number.h"
#include "trace/message_store.h"
#include "trace/operation_outcome.h"
#include "writers/replacing_file.h"

namespace sigrune {

// Called now and then with the messages written so far; returning false stops the export.
using ExportProgress = std::function<bool(std::size_t messagesDone, std::size_t messageCount)>;

// Done, Cancelled, Failed (errorText: the file and the system's reason) or OutOfMemory.
struct ExportResult : OperationResult {
  std::size_t messagesWritten = 0;
  // Messages whose record says "Undecodable message: REASON".
  UndecodableMessages undecodable;
  // The errno of a failed write to a stream, which its caller reports in its own words.
  int writeError = 0;
};

// What a router debug export writes, and where it may not.
struct RouterDebugOptions {
  // Only these messages (in store order); every stored message when null.
  const RowMap* messages = nullptr;
  // To a file: the files of the trace being exported, refused as the target, whatever path or
  // hard link names them.
  std::vector<std::string> tracePaths;
};

// Writes the records to an open stream. A stopped or failed export leaves what was written.
ExportResult ExportRouterDebug(std::FILE* stream, const MessageStore& store,
                               const RouterDebugOptions& options = {},
                               const ExportProgress& progress = {});

// Writes the records to a file that replaces `path` only when complete: any outcome other than
// Done leaves an existing file as it was and no new one.
ExportResult ExportRouterDebug(const std::string& path, const MessageStore& store,
                               const RouterDebugOptions& options = {},
                               const ExportProgress& progress = {});

// An export's result of running out of memory.
template <class Result>
Result OutOfMemory(std::string errorText) {
  Result result;
  result.outcome = OperationOutcome::OutOfMemory;
  result.errorText = std::move(errorText);
  return result;
}

// Writes a file that replaces `path` only when complete, for the exports: `write` gets a function
// that writes bytes and gives its Result; any outcome but Done leaves an existing file as it
// was and no new one. The trace's files are refused as the target (`whyRefused` says why);
// running out of memory is a result.
template <class Result, class WriteFunction>
Result WriteReplacingTarget(const std::string& path, const std::vector<std::string>& tracePaths,
                            WriteFunction&& write,
                            std::string_view whyRefused = "it is the trace being exported") {
  Result result;
  if (IsAnyOfFiles(path, tracePaths)) {
    result.outcome = OperationOutcome::Failed;
    result.errorText = "cannot write " + path + ": " + std::string(whyRefused);
    return result;
  }
  try {
    // Destroyed uncommitted on every way out but success, which removes the temporary file.
    ReplacingFile file;
    if (!file.Open(path)) {
      result.outcome = OperationOutcome::Failed;
    } else {
      result = write([&file](std::string_view bytes) { return file.Write(bytes); });
      if (result.outcome == OperationOutcome::Done && !file.Commit()) {
        result.outcome = OperationOutcome::Failed;
      }
    }
    if (result.outcome == OperationOutcome::Failed) {
      result.errorText = file.ErrorText();
    }
    return result;
  } catch (const std::bad_alloc&) {
    return OutOfMemory<Result>("cannot write " + path + ": not enough memory");
  }
}

// "1 message could not be decoded (message 7: Subscript out of range)" or "N messages could not
// be decoded (first: message 7: ...)"; empty when all could.
std::string UndecodableMessagesNote(const UndecodableMessages& undecodable);

}  // namespace sigrune
