#include "writers/pcap_export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "q931/decoder.h"
#include "q931/payload_bytes.h"
#include "trace/summary_line.h"
#include "util/text_utilities.h"
#include "writers/pcap_file.h"

namespace sigrune {

namespace {

constexpr MessageTime kNanosecondsPerSecond = 1'000'000'000;
// A capture's seconds are 32 bits without a sign.
constexpr MessageTime kLatestCaptureTime = (MessageTime{1} << 32) * kNanosecondsPerSecond - 1;

// The messages to write, one at a time: every stored message, or those of a row map.
struct Selection {
  const MessageStore& store;
  const RowMap* rows;

  std::size_t Count() const { return rows != nullptr ? rows->size() : store.MessageCount(); }
  std::size_t IndexAt(std::size_t k) const {
    return rows != nullptr ? IndexOf((*rows)[k]).value : k;
  }
};

// The size of the message's packet, tags included; 0 for a message without octets.
std::size_t PacketSize(const MessageStore& store, std::size_t index) {
  const KeptLine kept = ReadKeptLine(store, MessageIndex{index});
  const std::size_t octets = kept.shape != nullptr
                                 ? kept.text.size()
                                 : SpacedHexOctetCount(PayloadTextWithBlanks(
                                       kept.text, IsTracelist(store, MessageIndex{index})));
  return octets == 0 ? 0 : PacketTagsSize(store.msgProtocols[index]) + octets;
}

// The time in the capture of a message's time on the trace's clock, if the capture holds it.
std::optional<MessageTime> CaptureTime(MessageTime time, std::int64_t utcOffsetSeconds) {
  const MessageTime offset = utcOffsetSeconds * kNanosecondsPerSecond;
  if (time == kNoTime || time < offset || time > kLatestCaptureTime + offset) {
    return std::nullopt;
  }
  return time - offset;
}

// The address of each of the store's gateway texts; 0.0.0.0 for the empty one.
std::vector<Ipv4Address> GatewayAddresses(const MessageStore& store) {
  std::vector<Ipv4Address> addresses;
  for (const std::string& text : store.gatewayIpTexts) {
    addresses.push_back(ParseIpv4Address(text).value_or(Ipv4Address{}));
  }
  return addresses;
}

PcapResult WritePackets(const Selection& selection, const PcapOptions& options,
                        const ExportProgress& progress, PcapFile::Sink sink) {
  const MessageStore& store = selection.store;
  const std::size_t count = selection.Count();
  PcapResult result;
  // The file header comes first and holds the longest packet's size. A first pass reads only
  // the sizes, a small share of the work: buffering the packets would hold a whole trace's in
  // memory, and going back to the header afterwards cannot be done on a pipe.
  std::size_t longest = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t size = PacketSize(store, selection.IndexAt(k));
    if (size == 0) {
      ++result.withoutOctets;
    } else if (size > kMaxPacketSize) {
      ++result.tooLarge;
    } else {
      longest = std::max(longest, size);
    }
  }

  PcapFile file;
  if (!file.Open(kUpperPduLinkType, static_cast<std::uint32_t>(longest), std::move(sink))) {
    result.outcome = file.Failed() ? OperationOutcome::Failed : OperationOutcome::OutOfMemory;
    result.writeError = file.Error();
    return result;
  }
  const std::vector<Ipv4Address> gateways = GatewayAddresses(store);
  PayloadBytes bytes;
  std::vector<std::uint8_t> packet;
  MessageTime time = 0;
  for (std::size_t k = 0; k < count && !file.Failed(); ++k) {
    if (progress && k % kMessagesPerProgress == 0 && !progress(k, count)) {
      result.outcome = OperationOutcome::Cancelled;
      return result;
    }
    const std::size_t index = selection.IndexAt(k);
    const std::size_t size = PacketSize(store, index);
    if (size == 0 || size > kMaxPacketSize) {
      continue;  // counted above
    }
    ReadPayloadBytesOfMessage(store, MessageIndex{index}, bytes);
    const PacketFacts facts{store.msgProtocols[index], store.msgIsIncoming[index],
                            gateways[store.msgGatewayIps[index]], options.serverAddress};
    packet.clear();
    AppendPacketTags(packet, facts);
    packet.insert(packet.end(), bytes.Octets().begin(), bytes.Octets().end());
    // A message without a time keeps the order of the packets.
    const MessageTime messageTime = store.msgTimes[index];
    if (const auto captureTime = CaptureTime(messageTime, options.utcOffsetSeconds)) {
      time = *captureTime;
    } else if (messageTime == kNoTime) {
      ++result.untimed;
    } else {
      ++result.timeNotHeld;
    }
    file.Write(time, packet);
    ++result.messagesWritten;
  }
  if (!file.Close()) {
    result.outcome = OperationOutcome::Failed;
    result.writeError = file.Error();
    return result;
  }
  if (progress) {
    progress(count, count);
  }
  return result;
}

}  // namespace

PcapResult WritePcap(std::FILE* stream, const MessageStore& store, const PcapOptions& options,
                     const ExportProgress& progress) {
  try {
    PcapResult result = WritePackets(
        {store, options.messages}, options, progress, [stream](std::string_view bytes) {
          return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
        });
    if (result.outcome == OperationOutcome::Done && std::fflush(stream) != 0) {
      result.outcome = OperationOutcome::Failed;
      result.writeError = errno;
    }
    if (result.outcome == OperationOutcome::Failed) {
      result.errorText = std::string("write error: ") + std::strerror(result.writeError);
    }
    return result;
  } catch (const std::bad_alloc&) {
    return OutOfMemory<PcapResult>("capture stopped: not enough memory");
  }
}

PcapResult WritePcap(const std::string& path, const MessageStore& store, const PcapOptions& options,
                     const ExportProgress& progress) {
  return WriteReplacingTarget<PcapResult>(path, options.tracePaths, [&](auto&& write) {
    return WritePackets({store, options.messages}, options, progress, write);
  });
}

std::vector<std::string> PcapNotes(const PcapResult& result) {
  std::vector<std::string> notes;
  if (result.withoutOctets > 0) {
    notes.push_back(CountOf(result.withoutOctets, "message", "messages") + " skipped: no octets");
  }
  if (result.tooLarge > 0) {
    notes.push_back(CountOf(result.tooLarge, "message", "messages") +
                    " skipped: too large for a packet (262,144 octets at most)");
  }
  if (result.untimed > 0) {
    notes.push_back(CountOf(result.untimed, "message", "messages") +
                    " without a time: written at the time of the packet before");
  }
  if (result.timeNotHeld > 0) {
    notes.push_back(CountOf(result.timeNotHeld, "message", "messages") +
                    " with a time a pcap file cannot hold: written at the time of the packet "
                    "before");
  }
  return notes;
}

}  // namespace sigrune
