#include "trace/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>

namespace sigrune {

namespace {

constexpr std::size_t kBufferSize = 1u << 20;
constexpr std::uint64_t kWriteBackStep = 8u << 20;
// Leaves room for the dot and the suffix within the 255 bytes a file name may have.
constexpr std::size_t kMaxBaseNameInTemporaryName = 200;
constexpr int kNameAttempts = 100;

std::string RandomSuffix() {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  // Unpredictable enough to avoid collisions; O_EXCL makes them harmless anyway.
  thread_local std::minstd_rand engine(static_cast<std::uint_fast32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid()));
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string suffix(6, ' ');
  for (char& letter : suffix) {
    letter = kLetters[pick(engine)];
  }
  return suffix;
}

std::string ResolvedPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    return path;
  }
  std::string text(resolved);
  std::free(resolved);
  return text;
}

}  // namespace

ReplacingFile::~ReplacingFile() {
  Discard();
}

bool ReplacingFile::Open(const std::string& targetPath) {
  targetPath_ = targetPath;
  buffer_ = std::make_unique<char[]>(kBufferSize);

  struct stat target {};
  const bool exists = ::stat(targetPath.c_str(), &target) == 0;
  if (!exists && errno != ENOENT) {
    return Fail("create", errno);
  }
  if (exists && S_ISDIR(target.st_mode)) {
    return Fail("create", EISDIR);
  }
  if (exists && !S_ISREG(target.st_mode)) {
    // A device or a FIFO is written as it is: a file renamed over it would replace the device.
    fd_ = ::open(targetPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    return fd_ >= 0 || Fail("create", errno);
  }

  // Renaming over a write-protected file would succeed; the protection is kept instead.
  if (exists && ::faccessat(AT_FDCWD, targetPath.c_str(), W_OK, AT_EACCESS) != 0) {
    return Fail("write", errno);
  }
  // Through a symbolic link the file it points to is replaced, and the link stays.
  replacedPath_ = exists ? ResolvedPath(targetPath) : targetPath;
  const std::size_t slash = replacedPath_.rfind('/');
  const std::size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string folder = replacedPath_.substr(0, baseStart);
  const std::string baseName = replacedPath_.substr(baseStart, kMaxBaseNameInTemporaryName);
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    const std::string candidate = folder + "." + baseName + "." + RandomSuffix();
    // 0666: the umask (and a default ACL) decide, as for any new file.
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd_ >= 0) {
      temporaryPath_ = candidate;
    } else if (errno != EEXIST) {
      return Fail("create", errno);
    }
  }
  if (fd_ < 0) {
    return Fail("create", EEXIST);
  }
  if (exists) {
    // Owner first: changing it clears the set-user-ID bits that the mode then restores. A file
    // system without owners or modes is no reason to lose the export, so failures pass.
    if (target.st_uid != ::geteuid() || target.st_gid != ::getegid()) {
      [[maybe_unused]] const int owned = ::fchown(fd_, target.st_uid, target.st_gid);
    }
    [[maybe_unused]] const int moded = ::fchmod(fd_, target.st_mode & 07777);
  }
  return true;
}

bool ReplacingFile::Write(std::string_view bytes) {
  if (failed_ || fd_ < 0) {
    return false;
  }
  if (bytes.size() > kBufferSize - buffered_) {
    if (!WriteOut(buffer_.get(), buffered_)) {
      return false;
    }
    buffered_ = 0;
    if (bytes.size() >= kBufferSize) {
      return WriteOut(bytes.data(), bytes.size());
    }
  }
  std::memcpy(buffer_.get() + buffered_, bytes.data(), bytes.size());
  buffered_ += bytes.size();
  return true;
}

bool ReplacingFile::Commit() {
  if (failed_ || fd_ < 0) {
    return false;
  }
  if (!WriteOut(buffer_.get(), buffered_)) {
    return false;
  }
  buffered_ = 0;
  if (!temporaryPath_.empty() && ::fsync(fd_) != 0) {
    return Fail("write", errno);
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    return Fail("write", errno);
  }
  if (temporaryPath_.empty()) {
    return true;
  }
  if (::rename(temporaryPath_.c_str(), replacedPath_.c_str()) != 0) {
    return Fail("write", errno);
  }
  const std::string folder = temporaryPath_.substr(0, temporaryPath_.rfind('/') + 1);
  temporaryPath_.clear();
  // The rename itself reaches the disk with the folder; the file is complete either way.
  const int folderFd =
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

void ReplacingFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporaryPath_.empty()) {
    ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
  buffered_ = 0;
}

bool ReplacingFile::Fail(std::string_view action, int error) {
  if (!failed_) {
    failed_ = true;
    errorText_ = "cannot " + std::string(action) + " " + targetPath_ + ": " + std::strerror(error);
  }
  Discard();
  return false;
}

bool ReplacingFile::WriteOut(const char* bytes, std::size_t size) {
  written_ += size;
  while (size > 0) {
    const ssize_t written = ::write(fd_, bytes, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return Fail("write", written < 0 ? errno : EIO);
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  // The disk starts on what was written while more is written, so that the sync at the end has
  // little left to wait for; a failure here shows in that sync.
  if (!temporaryPath_.empty() && written_ - writtenBack_ >= kWriteBackStep) {
    ::sync_file_range(fd_, static_cast<off_t>(writtenBack_),
                      static_cast<off_t>(written_ - writtenBack_), SYNC_FILE_RANGE_WRITE);
    writtenBack_ = written_;
  }
  return true;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat a {};
  struct stat b {};
  return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsAnyOfFiles(const std::string& path, const std::vector<std::string>& files) {
  return std::any_of(files.begin(), files.end(), [&path](const std::string& file) {
    return !file.empty() && IsSameFile(path, file);
  });
}

}  // namespace sigrune
