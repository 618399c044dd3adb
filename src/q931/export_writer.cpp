#include "q931/export_writer.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "q931/decoder.h"
#include "trace/message_number.h"
#include "trace/replacing_file.h"
#include "trace/summary_line.h"
#include "trace/text_utilities.h"

namespace sigrune {

namespace {

// Writes every record through `write` (bool(std::string_view)); a false return ends the export
// as WriteFailed, with the error text left to the caller.
template <typename WriteFunction>
ExportResult WriteRecords(const MessageStore& store, const ExportProgress& progress,
                          WriteFunction&& write) {
  ExportResult result;
  std::string timestampAndGateway;
  for (std::size_t index = 0; index < store.msgCount; ++index) {
    if (progress && index % kProgressInterval == 0 && !progress(index, store.msgCount)) {
      result.outcome = ExportOutcome::Stopped;
      return result;
    }
    std::string decoded;
    try {
      decoded = DecodeStoredMessage(store, index);
    } catch (const SubscriptOutOfRange& failure) {
      if (result.undecodableMessages++ == 0) {
        result.firstUndecodableMessage = NumberOf(MessageIndex{index});
        result.firstUndecodableReason = failure.what();
      }
      decoded = std::string("Undecodable message: ") + failure.what() + "\r\n";
    }
    timestampAndGateway.clear();
    AppendTimestampAndGateway(timestampAndGateway, store, index);
    const bool written = write("=============================\r\n") && write(timestampAndGateway) &&
                         write("\r\n") &&
                         write(store.msgIsIncoming[index] ? "In <- " : "Out -> ") && write(decoded);
    if (!written) {
      result.outcome = ExportOutcome::WriteFailed;
      return result;
    }
    ++result.messagesWritten;
  }
  if (progress) {
    progress(store.msgCount, store.msgCount);
  }
  return result;
}

ExportResult OutOfMemory(std::string errorText) {
  ExportResult result;
  result.outcome = ExportOutcome::OutOfMemory;
  result.errorText = std::move(errorText);
  return result;
}

}  // namespace

ExportResult ExportRouterDebug(std::FILE* stream, const MessageStore& store,
                               const ExportProgress& progress) {
  try {
    ExportResult result = WriteRecords(store, progress, [stream](std::string_view text) {
      return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    });
    if (result.outcome == ExportOutcome::Written && std::fflush(stream) != 0) {
      result.outcome = ExportOutcome::WriteFailed;
    }
    if (result.outcome == ExportOutcome::WriteFailed) {
      result.writeError = errno;
      result.errorText = std::string("write error: ") + std::strerror(result.writeError);
    }
    return result;
  } catch (const std::bad_alloc&) {
    return OutOfMemory("export stopped: not enough memory");
  }
}

ExportResult ExportRouterDebug(const std::string& path, const MessageStore& store,
                               const ExportProgress& progress,
                               const std::vector<std::string>& tracePaths) {
  ExportResult result;
  if (IsAnyOfFiles(path, tracePaths)) {
    result.outcome = ExportOutcome::WriteFailed;
    result.errorText = "cannot write " + path + ": it is the trace being exported";
    return result;
  }
  try {
    // Destroyed uncommitted on every way out but success, which removes the temporary file.
    ReplacingFile file;
    if (!file.Open(path)) {
      result.outcome = ExportOutcome::WriteFailed;
    } else {
      result = WriteRecords(store, progress,
                            [&file](std::string_view text) { return file.Write(text); });
      if (result.outcome == ExportOutcome::Written && !file.Commit()) {
        result.outcome = ExportOutcome::WriteFailed;
      }
    }
    if (result.outcome == ExportOutcome::WriteFailed) {
      result.errorText = file.ErrorText();
    }
    return result;
  } catch (const std::bad_alloc&) {
    return OutOfMemory("cannot write " + path + ": not enough memory");
  }
}

std::string UndecodableMessagesNote(const ExportResult& result) {
  if (result.undecodableMessages == 0) {
    return {};
  }
  const std::string first = "message " + std::to_string(result.firstUndecodableMessage.value) +
                            ": " + result.firstUndecodableReason + ")";
  return result.undecodableMessages == 1 ? "1 message could not be decoded (" + first
                                         : GroupedDigits(result.undecodableMessages) +
                                               " messages could not be decoded (first: " + first;
}

}  // namespace sigrune
