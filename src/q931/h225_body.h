#pragma once

// The H323-UserInformation that an H.225 message carries in its user-user element, after the
// protocol discriminator 0x05, read from its aligned PER encoding. The facts are plain numbers
// and views of the message's octets: no text is made until one is asked for, and a value decoded
// message after message keeps the room of its lists, so that code grouping calls can read the
// call identifier, the media and the release reason of a million messages cheaply.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "q931/aligned_per.h"
#include "q931/payload_bytes.h"

namespace sigrune {

using Guid = std::array<std::uint8_t, 16>;

// "c0fef93e-cd9e-d611-9ab2-000476222017": the octets in order, lower-case, dashed 8-4-4-4-12.
void AppendGuid(std::string& text, const Guid& guid);

struct NetworkAddress {
  enum class Kind : std::uint8_t { None, Ipv4, Ipv6, Other };
  Kind kind = Kind::None;
  bool multicast = false;
  std::uint16_t port = 0;
  std::array<std::uint8_t, 16> ip{};  // the first 4 for IPv4
  const char* otherName = "";         // the alternative's name for Other: kept small for the calls

  // As read: the IP's 4 or 16 octets and a port, or another kind of address by its name.
  void SetIp(const OctetView& octets, std::uint32_t readPort);
  void SetOther(const char* name);
};

bool IsPresent(const NetworkAddress& address);
// "192.0.2.10:1720", "[2001:db8::1]:1720", or the name of another kind of address.
void AppendNetworkAddress(std::string& text, const NetworkAddress& address);
// The IP address alone.
void AppendIpAddress(std::string& text, const NetworkAddress& address);

struct AliasAddress {
  std::uint8_t kind = 0;     // an index of AliasKindName
  PerText text;              // for the string kinds and partyNumber's digits
  NetworkAddress transport;  // for transportID
};
// "dialledDigits", "h323-ID", ..., or the index for one unknown.
std::string AliasKindName(std::uint8_t kind);
// The alias's text: its characters, or the address of a transportID.
void AppendAliasText(std::string& text, const AliasAddress& alias);

struct EndpointInfo {
  bool present = false;
  bool gatekeeper = false;
  bool gateway = false;
  bool mcu = false;
  bool terminal = false;
  bool mc = false;
  bool hasVendor = false;
  std::uint8_t countryCode = 0;
  std::uint8_t countryExtension = 0;
  std::uint16_t manufacturerCode = 0;
  bool hasProduct = false;
  bool hasVersion = false;
  PerText product;
  PerText version;
};
// "terminal", "gateway mc": the kinds present, in the order above.
std::string EndpointKinds(const EndpointInfo& info);

// One fast-start element: an OpenLogicalChannel's forward or reverse parameters.
struct FastStartChannel {
  bool reverse = false;
  std::uint8_t dataType = 0;  // an index of DataTypeName
  int audio = -1;             // for audioData: an index of AudioCapabilityName
  int framesPerPacket = -1;   // where the capability has it
  // False for a data type whose parameters are not read (video, data): then what follows it is
  // unknown.
  bool complete = true;
  int sessionID = -1;
  NetworkAddress mediaChannel;
  NetworkAddress mediaControlChannel;
};
// The audio capability's name for audioData, else the data type's.
std::string CodecName(const FastStartChannel& channel);

struct H225UserInformation {
  int body = -1;  // an index of BodyName; -1 until read
  OctetView protocolIdentifier;
  bool hasProtocolIdentifier = false;
  bool hasCallIdentifier = false;
  Guid callIdentifier{};
  bool hasConferenceID = false;
  Guid conferenceID{};
  int conferenceGoal = -1;
  int callType = -1;
  std::vector<AliasAddress> sourceAddress;
  std::vector<AliasAddress> destinationAddress;
  EndpointInfo sourceInfo;
  EndpointInfo destinationInfo;
  NetworkAddress sourceCallSignalAddress;
  NetworkAddress destCallSignalAddress;
  NetworkAddress h245Address;
  std::vector<FastStartChannel> fastStart;
  int h245Tunnelling = -1;  // -1 absent, else 0 or 1
  int mediaWaitForConnect = -1;
  int canOverlapSend = -1;
  int releaseCompleteReason = -1;
  int facilityReason = -1;
  bool h4501SupplementaryService = false;
  bool nonStandardData = false;
  // Set when the body does not decode; the fields above hold what was read before.
  PerFailure failure;
};

std::string BodyName(int body);
std::string ConferenceGoalName(int goal);
std::string CallTypeName(int type);
std::string ReleaseCompleteReasonName(int reason);
std::string FacilityReasonName(int reason);
std::string DataTypeName(int type);
std::string AudioCapabilityName(int capability);

// The contents of the message's first user-user element whose first octet is 0x05, and the
// message position of that octet; false when it has none.
bool FindH225UserInformation(const PayloadBytes& bytes, OctetView& contents,
                             std::int64_t& firstOctet);

// Decodes the contents of such an element (the discriminator first) into `information`, which
// is emptied first but keeps the room of its lists.
void DecodeH225UserInformation(const OctetView& contents, std::int64_t firstOctet,
                               H225UserInformation& information);

// Reads one fast-start element, an OpenLogicalChannel, into channels (its forward parameters,
// then its reverse ones when present).
void DecodeOpenLogicalChannel(PerReader& reader, std::vector<FastStartChannel>& channels);

// The section the pane and `show --h225-body` add after the dump: "H.225 user information" and
// one indented line per field, CR LF line ends; nothing for a message without user information.
std::string H225Section(const PayloadBytes& bytes);

}  // namespace sigrune
