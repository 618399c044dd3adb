#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "trace/trace_reader.h"

namespace sigrune {

namespace {

constexpr std::size_t kBlockSize = 2u << 20;

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

LoadResult Failure(const std::string& action, const std::string& fileName, int error) {
  LoadResult result;
  result.outcome = LoadOutcome::Failed;
  result.errorText = action + " " + fileName + ": " + std::strerror(error);
  return result;
}

}  // namespace

std::string SkippedLinesNote(const LoadResult& result) {
  if (result.skippedLongLines == 0) {
    return {};
  }
  if (result.skippedLongLines == 1) {
    return "1 line longer than 16 MiB was skipped (line " +
           std::to_string(result.firstSkippedLine) + ")";
  }
  return std::to_string(result.skippedLongLines) +
         " lines longer than 16 MiB were skipped (first: line " +
         std::to_string(result.firstSkippedLine) + ")";
}

LoadResult LoadTraceFile(const std::string& fileName, const LoadProgress& progress,
                         AcceptedFiles /*accepted*/) {
  int descriptor;
  do {
    descriptor = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) {
    return Failure("cannot open", fileName, errno);
  }
  const FileDescriptor file(descriptor);
  struct stat status {};
  std::uint64_t fileSize = 0;
  if (::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode)) {
    fileSize = static_cast<std::uint64_t>(status.st_size);
  }
  ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

  const auto block = std::make_unique_for_overwrite<char[]>(kBlockSize);
  TraceTextReader reader;
  std::uint64_t bytesRead = 0;
  for (;;) {
    const ssize_t got = ::read(file.get(), block.get(), kBlockSize);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Failure("cannot read", fileName, errno);
    }
    if (got == 0) {
      break;
    }
    reader.Feed(std::string_view(block.get(), static_cast<std::size_t>(got)));
    if (bytesRead == 0 && fileSize > static_cast<std::uint64_t>(got)) {
      // Messages are spread evenly enough through a trace that the first block tells how many
      // to expect; a wrong guess only costs a regrowth.
      const double expected = static_cast<double>(reader.MessageCount()) * 1.1 *
                              static_cast<double>(fileSize) / static_cast<double>(got);
      reader.Reserve(static_cast<std::size_t>(expected));
    }
    bytesRead += static_cast<std::uint64_t>(got);
    if (progress && !progress(bytesRead, fileSize)) {
      LoadResult stopped;
      stopped.outcome = LoadOutcome::Stopped;
      return stopped;
    }
  }

  LoadResult result;
  result.store = reader.Finish();
  result.outcome = result.store.msgCount > 0 ? LoadOutcome::Loaded : LoadOutcome::NoMessages;
  return result;
}

}  // namespace sigrune
