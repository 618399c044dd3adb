#pragma once

// Messages as a capture that Wireshark and tshark decode as Q.931 with no settings: one packet
// per message, in trace order, its octets after the tags of q931/pcap_packets.h, timed by the
// message's time column.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "q931/pcap_packets.h"
#include "trace/message_number.h"
#include "trace/message_store.h"
#include "writers/export_writer.h"

namespace sigrune {

// What a capture writes, and where it may not.
struct PcapOptions {
  // The server's side of every packet; the gateway's is the message's gateway address.
  Ipv4Address serverAddress{};
  // How far the trace's clock runs ahead of UTC (negative west of Greenwich).
  std::int64_t utcOffsetSeconds = 0;
  // Only these messages (in store order); every stored message when null.
  const RowMap* messages = nullptr;
  // To a file: the files of the trace, refused as the target.
  std::vector<std::string> tracePaths;
};

// Done, Cancelled, Failed (errorText: the file and the system's reason) or OutOfMemory.
struct PcapResult : OperationResult {
  std::size_t messagesWritten = 0;
  // Skipped: no octets to write, or a packet longer than kMaxPacketSize.
  std::size_t withoutOctets = 0;
  std::size_t tooLarge = 0;
  // Written with the time of the packet before (0 for the first): no time in the trace, or one
  // that a capture cannot hold (in UTC before 1970, or from 2106-02-07 06:28:16 on).
  std::size_t untimed = 0;
  std::size_t timeNotHeld = 0;
  // The errno of a failed write to a stream, which its caller reports in its own words.
  int writeError = 0;
};

// Writes the messages to a stream. A stopped or failed capture leaves what was written.
PcapResult WritePcap(std::FILE* stream, const MessageStore& store, const PcapOptions& options,
                     const ExportProgress& progress = {});

// The same to a file that replaces `path` only when complete: any outcome other than Done leaves
// an existing file as it was and no new one.
PcapResult WritePcap(const std::string& path, const MessageStore& store, const PcapOptions& options,
                     const ExportProgress& progress = {});

// What the user is told besides the count of packets, a line each: "3 messages skipped: no
// octets", "1 message skipped: too large ...", "2 messages without a time: ...", "1 message with
// a time a pcap file cannot hold: ...".
std::vector<std::string> PcapNotes(const PcapResult& result);

}  // namespace sigrune
