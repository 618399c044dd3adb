#pragma once

// A capture in libpcap's classic file format, with nanosecond times, written by libpcap onto a
// byte sink of the caller's: a file that replaces its target only when complete, or a stream
// such as standard output. libpcap writes to a stdio stream, so the sink is reached through one
// of the C library's cookie streams.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string_view>

#include "trace/message_time.h"

struct pcap;
struct pcap_dumper;

namespace sigrune {

class PcapFile {
 public:
  // Takes bytes in order; false when they could not be written, with errno telling why.
  using Sink = std::function<bool(std::string_view bytes)>;

  PcapFile() = default;
  PcapFile(const PcapFile&) = delete;
  PcapFile& operator=(const PcapFile&) = delete;
  ~PcapFile();

  // Writes the file header. False when libpcap could not start or the header not be written.
  bool Open(int linkType, std::uint32_t snapshotLength, Sink sink);

  // One packet; `time` is in nanoseconds since 1970 UTC, which the file holds up to 2106.
  void Write(MessageTime time, std::span<const std::uint8_t> packet);

  // Hands everything to the sink and ends the file; false when any write failed.
  bool Close();

  bool Failed() const { return failed_; }
  // The errno of the first failed write.
  int Error() const { return error_; }

 private:
  static ssize_t WriteToSink(void* cookie, const char* bytes, std::size_t size);

  Sink sink_;
  pcap* pcap_ = nullptr;
  pcap_dumper* dumper_ = nullptr;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace sigrune
