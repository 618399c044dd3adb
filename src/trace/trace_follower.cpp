#include "trace/trace_follower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace sigrune {

namespace {

constexpr std::size_t kBlockSize = 256u << 10;

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

std::string KindProblem(mode_t mode) {
  if (S_ISFIFO(mode)) {
    return "it is a FIFO";
  }
  return S_ISDIR(mode) ? "it is a folder" : "not a regular file";
}

// A regular file opened for reading, or -1 with why not. Anything else is not opened at all: an
// open has effects on devices, and a FIFO is not read here.
int OpenRegular(const std::string& path, struct stat& status, std::string& whyNot) {
  const std::string cannot = "cannot follow " + path + ": ";
  if (::stat(path.c_str(), &status) != 0) {
    whyNot = cannot + std::strerror(errno);
    return -1;
  }
  if (!S_ISREG(status.st_mode)) {
    whyNot = cannot + KindProblem(status.st_mode);
    return -1;
  }
  int descriptor;
  do {
    descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) {
    whyNot = cannot + std::strerror(errno);
    return -1;
  }
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    whyNot = cannot + KindProblem(status.st_mode);
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

// The bytes at `offset`, as many as `size`; fewer when the file is shorter, none on an error.
std::optional<std::string> ReadAt(int descriptor, std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  ssize_t got;
  do {
    got = ::pread(descriptor, bytes.data(), size, static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    return std::nullopt;
  }
  bytes.resize(static_cast<std::size_t>(got));
  return bytes;
}

}  // namespace

std::optional<TraceFollower> TraceFollower::Begin(const LoadResult& loaded,
                                                  const std::string& lastPath,
                                                  std::string& whyNot) {
  if (!loaded.followPoint || loaded.followPoint->path != lastPath || lastPath.empty()) {
    whyNot = lastPath.empty() || lastPath == "-" ? "cannot follow standard input"
                                                 : "cannot follow " + lastPath;
    return std::nullopt;
  }
  return Begin(*loaded.followPoint, whyNot);
}

std::optional<TraceFollower> TraceFollower::Begin(const FollowPoint& point, std::string& whyNot) {
  if (!point.refusal.empty()) {
    whyNot = point.refusal;
    return std::nullopt;
  }
  if (point.path.empty()) {
    whyNot = "cannot follow standard input";
    return std::nullopt;
  }
  struct stat status {};
  const int descriptor = OpenRegular(point.path, status, whyNot);
  if (descriptor < 0) {
    return std::nullopt;
  }
  TraceFollower follower(point, descriptor);
  if (IdentityOf(status) != point.identity) {
    // Replaced since the load: what it read is gone with the old file.
    follower.point_.identity = IdentityOf(status);
    follower.point_.offset = 0;
    follower.point_.tail.clear();
    follower.reader_ = TraceTextReader(ReaderContinuation{}, point.fileIndex);
    follower.firstNote_ = point.path + " was replaced: read the new file from its start";
  } else if (::lseek(descriptor, static_cast<off_t>(point.offset), SEEK_SET) < 0) {
    whyNot = "cannot follow " + point.path + ": " + std::strerror(errno);
    return std::nullopt;
  } else if (point.tail.empty() || point.tail.size() > point.offset) {
    const std::size_t size =
        static_cast<std::size_t>(std::min<std::uint64_t>(point.offset, kFollowTailSize));
    follower.point_.tail = ReadAt(descriptor, point.offset - size, size).value_or(std::string());
  }
  return follower;
}

TraceFollower::TraceFollower(const FollowPoint& point, int descriptor)
    : point_(point), descriptor_(descriptor), reader_(point.reader, point.fileIndex) {}

TraceFollower::TraceFollower(TraceFollower&& other) noexcept
    : point_(std::move(other.point_)),
      descriptor_(std::exchange(other.descriptor_, -1)),
      reader_(std::move(other.reader_)),
      block_(std::move(other.block_)),
      firstNote_(std::move(other.firstNote_)),
      waiting_(std::move(other.waiting_)),
      missingSince_(other.missingSince_),
      missingPathWait_(other.missingPathWait_),
      clock_(std::move(other.clock_)),
      skippedLines_(other.skippedLines_),
      firstSkippedLine_(other.firstSkippedLine_) {}

TraceFollower& TraceFollower::operator=(TraceFollower&& other) noexcept {
  if (this != &other) {
    Close();
    point_ = std::move(other.point_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    reader_ = std::move(other.reader_);
    block_ = std::move(other.block_);
    firstNote_ = std::move(other.firstNote_);
    waiting_ = std::move(other.waiting_);
    missingSince_ = other.missingSince_;
    missingPathWait_ = other.missingPathWait_;
    clock_ = std::move(other.clock_);
    skippedLines_ = other.skippedLines_;
    firstSkippedLine_ = other.firstSkippedLine_;
  }
  return *this;
}

TraceFollower::~TraceFollower() {
  Close();
}

void TraceFollower::SetMissingPathWait(std::chrono::milliseconds wait, Clock clock) {
  missingPathWait_ = wait;
  clock_ = std::move(clock);
}

void TraceFollower::Close() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
    descriptor_ = -1;
  }
}

void TraceFollower::AddNote(Batch& batch, const std::string& note) const {
  batch.note += batch.note.empty() ? note : "; " + note;
}

void TraceFollower::TakeSkippedLines() {
  if (reader_.SkippedLongLines() == 0) {
    return;
  }
  if (skippedLines_ == 0) {
    firstSkippedLine_ = reader_.FirstSkippedLine();
  }
  skippedLines_ += reader_.SkippedLongLines();
  reader_.ForgetSkippedLines();
}

void TraceFollower::EndContent(Batch& batch) {
  MoveMessages(batch.messages, reader_.Finish(), LineBlocks::Copied);
  TakeSkippedLines();
  reader_ = TraceTextReader(ReaderContinuation{}, point_.fileIndex);
  point_.offset = 0;
  point_.tail.clear();
}

bool TraceFollower::TailStillThere() {
  const std::string& tail = point_.tail;
  if (tail.empty()) {
    return true;
  }
  const std::optional<std::string> now =
      ReadAt(descriptor_, point_.offset - tail.size(), tail.size());
  // A failed read is told by the read that follows.
  return !now || *now == tail;
}

bool TraceFollower::ReadToEnd(Batch& batch) {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) {
    AddNote(batch, "cannot read " + point_.path + ": " + std::strerror(errno));
    return false;
  }
  // Truncated, or truncated and written past the follow point within one poll (copied and
  // truncated by a rotation): the lines read before stay in the trace; the file starts afresh.
  const bool truncated = static_cast<std::uint64_t>(status.st_size) < point_.offset;
  if (truncated || !TailStillThere()) {
    if (::lseek(descriptor_, 0, SEEK_SET) < 0) {
      AddNote(batch, "cannot read " + point_.path + ": " + std::strerror(errno));
      return false;
    }
    EndContent(batch);
    AddNote(batch, point_.path + (truncated ? " was truncated" : " was rewritten") +
                       ": read again from its start");
  }
  block_.resize(kBlockSize);
  for (;;) {
    const ssize_t got = ::read(descriptor_, block_.data(), block_.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      AddNote(batch, "cannot read " + point_.path + ": " + std::strerror(errno));
      return false;
    }
    if (got == 0) {
      return true;
    }
    const std::string_view read(block_.data(), static_cast<std::size_t>(got));
    reader_.Feed(read);
    point_.offset += read.size();
    std::string& tail = point_.tail;
    if (read.size() >= kFollowTailSize) {
      tail.assign(read.substr(read.size() - kFollowTailSize));
    } else {
      tail += read;
      tail.erase(0, tail.size() - std::min(tail.size(), kFollowTailSize));
    }
  }
}

bool TraceFollower::OpenAfresh(Batch& batch) {
  if (descriptor_ >= 0) {
    // The old file is done with.
    EndContent(batch);
    Close();
    point_.identity = {};
  }
  struct stat status {};
  std::string whyNot;
  const int descriptor = OpenRegular(point_.path, status, whyNot);
  if (descriptor < 0) {
    // Said once; the path is tried again at every poll.
    if (waiting_.empty()) {
      waiting_ = whyNot + "; waiting for a readable file";
      AddNote(batch, waiting_);
    }
    return true;
  }
  descriptor_ = descriptor;
  waiting_.clear();
  point_.identity = IdentityOf(status);
  AddNote(batch, point_.path + " was replaced: read the new file from its start");
  return ReadToEnd(batch);
}

bool TraceFollower::WaitForPath(Batch& batch) {
  const std::chrono::steady_clock::time_point now =
      clock_ ? clock_() : std::chrono::steady_clock::now();
  if (!missingSince_) {
    missingSince_ = now;
  }
  if (now - *missingSince_ < missingPathWait_) {
    return true;
  }
  AddNote(batch, point_.path + " disappeared: following stopped");
  return false;
}

TraceFollower::Batch TraceFollower::Poll() {
  Batch batch;
  batch.note = std::exchange(firstNote_, {});
  bool disappeared = false;
  bool reading = descriptor_ < 0 || ReadToEnd(batch);
  if (reading) {
    // A rotation renames the file and makes another: the old one is read on meanwhile.
    struct stat status {};
    const int error = ::stat(point_.path.c_str(), &status) != 0 ? errno : 0;
    if (error == ENOENT || error == ENOTDIR) {
      reading = WaitForPath(batch);
      disappeared = !reading;
    } else {
      missingSince_.reset();
      // A path that cannot be looked up keeps the file open read.
      if (descriptor_ < 0 || (error == 0 && IdentityOf(status) != point_.identity)) {
        reading = OpenAfresh(batch);
      }
    }
  }
  if (disappeared && descriptor_ >= 0) {
    EndContent(batch);  // its last line will not be ended now
    point_.identity = {};
  }
  MoveMessages(batch.messages, reader_.TakeMessages(), LineBlocks::Copied);
  TakeSkippedLines();
  if (skippedLines_ > 0) {
    // As a load of the trace says it: naming the file when the trace has several.
    LoadResult counted;
    counted.skippedLongLines = std::exchange(skippedLines_, 0);
    counted.firstSkippedLine = std::exchange(firstSkippedLine_, 0);
    if (point_.fileIndex > 0) {
      counted.firstSkippedFile = point_.path;
    }
    const std::string note = SkippedLinesNote(counted);
    AddNote(batch, point_.fileIndex > 0 ? note : point_.path + ": " + note);
  }
  batch.messages.filePaths.resize(point_.fileIndex + std::size_t{1});
  batch.messages.filePaths.back() = point_.path;
  batch.messages.fileIsTracelist.resize(point_.fileIndex + std::size_t{1});
  batch.stopped = !reading;
  if (!reading) {
    Close();
  }
  batch.waiting = reading ? waiting_ : std::string();
  batch.position = point_;
  batch.position.reader = reader_.Continuation();
  return batch;
}

}  // namespace sigrune
