// Decodes every message of a trace, on one core and then on every usable one (in chunks taken in
// order, as find and export do), and reports messages per second.
// Usage: decode_throughput TRACE

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "q931/decoder.h"
#include "trace/trace_reader.h"
#include "util/ordered_chunks.h"

namespace {

constexpr std::size_t kChunkMessages = 4096;

// The decoded text's bytes of the messages in [first, end), with room kept between messages.
std::size_t DecodeRange(const sigrune::MessageStore& store, std::size_t first, std::size_t end,
                        sigrune::PayloadBytes& bytes, std::string& text) {
  std::size_t decoded = 0;
  for (std::size_t index = first; index < end; ++index) {
    text.clear();
    try {
      sigrune::ReadPayloadBytesOfMessage(store, sigrune::MessageIndex{index}, bytes);
      sigrune::AppendDecodedMessage(text, bytes);
    } catch (const sigrune::SubscriptOutOfRange&) {
    }
    decoded += text.size();
  }
  return decoded;
}

// The processor time of every thread so far, which shows what the threads cost beside one.
double ProcessorSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Start {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double processor = ProcessorSeconds();
};

void Report(const char* how, std::size_t messages, std::size_t bytes, const Start& start) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count();
  std::printf(
      "decode %s: %zu messages in %.3f s (%.3f s of processor): %.0f messages/s, %.0f MB of "
      "text/s\n",
      how, messages, seconds, ProcessorSeconds() - start.processor,
      static_cast<double>(messages) / seconds, static_cast<double>(bytes) / 1e6 / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_throughput TRACE\n");
    return 2;
  }
  const sigrune::LoadResult loaded = sigrune::LoadTraceFile(argv[1]);
  if (loaded.outcome != sigrune::OperationOutcome::Done) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  const sigrune::MessageStore& store = loaded.store;

  Start start;
  sigrune::PayloadBytes bytes;
  std::string text;
  Report("on one core", store.MessageCount(),
         DecodeRange(store, 0, store.MessageCount(), bytes, text), start);

  const unsigned threads = sigrune::ChunkThreads();
  struct Room {
    sigrune::PayloadBytes bytes;
    std::string text;
  };
  std::vector<sigrune::PerWorker<Room>> rooms(threads);
  std::size_t decoded = 0;
  start = Start();
  sigrune::TakeChunksInOrder<std::size_t>(
      (store.MessageCount() + kChunkMessages - 1) / kChunkMessages, threads,
      [&](std::size_t chunk, const sigrune::ChunkWork& work) {
        const std::size_t first = chunk * kChunkMessages;
        return DecodeRange(store, first, std::min(store.MessageCount(), first + kChunkMessages),
                           rooms[work.worker].state.bytes, rooms[work.worker].state.text);
      },
      [&](std::size_t, std::size_t chunkBytes) {
        decoded += chunkBytes;
        return true;
      },
      {});
  const std::string how = "on " + std::to_string(threads) + (threads == 1 ? " core" : " cores");
  Report(how.c_str(), store.MessageCount(), decoded, start);
  return 0;
}
