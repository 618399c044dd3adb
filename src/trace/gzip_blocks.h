#pragma once

// The text of a gzip file (one member, or several written one after another as rotation tools
// do), inflated on a thread of its own while the caller reads the blocks it hands over: a trace
// is read about as fast as it is inflated.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sigrune {

class GzipBlocks {
 public:
  // Reads from the descriptor, which stays open and must outlive this; `name` stands for the file
  // in the error text.
  GzipBlocks(int descriptor, std::string name);
  // Stops the inflating thread, wherever it is.
  ~GzipBlocks();
  GzipBlocks(const GzipBlocks&) = delete;
  GzipBlocks& operator=(const GzipBlocks&) = delete;

  // The next block of text, valid until the next call; empty at the end of the data or on a
  // failure (then ErrorText() says which).
  std::string_view Next();
  // The compressed bytes read to make the blocks handed over so far.
  std::uint64_t CompressedBytes() const { return compressedBytes_; }
  // "cannot read F: REASON" or "cannot read F: damaged gzip data at offset N (REASON)"; empty
  // while all is well.
  const std::string& ErrorText() const { return errorText_; }

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
  std::optional<std::size_t> reading_;  // the block handed over last
  std::uint64_t compressedBytes_ = 0;
  std::string errorText_;
};

}  // namespace sigrune
