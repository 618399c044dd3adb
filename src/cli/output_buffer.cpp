#include "cli/output_buffer.h"

namespace sigrune {

bool OutputBuffer::Flush() {
  if (!buffer_.empty() && !failed_) {
    failed_ = std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size();
  }
  buffer_.clear();
  failed_ = failed_ || std::fflush(stream_) != 0;
  return !failed_;
}

}  // namespace sigrune
