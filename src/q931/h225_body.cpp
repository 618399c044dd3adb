// The H323-UserInformation of an H.225 message (module H323-MESSAGES), read for the fields worth
// showing. A root component is read through even when it is not kept, as PER gives no way past
// it otherwise; an extension addition is an open type, read when it is kept and skipped by its
// length when not.

#include "q931/h225_body.h"

#include <arpa/inet.h>

#include <algorithm>
#include <iterator>

#include "q931/element_walker.h"
#include "trace/q931_codes.h"

namespace sigrune {

namespace {

constexpr std::string_view kBodies[] = {
    "setup",           "callProceeding",   "connect",  "alerting", "information",
    "releaseComplete", "facility",         "progress", "empty",    "status",
    "statusInquiry",   "setupAcknowledge", "notify"};
constexpr std::string_view kConferenceGoals[] = {
    "create", "join", "invite", "capability-negotiation", "callIndependentSupplementaryService"};
constexpr std::string_view kCallTypes[] = {"pointToPoint", "oneToN", "nToOne", "nToN"};
constexpr std::string_view kReleaseCompleteReasons[] = {"noBandwidth",
                                                        "gatekeeperResources",
                                                        "unreachableDestination",
                                                        "destinationRejection",
                                                        "invalidRevision",
                                                        "noPermission",
                                                        "unreachableGatekeeper",
                                                        "gatewayResources",
                                                        "badFormatAddress",
                                                        "adaptiveBusy",
                                                        "inConf",
                                                        "undefinedReason",
                                                        "facilityCallDeflection",
                                                        "securityDenied",
                                                        "calledPartyNotRegistered",
                                                        "callerNotRegistered",
                                                        "newConnectionNeeded",
                                                        "nonStandardReason",
                                                        "replaceWithConferenceInvite",
                                                        "genericDataReason",
                                                        "neededFeatureNotSupported",
                                                        "tunnelledSignallingRejected",
                                                        "invalidCID",
                                                        "securityError",
                                                        "hopCountExceeded"};
constexpr std::string_view kFacilityReasons[] = {"routeCallToGatekeeper",
                                                 "callForwarded",
                                                 "routeCallToMC",
                                                 "undefinedReason",
                                                 "conferenceListChoice",
                                                 "startH245",
                                                 "noH245",
                                                 "newTokens",
                                                 "featureSetUpdate",
                                                 "forwardedElements",
                                                 "transportedInformation"};
constexpr std::string_view kAliasKinds[] = {"dialledDigits", "h323-ID",   "url-ID",
                                            "transportID",   "email-ID",  "partyNumber",
                                            "mobileUIM",     "isupNumber"};

// The alternative's name, or its index for one the tables do not know.
template <std::size_t size>
std::string NameOf(const std::string_view (&names)[size], int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < size) {
    return std::string(names[index]);
  }
  return "alternative " + std::to_string(index);
}

int Index(std::uint32_t value) {
  return value > 0xFFFF ? 0xFFFF : static_cast<int>(value);
}

void SkipNonStandardParameter(PerReader& reader) {
  const std::uint32_t identifier = reader.Choice(2, true, nullptr);
  if (identifier == 0) {
    reader.ObjectIdentifier();
  } else if (identifier == 1) {
    const bool extended = reader.Bit();
    reader.Constrained(0, 255);
    reader.Constrained(0, 255);
    reader.Constrained(0, 65535);
    SkipExtensions(reader, extended);
  }
  reader.OctetString();
}

// GatekeeperInfo, McuInfo, TerminalInfo and the capabilities of SupportedProtocols: a non-standard
// parameter at most before their extensions.
void SkipNonStandardOnly(PerReader& reader) {
  const bool extended = reader.Bit();
  if (reader.Bit()) {
    SkipNonStandardParameter(reader);
  }
  SkipExtensions(reader, extended);
}

void CopyGuid(const OctetView& octets, Guid& guid) {
  if (octets.Size() == guid.size()) {
    std::copy(octets.begin(), octets.end(), guid.begin());
  }
}

void ReadIpAddress(PerReader& reader, NetworkAddress& address, int octets) {
  const OctetView ip = reader.FixedOctets(static_cast<std::uint32_t>(octets));
  const std::uint32_t port = reader.Constrained(0, 65535);
  if (reader.Ok()) {
    address.SetIp(ip, port);
  }
}

void SetOther(PerReader& reader, NetworkAddress& address, const char* name) {
  if (reader.Ok()) {
    address.SetOther(name);
  }
}

// H.225's TransportAddress.
void ReadTransportAddress(PerReader& reader, NetworkAddress& address) {
  address = {};
  switch (reader.Choice(7, true, nullptr)) {
    case 0:
      ReadIpAddress(reader, address, 4);
      return;
    case 1: {
      const bool extended = reader.Bit();
      reader.FixedOctets(4);
      reader.Constrained(0, 65535);
      const std::uint32_t route = reader.Count(32);
      for (std::uint32_t k = 0; k < route && reader.Ok(); ++k) {
        reader.FixedOctets(4);
      }
      reader.Choice(2, true, nullptr);
      SkipExtensions(reader, extended);
      SetOther(reader, address, "ipSourceRoute");
      return;
    }
    case 2:
      reader.FixedOctets(6);
      reader.FixedOctets(4);
      reader.FixedOctets(2);
      SetOther(reader, address, "ipxAddress");
      return;
    case 3: {
      const bool extended = reader.Bit();
      ReadIpAddress(reader, address, 16);
      SkipExtensions(reader, extended);
      return;
    }
    case 4:
      reader.FixedOctets(16);
      SetOther(reader, address, "netBios");
      return;
    case 5:
      reader.Octets(reader.Length(1, 20));
      SetOther(reader, address, "nsap");
      return;
    case 6:
      SkipNonStandardParameter(reader);
      SetOther(reader, address, "nonStandardAddress");
      return;
    default:
      SetOther(reader, address, "unknown");
      return;
  }
}

PerText ReadNumberDigits(PerReader& reader) {
  return reader.Text(1, 128, 4, PerTextForm::DialDigits);
}

void ReadPartyNumber(PerReader& reader, AliasAddress& alias) {
  switch (reader.Choice(5, true, nullptr)) {
    case 0:  // e164Number
    case 3:  // privateNumber: a type of number first, as a public one has
      reader.Choice(6, true, nullptr);
      alias.text = ReadNumberDigits(reader);
      return;
    case 1:
    case 2:
    case 4:
      alias.text = ReadNumberDigits(reader);
      return;
    default:
      return;
  }
}

void ReadAlias(PerReader& reader, AliasAddress& alias) {
  alias = {};
  PerReader open = reader;
  const std::uint32_t kind = reader.Choice(2, true, &open);
  alias.kind = static_cast<std::uint8_t>(std::min<std::uint32_t>(kind, 255));
  switch (kind) {
    case 0:
      alias.text = reader.Text(1, 128, 4, PerTextForm::DialDigits);
      return;
    case 1:
      alias.text = reader.Text(1, 256, 16, PerTextForm::Bmp);
      return;
    case 2:
    case 4:
      alias.text = open.Text(1, 512, 8, PerTextForm::Octets);
      return;
    case 3:
      ReadTransportAddress(open, alias.transport);
      return;
    case 5:
      ReadPartyNumber(open, alias);
      return;
    default:
      return;  // mobileUIM and isupNumber are named only
  }
}

// A SEQUENCE OF AliasAddress; into `aliases` when given, else read through.
void ReadAliases(PerReader& reader, std::vector<AliasAddress>* aliases) {
  // An alias takes at least its extension bit and its alternative's.
  const std::uint32_t count = reader.Count(2);
  for (std::uint32_t k = 0; k < count && reader.Ok(); ++k) {
    AliasAddress alias;
    ReadAlias(reader, alias);
    if (aliases != nullptr && reader.Ok()) {
      aliases->push_back(alias);
    }
  }
}

void SkipSupportedProtocols(PerReader& reader) {
  const std::uint32_t count = reader.Count(1);
  for (std::uint32_t k = 0; k < count && reader.Ok(); ++k) {
    const std::uint32_t protocol = reader.Choice(9, true, nullptr);
    if (protocol == 0) {
      SkipNonStandardParameter(reader);
    } else if (protocol < 9) {
      SkipNonStandardOnly(reader);
    }
  }
}

void ReadEndpoint(PerReader& reader, EndpointInfo& info) {
  info = {};
  const bool extended = reader.Bit();
  const bool nonStandard = reader.Bit();
  const bool vendor = reader.Bit();
  const bool gatekeeper = reader.Bit();
  const bool gateway = reader.Bit();
  const bool mcu = reader.Bit();
  const bool terminal = reader.Bit();
  if (nonStandard) {
    SkipNonStandardParameter(reader);
  }
  if (vendor) {
    const bool vendorExtended = reader.Bit();
    const bool product = reader.Bit();
    const bool version = reader.Bit();
    const bool codeExtended = reader.Bit();
    info.countryCode = static_cast<std::uint8_t>(reader.Constrained(0, 255));
    info.countryExtension = static_cast<std::uint8_t>(reader.Constrained(0, 255));
    info.manufacturerCode = static_cast<std::uint16_t>(reader.Constrained(0, 65535));
    SkipExtensions(reader, codeExtended);
    if (product) {
      info.product = reader.Text(1, 256, 8, PerTextForm::Octets);
    }
    if (version) {
      info.version = reader.Text(1, 256, 8, PerTextForm::Octets);
    }
    SkipExtensions(reader, vendorExtended);
    info.hasVendor = reader.Ok();
    info.hasProduct = product && reader.Ok();
    info.hasVersion = version && reader.Ok();
  }
  if (gatekeeper) {
    SkipNonStandardOnly(reader);
  }
  if (gateway) {
    const bool gatewayExtended = reader.Bit();
    const bool protocols = reader.Bit();
    const bool gatewayNonStandard = reader.Bit();
    if (protocols) {
      SkipSupportedProtocols(reader);
    }
    if (gatewayNonStandard) {
      SkipNonStandardParameter(reader);
    }
    SkipExtensions(reader, gatewayExtended);
  }
  if (mcu) {
    SkipNonStandardOnly(reader);
  }
  if (terminal) {
    SkipNonStandardOnly(reader);
  }
  info.mc = reader.Bit();
  reader.Bit();  // undefinedNode
  SkipExtensions(reader, extended);
  if (reader.Ok()) {
    info.present = true;
    info.gatekeeper = gatekeeper;
    info.gateway = gateway;
    info.mcu = mcu;
    info.terminal = terminal;
  }
}

void ReadCallIdentifier(PerReader& reader, H225UserInformation& information) {
  const bool extended = reader.Bit();
  const OctetView guid = reader.FixedOctets(16);
  SkipExtensions(reader, extended);
  if (reader.Ok()) {
    CopyGuid(guid, information.callIdentifier);
    information.hasCallIdentifier = true;
  }
}

void ReadConferenceId(PerReader& reader, H225UserInformation& information) {
  const OctetView guid = reader.FixedOctets(16);
  if (reader.Ok()) {
    CopyGuid(guid, information.conferenceID);
    information.hasConferenceID = true;
  }
}

void ReadProtocolIdentifier(PerReader& reader, H225UserInformation& information) {
  information.protocolIdentifier = reader.ObjectIdentifier();
  information.hasProtocolIdentifier = reader.Ok();
}

void ReadFastStart(PerReader& reader, H225UserInformation& information) {
  // Each element is an octet string of at least its length octet.
  const std::uint32_t count = reader.Count(8);
  for (std::uint32_t k = 0; k < count && reader.Ok(); ++k) {
    const std::uint32_t length = reader.Length();
    const std::int64_t first = reader.Position();
    const OctetView octets = reader.Octets(length);
    if (!reader.Ok()) {
      return;
    }
    PerReader channel(octets, first, information.failure);
    DecodeOpenLogicalChannel(channel, information.fastStart);
  }
}

void ReadFlag(PerReader& reader, int& flag) {
  const bool value = reader.Bit();
  if (reader.Ok()) {
    flag = value ? 1 : 0;
  }
}

void ReadAddress(PerReader& reader, NetworkAddress& address) {
  NetworkAddress read;
  ReadTransportAddress(reader, read);
  if (reader.Ok()) {
    address = read;
  }
}

// Security tokens of a root are not read: their types lie beyond what is shown, and PER gives
// no way past them.
bool RefuseTokens(PerReader& reader, bool tokens, bool cryptoTokens) {
  if (tokens || cryptoTokens) {
    reader.Fail("security tokens are not read");
    return false;
  }
  return true;
}

void ReadSetup(PerReader& reader, H225UserInformation& information) {
  const bool extended = reader.Bit();
  const bool h245Address = reader.Bit();
  const bool sourceAddress = reader.Bit();
  const bool destinationAddress = reader.Bit();
  const bool destCallSignalAddress = reader.Bit();
  const bool destExtraCallInfo = reader.Bit();
  const bool destExtraCrv = reader.Bit();
  const bool callServices = reader.Bit();
  ReadProtocolIdentifier(reader, information);
  if (h245Address) {
    ReadAddress(reader, information.h245Address);
  }
  if (sourceAddress) {
    ReadAliases(reader, &information.sourceAddress);
  }
  ReadEndpoint(reader, information.sourceInfo);
  if (destinationAddress) {
    ReadAliases(reader, &information.destinationAddress);
  }
  if (destCallSignalAddress) {
    ReadAddress(reader, information.destCallSignalAddress);
  }
  if (destExtraCallInfo) {
    ReadAliases(reader, nullptr);
  }
  if (destExtraCrv) {
    const std::uint32_t count = reader.Count(16);
    for (std::uint32_t k = 0; k < count && reader.Ok(); ++k) {
      reader.Constrained(0, 65535);
    }
  }
  reader.Bit();  // activeMC
  ReadConferenceId(reader, information);
  const std::uint32_t goal = reader.Choice(3, true, nullptr);
  if (reader.Ok()) {
    information.conferenceGoal = Index(goal);
  }
  if (callServices) {
    const bool servicesExtended = reader.Bit();
    reader.Bits(7);
    const bool detailsExtended = reader.Bit();
    reader.Bits(2);
    SkipExtensions(reader, detailsExtended);
    SkipExtensions(reader, servicesExtended);
  }
  const std::uint32_t type = reader.Choice(4, true, nullptr);
  if (reader.Ok()) {
    information.callType = Index(type);
  }
  if (extended) {
    ReadExtensionAdditions(reader, [&](std::uint32_t addition, PerReader& open) {
      switch (addition) {
        case 0:
          ReadAddress(open, information.sourceCallSignalAddress);
          break;
        case 2:
          ReadCallIdentifier(open, information);
          break;
        case 6:
          ReadFastStart(open, information);
          break;
        case 7:
          ReadFlag(open, information.mediaWaitForConnect);
          break;
        case 8:
          ReadFlag(open, information.canOverlapSend);
          break;
        default:
          break;
      }
    });
  }
}

// Call proceeding, alerting (destination first) and connect (H.245 address first): the call
// identifier and the fast start are the same additions in all three.
void ReadAnswer(PerReader& reader, H225UserInformation& information, bool connect) {
  const bool extended = reader.Bit();
  const bool h245Address = reader.Bit();
  ReadProtocolIdentifier(reader, information);
  if (connect && h245Address) {
    ReadAddress(reader, information.h245Address);
  }
  ReadEndpoint(reader, information.destinationInfo);
  if (!connect && h245Address) {
    ReadAddress(reader, information.h245Address);
  }
  if (connect) {
    ReadConferenceId(reader, information);
  }
  if (extended) {
    ReadExtensionAdditions(reader, [&](std::uint32_t addition, PerReader& open) {
      if (addition == 0) {
        ReadCallIdentifier(open, information);
      } else if (addition == 4) {
        ReadFastStart(open, information);
      }
    });
  }
}

void ReadInformation(PerReader& reader, H225UserInformation& information) {
  const bool extended = reader.Bit();
  ReadProtocolIdentifier(reader, information);
  if (extended) {
    ReadExtensionAdditions(reader, [&](std::uint32_t addition, PerReader& open) {
      if (addition == 0) {
        ReadCallIdentifier(open, information);
      } else if (addition == 3) {
        ReadFastStart(open, information);
      }
    });
  }
}

void ReadReleaseComplete(PerReader& reader, H225UserInformation& information) {
  const bool extended = reader.Bit();
  const bool reason = reader.Bit();
  ReadProtocolIdentifier(reader, information);
  if (reason) {
    const std::uint32_t value = reader.Choice(12, true, nullptr);
    if (reader.Ok()) {
      information.releaseCompleteReason = Index(value);
    }
  }
  if (extended) {
    ReadExtensionAdditions(reader, [&](std::uint32_t addition, PerReader& open) {
      if (addition == 0) {
        ReadCallIdentifier(open, information);
      } else if (addition == 9) {
        ReadEndpoint(open, information.destinationInfo);
      }
    });
  }
}

void ReadFacility(PerReader& reader, H225UserInformation& information) {
  const bool extended = reader.Bit();
  const bool alternativeAddress = reader.Bit();
  const bool alternativeAliases = reader.Bit();
  const bool conferenceId = reader.Bit();
  ReadProtocolIdentifier(reader, information);
  if (alternativeAddress) {
    NetworkAddress ignored;
    ReadTransportAddress(reader, ignored);
  }
  if (alternativeAliases) {
    ReadAliases(reader, nullptr);
  }
  if (conferenceId) {
    ReadConferenceId(reader, information);
  }
  const std::uint32_t reason = reader.Choice(4, true, nullptr);
  if (reader.Ok()) {
    information.facilityReason = Index(reason);
  }
  if (extended) {
    ReadExtensionAdditions(reader, [&](std::uint32_t addition, PerReader& open) {
      switch (addition) {
        case 0:
          ReadCallIdentifier(open, information);
          break;
        case 6:
          ReadAddress(open, information.h245Address);
          break;
        case 7:
          ReadFastStart(open, information);
          break;
        case 14:
          ReadEndpoint(open, information.destinationInfo);
          break;
        default:
          break;
      }
    });
  }
}

void ReadProgress(PerReader& reader, H225UserInformation& information) {
  const bool extended = reader.Bit();
  const bool h245Address = reader.Bit();
  const bool securityMode = reader.Bit();
  const bool tokens = reader.Bit();
  const bool cryptoTokens = reader.Bit();
  const bool fastStart = reader.Bit();
  ReadProtocolIdentifier(reader, information);
  ReadEndpoint(reader, information.destinationInfo);
  if (h245Address) {
    ReadAddress(reader, information.h245Address);
  }
  ReadCallIdentifier(reader, information);
  if (!RefuseTokens(reader, securityMode || tokens, cryptoTokens)) {
    return;
  }
  if (fastStart) {
    ReadFastStart(reader, information);
  }
  SkipExtensions(reader, extended);
}

// Status, status inquiry, setup acknowledge and notify.
void ReadStatusLike(PerReader& reader, H225UserInformation& information, bool notify) {
  const bool extended = reader.Bit();
  const bool tokens = reader.Bit();
  const bool cryptoTokens = reader.Bit();
  ReadProtocolIdentifier(reader, information);
  ReadCallIdentifier(reader, information);
  if (!RefuseTokens(reader, tokens, cryptoTokens) || !extended) {
    return;
  }
  ReadExtensionAdditions(reader, [&](std::uint32_t addition, PerReader& open) {
    if (notify && addition == 3) {
      ReadEndpoint(open, information.destinationInfo);
    }
  });
}

void ReadBody(PerReader& reader, int body, H225UserInformation& information) {
  switch (body) {
    case 0:
      ReadSetup(reader, information);
      break;
    case 1:
    case 3:
      ReadAnswer(reader, information, false);
      break;
    case 2:
      ReadAnswer(reader, information, true);
      break;
    case 4:
      ReadInformation(reader, information);
      break;
    case 5:
      ReadReleaseComplete(reader, information);
      break;
    case 6:
      ReadFacility(reader, information);
      break;
    case 7:
      ReadProgress(reader, information);
      break;
    case 9:
    case 10:
    case 11:
    case 12:
      ReadStatusLike(reader, information, body == 12);
      break;
    default:
      break;  // empty, and an alternative unknown here
  }
}

void ReadUuPdu(PerReader& reader, H225UserInformation& information) {
  const bool extended = reader.Bit();
  const bool nonStandard = reader.Bit();
  PerReader open = reader;
  const std::uint32_t body = reader.Choice(7, true, &open);
  if (!reader.Ok()) {
    return;
  }
  information.body = Index(body);
  ReadBody(body < 7 ? reader : open, information.body, information);
  if (nonStandard) {
    SkipNonStandardParameter(reader);
    information.nonStandardData = reader.Ok();
  }
  if (extended) {
    ReadExtensionAdditions(reader, [&](std::uint32_t addition, PerReader& additionReader) {
      if (addition == 0) {
        information.h4501SupplementaryService = additionReader.Ok();
      } else if (addition == 1) {
        ReadFlag(additionReader, information.h245Tunnelling);
      }
    });
  }
}

}  // namespace

void AppendGuid(std::string& text, const Guid& guid) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t k = 0; k < guid.size(); ++k) {
    if (k == 4 || k == 6 || k == 8 || k == 10) {
      text += '-';
    }
    text += kDigits[guid[k] >> 4];
    text += kDigits[guid[k] & 0x0F];
  }
}

void NetworkAddress::SetIp(const OctetView& octets, std::uint32_t readPort) {
  std::copy(octets.begin(), octets.begin() + std::min(octets.Size(), ip.size()), ip.begin());
  port = static_cast<std::uint16_t>(readPort);
  kind = octets.Size() == 4 ? Kind::Ipv4 : Kind::Ipv6;
}

void NetworkAddress::SetOther(const char* name) {
  kind = Kind::Other;
  otherName = name;
}

bool IsPresent(const NetworkAddress& address) {
  return address.kind != NetworkAddress::Kind::None;
}

void AppendIpAddress(std::string& text, const NetworkAddress& address) {
  char written[INET6_ADDRSTRLEN] = {};
  if (address.kind == NetworkAddress::Kind::Ipv4) {
    inet_ntop(AF_INET, address.ip.data(), written, sizeof written);
  } else if (address.kind == NetworkAddress::Kind::Ipv6) {
    inet_ntop(AF_INET6, address.ip.data(), written, sizeof written);
  }
  text += written;
}

void AppendNetworkAddress(std::string& text, const NetworkAddress& address) {
  switch (address.kind) {
    case NetworkAddress::Kind::None:
      return;
    case NetworkAddress::Kind::Other:
      text += address.otherName;
      return;
    case NetworkAddress::Kind::Ipv4:
      AppendIpAddress(text, address);
      break;
    case NetworkAddress::Kind::Ipv6:
      text += '[';
      AppendIpAddress(text, address);
      text += ']';
      break;
  }
  text += ':';
  text += std::to_string(address.port);
}

std::string AliasKindName(std::uint8_t kind) {
  return NameOf(kAliasKinds, kind);
}

void AppendAliasText(std::string& text, const AliasAddress& alias) {
  if (alias.kind == 3) {
    AppendNetworkAddress(text, alias.transport);
  } else {
    AppendPerText(text, alias.text);
  }
}

std::string EndpointKinds(const EndpointInfo& info) {
  std::string kinds;
  const std::pair<bool, std::string_view> each[] = {{info.terminal, "terminal"},
                                                    {info.gateway, "gateway"},
                                                    {info.mcu, "mcu"},
                                                    {info.gatekeeper, "gatekeeper"},
                                                    {info.mc, "mc"}};
  for (const auto& [present, name] : each) {
    if (present) {
      kinds += kinds.empty() ? "" : " ";
      kinds += name;
    }
  }
  return kinds;
}

std::string BodyName(int body) {
  return NameOf(kBodies, body);
}
std::string ConferenceGoalName(int goal) {
  return NameOf(kConferenceGoals, goal);
}
std::string CallTypeName(int type) {
  return NameOf(kCallTypes, type);
}
std::string ReleaseCompleteReasonName(int reason) {
  return NameOf(kReleaseCompleteReasons, reason);
}
std::string FacilityReasonName(int reason) {
  return NameOf(kFacilityReasons, reason);
}

bool FindH225UserInformation(const PayloadBytes& bytes, OctetView& contents,
                             std::int64_t& firstOctet) {
  class FirstUserUser : public ElementVisitor {
   public:
    void Visit(const InformationElement& element) override {
      if (!found && element.kind == ElementKind::VariableLength &&
          element.identifier == q931::kUserUser && element.codeset == 0 &&
          element.contents.Size() > 0 && element.contents.At(0) == 0x05) {
        found = true;
        contents = element.contents;
        firstOctet = element.position + 1 + element.lengthOctets;
      }
    }
    bool found = false;
    OctetView contents;
    std::int64_t firstOctet = 0;
  } visitor;
  try {
    WalkInformationElements(bytes, visitor);
  } catch (const SubscriptOutOfRange&) {
    // A message too short for its elements keeps those walked before.
  }
  if (visitor.found) {
    contents = visitor.contents;
    firstOctet = visitor.firstOctet;
  }
  return visitor.found;
}

void DecodeH225UserInformation(const OctetView& contents, std::int64_t firstOctet,
                               H225UserInformation& information) {
  std::vector<AliasAddress> sources = std::move(information.sourceAddress);
  std::vector<AliasAddress> destinations = std::move(information.destinationAddress);
  std::vector<FastStartChannel> channels = std::move(information.fastStart);
  information = {};
  sources.clear();
  destinations.clear();
  channels.clear();
  information.sourceAddress = std::move(sources);
  information.destinationAddress = std::move(destinations);
  information.fastStart = std::move(channels);

  if (contents.Size() < 1) {
    information.failure = {"empty", firstOctet};
    return;
  }
  // After the protocol discriminator.
  PerReader reader(OctetView(contents.begin() + 1, contents.Size() - 1), firstOctet + 1,
                   information.failure);
  const bool extended = reader.Bit();
  const bool userData = reader.Bit();
  ReadUuPdu(reader, information);
  if (userData) {
    const bool dataExtended = reader.Bit();
    reader.Constrained(0, 255);
    reader.Octets(reader.Length(1, 131));
    SkipExtensions(reader, dataExtended);
  }
  SkipExtensions(reader, extended);
}

}  // namespace sigrune
