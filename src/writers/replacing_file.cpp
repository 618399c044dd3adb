#include "writers/replacing_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>

namespace sigrune {

namespace {

constexpr std::size_t kBufferSize = 1u << 20;
constexpr std::uint64_t kWriteBackStep = 8u << 20;
// Leaves room for the dot and the suffix within the 255 bytes a file name may have.
constexpr std::size_t kMaxBaseNameInTemporaryName = 200;
constexpr int kNameAttempts = 100;
constexpr int kMostLinks = 40;  // as many as the system follows in one path

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

bool IsDescriptorNumber(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether a folder lists this process's descriptors: /proc/PID/fd, or a thread's table, which
// the process shares; /dev/fd and /proc/self/fd by name too, for a system without /proc.
bool IsOwnDescriptorFolder(const std::string& folder) {
  if (folder == "/dev/fd" || folder == "/proc/self/fd" || folder == "/proc/thread-self/fd") {
    return true;
  }
  const std::string process = "/proc/" + std::to_string(::getpid());
  if (folder == process + "/fd") {
    return true;
  }
  const std::string tasks = process + "/task/";
  constexpr std::string_view kFd = "/fd";
  return folder.size() > tasks.size() + kFd.size() && folder.starts_with(tasks) &&
         folder.ends_with(kFd) &&
         IsDescriptorNumber(std::string_view(folder).substr(
             tasks.size(), folder.size() - tasks.size() - kFd.size()));
}

// The descriptor of this process that `path` names (/dev/stdout, /dev/fd/N, /proc/self/fd/N, or
// a symbolic link leading to one). Each link is followed by hand: resolving the whole path would
// go through the descriptor's own link to its file, which is how `-o /dev/stdout >> log` would
// replace the log.
std::optional<int> OwnDescriptorNamed(std::string path) {
  for (int link = 0; link <= kMostLinks; ++link) {
    const std::size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.empty()) {
      return std::nullopt;
    }
    const std::string folder = ResolvedPath(slash == std::string::npos ? "."
                                            : slash == 0               ? "/"
                                                                       : path.substr(0, slash));
    if (IsDescriptorNumber(name) && IsOwnDescriptorFolder(folder)) {
      return std::stoi(name);
    }
    const std::string named = (folder == "/" ? "" : folder) + "/" + name;
    char target[PATH_MAX];
    const ssize_t size = ::readlink(named.c_str(), target, sizeof target);
    if (size <= 0 || static_cast<std::size_t>(size) >= sizeof target) {
      return std::nullopt;  // not a link
    }
    path.assign(target, static_cast<std::size_t>(size));
    if (path.front() != '/') {
      path = (folder == "/" ? "" : folder) + "/" + path;
    }
  }
  return std::nullopt;
}

// The temporary files being written, where a signal handler finds them. A handler may take
// neither the heap nor a lock, so each path is copied into a slot kept for the program's life.
enum SlotState : int { kFree, kFilling, kHeld, kRemoving };
struct TemporaryFileSlot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);
constexpr std::size_t kTemporaryFileSlots = 16;
TemporaryFileSlot temporaryFileSlots[kTemporaryFileSlots];

// The slot, or -1 when every slot is taken or the path too long: that file is then left to its
// ReplacingFile alone.
int RegisterTemporaryFile(const std::string& path) {
  if (path.size() >= PATH_MAX) {
    return -1;
  }
  for (std::size_t k = 0; k < kTemporaryFileSlots; ++k) {
    TemporaryFileSlot& slot = temporaryFileSlots[k];
    int free = kFree;
    if (slot.state.compare_exchange_strong(free, kFilling)) {
      std::memcpy(slot.path, path.c_str(), path.size() + 1);
      slot.state.store(kHeld);
      return static_cast<int>(k);
    }
  }
  return -1;
}

void UnregisterTemporaryFile(int slot) {
  if (slot >= 0) {
    // A slot that a handler is emptying stays taken: the program is ending.
    int held = kHeld;
    temporaryFileSlots[slot].state.compare_exchange_strong(held, kFree);
  }
}

void RemoveTemporaryFilesAndEnd(int signal) {
  for (TemporaryFileSlot& slot : temporaryFileSlots) {
    int held = kHeld;
    if (slot.state.compare_exchange_strong(held, kRemoving)) {
      ::unlink(slot.path);
    }
  }
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  ::sigemptyset(&byDefault.sa_mask);
  ::sigaction(signal, &byDefault, nullptr);
  // Blocked while the handler runs; once it returns, the default action ends the program.
  ::raise(signal);
}

// Keeps the handlers away while a temporary file is created or renamed and its slot taken or
// given back, so that no handler sees a file without its slot, or a slot whose file was renamed.
class HandledSignalsBlocked {
 public:
  HandledSignalsBlocked() {
    sigset_t handled;
    ::sigemptyset(&handled);
    for (const int signal : TemporaryFilesRemovedOnSignals::kSignals) {
      ::sigaddset(&handled, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &handled, &previous_);
  }
  ~HandledSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  HandledSignalsBlocked(const HandledSignalsBlocked&) = delete;
  HandledSignalsBlocked& operator=(const HandledSignalsBlocked&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace

ReplacingFile::~ReplacingFile() {
  Discard();
}

bool ReplacingFile::Open(const std::string& targetPath) {
  targetPath_ = targetPath;
  buffer_ = std::make_unique<char[]>(kBufferSize);

  if (const std::optional<int> descriptor = OwnDescriptorNamed(targetPath)) {
    // Written as standard output is: the file behind it keeps its place, and an append stays one.
    fd_ = ::fcntl(*descriptor, F_DUPFD_CLOEXEC, 0);
    return fd_ >= 0 || Fail("write", errno);
  }
  struct stat target {};
  const bool exists = ::stat(targetPath.c_str(), &target) == 0;
  if (!exists && errno != ENOENT) {
    return Fail("create", errno);
  }
  if (exists && S_ISDIR(target.st_mode)) {
    return Fail("create", EISDIR);
  }
  if (exists && S_ISBLK(target.st_mode)) {
    return Fail("write", "it is a block device");
  }
  if (exists && !S_ISREG(target.st_mode)) {
    return OpenInPlace(target);
  }
  return CreateTemporary(exists ? &target : nullptr);
}

bool ReplacingFile::OpenInPlace(const struct stat& target) {
  // A file renamed over a device or a FIFO would replace it: it gets the bytes instead, without
  // truncation, which neither has.
  fd_ = ::open(targetPath_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    return S_ISSOCK(target.st_mode) && errno == ENXIO ? Fail("write", "it is a socket")
                                                      : Fail("write", errno);
  }
  // A regular file put there since the look would be written over without being truncated.
  struct stat opened {};
  if (::fstat(fd_, &opened) != 0 || opened.st_dev != target.st_dev ||
      opened.st_ino != target.st_ino) {
    return Fail("write", "it changed while it was opened");
  }
  return true;
}

bool ReplacingFile::CreateTemporary(const struct stat* target) {
  // Renaming over a write-protected file would succeed; the protection is kept instead.
  if (target != nullptr && ::faccessat(AT_FDCWD, targetPath_.c_str(), W_OK, AT_EACCESS) != 0) {
    return Fail("write", errno);
  }
  // Through a symbolic link the file it points to is replaced, and the link stays.
  replacedPath_ = target != nullptr ? ResolvedPath(targetPath_) : targetPath_;
  const std::size_t slash = replacedPath_.rfind('/');
  const std::size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string folder = replacedPath_.substr(0, baseStart);
  const std::string baseName = replacedPath_.substr(baseStart, kMaxBaseNameInTemporaryName);
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    const std::string candidate = folder + "." + baseName + "." + RandomSuffix();
    int error = 0;
    {
      const HandledSignalsBlocked blocked;
      // 0666: the umask (and a default ACL) decide, as for any new file.
      fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
      error = errno;
      if (fd_ >= 0) {
        temporaryPath_ = candidate;
        signalSlot_ = RegisterTemporaryFile(candidate);
      }
    }
    if (fd_ < 0 && error != EEXIST) {
      return Fail("create", error);
    }
  }
  if (fd_ < 0) {
    return Fail("create", EEXIST);
  }
  if (target != nullptr) {
    // Owner first: changing it clears the set-user-ID bits that the mode then restores. A file
    // system without owners or modes is no reason to lose the export, so failures pass.
    if (target->st_uid != ::geteuid() || target->st_gid != ::getegid()) {
      [[maybe_unused]] const int owned = ::fchown(fd_, target->st_uid, target->st_gid);
    }
    [[maybe_unused]] const int moded = ::fchmod(fd_, target->st_mode & 07777);
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
  const std::string folder = temporaryPath_.substr(0, temporaryPath_.rfind('/') + 1);
  {
    const HandledSignalsBlocked blocked;
    if (::rename(temporaryPath_.c_str(), replacedPath_.c_str()) != 0) {
      return Fail("write", errno);
    }
    UnregisterTemporaryFile(signalSlot_);
    signalSlot_ = -1;
    temporaryPath_.clear();
  }
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
    const HandledSignalsBlocked blocked;
    ::unlink(temporaryPath_.c_str());
    UnregisterTemporaryFile(signalSlot_);
    signalSlot_ = -1;
    temporaryPath_.clear();
  }
  buffered_ = 0;
}

bool ReplacingFile::Fail(std::string_view action, int error) {
  return Fail(action, std::strerror(error));
}

bool ReplacingFile::Fail(std::string_view action, std::string_view reason) {
  if (!failed_) {
    failed_ = true;
    errorText_ = "cannot " + std::string(action) + " " + targetPath_ + ": " + std::string(reason);
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

TemporaryFilesRemovedOnSignals::TemporaryFilesRemovedOnSignals() {
  struct sigaction handler {};
  handler.sa_handler = RemoveTemporaryFilesAndEnd;
  ::sigemptyset(&handler.sa_mask);
  for (const int signal : kSignals) {
    ::sigaddset(&handler.sa_mask, signal);  // one removal at a time
  }
  handler.sa_flags = SA_RESTART;
  for (std::size_t k = 0; k < std::size(kSignals); ++k) {
    if (::sigaction(kSignals[k], nullptr, &previous_[k]) == 0 &&
        previous_[k].sa_handler != SIG_IGN) {
      installed_[k] = ::sigaction(kSignals[k], &handler, nullptr) == 0;
    }
  }
}

TemporaryFilesRemovedOnSignals::~TemporaryFilesRemovedOnSignals() {
  for (std::size_t k = 0; k < std::size(kSignals); ++k) {
    if (installed_[k]) {
      ::sigaction(kSignals[k], &previous_[k], nullptr);
    }
  }
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
