#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "document/shown_message.h"
#include "h225_encoder.h"
#include "q931/decoder.h"
#include "q931/h225_body.h"
#include "test_files.h"

namespace sigrune {
namespace {

using namespace h225encoder;
using Octets = std::vector<std::uint8_t>;
using Body = std::function<void(PerWriter&)>;

const Address kMedia{{192, 0, 2, 10}, 16384};
const Address kControl{{192, 0, 2, 10}, 16385};
const Address kV6{{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}, 1720};

const Octets kGuid = {0x5d, 0x0e, 0x2c, 0x71, 0xa3, 0x09, 0x4b, 0x6e,
                      0x8f, 0x12, 0xc4, 0x77, 0x30, 0xe5, 0x9a, 0x1b};

struct Pdu {
  bool tunnelling = true;
  bool h4501 = false;
  bool nonStandard = false;
};

// The user-user element's contents: the discriminator and an H323-UserInformation.
Octets UserInformation(int body, const Body& write, const Pdu& pdu = {}) {
  PerWriter writer;
  writer.Bits(0b0010, 4);  // no extensions, no user data; the PDU's extensions; no non-standard
  if (pdu.nonStandard) {
    writer = PerWriter();
    writer.Bits(0b0011, 4);
  }
  if (body < 7) {
    writer.Choice(static_cast<std::uint32_t>(body), 7, true);
    write(writer);
  } else {
    PerWriter open;
    write(open);
    writer.Choice(static_cast<std::uint32_t>(body), 7, true, &open);
  }
  if (pdu.nonStandard) {
    // Identified by an object, as an H.221 code would show among the vendor's codes.
    writer.Choice(0, 2, true);
    writer.ObjectIdentifier({1, 3, 6, 1, 4, 1, 9});
    writer.Length(1);
    writer.Octets({9});
  }
  std::vector<std::pair<int, PerWriter>> additions;
  if (pdu.h4501) {
    // No service in the list: tshark would read one as a whole H.450 operation.
    PerWriter services;
    services.Length(0);
    additions.emplace_back(0, services);
  }
  additions.emplace_back(1, Flag(pdu.tunnelling));
  writer.Extensions(2, additions);
  Octets contents{0x05};
  contents.insert(contents.end(), writer.Encoded().begin(), writer.Encoded().end());
  return contents;
}

void WriteCallIdentifierInRoot(PerWriter& writer, std::uint8_t first) {
  writer.Bit(false);
  Octets guid(16);
  for (std::size_t k = 0; k < guid.size(); ++k) {
    guid[k] = static_cast<std::uint8_t>(first + 17 * k);
  }
  writer.Octets(guid);
}

struct SetupFields {
  std::optional<Address> h245;
  std::vector<Alias> source;
  std::vector<Alias> destination;
  Endpoint info;
  std::optional<Address> destCall;
  std::uint32_t goal = 0;
  std::uint32_t callType = 0;
  std::optional<Address> sourceCall;
  std::vector<Octets> fastStart;
  bool wait = false;
  bool overlap = false;
};

Body SetupBody(const SetupFields& setup) {
  return [setup](PerWriter& writer) {
    writer.Bit(true);
    writer.Bit(setup.h245.has_value());
    writer.Bit(!setup.source.empty());
    writer.Bit(!setup.destination.empty());
    writer.Bit(setup.destCall.has_value());
    writer.Bits(0, 3);
    writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
    if (setup.h245) {
      WriteTransportAddress(writer, *setup.h245);
    }
    if (!setup.source.empty()) {
      WriteAliases(writer, setup.source);
    }
    WriteEndpoint(writer, setup.info);
    if (!setup.destination.empty()) {
      WriteAliases(writer, setup.destination);
    }
    if (setup.destCall) {
      WriteTransportAddress(writer, *setup.destCall);
    }
    writer.Bit(false);
    writer.Octets(kGuid);
    writer.Choice(setup.goal, 3, true);
    writer.Choice(setup.callType, 4, true);
    std::vector<std::pair<int, PerWriter>> additions;
    if (setup.sourceCall) {
      PerWriter address;
      WriteTransportAddress(address, *setup.sourceCall);
      additions.emplace_back(0, address);
    }
    additions.emplace_back(2, CallIdentifier(0x11));
    if (!setup.fastStart.empty()) {
      additions.emplace_back(6, FastStart(setup.fastStart));
    }
    additions.emplace_back(7, Flag(setup.wait));
    additions.emplace_back(8, Flag(setup.overlap));
    writer.Extensions(9, additions);
  };
}

// Call proceeding (1), connect (2) or alerting (3).
Body AnswerBody(int body, std::optional<Address> h245, std::vector<Octets> fastStart) {
  return [=](PerWriter& writer) {
    writer.Bit(true);
    writer.Bit(h245.has_value());
    writer.ObjectIdentifier({0, 0, 8, 2250, 0, 5});
    if (body == 2 && h245) {
      WriteTransportAddress(writer, *h245);
    }
    Endpoint endpoint;
    endpoint.gateway = true;
    endpoint.terminal = false;
    endpoint.vendor = true;
    endpoint.country = 9;
    endpoint.manufacturer = 61;
    endpoint.product = "Gateway";
    WriteEndpoint(writer, endpoint);
    if (body != 2 && h245) {
      WriteTransportAddress(writer, *h245);
    }
    if (body == 2) {
      writer.Octets(kGuid);
    }
    std::vector<std::pair<int, PerWriter>> additions{{0, CallIdentifier(0x22)}};
    if (!fastStart.empty()) {
      additions.emplace_back(4, FastStart(fastStart));
    }
    writer.Extensions(5, additions);
  };
}

Body ReleaseCompleteBody(std::optional<std::uint32_t> reason) {
  return [=](PerWriter& writer) {
    writer.Bit(true);
    writer.Bit(reason.has_value());
    writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
    if (reason) {
      writer.Choice(*reason, 12, true);
    }
    writer.Extensions(1, {{0, CallIdentifier(0x33)}});
  };
}

Body FacilityBody(std::uint32_t reason) {
  return [=](PerWriter& writer) {
    writer.Bit(true);
    writer.Bits(0b001, 3);
    writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
    writer.Octets(kGuid);
    writer.Choice(reason, 4, true);
    PerWriter h245;
    WriteTransportAddress(h245, kControl);
    writer.Extensions(7, {{0, CallIdentifier(0x44)}, {6, h245}});
  };
}

Body InformationBody() {
  return [](PerWriter& writer) {
    writer.Bit(true);
    writer.ObjectIdentifier({0, 0, 8, 2250, 0, 2});
    writer.Extensions(1, {{0, CallIdentifier(0x55)}});
  };
}

Body ProgressBody() {
  return [](PerWriter& writer) {
    writer.Bit(false);
    writer.Bits(0b10001, 5);
    writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
    WriteEndpoint(writer, Endpoint{});
    WriteTransportAddress(writer, kControl);
    WriteCallIdentifierInRoot(writer, 0x66);
    const Octets channel = OpenLogicalChannel({9, 20, 1, kMedia, kControl}, std::nullopt);
    writer.Length(1);
    writer.Length(static_cast<std::uint32_t>(channel.size()));
    writer.Octets(channel);
  };
}

// Status (9), status inquiry (10), setup acknowledge (11), notify (12).
Body StatusBody() {
  return [](PerWriter& writer) {
    writer.Bits(0, 3);
    writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
    WriteCallIdentifierInRoot(writer, 0x77);
  };
}

Body EmptyBody() {
  return [](PerWriter&) {};
}

struct Message {
  int type;  // the Q.931 message type
  Octets contents;
};

// Bodies that cover each field and alternative the decoder reads.
std::vector<Message> EncodedMessages() {
  const Octets ulaw = OpenLogicalChannel({3, 20, 1, kMedia, kControl}, std::nullopt);
  const Octets received = OpenLogicalChannel({-1, 0, 1, std::nullopt, std::nullopt},
                                             Channel{1, 30, 1, kMedia, kControl});
  std::vector<Octets> codecs;
  for (const int audio : {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 17}) {
    codecs.push_back(OpenLogicalChannel(
        {audio, static_cast<std::uint32_t>(audio + 10), 1, std::nullopt, kControl}, std::nullopt));
  }
  codecs.push_back(received);

  SetupFields full;
  full.h245 = kControl;
  full.source = {{1, "Alice Martin", {}},
                 {0, "5551234#*,", {}},
                 {2, "h323:alice@example.org", {}},
                 {4, "alice@example.org", {}},
                 {3, "", {{198, 51, 100, 7}, 1719}},
                 {5, "4930123456", {}}};
  full.destination = {{0, "2005", {}}, {1, "Bob", {}}};
  full.info = {false, true, false, false, true, true, 181, 0x534c, "ProductX", "1.2.3"};
  full.destCall = Address{{203, 0, 113, 5}, 1720};
  full.goal = 1;
  full.callType = 3;
  full.sourceCall = kV6;
  full.fastStart = codecs;
  full.wait = true;
  full.overlap = true;

  SetupFields small;
  small.info = {true, false, true, true, false, false, 0, 0, "", ""};
  small.destCall = kV6;
  small.goal = 2;
  small.callType = 1;
  small.fastStart = {ulaw, received};

  SetupFields negotiation = small;
  negotiation.goal = 3;  // an extension alternative
  negotiation.callType = 2;
  negotiation.fastStart.clear();

  std::vector<Message> messages{
      {0x05, UserInformation(0, SetupBody(full), {true, true, true})},
      {0x05, UserInformation(0, SetupBody(small), {false, false, false})},
      {0x05, UserInformation(0, SetupBody(negotiation))},
      {0x02, UserInformation(1, AnswerBody(1, kControl, {ulaw}))},
      {0x01, UserInformation(3, AnswerBody(3, std::nullopt, {received}))},
      {0x07, UserInformation(2, AnswerBody(2, kControl, {ulaw, received}))},
      {0x07, UserInformation(2, AnswerBody(2, std::nullopt, {}))},
      {0x7b, UserInformation(4, InformationBody())},
      {0x03, UserInformation(7, ProgressBody())},
      {0x62, UserInformation(8, EmptyBody())},
      {0x7d, UserInformation(9, StatusBody())},
      {0x75, UserInformation(10, StatusBody())},
      {0x0d, UserInformation(11, StatusBody())},
      {0x6e, UserInformation(12, StatusBody())},
      {0x5a, UserInformation(5, ReleaseCompleteBody(std::nullopt))},
  };
  for (const std::uint32_t reason : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 16u}) {
    messages.push_back({0x5a, UserInformation(5, ReleaseCompleteBody(reason))});
  }
  for (const std::uint32_t reason : {0u, 1u, 2u, 3u, 5u, 10u}) {
    messages.push_back({0x62, UserInformation(6, FacilityBody(reason))});
  }
  return messages;
}

std::string Hex(const Octets& octets) {
  std::string text;
  char digits[4];
  for (const std::uint8_t octet : octets) {
    std::snprintf(digits, sizeof digits, "%02x ", octet);
    text += digits;
  }
  return text;
}

// A message of the trace: header, call reference 1, the user-user element with its two-octet
// length.
std::string TraceMessage(int type, const Octets& contents) {
  Octets message{0x08,
                 0x02,
                 0x00,
                 0x01,
                 static_cast<std::uint8_t>(type),
                 0x7e,
                 static_cast<std::uint8_t>(contents.size() >> 8),
                 static_cast<std::uint8_t>(contents.size())};
  message.insert(message.end(), contents.begin(), contents.end());
  return "03/02/2021 14:05:10.250 CCP|In  Message -- H225Msg -- Protocol= H225Protocol\n"
         "03/02/2021 14:05:10.250 CCP|MMan_Id= 9. (iep= 0 dsl= 0 sapi= 0 ces= 0 IpAddr=0c0010ac "
         "IpPort=1720)\n"
         "03/02/2021 14:05:10.251 CCP|IsdnMsgData2= " +
         Hex(message) + "\n";
}

// The H.225 lines of the file of real messages, as octets of whole messages.
std::vector<std::string> RealH225Messages() {
  std::vector<std::string> messages;
  std::istringstream lines(ReadFile(SourceFile("tests/data/real-q931.txt")));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != '#' && line.find("7e") != std::string::npos &&
        line.substr(0, 4) == "0802") {
      std::string spaced;
      for (std::size_t k = 0; k + 1 < line.size(); k += 2) {
        spaced += line.substr(k, 2) + " ";
      }
      messages.push_back(spaced);
    }
  }
  return messages;
}

std::string RealTraceMessage(const std::string& spacedHex) {
  return "03/02/2021 14:05:10.250 CCP|In  Message -- H225Msg -- Protocol= H225Protocol\n"
         "03/02/2021 14:05:10.251 CCP|IsdnMsgData2= " +
         spacedHex + "\n";
}

std::string RunCli(const std::vector<std::string_view>& arguments, int expected = kExitSuccess) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(RunCommandLine(arguments, stdin, out, err), expected);
  const std::string errors = ReadBack(err);
  EXPECT_EQ(errors.find("sigrune-cli: message"), std::string::npos) << errors;
  return ReadBack(out);
}

// A JSON value, as far as `h225 --json` writes them.
struct Json {
  std::string text;  // a string's, or a number's or a literal's characters
  std::vector<std::pair<std::string, Json>> members;
  std::vector<Json> items;

  const Json* Find(std::string_view key) const {
    for (const auto& [name, value] : members) {
      if (name == key) {
        return &value;
      }
    }
    return nullptr;
  }
  // A member's text, or a mark that it is missing.
  std::string Text(std::string_view key) const {
    const Json* value = Find(key);
    return value != nullptr ? value->text : "(no " + std::string(key) + ")";
  }
};

Json ParseJson(std::string_view& text) {
  Json value;
  if (text.front() == '{' || text.front() == '[') {
    const char close = text.front() == '{' ? '}' : ']';
    text.remove_prefix(1);
    while (text.front() != close) {
      if (text.front() == ',') {
        text.remove_prefix(1);
      }
      if (close == '}') {
        std::string_view rest = text;
        const std::string name = ParseJson(rest).text;
        text = rest.substr(1);  // the colon
        value.members.emplace_back(name, ParseJson(text));
      } else {
        value.items.push_back(ParseJson(text));
      }
    }
    text.remove_prefix(1);
  } else if (text.front() == '"') {
    std::size_t k = 1;
    for (; text[k] != '"'; ++k) {
      if (text[k] == '\\') {
        ++k;
        if (text[k] == 'u') {
          value.text +=
              static_cast<char>(std::stoi(std::string(text.substr(k + 1, 4)), nullptr, 16));
          k += 4;
          continue;
        }
      }
      value.text += text[k];
    }
    text.remove_prefix(k + 1);
  } else {
    const std::size_t end = text.find_first_of(",}]");
    value.text = std::string(text.substr(0, end));
    text.remove_prefix(end);
  }
  return value;
}

// The index of a name among those of `name(0)`, `name(1)`, ...
template <typename Names>
std::string IndexOf(const Names& name, const std::string& text) {
  for (int k = 0; k < 64; ++k) {
    if (name(k) == text) {
      return std::to_string(k);
    }
  }
  return "?" + text;
}

std::string Joined(std::vector<std::string> values, bool sorted) {
  if (sorted) {
    std::sort(values.begin(), values.end());
  }
  std::string text;
  for (const std::string& value : values) {
    text += (text.empty() ? "" : ",") + value;
  }
  return text;
}

// tshark's fields, each with the values of every occurrence, in the order of `kFields`.
constexpr std::string_view kFields[] = {"h225.h323_message_body",
                                        "h225.protocolIdentifier",
                                        "h225.guid",
                                        "h225.conferenceID",
                                        "h225.conferenceGoal",
                                        "h225.callType",
                                        "h225.dialledDigits",
                                        "h225.h323_ID",
                                        "h225.url_ID",
                                        "h225.email_ID",
                                        "h225.publicNumberDigits",
                                        "h225.productId",
                                        "h225.versionId",
                                        "h225.t35CountryCode",
                                        "h225.manufacturerCode",
                                        "h225.terminal_element",
                                        "h225.gateway_element",
                                        "h225.mcu_element",
                                        "h225.gatekeeper_element",
                                        "h225.h245Tunnelling",
                                        "h225.mediaWaitForConnect",
                                        "h225.canOverlapSend",
                                        "h225.reason",
                                        "h225.h4501SupplementaryService",
                                        "h225.nonStandardData_element",
                                        "h245.dataType",
                                        "h245.audioData",
                                        "h245.sessionID",
                                        "h245.forwardLogicalChannelParameters_element",
                                        "h245.reverseLogicalChannelParameters_element"};
// Fields whose occurrences are compared as sets: the same kind of value in several places.
constexpr std::string_view kAddressFields[] = {"h225.ipV4",
                                               "h225.h245Ip",
                                               "h225.ipV6",
                                               "h225.h245Ip6",
                                               "h225.ipV4_port",
                                               "h225.ipV4_src_port",
                                               "h225.h245IpPort",
                                               "h225.ipV6_port",
                                               "h225.h245Ip6port",
                                               "h245.ip4_network",
                                               "h245.tsapIdentifier",
                                               "h245.g711Alaw64k",
                                               "h245.g711Alaw56k",
                                               "h245.g711Ulaw64k",
                                               "h245.g711Ulaw56k",
                                               "h245.g722_64k",
                                               "h245.g722_56k",
                                               "h245.g722_48k",
                                               "h245.maxAl_sduAudioFrames",
                                               "h245.g728",
                                               "h245.g729",
                                               "h245.g729AnnexA",
                                               "h245.g729wAnnexB",
                                               "h245.g729AnnexAwAnnexB",
                                               "h225.mc"};
// The frames of the codecs, among kAddressFields: tshark shows those of a tunnelled H.245
// capability set in the same fields, so they are compared for the encoded bodies only.
constexpr std::size_t kFramesFirst = 11;
constexpr std::size_t kFramesEnd = 25;

// What tshark should show of a message, made from its `h225 --json` object.
std::string ExpectedFields(const Json& object) {
  std::map<std::string, std::vector<std::string>> fields;
  const auto text = [&](std::string_view key) {
    const Json* value = object.Find(key);
    return value != nullptr ? value->text : std::string();
  };
  if (object.Find("body")) {
    fields["h225.h323_message_body"].push_back(IndexOf(BodyName, text("body")));
  }
  for (const auto& [key, field] : std::vector<std::pair<std::string, std::string>>{
           {"protocolIdentifier", "h225.protocolIdentifier"},
           {"callIdentifier", "h225.guid"},
           {"conferenceID", "h225.conferenceID"}}) {
    if (object.Find(key)) {
      fields[field].push_back(text(key));
    }
  }
  if (object.Find("conferenceGoal")) {
    fields["h225.conferenceGoal"].push_back(IndexOf(ConferenceGoalName, text("conferenceGoal")));
  }
  if (object.Find("callType")) {
    fields["h225.callType"].push_back(IndexOf(CallTypeName, text("callType")));
  }
  const std::map<std::string, std::string> aliasFields{{"dialledDigits", "h225.dialledDigits"},
                                                       {"h323-ID", "h225.h323_ID"},
                                                       {"url-ID", "h225.url_ID"},
                                                       {"email-ID", "h225.email_ID"},
                                                       {"partyNumber", "h225.publicNumberDigits"}};
  // tshark names the H.245 address's fields apart, and the media's in the H.245 part.
  enum Where { kCallSignal, kH245Address, kMediaChannel };
  const auto address = [&](const Json& value, Where where) {
    const std::string ip = value.Text("ip");
    const bool v6 = ip.find(':') != std::string::npos;
    const std::string port = value.Text("port");
    if (where == kMediaChannel) {
      fields["h245.ip4_network"].push_back(ip);
      fields["h245.tsapIdentifier"].push_back(port);
    } else if (where == kH245Address) {
      fields[v6 ? "h225.h245Ip6" : "h225.h245Ip"].push_back(ip);
      fields[v6 ? "h225.h245Ip6port" : "h225.h245IpPort"].push_back(port);
    } else {
      fields[v6 ? "h225.ipV6" : "h225.ipV4"].push_back(ip);
      fields[v6 ? "h225.ipV6_port" : "h225.ipV4_port"].push_back(port);
    }
  };
  for (const std::string key : {"sourceAddress", "destinationAddress"}) {
    if (const Json* aliases = object.Find(key)) {
      for (const Json& alias : aliases->items) {
        const std::string type = alias.Text("type");
        if (type == "transportID") {
          const std::string value = alias.Text("value");
          fields["h225.ipV4"].push_back(value.substr(0, value.find(':')));
          fields["h225.ipV4_port"].push_back(value.substr(value.find(':') + 1));
        } else {
          fields[aliasFields.at(type)].push_back(alias.Text("value"));
        }
      }
    }
  }
  for (const std::string key : {"sourceInfo", "destinationInfo"}) {
    if (const Json* info = object.Find(key)) {
      for (const Json& kind : info->Find("kinds")->items) {
        if (kind.text != "mc") {
          fields["h225." + kind.text + "_element"].push_back("1");
        }
      }
      fields["h225.mc"].push_back(std::count_if(info->Find("kinds")->items.begin(),
                                                info->Find("kinds")->items.end(),
                                                [](const Json& kind) { return kind.text == "mc"; })
                                      ? "1"
                                      : "0");
      for (const std::string vendor :
           {"productId", "versionId", "t35CountryCode", "manufacturerCode"}) {
        if (const Json* value = info->Find(vendor)) {
          fields["h225." + vendor].push_back(value->text);
        }
      }
    }
  }
  for (const std::string key :
       {"sourceCallSignalAddress", "destCallSignalAddress", "h245Address"}) {
    if (const Json* value = object.Find(key)) {
      address(*value, key == "h245Address" ? kH245Address : kCallSignal);
    }
  }
  if (const Json* channels = object.Find("fastStart")) {
    for (const Json& channel : channels->items) {
      const std::string type = channel.Text("dataType");
      // Every data type but nullData is audio in these bodies: a non-standard one too.
      fields["h245.dataType"].push_back(type == "nullData" ? "1" : "3");
      if (type != "nullData") {
        fields["h245.audioData"].push_back(IndexOf(AudioCapabilityName, type));
      }
      fields[channel.Text("direction") == "forward"
                 ? "h245.forwardLogicalChannelParameters_element"
                 : "h245.reverseLogicalChannelParameters_element"]
          .push_back("1");
      if (channel.Find("sessionID")) {
        fields["h245.sessionID"].push_back(channel.Text("sessionID"));
      }
      for (const std::string media : {"mediaChannel", "mediaControlChannel"}) {
        if (const Json* value = channel.Find(media)) {
          address(*value, kMediaChannel);
        }
      }
      if (const Json* frames = channel.Find("framesPerPacket")) {
        std::string field = type == "g7231" ? "maxAl_sduAudioFrames" : type;
        std::replace(field.begin(), field.end(), '-', '_');
        fields["h245." + field].push_back(frames->text);
      }
    }
  }
  for (const std::string flag : {"h245Tunnelling", "mediaWaitForConnect", "canOverlapSend"}) {
    if (object.Find(flag)) {
      fields["h225." + flag].push_back(text(flag) == "true" ? "1" : "0");
    }
  }
  if (object.Find("releaseCompleteReason")) {
    fields["h225.reason"].push_back(
        IndexOf(ReleaseCompleteReasonName, text("releaseCompleteReason")));
  }
  if (object.Find("facilityReason")) {
    fields["h225.reason"].push_back(IndexOf(FacilityReasonName, text("facilityReason")));
  }
  if (object.Find("h4501SupplementaryService")) {
    fields["h225.h4501SupplementaryService"].push_back("0");  // tshark counts the services
  }
  if (object.Find("nonStandardData")) {
    fields["h225.nonStandardData_element"].push_back("1");
  }
  std::string row;
  for (const std::string_view field : kFields) {
    row += Joined(fields[std::string(field)], false) + "|";
  }
  for (const std::string_view field : kAddressFields) {
    row += Joined(fields[std::string(field)], true) + "|";
  }
  return row;
}

bool HaveTshark() {
  return std::system("command -v tshark >/dev/null 2>&1") == 0;
}

std::string Tshark(const std::string& capture, const std::string& options) {
  const std::string command = "tshark -r '" + capture + "' " + options + " 2>/dev/null";
  std::FILE* output = ::popen(command.c_str(), "r");
  std::string text;
  char piece[4096];
  for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, output)) > 0;) {
    text.append(piece, got);
  }
  ::pclose(output);
  return text;
}

// tshark's row, with the address fields (the last ones) sorted as ExpectedFields sorts them.
std::string TsharkRow(const std::string& line) {
  std::vector<std::string> columns;
  std::istringstream cells(line);
  for (std::string cell; std::getline(cells, cell, '|');) {
    columns.push_back(cell);
  }
  columns.resize(std::size(kFields) + std::size(kAddressFields));
  std::string row;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    std::vector<std::string> values;
    std::istringstream items(columns[k]);
    for (std::string item; std::getline(items, item, ',');) {
      // tshark writes booleans as True and False in some versions.
      values.push_back(item == "True" ? "1" : item == "False" ? "0" : item);
    }
    row += Joined(values, k >= std::size(kFields)) + "|";
  }
  return row;
}

// The row without the columns of the codecs' frames.
std::string WithoutFrames(const std::string& row) {
  std::vector<std::string> columns;
  std::istringstream cells(row);
  for (std::string cell; std::getline(cells, cell, '|');) {
    columns.push_back(cell);
  }
  std::string shorter;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const std::size_t address = k - std::size(kFields);
    if (k < std::size(kFields) || address < kFramesFirst || address >= kFramesEnd) {
      shorter += columns[k] + "|";
    }
  }
  return shorter;
}

class H225BodyTest : public FolderTest {};

// Every field that tshark reads of the real bodies and of bodies that cover each field and
// alternative, `h225 --json` gives alike. The real SETUP with additional source addresses stops
// tshark at that addition (it reports the packet malformed), so the fields after it are not
// compared for that message.
TEST_F(H225BodyTest, TsharkReadsWhatTheJsonSays) {
  if (!HaveTshark()) {
    GTEST_SKIP() << "tshark is not installed (scripts/install-deps.sh installs it)";
  }
  std::string trace;
  for (const std::string& message : RealH225Messages()) {
    trace += RealTraceMessage(message);
  }
  ASSERT_EQ(RealH225Messages().size(), 13u);
  for (const Message& message : EncodedMessages()) {
    trace += TraceMessage(message.type, message.contents);
  }
  const std::string path = Write("trace.txt", trace);
  const std::string capture = Path("trace.pcap");
  RunCli({"pcap", path, "-o", capture});
  std::string options = "-T fields -E separator='|' -E occurrence=a -E aggregator=,";
  for (const std::string_view field : kFields) {
    options += " -e " + std::string(field);
  }
  for (const std::string_view field : kAddressFields) {
    options += " -e " + std::string(field);
  }
  std::istringstream tshark(Tshark(capture, options));
  std::istringstream json(RunCli({"h225", path, "--json"}));
  const std::string malformed = Tshark(capture, "-Y _ws.malformed -T fields -e frame.number");
  std::size_t frame = 0;
  for (std::string jsonLine, tsharkLine; std::getline(json, jsonLine);) {
    ++frame;
    ASSERT_TRUE(std::getline(tshark, tsharkLine)) << frame;
    std::string_view text = jsonLine;
    Json object = ParseJson(text);
    std::string expected = ExpectedFields(object);
    std::string got = TsharkRow(tsharkLine);
    if (malformed.find(std::to_string(frame) + "\n") == 0 ||
        malformed.find("\n" + std::to_string(frame) + "\n") != std::string::npos) {
      // tshark stops where it failed: the flags after it are the PDU's last fields.
      EXPECT_LE(frame, 13u) << "an encoded body tshark calls malformed"
                            << Tshark(capture, "-V -Y frame.number==" + std::to_string(frame));
      for (const std::string flag : {"h245Tunnelling"}) {
        object.members.erase(
            std::remove_if(object.members.begin(), object.members.end(),
                           [&](const auto& member) { return member.first == flag; }),
            object.members.end());
      }
      expected = ExpectedFields(object);
    }
    if (frame <= 13) {
      got = WithoutFrames(got);
      expected = WithoutFrames(expected);
    }
    EXPECT_EQ(got, expected) << "message " << frame << ": " << jsonLine;
  }
  EXPECT_EQ(frame, 13 + EncodedMessages().size());
}

}  // namespace
}  // namespace sigrune

namespace sigrune {
namespace {

PayloadBytes BytesOf(int type, const Octets& contents) {
  Octets message{0x08,
                 0x02,
                 0x00,
                 0x01,
                 static_cast<std::uint8_t>(type),
                 0x7e,
                 static_cast<std::uint8_t>(contents.size() >> 8),
                 static_cast<std::uint8_t>(contents.size())};
  message.insert(message.end(), contents.begin(), contents.end());
  return PayloadBytes(message);
}

// Cut short anywhere, a body reads as far as it goes and names an octet of its element.
TEST(H225UserInformation, AnyBodyCutShortFailsAtAnOctetOfItsElement) {
  std::vector<Octets> bodies;
  for (const Message& message : EncodedMessages()) {
    bodies.push_back(message.contents);
  }
  H225UserInformation information;
  for (const Octets& body : bodies) {
    for (std::size_t size = 1; size < body.size(); ++size) {
      const Octets cut(body.begin(), body.begin() + static_cast<long>(size));
      DecodeH225UserInformation(OctetView(cut.data(), cut.size()), 9, information);
      ASSERT_NE(information.failure.reason, nullptr) << Hex(body) << " cut to " << size;
      EXPECT_GE(information.failure.octet, 9);
      EXPECT_LE(information.failure.octet, 9 + static_cast<std::int64_t>(size));
    }
    DecodeH225UserInformation(OctetView(body.data(), body.size()), 9, information);
    EXPECT_EQ(information.failure.reason, nullptr) << Hex(body);
  }
}

// Counts are weighed against the octets before anything is kept: a list that claims more
// aliases or channels than its element could hold fails at once.
TEST(H225UserInformation, CountsBeyondTheOctetsFailBeforeAnythingIsKept) {
  const struct {
    std::uint32_t count;
    const char* reason;
  } cases[] = {{16000, "count larger than the octets hold"}, {3, "ends early"}};
  for (const auto& [count, reason] : cases) {
    const Octets body = UserInformation(0, [count = count](PerWriter& writer) {
      writer.Bits(0b00100000, 8);
      writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
      writer.Length(count);
      WriteAlias(writer, {1, "x", {}});
    });
    H225UserInformation information;
    DecodeH225UserInformation(OctetView(body.data(), body.size()), 1, information);
    ASSERT_NE(information.failure.reason, nullptr) << count;
    EXPECT_STREQ(information.failure.reason, reason);
    EXPECT_LE(information.sourceAddress.size(), 1u);
    EXPECT_EQ(information.body, 0);
  }
}

// A fast start of a thousand channels is read whole, and the largest element a message carries
// either decodes or fails, in memory bounded by it (lengths of 16K or more come in fragments,
// which are not read).
TEST(H225UserInformation, TheLargestElementDecodesInMemoryBoundedByIt) {
  const Octets channel = OpenLogicalChannel({3, 20, 1, kMedia, std::nullopt}, std::nullopt);
  SetupFields setup;
  setup.fastStart.assign(16000 / (channel.size() + 1), channel);
  const Octets body = UserInformation(0, SetupBody(setup));
  H225UserInformation information;
  DecodeH225UserInformation(OctetView(body.data(), body.size()), 1, information);
  EXPECT_EQ(information.failure.reason, nullptr);
  EXPECT_EQ(information.fastStart.size(), setup.fastStart.size());
  EXPECT_EQ(CodecName(information.fastStart.back()), "g711Ulaw64k");

  for (const std::uint8_t filler : {0x00, 0x55, 0xFF}) {
    Octets largest(65535, filler);
    largest[0] = 0x05;
    DecodeH225UserInformation(OctetView(largest.data(), largest.size()), 1, information);
    EXPECT_LE(information.fastStart.size() + information.sourceAddress.size(), 65535u * 8 / 2);
  }
}

// The pane's section: the fields read, then where the body stopped being readable.
TEST(H225UserInformation, TheSectionEndsWhereTheBodyStopsBeingReadable) {
  Octets body = UserInformation(5, ReleaseCompleteBody(11));
  body.resize(14);
  EXPECT_EQ(H225Section(BytesOf(0x5a, body)),
            "H.225 user information\r\n"
            "  body: releaseComplete\r\n"
            "  protocolIdentifier: 0.0.8.2250.0.4\r\n"
            "  releaseCompleteReason: undefinedReason\r\n"
            "H.225 user information: not readable at octet 22: ends early\r\n");
  EXPECT_EQ(H225Section(BytesOf(0x5a, {0x04, 0x01})), "");
}

class H225CommandTest : public FolderTest {};

TEST_F(H225CommandTest, EachMessageGivesALineOrAJsonObject) {
  SetupFields setup;
  setup.source = {{0, "5551234", {}}};
  setup.destination = {{1, "Bob", {}}};
  setup.fastStart = {OpenLogicalChannel({3, 20, 1, kMedia, kControl}, std::nullopt)};
  const std::string trace =
      Write("trace.txt", TraceMessage(0x05, UserInformation(0, SetupBody(setup))) +
                             TraceMessage(0x5a, UserInformation(5, ReleaseCompleteBody(2))) +
                             "03/02/2021 14:05:10.270 CCP|Out Message -- PriSetupMsg -- Protocol= "
                             "PriNi2Protocol\n03/02/2021 14:05:10.271 CCP|IsdnMsgData1= 08 01 30 "
                             "05 a1 04 02 88\n");
  EXPECT_EQ(RunCli({"h225", trace}),
            "1: setup, call 11223344-5566-7788-99aa-bbccddeeff10, from 5551234, to Bob, media "
            "192.0.2.10:16384 g711Ulaw64k\n"
            "2: releaseComplete, call 33445566-7788-99aa-bbcc-ddeeff102132, reason "
            "unreachableDestination\n");
  EXPECT_EQ(RunCli({"h225", trace, "3", "--json"}), "{\"message\":3,\"body\":null}\n");
  EXPECT_EQ(RunCli({"h225", trace, "3"}), "3: no H.225 user information\n");
  const std::string shown = RunCli({"show", trace, "2", "--h225-body"});
  // The dump's last row ends before the section.
  ASSERT_NE(shown.find("\nH.225 user information\n"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.find("H.225 user information")),
            "H.225 user information\n"
            "  body: releaseComplete\n"
            "  protocolIdentifier: 0.0.8.2250.0.4\n"
            "  callIdentifier: 33445566-7788-99aa-bbcc-ddeeff102132\n"
            "  h245Tunnelling: true\n"
            "  releaseCompleteReason: unreachableDestination\n");
  EXPECT_EQ(RunCli({"show", trace, "2"}).find("H.225 user information"), std::string::npos);
}

}  // namespace
}  // namespace sigrune

namespace sigrune {
namespace {

// The pane gets the section after the dump; the decoded text and the dump stay as they were.
TEST(ShownH225Message, TheSectionFollowsTheDump) {
  MessageToShow message;
  message.message = MessageNumber{1};
  const PayloadBytes bytes = BytesOf(0x5a, UserInformation(5, ReleaseCompleteBody(2)));
  message.dataLine = "03/02/2021 14:05:10.251 CCP|IsdnMsgData2= " +
                     Hex(Octets(bytes.Octets().begin(), bytes.Octets().end()));
  const ShownMessage shown = DecodeMessageToShow(message, kShownLineLimit);
  ASSERT_TRUE(shown.undecodableReason.empty());
  EXPECT_EQ(shown.text.substr(0, shown.sectionStart), DecodeMessage(bytes) + DumpMessageHex(bytes));
  EXPECT_EQ(shown.text.substr(shown.sectionStart), "\r\n" + H225Section(bytes));
  EXPECT_NE(H225Section(bytes), "");
}

}  // namespace
}  // namespace sigrune
