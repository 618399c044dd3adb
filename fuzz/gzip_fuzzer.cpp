// Reads arbitrary bytes as a gzip file through the inflating thread, and inflates them again in
// one pass in memory: both must give the same text, or the thread must say why it stopped. The
// text is then read as a trace.

#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "memory_file.h"
#include "trace/gzip_blocks.h"
#include "trace/trace_reader.h"

namespace {

// A highly compressed input inflates to at most about a thousand times its size; past this, the
// texts are not compared (the reader holds only a few blocks, whatever the size).
constexpr std::size_t kMostText = 64u << 20;

// Every member one after another, the zeros after the last skipped; false where the data is
// damaged or ends within a member.
bool InflateAll(std::string_view data, std::string& text) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
    return false;
  }
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  bool inMember = false;
  bool good = true;
  char out[65536];
  while (good && text.size() <= kMostText) {
    if (!inMember) {
      while (stream.avail_in > 0 && *stream.next_in == 0) {
        ++stream.next_in;
        --stream.avail_in;
      }
      if (stream.avail_in == 0) {
        break;
      }
      inMember = true;
    }
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = sizeof out;
    const int status = inflate(&stream, Z_NO_FLUSH);
    text.append(out, sizeof out - stream.avail_out);
    if (status == Z_STREAM_END) {
      inflateReset(&stream);
      inMember = false;
    } else if (status != Z_OK) {
      good = false;  // damaged, or the data ends within a member
    }
  }
  inflateEnd(&stream);
  return good;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int file = sigrune::MemoryFileOf("fuzz.gz", data, size);
  if (file < 0) {
    return 0;
  }

  std::string text;
  std::string error;
  {
    sigrune::GzipBlocks blocks(file, "fuzz.gz");
    sigrune::TraceTextReader reader;
    for (std::string_view block; !(block = blocks.Next()).empty();) {
      reader.Feed(block);
      if (text.size() <= kMostText) {
        text.append(block);
      }
    }
    reader.Finish();
    error = blocks.ErrorText();
  }
  ::close(file);

  std::string expected;
  const bool good =
      InflateAll(std::string_view(reinterpret_cast<const char*>(data), size), expected);
  if (!error.empty() && error.rfind("cannot read fuzz.gz: ", 0) != 0) {
    __builtin_trap();
  }
  if (text.size() > kMostText || expected.size() > kMostText) {
    return 0;
  }
  // A failure may come after some text: that text must be the start of the data's.
  if (good != error.empty() || (good ? text != expected : expected.rfind(text, 0) != 0)) {
    __builtin_trap();
  }
  return 0;
}
