// Reads arbitrary bytes as a trace file in pieces on several threads, the piece size and the
// threads picked by the first two bytes (and the input's length), and as one reader reads it from
// start to end: the stores, the skipped lines and the follow points must be the same.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "memory_file.h"
#include "trace/trace_reader.h"

namespace {

// Every field of every message, the store's tables, the skipped lines and the follow point.
std::string Dump(const sigrune::LoadResult& loaded) {
  const sigrune::MessageStore& store = loaded.store;
  std::string text =
      std::to_string(static_cast<int>(loaded.outcome)) + " " + loaded.errorText + "\n";
  for (std::size_t k = 0; k < store.MessageCount(); ++k) {
    const sigrune::MessageColumns columns = store.msgColumns[k];
    char bytes[sizeof columns];
    std::memcpy(bytes, &columns, sizeof columns);
    text += std::string(DataLine(store, sigrune::MessageIndex{k})) + "|" +
            std::to_string(store.msgGatewayIps[k]) + " " +
            std::to_string(static_cast<int>(store.msgProtocols[k])) +
            (store.msgIsIncoming[k] ? " in " : " out ") + std::to_string(store.msgLineNumbers[k]) +
            " " + std::to_string(store.msgFiles[k]) + " " + std::to_string(store.msgTimes[k]) +
            " " + std::string(bytes, sizeof bytes) + "\n";
  }
  for (const std::string& gateway : store.gatewayIpTexts) {
    text += "gateway " + gateway + "\n";
  }
  for (std::size_t file = 0; file < store.filePaths.size(); ++file) {
    text += "file " + store.filePaths[file] + (store.fileIsTracelist[file] ? " tracelist\n" : "\n");
  }
  text += "skipped " + std::to_string(loaded.skippedLongLines) + " first " +
          std::to_string(loaded.firstSkippedLine) + "\n";
  if (loaded.followPoint) {
    const sigrune::ReaderContinuation& reader = loaded.followPoint->reader;
    text += "follow " + std::to_string(loaded.followPoint->offset) + " line " +
            std::to_string(reader.lineNumber) + " pending [" + reader.pendingLine + "] " +
            std::to_string(reader.pendingLength) + (reader.skipLineFeed ? " skipLF " : " ") +
            std::to_string(static_cast<int>(reader.protocol)) +
            (reader.isIncoming ? " in " : " out ") + std::to_string(reader.headerLineNumber) + " " +
            reader.gatewayAddress + (reader.pendingLineMadeMessage ? " made" : "") +
            (reader.isTracelist ? " tracelist\n" : "\n");
  }
  return text;
}

}  // namespace

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
  if (Dump(whole) != Dump(pieces)) {
    __builtin_trap();
  }
  return 0;
}
