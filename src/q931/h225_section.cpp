// The "H.225 user information" section shown after a message's dump.

#include <string>

#include "q931/h225_body.h"

namespace sigrune {

namespace {

class Section {
 public:
  explicit Section(std::string& text) : text_(text) {}

  // Starts an indented line "  label: ", to be ended by End.
  std::string& Line(std::string_view label) {
    text_ += "  ";
    text_ += label;
    text_ += ": ";
    return text_;
  }
  void End() { text_ += "\r\n"; }
  void Add(std::string_view label, std::string_view value) {
    Line(label) += value;
    End();
  }

 private:
  std::string& text_;
};

void AddFlag(Section& section, std::string_view label, int flag) {
  if (flag >= 0) {
    section.Add(label, flag != 0 ? "true" : "false");
  }
}

void AddAliases(Section& section, std::string_view label,
                const std::vector<AliasAddress>& aliases) {
  for (const AliasAddress& alias : aliases) {
    std::string& text = section.Line(label);
    text += AliasKindName(alias.kind);
    text += ' ';
    AppendAliasText(text, alias);
    section.End();
  }
}

void AddEndpoint(Section& section, std::string_view label, const EndpointInfo& info) {
  if (!info.present) {
    return;
  }
  std::string& text = section.Line(label);
  const std::string kinds = EndpointKinds(info);
  text += kinds.empty() ? "no kind given" : kinds;
  if (info.hasVendor) {
    text += ", vendor country " + std::to_string(info.countryCode) + ", extension " +
            std::to_string(info.countryExtension) + ", manufacturer " +
            std::to_string(info.manufacturerCode);
    if (info.hasProduct) {
      text += ", product \"";
      AppendPerText(text, info.product);
      text += '"';
    }
    if (info.hasVersion) {
      text += ", version \"";
      AppendPerText(text, info.version);
      text += '"';
    }
  }
  section.End();
}

void AddAddress(Section& section, std::string_view label, const NetworkAddress& address) {
  if (IsPresent(address)) {
    AppendNetworkAddress(section.Line(label), address);
    section.End();
  }
}

void AddChannel(Section& section, const FastStartChannel& channel) {
  std::string& text = section.Line("fastStart");
  text += channel.reverse ? "reverse " : "forward ";
  text += CodecName(channel);
  if (channel.framesPerPacket >= 0) {
    text += ", " + std::to_string(channel.framesPerPacket) + " frames per packet";
  }
  if (channel.sessionID >= 0) {
    text += ", session " + std::to_string(channel.sessionID);
  }
  if (IsPresent(channel.mediaChannel)) {
    text += channel.mediaChannel.multicast ? ", media multicast " : ", media ";
    AppendNetworkAddress(text, channel.mediaChannel);
  }
  if (IsPresent(channel.mediaControlChannel)) {
    text += channel.mediaControlChannel.multicast ? ", control multicast " : ", control ";
    AppendNetworkAddress(text, channel.mediaControlChannel);
  }
  if (!channel.complete) {
    text += ", parameters not read";
  }
  section.End();
}

}  // namespace

std::string H225Section(const PayloadBytes& bytes) {
  OctetView contents;
  std::int64_t firstOctet = 0;
  if (!FindH225UserInformation(bytes, contents, firstOctet)) {
    return {};
  }
  H225UserInformation information;
  DecodeH225UserInformation(contents, firstOctet, information);

  std::string text = "H.225 user information\r\n";
  Section section(text);
  if (information.body >= 0) {
    section.Add("body", BodyName(information.body));
  }
  if (information.hasProtocolIdentifier) {
    std::string& line = section.Line("protocolIdentifier");
    if (!AppendObjectIdentifier(line, information.protocolIdentifier)) {
      line += "not an object identifier";
    }
    section.End();
  }
  if (information.hasCallIdentifier) {
    AppendGuid(section.Line("callIdentifier"), information.callIdentifier);
    section.End();
  }
  if (information.hasConferenceID) {
    AppendGuid(section.Line("conferenceID"), information.conferenceID);
    section.End();
  }
  if (information.conferenceGoal >= 0) {
    section.Add("conferenceGoal", ConferenceGoalName(information.conferenceGoal));
  }
  if (information.callType >= 0) {
    section.Add("callType", CallTypeName(information.callType));
  }
  AddAliases(section, "sourceAddress", information.sourceAddress);
  AddAliases(section, "destinationAddress", information.destinationAddress);
  AddEndpoint(section, "sourceInfo", information.sourceInfo);
  AddEndpoint(section, "destinationInfo", information.destinationInfo);
  AddAddress(section, "sourceCallSignalAddress", information.sourceCallSignalAddress);
  AddAddress(section, "destCallSignalAddress", information.destCallSignalAddress);
  AddAddress(section, "h245Address", information.h245Address);
  for (const FastStartChannel& channel : information.fastStart) {
    AddChannel(section, channel);
  }
  AddFlag(section, "h245Tunnelling", information.h245Tunnelling);
  AddFlag(section, "mediaWaitForConnect", information.mediaWaitForConnect);
  AddFlag(section, "canOverlapSend", information.canOverlapSend);
  if (information.releaseCompleteReason >= 0) {
    section.Add("releaseCompleteReason",
                ReleaseCompleteReasonName(information.releaseCompleteReason));
  }
  if (information.facilityReason >= 0) {
    section.Add("reason", FacilityReasonName(information.facilityReason));
  }
  if (information.h4501SupplementaryService) {
    section.Add("h4501SupplementaryService", "present");
  }
  if (information.nonStandardData) {
    section.Add("nonStandardData", "present");
  }
  if (information.failure.reason != nullptr) {
    text += "H.225 user information: not readable at octet " +
            std::to_string(information.failure.octet) + ": " + information.failure.reason + "\r\n";
  }
  return text;
}

}  // namespace sigrune
