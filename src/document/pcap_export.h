#pragma once

// Messages as a capture that Wireshark and tshark decode as Q.931 with no settings: one packet
// per message, in trace order, its octets after the tags of q931/pcap_packets.h, timed by the
// message's time column.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "q931/export_writer.h"
#include "q931/pcap_packets.h"
#include "trace/message_number.h"
#include "trace/message_store.h"

namespace sigrune {

struct PcapOptions {
  // The server's side of every packet; the gateway's is the message's gateway address.
  Ipv4Address serverAddress{};
  // How far the trace's clock runs ahead of UTC (negative west of Greenwich).
  std::int64_t utcOffsetSeconds = 0;
};

struct PcapResult {
  ExportOutcome outcome = ExportOutcome::Written;
  std::size_t messagesWritten = 0;
  // Skipped: no octets to write, or a packet longer than kMaxPacketSize.
  std::size_t withoutOctets = 0;
  std::size_t tooLarge = 0;
  // Written with the time of the packet before (0 for the first): no time in the trace, or one
  // that a capture cannot hold (in UTC before 1970, or from 2106-02-07 06:28:16 on).
  std::size_t untimed = 0;
  std::size_t timeNotHeld = 0;
  // What went wrong: the file and the system's reason.
  std::string errorText;
  // The errno of a failed write to a stream, which its caller reports in its own words.
  int writeError = 0;
};

// Writes the messages of the row map (every stored message when null) to a stream. A stopped or
// failed capture leaves what was written.
PcapResult WritePcap(std::FILE* stream, const MessageStore& store, const RowMap* messages,
                     const PcapOptions& options, const ExportProgress& progress = {});

// The same to a file that replaces `path` only when complete: any outcome other than Written
// leaves an existing file as it was and no new one. `tracePaths` are refused as the target.
PcapResult WritePcap(const std::string& path, const MessageStore& store, const RowMap* messages,
                     const PcapOptions& options, const ExportProgress& progress = {},
                     const std::vector<std::string>& tracePaths = {});

// What the user is told besides the count of packets, a line each: "3 messages skipped: no
// octets", "1 message skipped: too large ...", "2 messages without a time: ...", "1 message with
// a time a pcap file cannot hold: ...".
std::vector<std::string> PcapNotes(const PcapResult& result);

}  // namespace sigrune
