#pragma once

// An output file that replaces its target only once it is complete. The bytes go to a temporary
// file beside the target, which Commit flushes to the disk and renames over the target; a failure,
// or a ReplacingFile destroyed before Commit (an exception passing through included), removes the
// temporary file, so an existing target stays exactly as it was. A target that is not a regular
// file is written in place and never replaced.

#include <signal.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sigrune {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // Creates the temporary file. A new target will get 0666 less the umask, an existing one keeps
  // its permission bits. A path naming one of the program's own descriptors (/dev/stdout,
  // /dev/fd/N, /proc/self/fd/N, or a symbolic link leading to one) is written through that
  // descriptor; any other target that is not a regular file (a character device such as
  // /dev/null, a FIFO) is opened without truncation and written in place; a block device, a
  // socket or a folder is refused. False, with ErrorText, on failure.
  bool Open(const std::string& targetPath);

  // Buffered; false once any write has failed.
  bool Write(std::string_view bytes);

  // Writes out the buffer, syncs, closes and renames over the target.
  bool Commit();

  // Removes the temporary file; the target stays as it was.
  void Discard();

  // "cannot write PATH: REASON", naming the target as the caller gave it.
  const std::string& ErrorText() const { return errorText_; }

 private:
  bool Fail(std::string_view action, int error);
  bool Fail(std::string_view action, std::string_view reason);
  bool OpenInPlace(const struct stat& target);
  bool CreateTemporary(const struct stat* target);
  bool WriteOut(const char* bytes, std::size_t size);

  std::string targetPath_;    // as given, for messages
  std::string replacedPath_;  // the target with symbolic links resolved
  std::string temporaryPath_;
  int signalSlot_ = -1;  // where the signal handlers find the temporary file; -1 for none
  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  std::size_t buffered_ = 0;
  std::uint64_t written_ = 0;      // to the file
  std::uint64_t writtenBack_ = 0;  // given to the disk to write
  bool failed_ = false;
  std::string errorText_;
};

// While one exists, SIGINT, SIGTERM and SIGHUP remove the temporary files being written, then end
// the program by the same signal, as they would have without it (one that is ignored stays
// ignored). The previous handlers come back when it goes.
class TemporaryFilesRemovedOnSignals {
 public:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

  TemporaryFilesRemovedOnSignals();
  ~TemporaryFilesRemovedOnSignals();
  TemporaryFilesRemovedOnSignals(const TemporaryFilesRemovedOnSignals&) = delete;
  TemporaryFilesRemovedOnSignals& operator=(const TemporaryFilesRemovedOnSignals&) = delete;

 private:
  struct sigaction previous_[std::size(kSignals)] = {};
  bool installed_[std::size(kSignals)] = {};
};

// Whether both paths name one file (same device and inode, so another path or a hard link is
// caught); false when either cannot be looked up.
bool IsSameFile(const std::string& first, const std::string& second);
// Whether `path` names one of the files (empty paths name none).
bool IsAnyOfFiles(const std::string& path, const std::vector<std::string>& files);

}  // namespace sigrune
