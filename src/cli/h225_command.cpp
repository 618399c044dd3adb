// `h225`: the H.225 user information of messages, a line of key fields or a JSON object each.

#include <algorithm>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "q931/decoder.h"
#include "q931/h225_body.h"
#include "util/ordered_chunks.h"

namespace sigrune {

namespace {

// JSON is kept to ASCII: a Latin-1 character beyond it is written as \u00XX, so the output reads
// the same whatever the terminal or the file it goes to.
void AppendJsonString(std::string& json, std::string_view latin1) {
  static constexpr char kDigits[] = "0123456789abcdef";
  json += '"';
  for (const char each : latin1) {
    const auto c = static_cast<unsigned char>(each);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += each;
    } else if (c < 0x20 || c >= 0x7F) {
      json += "\\u00";
      json += kDigits[c >> 4];
      json += kDigits[c & 0x0F];
    } else {
      json += each;
    }
  }
  json += '"';
}

class JsonObject {
 public:
  explicit JsonObject(std::string& json) : json_(json) { json_ += '{'; }
  void End() { json_ += '}'; }

  std::string& Key(std::string_view key) {
    json_ += first_ ? "\"" : ",\"";
    first_ = false;
    json_ += key;
    json_ += "\":";
    return json_;
  }
  void Text(std::string_view key, std::string_view latin1) { AppendJsonString(Key(key), latin1); }
  void Number(std::string_view key, long long value) { Key(key) += std::to_string(value); }
  void Flag(std::string_view key, bool value) { Key(key) += value ? "true" : "false"; }

 private:
  std::string& json_;
  bool first_ = true;
};

std::string TextOf(const PerText& value) {
  std::string text;
  AppendPerText(text, value);
  return text;
}

std::string GuidText(const Guid& guid) {
  std::string text;
  AppendGuid(text, guid);
  return text;
}

void AppendJsonAddress(std::string& json, const NetworkAddress& address) {
  JsonObject object(json);
  if (address.kind == NetworkAddress::Kind::Other) {
    object.Text("kind", address.otherName);
  } else {
    std::string ip;
    AppendIpAddress(ip, address);
    object.Text("ip", ip);
    object.Number("port", address.port);
  }
  if (address.multicast) {
    object.Flag("multicast", true);
  }
  object.End();
}

void AddAliases(JsonObject& object, std::string_view key,
                const std::vector<AliasAddress>& aliases) {
  if (aliases.empty()) {
    return;
  }
  std::string& json = object.Key(key);
  json += '[';
  for (std::size_t k = 0; k < aliases.size(); ++k) {
    json += k == 0 ? "" : ",";
    JsonObject alias(json);
    alias.Text("type", AliasKindName(aliases[k].kind));
    std::string text;
    AppendAliasText(text, aliases[k]);
    alias.Text("value", text);
    alias.End();
  }
  json += ']';
}

void AddEndpoint(JsonObject& object, std::string_view key, const EndpointInfo& info) {
  if (!info.present) {
    return;
  }
  std::string& json = object.Key(key);
  JsonObject endpoint(json);
  std::string& kinds = endpoint.Key("kinds");
  kinds += '[';
  const std::string names = EndpointKinds(info);
  for (std::size_t start = 0; start < names.size();) {
    const std::size_t end = std::min(names.find(' ', start), names.size());
    kinds += start == 0 ? "\"" : ",\"";
    kinds += names.substr(start, end - start);
    kinds += '"';
    start = end + 1;
  }
  kinds += ']';
  if (info.hasVendor) {
    endpoint.Number("t35CountryCode", info.countryCode);
    endpoint.Number("t35Extension", info.countryExtension);
    endpoint.Number("manufacturerCode", info.manufacturerCode);
    if (info.hasProduct) {
      endpoint.Text("productId", TextOf(info.product));
    }
    if (info.hasVersion) {
      endpoint.Text("versionId", TextOf(info.version));
    }
  }
  endpoint.End();
}

void AddAddress(JsonObject& object, std::string_view key, const NetworkAddress& address) {
  if (IsPresent(address)) {
    AppendJsonAddress(object.Key(key), address);
  }
}

void AppendJsonChannel(std::string& json, const FastStartChannel& channel) {
  JsonObject object(json);
  object.Text("direction", channel.reverse ? "reverse" : "forward");
  object.Text("dataType", CodecName(channel));
  if (channel.framesPerPacket >= 0) {
    object.Number("framesPerPacket", channel.framesPerPacket);
  }
  if (channel.sessionID >= 0) {
    object.Number("sessionID", channel.sessionID);
  }
  AddAddress(object, "mediaChannel", channel.mediaChannel);
  AddAddress(object, "mediaControlChannel", channel.mediaControlChannel);
  if (!channel.complete) {
    object.Flag("complete", false);
  }
  object.End();
}

void AppendJson(std::string& json, std::size_t number, const H225UserInformation* information) {
  JsonObject object(json);
  object.Number("message", static_cast<long long>(number));
  if (information == nullptr) {
    object.Key("body") += "null";
    object.End();
    return;
  }
  const H225UserInformation& facts = *information;
  if (facts.body >= 0) {
    object.Text("body", BodyName(facts.body));
  }
  if (facts.hasProtocolIdentifier) {
    std::string dotted;
    if (AppendObjectIdentifier(dotted, facts.protocolIdentifier)) {
      object.Text("protocolIdentifier", dotted);
    }
  }
  if (facts.hasCallIdentifier) {
    object.Text("callIdentifier", GuidText(facts.callIdentifier));
  }
  if (facts.hasConferenceID) {
    object.Text("conferenceID", GuidText(facts.conferenceID));
  }
  if (facts.conferenceGoal >= 0) {
    object.Text("conferenceGoal", ConferenceGoalName(facts.conferenceGoal));
  }
  if (facts.callType >= 0) {
    object.Text("callType", CallTypeName(facts.callType));
  }
  AddAliases(object, "sourceAddress", facts.sourceAddress);
  AddAliases(object, "destinationAddress", facts.destinationAddress);
  AddEndpoint(object, "sourceInfo", facts.sourceInfo);
  AddEndpoint(object, "destinationInfo", facts.destinationInfo);
  AddAddress(object, "sourceCallSignalAddress", facts.sourceCallSignalAddress);
  AddAddress(object, "destCallSignalAddress", facts.destCallSignalAddress);
  AddAddress(object, "h245Address", facts.h245Address);
  if (!facts.fastStart.empty()) {
    std::string& channels = object.Key("fastStart");
    channels += '[';
    for (std::size_t k = 0; k < facts.fastStart.size(); ++k) {
      channels += k == 0 ? "" : ",";
      AppendJsonChannel(channels, facts.fastStart[k]);
    }
    channels += ']';
  }
  const std::pair<std::string_view, int> flags[] = {
      {"h245Tunnelling", facts.h245Tunnelling},
      {"mediaWaitForConnect", facts.mediaWaitForConnect},
      {"canOverlapSend", facts.canOverlapSend}};
  for (const auto& [key, flag] : flags) {
    if (flag >= 0) {
      object.Flag(key, flag != 0);
    }
  }
  if (facts.releaseCompleteReason >= 0) {
    object.Text("releaseCompleteReason", ReleaseCompleteReasonName(facts.releaseCompleteReason));
  }
  if (facts.facilityReason >= 0) {
    object.Text("facilityReason", FacilityReasonName(facts.facilityReason));
  }
  if (facts.h4501SupplementaryService) {
    object.Flag("h4501SupplementaryService", true);
  }
  if (facts.nonStandardData) {
    object.Flag("nonStandardData", true);
  }
  if (facts.failure.reason != nullptr) {
    std::string& failure = object.Key("notReadable");
    JsonObject where(failure);
    where.Number("octet", facts.failure.octet);
    where.Text("reason", facts.failure.reason);
    where.End();
  }
  object.End();
}

// "12: setup, call c0fe..., from 5295672, to 2005, media 10.1.3.143:5000 g711Ulaw64k".
void AppendLine(std::string& line, std::size_t number, const H225UserInformation* information) {
  line += std::to_string(number);
  if (information == nullptr) {
    line += ": no H.225 user information";
    return;
  }
  const H225UserInformation& facts = *information;
  line += ": ";
  line += facts.body >= 0 ? BodyName(facts.body) : "no body";
  if (facts.hasCallIdentifier) {
    line += ", call ";
    AppendGuid(line, facts.callIdentifier);
  }
  if (!facts.sourceAddress.empty()) {
    line += ", from ";
    AppendAliasText(line, facts.sourceAddress.front());
  }
  if (!facts.destinationAddress.empty()) {
    line += ", to ";
    AppendAliasText(line, facts.destinationAddress.front());
  }
  for (const FastStartChannel& channel : facts.fastStart) {
    if (IsPresent(channel.mediaChannel)) {
      line += ", media ";
      AppendNetworkAddress(line, channel.mediaChannel);
      line += ' ';
      line += CodecName(channel);
      break;
    }
  }
  if (facts.releaseCompleteReason >= 0) {
    line += ", reason " + ReleaseCompleteReasonName(facts.releaseCompleteReason);
  }
  if (facts.facilityReason >= 0) {
    line += ", reason " + FacilityReasonName(facts.facilityReason);
  }
  if (facts.failure.reason != nullptr) {
    line += ", not readable at octet " + std::to_string(facts.failure.octet) + ": " +
            facts.failure.reason;
  }
}

}  // namespace

int RunH225Command(const H225Arguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  const TraceFiles& files = arguments.traces;
  TraceDocument document;
  if (LoadTraceForCommand(files, in, err, document) != OperationOutcome::Done) {
    return kExitFailure;
  }
  const MessageStore& store = document.Store();
  OutputBuffer output(out);
  bool anyFailed = false;
  // What a thread keeps from one message to the next, with the room of its lists.
  struct Decoding {
    PayloadBytes bytes;
    H225UserInformation information;
  };
  const auto append = [&](std::string& text, std::size_t number, Decoding& decoding) {
    const MessageIndex index = IndexOf(MessageNumber{number});
    const H225UserInformation* facts = nullptr;
    try {
      ReadPayloadBytesOfMessage(store, index, decoding.bytes);
      OctetView contents;
      std::int64_t firstOctet = 0;
      if (FindH225UserInformation(decoding.bytes, contents, firstOctet)) {
        DecodeH225UserInformation(contents, firstOctet, decoding.information);
        facts = &decoding.information;
      }
    } catch (const SubscriptOutOfRange&) {
      // A data line without octets carries no user information.
    }
    if (arguments.json) {
      AppendJson(text, number, facts);
    } else {
      AppendLine(text, number, facts);
    }
    text += '\n';
  };
  if (arguments.numbers.empty()) {
    // Every H.225 message, decoded on every core in chunks and written in their order.
    constexpr std::size_t kChunkMessages = 16384;
    const unsigned threads = ChunkThreads();
    std::vector<PerWorker<Decoding>> decodings(threads);
    const std::size_t chunks = (store.MessageCount() + kChunkMessages - 1) / kChunkMessages;
    const auto make = [&](std::size_t chunk, const ChunkWork& work) {
      std::string text;
      const std::size_t end = std::min(store.MessageCount(), (chunk + 1) * kChunkMessages);
      for (std::size_t index = chunk * kChunkMessages; index < end && !work.Stopped(); ++index) {
        if (store.msgProtocols[index] == Protocol::H225) {
          append(text, index + 1, decodings[work.worker].state);
        }
      }
      return text;
    };
    const auto take = [&](std::size_t, std::string text) {
      output.Write(text);
      return !output.Failed();
    };
    TakeChunksInOrder<std::string>(chunks, threads, make, take, {});
  }
  std::string line;
  Decoding decoding;
  const auto write = [&](std::size_t number) {
    line.clear();
    append(line, number, decoding);
    output.Write(line);
  };
  for (const MessageNumber number : arguments.numbers) {
    if (output.Failed()) {
      break;
    }
    if (!CheckMessageNumber(store, files, number, output, err)) {
      anyFailed = true;
      continue;
    }
    write(number.value);
  }
  return FinishOutput(output, err, anyFailed ? kExitFailure : kExitSuccess);
}

}  // namespace sigrune
