#include "trace/trace_follower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace sigrune {

namespace {

constexpr std::size_t kBlockSize = 256u << 10;

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// A regular file opened for reading, or -1 with why not.
int OpenRegular(const std::string& path, struct stat& status, std::string& whyNot) {
  int descriptor;
  do {
    descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) {
    whyNot = "cannot follow " + path + ": " + std::strerror(errno);
    return -1;
  }
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    whyNot = "cannot follow " + path + ": " +
             (S_ISFIFO(status.st_mode) ? "it is a FIFO" : "not a regular file");
    ::close(descriptor);
    return -1;
  }
  return descriptor;
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
    follower.reader_ = TraceTextReader(ReaderContinuation{}, point.fileIndex);
    follower.firstNote_ = point.path + " was replaced: read the new file from its start";
  } else if (::lseek(descriptor, static_cast<off_t>(point.offset), SEEK_SET) < 0) {
    whyNot = "cannot follow " + point.path + ": " + std::strerror(errno);
    return std::nullopt;
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
      firstNote_(std::move(other.firstNote_)) {}

TraceFollower& TraceFollower::operator=(TraceFollower&& other) noexcept {
  if (this != &other) {
    Close();
    point_ = std::move(other.point_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    reader_ = std::move(other.reader_);
    block_ = std::move(other.block_);
    firstNote_ = std::move(other.firstNote_);
  }
  return *this;
}

TraceFollower::~TraceFollower() {
  Close();
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

bool TraceFollower::ReadToEnd(Batch& batch) {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) {
    AddNote(batch, "cannot read " + point_.path + ": " + std::strerror(errno));
    return false;
  }
  if (static_cast<std::uint64_t>(status.st_size) < point_.offset) {
    // Truncated: the lines read before stay in the trace; the file starts afresh.
    if (::lseek(descriptor_, 0, SEEK_SET) < 0) {
      AddNote(batch, "cannot read " + point_.path + ": " + std::strerror(errno));
      return false;
    }
    MoveMessages(batch.messages, reader_.TakeMessages(), LineBlocks::Copied);
    point_.offset = 0;
    reader_ = TraceTextReader(ReaderContinuation{}, point_.fileIndex);
    AddNote(batch, point_.path + " was truncated: read again from its start");
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
    reader_.Feed(std::string_view(block_.data(), static_cast<std::size_t>(got)));
    point_.offset += static_cast<std::uint64_t>(got);
  }
}

bool TraceFollower::OpenAfresh(Batch& batch) {
  // The old file is done with: its unended last line is a whole one.
  MoveMessages(batch.messages, reader_.Finish(), LineBlocks::Copied);
  Close();
  struct stat status {};
  std::string whyNot;
  descriptor_ = OpenRegular(point_.path, status, whyNot);
  if (descriptor_ < 0) {
    AddNote(batch, whyNot);
    return false;
  }
  point_.identity = IdentityOf(status);
  point_.offset = 0;
  reader_ = TraceTextReader(ReaderContinuation{}, point_.fileIndex);
  AddNote(batch, point_.path + " was replaced: read the new file from its start");
  return ReadToEnd(batch);
}

TraceFollower::Batch TraceFollower::Poll() {
  Batch batch;
  batch.note = std::exchange(firstNote_, {});
  bool reading = descriptor_ >= 0 && ReadToEnd(batch);
  if (reading) {
    struct stat status {};
    if (::stat(point_.path.c_str(), &status) != 0) {
      AddNote(batch, point_.path + " disappeared: following stopped");
      reading = false;
    } else if (IdentityOf(status) != point_.identity) {
      reading = OpenAfresh(batch);
    }
  }
  MoveMessages(batch.messages, reader_.TakeMessages(), LineBlocks::Copied);
  batch.messages.filePaths.resize(point_.fileIndex + std::size_t{1});
  batch.messages.filePaths.back() = point_.path;
  batch.messages.fileIsTracelist.resize(point_.fileIndex + std::size_t{1});
  batch.stopped = !reading;
  if (!reading) {
    Close();
  }
  batch.position = point_;
  batch.position.reader = reader_.Continuation();
  return batch;
}

}  // namespace sigrune
