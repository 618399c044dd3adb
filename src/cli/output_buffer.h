#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace sigrune {

// Collects output in large pieces before it reaches the stream: a million short lines would
// otherwise cost a million writes. Once a write fails nothing more is written, and the commands
// stop.
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

  // Hands everything to the stream and flushes it; false once any write has failed.
  bool Flush();
  bool Failed() const { return error_ != 0; }
  // The errno of the first failed write.
  int Error() const { return error_; }

 private:
  static constexpr std::size_t kFlushSize = 1u << 20;
  std::FILE* stream_;
  std::string buffer_;
  int error_ = 0;
};

// Writes `text` to the stream and flushes it. A failure is reported as for WriteError.
int WriteAndFlush(std::FILE* out, std::FILE* err, std::string_view text);

// Reports a failed write of the output ("sigrune-cli: write error: REASON") and returns
// kExitFailure. A closed pipe (EPIPE, where SIGPIPE is ignored) ends the run without a word, as
// the signal would.
int WriteError(std::FILE* err, int error);

// Flushes the output and returns `status`, or reports a write error and returns kExitFailure.
int FinishOutput(OutputBuffer& output, std::FILE* err, int status);

// The last check of the program's output, after the command: flushes and closes it. A failure
// the command has not seen (the output was fine until then) is reported; one it has seen was
// reported by it already.
int CloseOutput(std::FILE* out, std::FILE* err, int status);

}  // namespace sigrune
