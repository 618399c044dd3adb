#include "q931/export_writer.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "q931/decoder.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

constexpr std::size_t kProgressInterval = 4096;

bool Write(std::FILE* stream, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}

}  // namespace

ExportResult ExportRouterDebug(std::FILE* stream, const MessageStore& store,
                               const ExportProgress& progress) {
  ExportResult result;
  std::string summary;
  for (std::size_t index = 0; index < store.msgCount; ++index) {
    if (progress && index % kProgressInterval == 0 && !progress(index, store.msgCount)) {
      result.outcome = ExportOutcome::Stopped;
      return result;
    }
    std::string decoded;
    try {
      decoded = DecodeStoredMessage(store, index);
    } catch (const SubscriptOutOfRange& failure) {
      result.outcome = ExportOutcome::DecodeFailed;
      result.failedMessageNumber = index + 1;
      result.errorText = failure.what();
      return result;
    }
    summary.clear();
    AppendSummaryLine(summary, store, index);
    const std::string_view timestampAndGateway =
        std::string_view(summary).substr(0, summary.find('\t'));
    const bool written = Write(stream, "=============================\r\n") &&
                         Write(stream, timestampAndGateway) && Write(stream, "\r\n") &&
                         Write(stream, store.msgIsIncoming[index] ? "In <- " : "Out -> ") &&
                         Write(stream, decoded);
    if (!written) {
      result.outcome = ExportOutcome::WriteFailed;
      result.errorText = std::strerror(errno);
      return result;
    }
    ++result.messagesWritten;
  }
  if (std::fflush(stream) != 0) {
    result.outcome = ExportOutcome::WriteFailed;
    result.errorText = std::strerror(errno);
    return result;
  }
  if (progress) {
    progress(store.msgCount, store.msgCount);
  }
  return result;
}

ExportResult ExportRouterDebug(const std::string& path, const MessageStore& store,
                               const ExportProgress& progress) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    ExportResult failed;
    failed.outcome = ExportOutcome::WriteFailed;
    failed.errorText = "cannot create " + path + ": " + std::strerror(errno);
    return failed;
  }
  std::vector<char> buffer(1u << 20);
  std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
  ExportResult result = ExportRouterDebug(file, store, progress);
  if (std::fclose(file) != 0 && result.outcome == ExportOutcome::Written) {
    result.outcome = ExportOutcome::WriteFailed;
    result.errorText = std::strerror(errno);
  }
  if (result.outcome == ExportOutcome::WriteFailed) {
    result.errorText = "cannot write " + path + ": " + result.errorText;
  }
  return result;
}

}  // namespace sigrune
