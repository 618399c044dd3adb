// Reads arbitrary bytes as a trace file in pieces on several threads, the piece size and the
// threads picked by the first two bytes (and the input's length), and as one reader reads it from
// start to end: the stores, the skipped lines and the follow points must be the same.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "../tests/load_dump.h"
#include "memory_file.h"
#include "trace/trace_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  // A few hundred pieces at most: each costs a reader, and long inputs would spend their time
  // there.
  const std::size_t pieceSize = std::max<std::size_t>(1 + data[0] % 128, size / 256);
  const unsigned threads = 1 + data[1] % 3;
  const int file = sigrune::MemoryFileOf("trace.txt", data + 2, size - 2);
  if (file < 0) {
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(file);
  const sigrune::LoadResult whole = sigrune::LoadTraceFile(
      path, {sigrune::AcceptedFiles::RegularOnly, {}, sigrune::PieceReading{0, 1}});
  const sigrune::LoadResult pieces = sigrune::LoadTraceFile(
      path, {sigrune::AcceptedFiles::RegularOnly, {}, sigrune::PieceReading{pieceSize, threads}});
  ::close(file);
  if (sigrune::Dump(whole) != sigrune::Dump(pieces)) {
    __builtin_trap();
  }
  return 0;
}
