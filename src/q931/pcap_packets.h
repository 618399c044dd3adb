#pragma once

// The packets of a capture that hands Q.931 messages to Wireshark: each message's octets after a
// run of exported-PDU tags, which name the dissector to read them with and the addresses, ports
// and direction they travelled with. A tag is a 2-octet number and a 2-octet length, big-endian,
// then its value; the run ends with tag 0 of length 0.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "trace/message_store.h"

namespace sigrune {

// The link type of such packets (Wireshark's upper PDU).
inline constexpr int kUpperPduLinkType = 252;
// The longest packet, tags included, that Wireshark reads.
inline constexpr std::size_t kMaxPacketSize = 262144;

using Ipv4Address = std::array<std::uint8_t, 4>;

// The address of a dotted-decimal text: four numbers of 0 to 255, in decimal digits only.
std::optional<Ipv4Address> ParseIpv4Address(std::string_view text);

// What a message's packet tells besides its octets.
struct PacketFacts {
  // H.225 messages go to the dissector that reads the user-user element as H.225, over TCP
  // port 1720 on both sides; any other to plain Q.931.
  Protocol protocol = Protocol::None;
  bool isIncoming = false;  // sent by the gateway to the server
  Ipv4Address gateway{};
  Ipv4Address server{};
};

// How many octets the tags of a message of this protocol take.
std::size_t PacketTagsSize(Protocol protocol);

// Appends the tags, PacketTagsSize of them, ready for the message's octets.
void AppendPacketTags(std::vector<std::uint8_t>& packet, const PacketFacts& facts);

}  // namespace sigrune
