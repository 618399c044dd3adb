#include "q931/export_writer.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "q931/decoder.h"
#include "trace/message_number.h"
#include "trace/summary_line.h"
#include "trace/text_utilities.h"

namespace sigrune {

namespace {

// Writes every record through `write` (bool(std::string_view)); a false return ends the export
// as WriteFailed, with the error text left to the caller.
template <typename WriteFunction>
ExportResult WriteRecords(const MessageStore& store, const RowMap* messages,
                          const ExportProgress& progress, WriteFunction&& write) {
  ExportResult result;
  std::string timestampAndGateway;
  // Asked every so many messages, or sooner after large ones, so that a cancel is heard soon.
  constexpr std::size_t kDecodedBytesBetweenQuestions = 8u << 20;
  std::size_t decodedSinceAsked = kDecodedBytesBetweenQuestions;
  const std::size_t count = messages != nullptr ? messages->size() : store.msgCount;
  for (std::size_t done = 0; done < count; ++done) {
    const std::size_t index = messages != nullptr ? IndexOf((*messages)[done]).value : done;
    if (progress &&
        (done % kProgressInterval == 0 || decodedSinceAsked >= kDecodedBytesBetweenQuestions)) {
      decodedSinceAsked = 0;
      if (!progress(done, count)) {
        result.outcome = ExportOutcome::Stopped;
        return result;
      }
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
    decodedSinceAsked += decoded.size();
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
    progress(count, count);
  }
  return result;
}

}  // namespace

ExportResult ExportRouterDebug(std::FILE* stream, const MessageStore& store,
                               const ExportProgress& progress, const RowMap* messages) {
  try {
    ExportResult result = WriteRecords(store, messages, progress, [stream](std::string_view text) {
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
    return OutOfMemory<ExportResult>("export stopped: not enough memory");
  }
}

ExportResult ExportRouterDebug(const std::string& path, const MessageStore& store,
                               const ExportProgress& progress,
                               const std::vector<std::string>& tracePaths, const RowMap* messages) {
  return WriteReplacingTarget<ExportResult>(path, tracePaths, [&](auto&& write) {
    return WriteRecords(store, messages, progress, write);
  });
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
