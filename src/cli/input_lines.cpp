#include "cli/input_lines.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "trace/trace_reader.h"

namespace sigrune {

namespace {
constexpr std::size_t kReadSize = 1u << 16;
}

InputLines::InputLines(int fd, OutputBuffer& output)
    : fd_(fd), output_(output), buffer_(new char[kReadSize]) {}

bool InputLines::Refill() {
  output_.Flush();
  ssize_t got = 0;
  do {
    got = ::read(fd_, buffer_.get(), kReadSize);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    error_ = errno;
  }
  next_ = 0;
  end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
  return got > 0;
}

bool InputLines::Next(std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  bool any = false;
  while (next_ < end_ || Refill()) {
    if (skipLineFeed_) {
      skipLineFeed_ = false;
      if (buffer_[next_] == '\n') {
        ++next_;
        continue;
      }
    }
    const char* const start = buffer_.get() + next_;
    const char* const limit = buffer_.get() + end_;
    const char* const stop =
        std::find_if(start, limit, [](char c) { return c == '\n' || c == '\r'; });
    const auto length = static_cast<std::size_t>(stop - start);
    if (!tooLong && line.size() + length > kMaxLineLength) {
      tooLong = true;
      line.clear();
    }
    if (!tooLong) {
      line.append(start, length);
    }
    next_ += length;
    if (next_ < end_) {
      skipLineFeed_ = buffer_[next_++] == '\r';
      return true;
    }
    any = any || length > 0;
  }
  return any;  // a last line without a line end
}

}  // namespace sigrune
