#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "cli/output_buffer.h"

namespace sigrune {

// The lines of an input read as they come: LF, CR LF and a lone CR end a line, and a last line
// without one counts. A line longer than kMaxLineLength is passed over, not held. Before each
// read that may wait for more input the output is flushed, so a result shows as soon as its line
// has come, at no cost for an input that is there already.
class InputLines {
 public:
  // Reads the descriptor directly; nothing else may read it.
  InputLines(int fd, OutputBuffer& output);

  // The next line, false at the end of the input; `tooLong` for a line passed over.
  bool Next(std::string& line, bool& tooLong);
  // The errno of a failed read, 0 when the input ended well.
  int Error() const { return error_; }

 private:
  bool Refill();

  int fd_;
  OutputBuffer& output_;
  std::unique_ptr<char[]> buffer_;
  std::size_t next_ = 0;
  std::size_t end_ = 0;
  int error_ = 0;
  bool skipLineFeed_ = false;  // the last line ended in CR, so a LF next belongs to it
};

}  // namespace sigrune
