#include "writers/export_writer.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>

#include "q931/decoder.h"
#include "trace/message_number.h"
#include "trace/summary_line.h"
#include "util/ordered_chunks.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

// A chunk holds this many messages at most, or fewer when their data lines take this many bytes,
// so that the chunks made ahead hold little of the export.
constexpr std::size_t kChunkMessages = kMessagesPerProgress;
constexpr std::size_t kChunkLineBytes = 1u << 20;
// A message with a longer data line is decoded alone, when its turn comes to be written: its
// decoded text may be many times the line.
constexpr std::size_t kLineDecodedAlone = 1u << 20;

// The messages written: every one, or the given ones; places count them from 0.
struct WrittenMessages {
  const MessageStore& store;
  const RowMap* messages;

  std::size_t Count() const {
    return messages != nullptr ? messages->size() : store.MessageCount();
  }
  std::size_t IndexAt(std::size_t place) const {
    return messages != nullptr ? IndexOf((*messages)[place]).value : place;
  }
};

// The place where each chunk starts, and the end of the last.
std::vector<std::size_t> ChunkStarts(const WrittenMessages& written) {
  std::vector<std::size_t> starts{0};
  std::size_t lineBytes = 0;
  const std::size_t count = written.Count();
  for (std::size_t place = 0; place < count; ++place) {
    const std::size_t size = DataLineSize(written.store, MessageIndex{written.IndexAt(place)});
    lineBytes += size > kLineDecodedAlone ? 0 : size;
    if (place + 1 - starts.back() == kChunkMessages || lineBytes >= kChunkLineBytes) {
      starts.push_back(place + 1);
      lineBytes = 0;
    }
  }
  if (starts.back() != count) {
    starts.push_back(count);
  }
  return starts;
}

// Appends the message's record: a separator line, the summary line up to its first tab, and the
// direction with the decoded text, or the reason it has none. Gives the size of that text.
std::size_t AppendRecord(std::string& records, const MessageStore& store, std::size_t index,
                         PayloadBytes& bytes, std::string& undecodableReason) {
  records += "=============================\r\n";
  AppendTimestampAndGateway(records, store, MessageIndex{index});
  records += "\r\n";
  records += store.msgIsIncoming[index] ? "In <- " : "Out -> ";
  const std::size_t start = records.size();
  try {
    ReadPayloadBytesOfMessage(store, MessageIndex{index}, bytes);
    AppendDecodedMessage(records, bytes);
  } catch (const SubscriptOutOfRange& failure) {
    records.resize(start);
    undecodableReason = failure.what();
    records += "Undecodable message: ";
    records += undecodableReason;
    records += "\r\n";
  }
  return records.size() - start;
}

// The records of a chunk of messages, made on any thread.
struct ChunkRecords {
  struct Record {
    std::size_t end = 0;          // in `bytes`
    std::size_t decodedSize = 0;  // of its decoded text
    bool undecodable = false;
    bool decodedAlone = false;  // not made: decoded when written
  };
  std::string bytes;
  std::vector<Record> records;
  std::string firstUndecodableReason;
};

// Writes every record through `write` (bool(std::string_view)); a false return ends the export
// as Failed, with the error text left to the caller. The records are made on every core and
// written in order.
template <typename WriteFunction>
ExportResult WriteRecords(const MessageStore& store, const RowMap* messages,
                          const ExportProgress& progress, WriteFunction&& write) {
  ExportResult result;
  const WrittenMessages shown{store, messages};
  const std::size_t count = shown.Count();
  const std::vector<std::size_t> starts = ChunkStarts(shown);
  const unsigned threads = ChunkThreads();
  std::vector<PerWorker<PayloadBytes>> payloads(threads);
  // The chunks written, whose room is used again: fresh room costs the kernel's zeroed pages.
  std::mutex spareMutex;
  std::vector<ChunkRecords> spare;
  const auto make = [&](std::size_t chunk, const ChunkWork& work) {
    ChunkRecords made;
    {
      const std::lock_guard lock(spareMutex);
      if (!spare.empty()) {
        made = std::move(spare.back());
        spare.pop_back();
      }
    }
    made.bytes.clear();
    made.records.clear();
    made.firstUndecodableReason.clear();
    PayloadBytes& bytes = payloads[work.worker].state;
    std::string reason;
    for (std::size_t place = starts[chunk]; place < starts[chunk + 1] && !work.Stopped(); ++place) {
      const std::size_t index = shown.IndexAt(place);
      ChunkRecords::Record record;
      if (DataLineSize(store, MessageIndex{index}) > kLineDecodedAlone) {
        record.decodedAlone = true;
      } else {
        reason.clear();
        record.decodedSize = AppendRecord(made.bytes, store, index, bytes, reason);
        record.undecodable = !reason.empty();
        if (record.undecodable && made.firstUndecodableReason.empty()) {
          made.firstUndecodableReason = reason;
        }
      }
      record.end = made.bytes.size();
      made.records.push_back(record);
    }
    return made;
  };

  // Asked every so many messages, or sooner after large ones, so that a cancel is heard soon.
  constexpr std::size_t kDecodedBytesBetweenQuestions = 8u << 20;
  std::size_t decodedSinceAsked = kDecodedBytesBetweenQuestions;
  std::size_t next = 0;  // the place of the next message to write
  bool stopped = false;
  bool failed = false;
  PayloadBytes aloneBytes;
  const auto take = [&](std::size_t chunk, ChunkRecords&& made) {
    std::size_t written = 0;  // of made.bytes
    std::size_t pending = 0;  // messages in made.bytes not yet written
    const auto writePending = [&](std::size_t end) {
      if (end > written && !write(std::string_view(made.bytes).substr(written, end - written))) {
        failed = true;
        return false;
      }
      written = end;
      result.messagesWritten += pending;
      pending = 0;
      return true;
    };
    for (std::size_t k = 0; k < made.records.size(); ++k) {
      const std::size_t place = starts[chunk] + k;
      const std::size_t index = shown.IndexAt(place);
      const ChunkRecords::Record& record = made.records[k];
      const std::size_t begin = k == 0 ? 0 : made.records[k - 1].end;
      if (progress && (place % kMessagesPerProgress == 0 ||
                       decodedSinceAsked >= kDecodedBytesBetweenQuestions)) {
        if (!writePending(begin)) {
          return false;
        }
        decodedSinceAsked = 0;
        if (!progress(place, count)) {
          stopped = true;
          return false;
        }
      }
      std::size_t decodedSize = record.decodedSize;
      // Only the first failure's reason is kept: a chunk's first is the first overall when none
      // came before it.
      std::string reason = record.undecodable ? made.firstUndecodableReason : std::string();
      if (record.decodedAlone) {
        std::string alone;
        decodedSize = AppendRecord(alone, store, index, aloneBytes, reason);
        if (!writePending(begin) || !write(alone)) {
          failed = true;
          return false;
        }
        ++result.messagesWritten;
      } else {
        ++pending;
      }
      decodedSinceAsked += decodedSize;
      if (!reason.empty()) {
        result.undecodable.Add(NumberOf(MessageIndex{index}), reason);
      }
    }
    next = starts[chunk + 1];
    if (!writePending(made.bytes.size())) {
      return false;
    }
    const std::lock_guard lock(spareMutex);
    spare.push_back(std::move(made));
    return true;
  };
  const std::function<bool()> keepGoing = [&] {
    stopped = stopped || (progress && !progress(next, count));
    return !stopped;
  };
  if (!TakeChunksInOrder<ChunkRecords>(starts.size() - 1, threads, make, take, keepGoing)) {
    result.outcome = failed ? OperationOutcome::Failed : OperationOutcome::Cancelled;
    return result;
  }
  if (progress) {
    progress(count, count);
  }
  return result;
}

}  // namespace

ExportResult ExportRouterDebug(std::FILE* stream, const MessageStore& store,
                               const RouterDebugOptions& options, const ExportProgress& progress) {
  try {
    ExportResult result =
        WriteRecords(store, options.messages, progress, [stream](std::string_view text) {
          return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
        });
    if (result.outcome == OperationOutcome::Done && std::fflush(stream) != 0) {
      result.outcome = OperationOutcome::Failed;
    }
    if (result.outcome == OperationOutcome::Failed) {
      result.writeError = errno;
      result.errorText = std::string("write error: ") + std::strerror(result.writeError);
    }
    return result;
  } catch (const std::bad_alloc&) {
    return OutOfMemory<ExportResult>("export stopped: not enough memory");
  }
}

ExportResult ExportRouterDebug(const std::string& path, const MessageStore& store,
                               const RouterDebugOptions& options, const ExportProgress& progress) {
  return WriteReplacingTarget<ExportResult>(path, options.tracePaths, [&](auto&& write) {
    return WriteRecords(store, options.messages, progress, write);
  });
}

std::string UndecodableMessagesNote(const UndecodableMessages& undecodable) {
  if (undecodable.count == 0) {
    return {};
  }
  const std::string first =
      "message " + std::to_string(undecodable.first.value) + ": " + undecodable.firstReason + ")";
  return undecodable.count == 1
             ? "1 message could not be decoded (" + first
             : GroupedDigits(undecodable.count) + " messages could not be decoded (first: " + first;
}

}  // namespace sigrune
