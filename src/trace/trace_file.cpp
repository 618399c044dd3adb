#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "trace/gzip_blocks.h"
#include "trace/trace_pieces.h"
#include "trace/trace_reader.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

constexpr std::size_t kBlockSize = 2u << 20;
// A data line holds at least its marker and a line end.
constexpr std::uint64_t kShortestMessageLine = 12;
// Past this many, a wrong guess would cost more than the regrowth it spares.
constexpr double kMostMessagesReserved = 4u << 20;

class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~FileDescriptor() {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

LoadResult Failure(std::string errorText) {
  LoadResult result;
  result.outcome = OperationOutcome::Failed;
  result.errorText = std::move(errorText);
  return result;
}

LoadResult Stopped() {
  LoadResult stopped;
  stopped.outcome = OperationOutcome::Cancelled;
  return stopped;
}

LoadResult Failure(const std::string& action, const std::string& fileName, int error) {
  return Failure(action + " " + fileName + ": " + std::strerror(error));
}

bool IsAccepted(mode_t mode, AcceptedFiles accepted) {
  return S_ISREG(mode) || (accepted == AcceptedFiles::RegularOrFifo && S_ISFIFO(mode));
}

LoadResult NotAccepted(const std::string& fileName, AcceptedFiles accepted) {
  return Failure(accepted == AcceptedFiles::RegularOnly
                     ? fileName + " is not a regular file"
                     : fileName + ": not a regular file or FIFO");
}

// Messages are spread evenly enough through a trace that the first block tells how many to
// expect; a wrong guess only costs a regrowth. A sparse file may claim any size, so the guess
// never exceeds what the rest of the file could hold, nor a sane number.
std::size_t ExpectedMessages(std::size_t messagesRead, std::uint64_t bytesRead,
                             std::uint64_t fileSize) {
  const double byDensity = static_cast<double>(messagesRead) * 1.1 * static_cast<double>(fileSize) /
                           static_cast<double>(bytesRead);
  const double byRoom =
      static_cast<double>(messagesRead + (fileSize - bytesRead) / kShortestMessageLine + 1);
  return static_cast<std::size_t>(std::min({byDensity, byRoom, kMostMessagesReserved}));
}

bool IsCompressedTrace(const std::string& path) {
  return path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
}

// Feeds the reader the descriptor's bytes as they are; a failure or a stop, or nothing once the
// end is reached.
std::optional<LoadResult> FeedPlain(int descriptor, const std::string& name,
                                    TraceTextReader& reader, std::uint64_t fileSize,
                                    const LoadProgress& progress, std::uint64_t& bytesRead) {
  // Page-aligned, which makes the kernel's copy into it several times faster.
  LargeVector<char> block(kBlockSize);
  for (;;) {
    const ssize_t got = ::read(descriptor, block.data(), kBlockSize);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Failure("cannot read", name, errno);
    }
    if (got == 0) {
      return std::nullopt;
    }
    reader.Feed(std::string_view(block.data(), static_cast<std::size_t>(got)));
    if (bytesRead == 0 && fileSize > static_cast<std::uint64_t>(got)) {
      reader.Reserve(
          ExpectedMessages(reader.MessageCount(), static_cast<std::uint64_t>(got), fileSize));
    }
    bytesRead += static_cast<std::uint64_t>(got);
    if (progress && !progress(bytesRead, fileSize)) {
      return Stopped();
    }
  }
}

// The same for gzip data, inflated beside the reader; the bytes read are the compressed ones.
std::optional<LoadResult> FeedCompressed(int descriptor, const std::string& name,
                                         TraceTextReader& reader, std::uint64_t fileSize,
                                         const LoadProgress& progress, std::uint64_t& bytesRead) {
  std::optional<GzipBlocks> started;
  try {
    started.emplace(descriptor, name);
  } catch (const std::system_error& error) {
    return Failure("cannot read " + name + ": " + error.code().message());
  }
  GzipBlocks& blocks = *started;
  for (std::string_view text; !(text = blocks.Next()).empty();) {
    reader.Feed(text);
    if (bytesRead == 0 && fileSize > blocks.CompressedBytes() && blocks.CompressedBytes() > 0) {
      reader.Reserve(ExpectedMessages(reader.MessageCount(), blocks.CompressedBytes(), fileSize));
    }
    bytesRead = blocks.CompressedBytes();
    if (progress && !progress(bytesRead, fileSize)) {
      return Stopped();
    }
  }
  if (!blocks.ErrorText().empty()) {
    return Failure(blocks.ErrorText());
  }
  return std::nullopt;
}

// Reads the whole text of the descriptor; the result's follow point holds where it ended.
LoadResult ReadDescriptor(int descriptor, const std::string& name, const LoadProgress& progress,
                          bool compressed, const LoadWatch& watch = {},
                          const PieceReading& pieces = {}) {
  struct stat status {};
  std::uint64_t fileSize = 0;
  if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
    fileSize = static_cast<std::uint64_t>(status.st_size);
    if (!compressed) {
      if (std::optional<LoadResult> read =
              ReadInPieces(descriptor, name, fileSize, progress, watch, pieces)) {
        return std::move(*read);
      }
    }
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
  }

  // Running out of memory anywhere in the load ends here, with what it had taken given back.
  std::optional<TraceTextReader> reader;
  try {
    reader.emplace();
    std::uint64_t bytesRead = 0;
    std::optional<LoadResult> unfinished =
        compressed ? FeedCompressed(descriptor, name, *reader, fileSize, progress, bytesRead)
                   : FeedPlain(descriptor, name, *reader, fileSize, progress, bytesRead);
    if (unfinished) {
      return std::move(*unfinished);
    }

    LoadResult result;
    FollowPoint& point = result.followPoint.emplace();
    point.offset = bytesRead;
    point.reader = reader->Continuation();
    const std::size_t whole = reader->MessageCount();
    result.store = reader->Finish();
    point.reader.pendingLineMadeMessage =
        result.store.MessageCount() > whole || point.reader.pendingLength > kMaxLineLength;
    result.skippedLongLines = reader->SkippedLongLines();
    result.firstSkippedLine = reader->FirstSkippedLine();
    result.outcome =
        result.store.MessageCount() > 0 ? OperationOutcome::Done : OperationOutcome::NotFound;
    return result;
  } catch (const std::bad_alloc&) {
    const std::size_t messages = reader ? reader->MessageCount() : 0;
    reader.reset();
    return Failure(name + ": not enough memory (while loading, after " +
                   CountOf(messages, "message", "messages") + ")");
  }
}

// The bytes before `offset`, up to kFollowTailSize of them; fewer when they cannot be read.
std::string ReadTail(int descriptor, std::uint64_t offset) {
  std::string tail(static_cast<std::size_t>(std::min<std::uint64_t>(offset, kFollowTailSize)),
                   '\0');
  ssize_t got;
  do {
    got = ::pread(descriptor, tail.data(), tail.size(), static_cast<off_t>(offset - tail.size()));
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(tail.size()) ? tail : std::string();
}

}  // namespace

std::string SkippedLinesNote(const LoadResult& result) {
  if (result.skippedLongLines == 0) {
    return {};
  }
  const std::string line = (result.firstSkippedFile.empty() ? "" : result.firstSkippedFile + ", ") +
                           "line " + std::to_string(result.firstSkippedLine);
  return result.skippedLongLines == 1
             ? "1 line longer than 16 MiB was skipped (" + line + ")"
             : GroupedDigits(result.skippedLongLines) +
                   " lines longer than 16 MiB were skipped (first: " + line + ")";
}

LoadResult LoadTraceFile(const std::string& fileName, const LoadOptions& options,
                         const LoadProgress& progress) {
  const AcceptedFiles accepted = options.accepted;
  // The kind is checked before the open, which has effects on devices and blocks on a FIFO
  // without a writer, and again after it, in case the file was replaced in between.
  struct stat status {};
  if (::stat(fileName.c_str(), &status) != 0) {
    return Failure("cannot open", fileName, errno);
  }
  if (!IsAccepted(status.st_mode, accepted)) {
    return NotAccepted(fileName, accepted);
  }
  const int flags =
      O_RDONLY | O_CLOEXEC | (accepted == AcceptedFiles::RegularOnly ? O_NONBLOCK : 0);
  int descriptor;
  do {
    descriptor = ::open(fileName.c_str(), flags);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) {
    return Failure("cannot open", fileName, errno);
  }
  const FileDescriptor file(descriptor);
  if (::fstat(file.get(), &status) != 0) {
    return Failure("cannot read", fileName, errno);
  }
  if (!IsAccepted(status.st_mode, accepted)) {
    return NotAccepted(fileName, accepted);
  }
  const bool compressed = IsCompressedTrace(fileName);
  LoadResult result =
      ReadDescriptor(file.get(), fileName, progress, compressed, options.watch, options.pieces);
  if (result.outcome != OperationOutcome::Done && result.outcome != OperationOutcome::NotFound) {
    return result;
  }
  result.store.filePaths = {fileName};
  FollowPoint& point = *result.followPoint;
  point.path = fileName;
  point.identity = {static_cast<std::uint64_t>(status.st_dev),
                    static_cast<std::uint64_t>(status.st_ino)};
  if (compressed) {
    point.refusal = "cannot follow " + fileName + ": it is compressed";
  } else if (S_ISFIFO(status.st_mode)) {
    point.refusal = "cannot follow " + fileName + ": it is a FIFO";
  } else {
    point.tail = ReadTail(file.get(), point.offset);
  }
  return result;
}

void HoldUnendedLastLine(LoadResult& loaded) {
  if (!loaded.followPoint || !loaded.followPoint->refusal.empty()) {
    return;
  }
  ReaderContinuation& reader = loaded.followPoint->reader;
  if (reader.pendingLength == 0 || !reader.pendingLineMadeMessage) {
    return;
  }
  // The last file's messages are the store's last.
  if (reader.pendingLength > kMaxLineLength) {
    if (--loaded.skippedLongLines == 0) {
      loaded.firstSkippedLine = 0;
      loaded.firstSkippedFile.clear();
    }
  } else {
    KeepFirstMessages(loaded.store, loaded.store.MessageCount() - 1);
    if (loaded.outcome == OperationOutcome::Done && loaded.store.MessageCount() == 0) {
      loaded.outcome = OperationOutcome::NotFound;
    }
  }
  reader.pendingLineMadeMessage = false;
}

LoadResult LoadTraceDescriptor(int descriptor, const std::string& name,
                               const LoadProgress& progress) {
  LoadResult result = ReadDescriptor(descriptor, name, progress, false);
  result.followPoint.reset();
  return result;
}

}  // namespace sigrune
