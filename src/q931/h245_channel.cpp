// A fast-start element: an OpenLogicalChannel of H.245 (module MULTIMEDIA-SYSTEM-CONTROL), read
// for its data type, session and media addresses. What follows them in the element is not read.

#include <string_view>

#include "q931/h225_body.h"

namespace sigrune {

namespace {

constexpr std::string_view kDataTypes[] = {
    "nonStandard",           "nullData",    "videoData", "audioData",         "data",
    "encryptionData",        "h235Control", "h235Media", "multiplexedStream", "redundancyEncoding",
    "multiplePayloadStream", "depFec",      "fec"};
constexpr std::string_view kAudioCapabilities[] = {"nonStandard",
                                                   "g711Alaw64k",
                                                   "g711Alaw56k",
                                                   "g711Ulaw64k",
                                                   "g711Ulaw56k",
                                                   "g722-64k",
                                                   "g722-56k",
                                                   "g722-48k",
                                                   "g7231",
                                                   "g728",
                                                   "g729",
                                                   "g729AnnexA",
                                                   "is11172AudioCapability",
                                                   "is13818AudioCapability",
                                                   "g729wAnnexB",
                                                   "g729AnnexAwAnnexB",
                                                   "g7231AnnexCCapability",
                                                   "gsmFullRate",
                                                   "gsmHalfRate",
                                                   "gsmEnhancedFullRate",
                                                   "genericAudioCapability",
                                                   "g729Extensions",
                                                   "vbd",
                                                   "audioTelephonyEvent",
                                                   "audioTone"};

enum DataType { kNonStandard = 0, kVideoData = 2, kAudioData = 3, kData = 4, kEncryption = 5 };

template <std::size_t size>
std::string NameOf(const std::string_view (&names)[size], int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < size) {
    return std::string(names[index]);
  }
  return "alternative " + std::to_string(index);
}

// H.245's NonStandardParameter: its identifier's CHOICE has no extensions.
void SkipNonStandardParameter(PerReader& reader) {
  if (reader.Choice(2, false, nullptr) == 0) {
    reader.ObjectIdentifier();
  } else {
    reader.Constrained(0, 255);
    reader.Constrained(0, 255);
    reader.Constrained(0, 65535);
  }
  reader.OctetString();
}

void ReadIpAddress(PerReader& reader, NetworkAddress& address, int octets) {
  const bool extended = reader.Bit();
  const OctetView ip = reader.FixedOctets(static_cast<std::uint32_t>(octets));
  const std::uint32_t port = reader.Constrained(0, 65535);
  SkipExtensions(reader, extended);
  if (reader.Ok()) {
    address.SetIp(ip, port);
  }
}

void SetOther(PerReader& reader, NetworkAddress& address, const char* name) {
  if (reader.Ok()) {
    address.SetOther(name);
  }
}

// H.245's TransportAddress: a unicast or multicast one.
void ReadTransportAddress(PerReader& reader, NetworkAddress& address) {
  address = {};
  PerReader open = reader;
  const std::uint32_t cast = reader.Choice(2, true, &open);
  if (cast == 1) {
    address.multicast = true;
    const std::uint32_t kind = reader.Choice(2, true, nullptr);
    if (kind < 2) {
      ReadIpAddress(reader, address, kind == 0 ? 4 : 16);
    } else {
      SetOther(reader, address, kind == 2 ? "nsap" : "nonStandardAddress");
    }
    return;
  }
  if (cast != 0) {
    SetOther(reader, address, "unknown");
    return;
  }
  switch (reader.Choice(5, true, nullptr)) {
    case 0:
      ReadIpAddress(reader, address, 4);
      return;
    case 1: {
      const bool extended = reader.Bit();
      reader.FixedOctets(6);
      reader.FixedOctets(4);
      reader.FixedOctets(2);
      SkipExtensions(reader, extended);
      SetOther(reader, address, "iPXAddress");
      return;
    }
    case 2:
      ReadIpAddress(reader, address, 16);
      return;
    case 3:
      reader.FixedOctets(16);
      SetOther(reader, address, "netBios");
      return;
    case 4: {
      const bool extended = reader.Bit();
      reader.Choice(2, false, nullptr);
      reader.FixedOctets(4);
      reader.Constrained(0, 65535);
      const std::uint32_t route = reader.Count(32);
      for (std::uint32_t k = 0; k < route && reader.Ok(); ++k) {
        reader.FixedOctets(4);
      }
      SkipExtensions(reader, extended);
      SetOther(reader, address, "iPSourceRouteAddress");
      return;
    }
    case 5:
      SetOther(reader, address, "nsap");
      return;
    case 6:
      SetOther(reader, address, "nonStandardAddress");
      return;
    default:
      SetOther(reader, address, "unknown");
      return;
  }
}

void ReadAudioCapability(PerReader& reader, FastStartChannel& channel) {
  PerReader open = reader;
  const std::uint32_t capability = reader.Choice(14, true, &open);
  channel.audio = static_cast<int>(std::min<std::uint32_t>(capability, 0xFFFF));
  switch (capability) {
    case 0:
      SkipNonStandardParameter(reader);
      return;
    case 8: {
      channel.framesPerPacket = static_cast<int>(reader.Constrained(1, 256));
      reader.Bit();  // silenceSuppression
      return;
    }
    case 12: {
      const bool extended = reader.Bit();
      reader.Bits(8);
      reader.Constrained(1, 448);
      SkipExtensions(reader, extended);
      return;
    }
    case 13: {
      const bool extended = reader.Bit();
      reader.Bits(20);
      reader.Constrained(1, 1130);
      SkipExtensions(reader, extended);
      return;
    }
    case 14:
    case 15:
      channel.framesPerPacket = static_cast<int>(open.Constrained(1, 256));
      return;
    case 16:
      open.Bits(2);  // the extension bit, whether the annex C modes are given
      channel.framesPerPacket = static_cast<int>(open.Constrained(1, 256));
      return;
    default:
      if (capability < 12) {  // g711 to g729AnnexA: the frames per packet alone
        channel.framesPerPacket = static_cast<int>(reader.Constrained(1, 256));
      }
      return;
  }
}

void ReadDataType(PerReader& reader, FastStartChannel& channel) {
  const std::uint32_t type = reader.Choice(6, true, nullptr);
  channel.dataType = static_cast<std::uint8_t>(std::min<std::uint32_t>(type, 255));
  switch (type) {
    case kNonStandard:
      SkipNonStandardParameter(reader);
      return;
    case kVideoData:
    case kData:
      // Their capabilities are many and long, and no media address of a call hangs on them.
      channel.complete = false;
      return;
    case kAudioData:
      ReadAudioCapability(reader, channel);
      return;
    case kEncryption:
      if (reader.Choice(2, true, nullptr) == 0) {
        SkipNonStandardParameter(reader);
      }
      return;
    default:
      return;  // nullData, and the extensions skipped by Choice
  }
}

void ReadH2250Parameters(PerReader& reader, FastStartChannel& channel) {
  reader.Bit();  // the extension bit: nothing after the media control channel is read
  const bool nonStandard = reader.Bit();
  const bool associatedSession = reader.Bit();
  const bool mediaChannel = reader.Bit();
  const bool mediaGuaranteed = reader.Bit();
  const bool mediaControlChannel = reader.Bit();
  reader.Bits(5);  // the options after it
  if (nonStandard) {
    const std::uint32_t count = reader.Count(8);
    for (std::uint32_t k = 0; k < count && reader.Ok(); ++k) {
      SkipNonStandardParameter(reader);
    }
  }
  const std::uint32_t session = reader.Constrained(0, 255);
  if (reader.Ok()) {
    channel.sessionID = static_cast<int>(session);
  }
  if (associatedSession) {
    reader.Constrained(1, 255);
  }
  if (mediaChannel) {
    NetworkAddress address;
    ReadTransportAddress(reader, address);
    if (reader.Ok()) {
      channel.mediaChannel = address;
    }
  }
  if (mediaGuaranteed) {
    reader.Bit();
  }
  if (mediaControlChannel) {
    NetworkAddress address;
    ReadTransportAddress(reader, address);
    if (reader.Ok()) {
      channel.mediaControlChannel = address;
    }
  }
}

// The multiplex parameters: H.225 uses the extension alternative of H.225.0 alone.
void ReadMultiplexParameters(PerReader& reader, FastStartChannel& channel, std::uint32_t roots) {
  PerReader open = reader;
  const std::uint32_t parameters = reader.Choice(roots, true, &open);
  if (parameters == roots) {
    ReadH2250Parameters(open, channel);
  } else if (parameters < roots) {
    channel.complete = false;  // the parameters of other systems are not read
  }
}

}  // namespace

std::string DataTypeName(int type) {
  return NameOf(kDataTypes, type);
}

std::string AudioCapabilityName(int capability) {
  return NameOf(kAudioCapabilities, capability);
}

std::string CodecName(const FastStartChannel& channel) {
  return channel.dataType == kAudioData && channel.audio >= 0 ? AudioCapabilityName(channel.audio)
                                                              : DataTypeName(channel.dataType);
}

void DecodeOpenLogicalChannel(PerReader& reader, std::vector<FastStartChannel>& channels) {
  reader.Bit();  // the extension bit: the additions come after all that is read
  const bool reverse = reader.Bit();
  reader.Constrained(1, 65535);  // forwardLogicalChannelNumber

  FastStartChannel forward;
  const bool forwardExtended = reader.Bit();
  if (reader.Bit()) {
    reader.Constrained(0, 65535);  // portNumber
  }
  ReadDataType(reader, forward);
  if (forward.complete) {
    ReadMultiplexParameters(reader, forward, 3);
  }
  if (!reader.Ok()) {
    return;
  }
  channels.push_back(forward);
  if (!reverse || !forward.complete) {
    return;
  }
  SkipExtensions(reader, forwardExtended);

  FastStartChannel backward;
  backward.reverse = true;
  reader.Bit();  // the extension bit of the reverse parameters
  const bool multiplex = reader.Bit();
  ReadDataType(reader, backward);
  if (backward.complete && multiplex) {
    ReadMultiplexParameters(reader, backward, 2);
  }
  if (reader.Ok()) {
    channels.push_back(backward);
  }
}

}  // namespace sigrune
