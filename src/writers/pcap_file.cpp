#include "writers/pcap_file.h"

#include <pcap/pcap.h>

#include <cerrno>

namespace sigrune {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
// The stream's own buffer: libpcap hands each packet over in two small writes.
constexpr std::size_t kStreamBufferSize = 1 << 16;

}  // namespace

PcapFile::~PcapFile() {
  Close();
}

ssize_t PcapFile::WriteToSink(void* cookie, const char* bytes, std::size_t size) {
  auto& file = *static_cast<PcapFile*>(cookie);
  if (file.failed_) {
    errno = file.error_;
    return -1;
  }
  // No exception may cross the C library's stream code.
  try {
    errno = 0;
    if (file.sink_(std::string_view(bytes, size))) {
      return static_cast<ssize_t>(size);
    }
    file.error_ = errno != 0 ? errno : EIO;
  } catch (...) {
    file.error_ = ENOMEM;
  }
  file.failed_ = true;
  errno = file.error_;
  return -1;
}

bool PcapFile::Open(int linkType, std::uint32_t snapshotLength, Sink sink) {
  sink_ = std::move(sink);
  pcap_ = pcap_open_dead_with_tstamp_precision(linkType, static_cast<int>(snapshotLength),
                                               PCAP_TSTAMP_PRECISION_NANO);
  if (pcap_ == nullptr) {
    return false;
  }
  const cookie_io_functions_t functions = {nullptr, WriteToSink, nullptr, nullptr};
  std::FILE* stream = fopencookie(this, "w", functions);
  if (stream == nullptr) {
    return false;
  }
  std::setvbuf(stream, nullptr, _IOFBF, kStreamBufferSize);
  dumper_ = pcap_dump_fopen(pcap_, stream);
  if (dumper_ == nullptr) {
    std::fclose(stream);
    return false;
  }
  return !failed_;
}

void PcapFile::Write(MessageTime time, std::span<const std::uint8_t> packet) {
  pcap_pkthdr header{};
  header.ts.tv_sec = static_cast<time_t>(time / kNanosecondsPerSecond);
  // The microseconds' field carries nanoseconds in a file of nanosecond precision.
  header.ts.tv_usec = static_cast<suseconds_t>(time % kNanosecondsPerSecond);
  header.caplen = static_cast<bpf_u_int32>(packet.size());
  header.len = header.caplen;
  pcap_dump(reinterpret_cast<u_char*>(dumper_), &header, packet.data());
}

bool PcapFile::Close() {
  if (dumper_ != nullptr) {
    // Closing the dumper flushes and closes its stream; a failure there is seen by the sink.
    pcap_dump_close(dumper_);
    dumper_ = nullptr;
  }
  if (pcap_ != nullptr) {
    pcap_close(pcap_);
    pcap_ = nullptr;
  }
  return !failed_;
}

}  // namespace sigrune
