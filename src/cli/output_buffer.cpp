#include "cli/output_buffer.h"

#include <stdio_ext.h>

#include <cerrno>
#include <cstring>

#include "cli/command_line.h"

namespace sigrune {

namespace {

// The errno of a failed stream call; EIO should a stream fail without saying why.
int LastError() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

bool OutputBuffer::Flush() {
  if (error_ == 0) {
    errno = 0;
    if ((!buffer_.empty() &&
         std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size()) ||
        std::fflush(stream_) != 0) {
      error_ = LastError();
    }
  }
  buffer_.clear();
  return error_ == 0;
}

int WriteAndFlush(std::FILE* out, std::FILE* err, std::string_view text) {
  OutputBuffer output(out);
  output.Write(text);
  return FinishOutput(output, err, kExitSuccess);
}

int WriteError(std::FILE* err, int error) {
  if (error != EPIPE) {
    std::fprintf(err, "sigrune-cli: write error: %s\n", std::strerror(error));
  }
  return kExitFailure;
}

int FinishOutput(OutputBuffer& output, std::FILE* err, int status) {
  return output.Flush() ? status : WriteError(err, output.Error());
}

int CloseOutput(std::FILE* out, std::FILE* err, int status) {
  const bool seen = std::ferror(out) != 0;
  // Closing an output that was closed from the start fails with EBADF; that is no loss when
  // nothing was to be written.
  const bool pending = __fpending(out) != 0;
  errno = 0;
  const bool closeFailed = std::fclose(out) != 0;
  if (seen) {
    return kExitFailure;
  }
  if (closeFailed && (pending || errno != EBADF)) {
    return WriteError(err, LastError());
  }
  return status;
}

}  // namespace sigrune
