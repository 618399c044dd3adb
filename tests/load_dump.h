#pragma once

// A load written out whole, for comparing two loads of one file (the tests and the differential
// fuzz target share it).

#include <cstring>
#include <string>

#include "trace/trace_reader.h"

namespace sigrune {

// Every field of every message, the store's tables, the skipped lines and where a follower would
// read on: one line each, so that a difference shows where it is.
inline std::string Dump(const LoadResult& loaded) {
  const MessageStore& store = loaded.store;
  std::string text =
      "outcome " + std::to_string(static_cast<int>(loaded.outcome)) + " " + loaded.errorText + "\n";
  for (std::size_t k = 0; k < store.MessageCount(); ++k) {
    MessageColumns columns = store.msgColumns[k];
    char bytes[sizeof columns];
    std::memcpy(bytes, &columns, sizeof columns);
    text += std::to_string(k) + " [" + std::string(DataLine(store, MessageIndex{k})) + "] " +
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
    const ReaderContinuation& reader = loaded.followPoint->reader;
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

}  // namespace sigrune
