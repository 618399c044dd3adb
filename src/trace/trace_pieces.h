#pragma once

// A regular file read in pieces on several threads at once, joined into the store that one reader
// reading it from start to end would have built.

#include <cstdint>
#include <optional>
#include <string>

#include "trace/trace_reader.h"

namespace sigrune {

// The load of a regular, uncompressed file of `fileSize` bytes from `descriptor`; none when the
// file does not lend itself to pieces (too small, or a first line too long to tell whether it is
// a <Tracelist> document), to be read from start to end instead. The follow point is that of
// ReadDescriptor: everything but the path and identity.
std::optional<LoadResult> ReadInPieces(int descriptor, const std::string& name,
                                       std::uint64_t fileSize, const LoadProgress& progress,
                                       const LoadWatch& watch, const PieceReading& pieces);

}  // namespace sigrune
