#include "q931/pcap_packets.h"

#include <charconv>

namespace sigrune {

namespace {

enum Tag : std::uint16_t {
  kEndOfOptions = 0,
  kDissectorName = 12,
  kIpv4Source = 20,
  kIpv4Destination = 21,
  kPortType = 24,
  kSourcePort = 25,
  kDestinationPort = 26,
  kDirection = 35,
};

constexpr std::uint32_t kTcpPortType = 2;
constexpr std::uint32_t kH225Port = 1720;
// As the server saw the message.
constexpr std::uint32_t kReceived = 1;
constexpr std::uint32_t kSent = 0;

constexpr std::size_t kTagHeaderSize = 4;
constexpr std::size_t kNumberTagSize = kTagHeaderSize + 4;

std::string_view DissectorName(Protocol protocol) {
  return protocol == Protocol::H225 ? "q931.over_ip" : "q931";
}

// A text value is padded with NUL octets to a multiple of 4, which its length counts.
std::size_t PaddedSize(std::size_t size) {
  return (size + 3) / 4 * 4;
}

void AppendBigEndian(std::vector<std::uint8_t>& packet, std::uint32_t value, int octets) {
  for (int shift = 8 * (octets - 1); shift >= 0; shift -= 8) {
    packet.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void AppendTagHeader(std::vector<std::uint8_t>& packet, Tag tag, std::size_t length) {
  AppendBigEndian(packet, tag, 2);
  AppendBigEndian(packet, static_cast<std::uint32_t>(length), 2);
}

void AppendNumberTag(std::vector<std::uint8_t>& packet, Tag tag, std::uint32_t value) {
  AppendTagHeader(packet, tag, 4);
  AppendBigEndian(packet, value, 4);
}

void AppendAddressTag(std::vector<std::uint8_t>& packet, Tag tag, const Ipv4Address& address) {
  AppendTagHeader(packet, tag, address.size());
  packet.insert(packet.end(), address.begin(), address.end());
}

}  // namespace

std::optional<Ipv4Address> ParseIpv4Address(std::string_view text) {
  Ipv4Address address{};
  const char* p = text.data();
  const char* const end = p + text.size();
  for (std::size_t k = 0; k < address.size(); ++k) {
    if (k > 0 && (p == end || *p++ != '.')) {
      return std::nullopt;
    }
    // from_chars takes no sign or blank, but would take "0x" as 0 followed by more.
    const auto [last, error] = std::from_chars(p, end, address[k]);
    if (error != std::errc() || last == p || last - p > 3) {
      return std::nullopt;
    }
    p = last;
  }
  return p == end ? std::optional(address) : std::nullopt;
}

std::size_t PacketTagsSize(Protocol protocol) {
  const std::size_t ports = protocol == Protocol::H225 ? 3 * kNumberTagSize : 0;
  return kTagHeaderSize + PaddedSize(DissectorName(protocol).size()) + 2 * kNumberTagSize + ports +
         kNumberTagSize + kTagHeaderSize;
}

void AppendPacketTags(std::vector<std::uint8_t>& packet, const PacketFacts& facts) {
  const std::string_view name = DissectorName(facts.protocol);
  AppendTagHeader(packet, kDissectorName, PaddedSize(name.size()));
  packet.insert(packet.end(), name.begin(), name.end());
  packet.insert(packet.end(), PaddedSize(name.size()) - name.size(), 0);
  AppendAddressTag(packet, kIpv4Source, facts.isIncoming ? facts.gateway : facts.server);
  AppendAddressTag(packet, kIpv4Destination, facts.isIncoming ? facts.server : facts.gateway);
  if (facts.protocol == Protocol::H225) {
    AppendNumberTag(packet, kPortType, kTcpPortType);
    AppendNumberTag(packet, kSourcePort, kH225Port);
    AppendNumberTag(packet, kDestinationPort, kH225Port);
  }
  AppendNumberTag(packet, kDirection, facts.isIncoming ? kReceived : kSent);
  AppendTagHeader(packet, kEndOfOptions, 0);
}

}  // namespace sigrune
