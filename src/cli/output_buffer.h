#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace sigrune {

// Collects output in large pieces before it reaches the stream: a million short lines would
// otherwise cost a million writes.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::FILE* stream) : stream_(stream) {}
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;
  ~OutputBuffer() { Flush(); }

  void Write(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kFlushSize) {
      Flush();
    }
  }
  void Write(char c) { buffer_ += c; }

  // False once any write to the stream has failed.
  bool Flush();

 private:
  static constexpr std::size_t kFlushSize = 1u << 20;
  std::FILE* stream_;
  std::string buffer_;
  bool failed_ = false;
};

}  // namespace sigrune
