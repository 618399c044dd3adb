#include "trace/gzip_blocks.h"

#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "util/large_allocator.h"

namespace sigrune {

namespace {

constexpr std::size_t kTextBlockSize = 2u << 20;
constexpr std::size_t kInputBlockSize = 256u << 10;
// One read by the caller, one being filled, one ready: neither thread waits for long.
constexpr std::size_t kTextBlocks = 3;

}  // namespace

struct GzipBlocks::Shared {
  struct Block {
    LargeVector<char> text;
    std::size_t size = 0;
    std::uint64_t compressedEnd = 0;
  };

  Shared(int file, std::string fileName) : descriptor(file), name(std::move(fileName)) {
    for (std::size_t k = 0; k < kTextBlocks; ++k) {
      blocks[k].text.resize(kTextBlockSize);
      free.push_back(k);
    }
  }

  void Inflate();
  // The next free block, or none once asked to stop.
  std::optional<std::size_t> TakeFreeBlock();
  void HandOver(std::size_t block, std::string error, bool last);

  const int descriptor;
  const std::string name;
  std::array<Block, kTextBlocks> blocks;

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::size_t> free;    // guarded by mutex
  std::deque<std::size_t> filled;  // guarded by mutex, in the order of the text
  bool finished = false;           // guarded by mutex: no block comes after those filled
  bool stopping = false;           // guarded by mutex
  std::string errorText;           // guarded by mutex
  std::thread thread;
};

std::optional<std::size_t> GzipBlocks::Shared::TakeFreeBlock() {
  std::unique_lock lock(mutex);
  changed.wait(lock, [this] { return stopping || !free.empty(); });
  if (stopping) {
    return std::nullopt;
  }
  const std::size_t block = free.front();
  free.pop_front();
  return block;
}

void GzipBlocks::Shared::HandOver(std::size_t block, std::string error, bool last) {
  const std::lock_guard lock(mutex);
  filled.push_back(block);
  finished = last;
  errorText = std::move(error);
  changed.notify_all();
}

void GzipBlocks::Shared::Inflate() {
  z_stream stream{};
  // 16: a gzip header and trailer, not a zlib one.
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
    const std::lock_guard lock(mutex);
    finished = true;
    errorText = "cannot read " + name + ": not enough memory";
    changed.notify_all();
    return;
  }
  std::vector<unsigned char> input(kInputBlockSize);
  std::uint64_t inputRead = 0;
  bool endOfInput = false;
  bool inMember = false;
  std::string error;
  while (error.empty()) {
    const std::optional<std::size_t> taken = TakeFreeBlock();
    if (!taken) {
      break;
    }
    Block& block = blocks[*taken];
    stream.next_out = reinterpret_cast<unsigned char*>(block.text.data());
    stream.avail_out = static_cast<uInt>(kTextBlockSize);
    while (stream.avail_out > 0 && error.empty()) {
      if (stream.avail_in == 0) {
        if (endOfInput) {
          break;
        }
        const ssize_t got = ::read(descriptor, input.data(), input.size());
        if (got < 0) {
          if (errno != EINTR) {
            error = "cannot read " + name + ": " + std::strerror(errno);
          }
          continue;
        }
        endOfInput = got == 0;
        inputRead += static_cast<std::uint64_t>(got);
        stream.next_in = input.data();
        stream.avail_in = static_cast<uInt>(got);
        continue;
      }
      if (!inMember) {
        // Some tools pad a file with zeros after its last member.
        while (stream.avail_in > 0 && *stream.next_in == 0) {
          ++stream.next_in;
          --stream.avail_in;
        }
        inMember = stream.avail_in > 0;
        continue;
      }
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        inflateReset(&stream);
        inMember = false;
      } else if (status != Z_OK && status != Z_BUF_ERROR) {
        error = "cannot read " + name + ": damaged gzip data at offset " +
                std::to_string(inputRead - stream.avail_in) + " (" +
                (stream.msg != nullptr ? stream.msg : "not gzip data") + ")";
      }
    }
    const bool ended = endOfInput && stream.avail_in == 0;
    if (ended && inMember && error.empty()) {
      error = "cannot read " + name + ": damaged gzip data at offset " + std::to_string(inputRead) +
              " (the data ends within a member)";
    }
    block.size = kTextBlockSize - stream.avail_out;
    block.compressedEnd = inputRead - stream.avail_in;
    const bool last = ended || !error.empty();
    HandOver(*taken, error, last);
    if (last) {
      break;
    }
  }
  inflateEnd(&stream);
}

GzipBlocks::GzipBlocks(int descriptor, std::string name)
    : shared_(std::make_unique<Shared>(descriptor, std::move(name))) {
  shared_->thread = std::thread([shared = shared_.get()] { shared->Inflate(); });
}

GzipBlocks::~GzipBlocks() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->changed.notify_all();
  }
  shared_->thread.join();
}

std::string_view GzipBlocks::Next() {
  std::unique_lock lock(shared_->mutex);
  for (;;) {
    if (reading_) {
      shared_->free.push_back(*reading_);
      reading_.reset();
      shared_->changed.notify_all();
    }
    shared_->changed.wait(lock, [this] { return !shared_->filled.empty() || shared_->finished; });
    if (shared_->filled.empty()) {
      errorText_ = shared_->errorText;
      return {};
    }
    reading_ = shared_->filled.front();
    shared_->filled.pop_front();
    const Shared::Block& block = shared_->blocks[*reading_];
    compressedBytes_ = block.compressedEnd;
    if (block.size > 0) {
      return std::string_view(block.text.data(), block.size);
    }
  }
}

}  // namespace sigrune
