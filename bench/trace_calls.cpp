// Call legs with the elements and timing of real ones, and a realistic share of failures.

#include "trace_calls.h"

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <optional>

#include "h225_encoder.h"

namespace bench {

namespace {

using Octets = std::vector<std::uint8_t>;

enum class Outcome {
  Answered,
  Abandoned,  // the caller hangs up while it rings
  Busy,
  NoUserResponding,
  NoAnswer,
  Unallocated,
  NoCircuit,
  Unspecified,
  TemporaryFailure,
  TimerExpiry,
  Interworking,
};

// How often each outcome comes, and the Q.931 cause value that clears the call.
struct OutcomeShare {
  Outcome outcome;
  unsigned perMille;
  std::uint8_t cause;
};

constexpr OutcomeShare kOutcomes[] = {
    {Outcome::Answered, 700, 16},
    {Outcome::Abandoned, 60, 16},
    {Outcome::Busy, 70, 17},
    {Outcome::NoUserResponding, 25, 18},
    {Outcome::NoAnswer, 35, 19},
    {Outcome::Unallocated, 25, 1},
    {Outcome::NoCircuit, 20, 34},
    {Outcome::Unspecified, 25, 31},
    {Outcome::TemporaryFailure, 15, 41},
    {Outcome::TimerExpiry, 15, 102},
    {Outcome::Interworking, 10, 127},
};

constexpr std::uint8_t kNormalClearing = 16;
constexpr std::uint8_t kTemporaryFailure = 41;

// Latin-1 names, in octal escapes since a letter may follow them.
constexpr std::string_view kNames[] = {
    "Anna M\374ller", "Fran\347ois Leclerc", "Jos\351 Pe\361a",  "S\370ren Dahl",
    "Reception",      "Lobby Phone",         "Conf Room 4B",     "Help Desk",
    "Smith, John",    "Nguyen, Linh",        "O'Brien, Sean",    "Kowalski, Ewa",
    "Patel, Ravi",    "Garc\355a, Luc\355a", "Jensen, Mette",    "Ito, Haruki",
    "Night Bell",     "Fax Server",          "Sales Hunt Group", "Brown, Alexandra",
    "Okafor, Chidi",  "M\344kinen, Aino",    "Dubois, Ren\351e", "Warehouse 2",
};

constexpr std::string_view kAreaCodes[] = {"212", "408", "919", "972", "303", "617", "312", "206"};
constexpr std::string_view kInternationalPrefixes[] = {"4420", "4989", "3314", "8133", "6129"};

std::string Digits(Random& random, unsigned count) {
  std::string digits;
  for (unsigned k = 0; k < count; ++k) {
    digits += static_cast<char>('0' + random.Below(10));
  }
  return digits;
}

std::string Extension(Random& random) {
  return static_cast<char>('1' + random.Below(4)) + Digits(random, 3);
}

std::string NationalNumber(Random& random) {
  return std::string(random.Pick(kAreaCodes)) + "555" + Digits(random, 4);
}

void AppendElement(Octets& body, std::uint8_t identifier,
                   std::initializer_list<std::uint8_t> contents) {
  body.push_back(identifier);
  body.push_back(static_cast<std::uint8_t>(contents.size()));
  body.insert(body.end(), contents);
}

void AppendTextElement(Octets& body, std::uint8_t identifier,
                       std::initializer_list<std::uint8_t> head, std::string_view text) {
  body.push_back(identifier);
  body.push_back(static_cast<std::uint8_t>(head.size() + text.size()));
  body.insert(body.end(), head);
  body.insert(body.end(), text.begin(), text.end());
}

void AppendChannel(Octets& body, bool exclusive, unsigned channel) {
  AppendElement(body, 0x18,
                {static_cast<std::uint8_t>(exclusive ? 0xa9 : 0xa1), 0x83,
                 static_cast<std::uint8_t>(0x80 | channel)});
}

void AppendProgress(Octets& body, unsigned location, unsigned description) {
  AppendElement(
      body, 0x1e,
      {static_cast<std::uint8_t>(0x80 | location), static_cast<std::uint8_t>(0x80 | description)});
}

void AppendCause(Octets& body, unsigned location, std::uint8_t value) {
  if (value == 102) {
    // Recovery on timer expiry names the timer, T310, in IA5 digits.
    AppendTextElement(
        body, 0x08,
        {static_cast<std::uint8_t>(0x80 | location), static_cast<std::uint8_t>(0x80 | value)},
        "310");
  } else {
    AppendElement(
        body, 0x08,
        {static_cast<std::uint8_t>(0x80 | location), static_cast<std::uint8_t>(0x80 | value)});
  }
}

namespace per = sigrune::h225encoder;

using Guid = std::array<std::uint8_t, 16>;

// What one H.225 body of a call holds beyond its kind: the call's identifiers and addresses,
// drawn once per call.
struct H225Call {
  Guid callIdentifier{};
  Guid conferenceId{};
  per::Address caller;  // the caller's signalling address
  per::Address callee;
  std::uint32_t version = 4;  // of the protocol identifier
  bool tunnelling = false;
  std::vector<int> codecs;  // AudioCapability indexes the caller offers, preferred first
};

constexpr int kCodecs[] = {3, 1, 10, 11, 8, 14, 5};  // g711 u/A, g729, g729A, g7231, g729B, g722
constexpr std::string_view kProducts[] = {"Gateway 3900", "SBC 5000", "Desk Phone 20",
                                          "Edge Proxy"};

per::Address MediaAddress(const per::Address& host, Random& random) {
  return {host.ip, static_cast<std::uint16_t>(16384 + 2 * random.Below(8000))};
}

per::Endpoint EndpointOf(Random& random) {
  per::Endpoint endpoint;
  endpoint.terminal = random.PerMille(300);
  endpoint.gateway = !endpoint.terminal;
  endpoint.vendor = random.PerMille(700);
  endpoint.country = 181;
  endpoint.manufacturer = static_cast<std::uint16_t>(random.Below(0x10000));
  endpoint.product = std::string(random.Pick(kProducts));
  endpoint.version = random.PerMille(500) ? "12.4" : "";
  return endpoint;
}

void WriteGuid(per::PerWriter& writer, const Guid& guid) {
  writer.Octets({guid.begin(), guid.end()});
}

per::PerWriter CallIdentifierOf(const H225Call& call) {
  per::PerWriter writer;
  writer.Bit(false);
  WriteGuid(writer, call.callIdentifier);
  return writer;
}

// Fast start: channels to send and to receive by turns (receiving on a media port of the host),
// the codecs by turns too; an answer picks one codec each way.
per::PerWriter FastStartOf(Random& random, const std::vector<int>& codecs, const per::Address& host,
                           std::size_t channels) {
  std::vector<std::vector<std::uint8_t>> elements;
  for (std::size_t k = 0; k < channels; ++k) {
    per::Channel channel;
    channel.audio = codecs[k % codecs.size()];
    channel.frames = channel.audio == 8 ? 1 : 20;
    const per::Address media = MediaAddress(host, random);
    channel.control = per::Address{media.ip, static_cast<std::uint16_t>(media.port + 1)};
    if (k % 2 == 0) {
      elements.push_back(per::OpenLogicalChannel(channel, std::nullopt));
    } else {
      channel.media = media;
      per::Channel none;
      none.audio = -1;
      elements.push_back(per::OpenLogicalChannel(none, channel));
    }
  }
  return per::FastStart(elements);
}

void WriteProtocol(per::PerWriter& writer, const H225Call& call) {
  writer.ObjectIdentifier({0, 0, 8, 2250, 0, call.version});
}

// The user-user element, with two length octets, of the body `write` writes.
void AppendUserUser(Octets& message, const H225Call& call, std::uint32_t body,
                    const std::function<void(per::PerWriter&)>& write) {
  const Octets contents = per::UserInformation(body, write, call.tunnelling);
  message.insert(message.end(), {0x7e, static_cast<std::uint8_t>(contents.size() >> 8),
                                 static_cast<std::uint8_t>(contents.size() & 0xff)});
  message.insert(message.end(), contents.begin(), contents.end());
}

void AppendSetupBody(Octets& message, Random& random, const H225Call& call, std::string_view h323Id,
                     const std::string& calling, const std::string& called) {
  const bool fastStart = random.PerMille(850);
  const bool h245 = !fastStart || random.PerMille(200);
  AppendUserUser(message, call, 0, [&](per::PerWriter& setup) {
    setup.Bit(true);
    setup.Bit(h245);
    setup.Bits(0b111, 3);  // source and destination aliases, destination signalling address
    setup.Bits(0, 3);
    WriteProtocol(setup, call);
    if (h245) {
      per::WriteTransportAddress(
          setup, {call.caller.ip, static_cast<std::uint16_t>(11000 + random.Below(1000))});
    }
    std::vector<per::Alias> source = {{0, calling, {}}};
    if (!h323Id.empty()) {
      source.insert(source.begin(), {1, std::string(h323Id), {}});
    }
    per::WriteAliases(setup, source);
    per::WriteEndpoint(setup, EndpointOf(random));
    per::WriteAliases(setup, {{0, called, {}}});
    per::WriteTransportAddress(setup, call.callee);
    setup.Bit(false);  // activeMC
    WriteGuid(setup, call.conferenceId);
    setup.Choice(0, 3, true);  // create
    setup.Choice(0, 4, true);  // pointToPoint
    std::vector<std::pair<int, per::PerWriter>> additions;
    per::PerWriter sourceAddress;
    per::WriteTransportAddress(sourceAddress, call.caller);
    additions.emplace_back(0, sourceAddress);
    additions.emplace_back(2, CallIdentifierOf(call));
    if (fastStart) {
      additions.emplace_back(6,
                             FastStartOf(random, call.codecs, call.caller, random.Between(1, 4)));
    }
    additions.emplace_back(7, per::Flag(false));
    additions.emplace_back(8, per::Flag(random.PerMille(100)));
    setup.Extensions(9, additions);
  });
}

// CALL PROCEEDING (1), ALERTING (3), CONNECT (2) and PROGRESS (7) from the callee.
void AppendAnswerBody(Octets& message, Random& random, const H225Call& call, std::uint32_t body,
                      bool fastStart, bool h245) {
  const per::Address h245Address{call.callee.ip,
                                 static_cast<std::uint16_t>(12000 + random.Below(1000))};
  AppendUserUser(message, call, body, [&](per::PerWriter& answer) {
    const auto faststart = [&] {
      // The first codec offered, each way.
      return FastStartOf(random, {call.codecs.front()}, call.callee, 2);
    };
    if (body == 7) {
      answer.Bit(false);
      answer.Bit(h245);
      answer.Bits(0, 3);
      answer.Bit(fastStart);
      WriteProtocol(answer, call);
      per::WriteEndpoint(answer, EndpointOf(random));
      if (h245) {
        per::WriteTransportAddress(answer, h245Address);
      }
      answer.Bit(false);
      WriteGuid(answer, call.callIdentifier);
      if (fastStart) {
        const per::PerWriter elements = faststart();
        answer.Octets(elements.Encoded());
      }
      return;
    }
    answer.Bit(true);
    answer.Bit(h245);
    WriteProtocol(answer, call);
    if (body == 2 && h245) {
      per::WriteTransportAddress(answer, h245Address);
    }
    per::WriteEndpoint(answer, EndpointOf(random));
    if (body != 2 && h245) {
      per::WriteTransportAddress(answer, h245Address);
    }
    if (body == 2) {
      WriteGuid(answer, call.conferenceId);
    }
    std::vector<std::pair<int, per::PerWriter>> additions;
    additions.emplace_back(0, CallIdentifierOf(call));
    if (fastStart) {
      additions.emplace_back(4, faststart());
    }
    answer.Extensions(fastStart ? 5 : 1, additions);
  });
}

void AppendReleaseCompleteBody(Octets& message, Random& random, const H225Call& call,
                               std::uint8_t cause) {
  // The reasons a cause maps to, most often left out.
  int reason = -1;
  if (random.PerMille(cause == kNormalClearing ? 50 : 600)) {
    constexpr int kFailures[] = {2, 3, 7, 11, 14};  // unreachable, rejected, resources, undefined
    reason = cause == kNormalClearing ? 11 : cause == 17 ? 9 : random.Pick(kFailures);
  }
  AppendUserUser(message, call, 5, [&](per::PerWriter& release) {
    release.Bit(true);
    release.Bit(reason >= 0);
    WriteProtocol(release, call);
    if (reason >= 0) {
      release.Choice(static_cast<std::uint32_t>(reason), 12, true);
    }
    release.Extensions(1, {{0, CallIdentifierOf(call)}});
  });
}

void AppendFacilityBody(Octets& message, Random& random, const H225Call& call) {
  const bool startH245 = random.PerMille(500);
  AppendUserUser(message, call, 6, [&](per::PerWriter& facility) {
    facility.Bit(true);
    facility.Bits(0b001, 3);  // the conference identifier alone
    WriteProtocol(facility, call);
    WriteGuid(facility, call.conferenceId);
    facility.Choice(startH245 ? 5 : 3, 4, true);  // startH245 or undefinedReason
    std::vector<std::pair<int, per::PerWriter>> additions;
    additions.emplace_back(0, CallIdentifierOf(call));
    if (startH245) {
      per::PerWriter address;
      per::WriteTransportAddress(
          address, {call.caller.ip, static_cast<std::uint16_t>(11000 + random.Below(1000))});
      additions.emplace_back(6, address);
    }
    facility.Extensions(startH245 ? 7 : 1, additions);
  });
}

const OutcomeShare& PickOutcome(Random& random) {
  std::uint64_t roll = random.Below(1000);
  for (const OutcomeShare& share : kOutcomes) {
    if (roll < share.perMille) {
      return share;
    }
    roll -= share.perMille;
  }
  return kOutcomes[0];
}

// Talk time: most calls last under a minute, some several.
std::uint32_t TalkMs(Random& random) {
  return static_cast<std::uint32_t>(random.Between(3000, 40000) +
                                    (random.PerMille(300) ? random.Between(0, 260000) : 0));
}

// Builds one leg's messages; the side that sends a message decides the cause location.
class LegPlanner {
 public:
  LegPlanner(Random& random, CallLeg& leg) : random_(random), leg_(leg) {}

  Octets& Add(std::uint32_t delayMs, bool fromOriginator, std::string_view name,
              std::uint8_t type) {
    leg_.plan.push_back({delayMs, fromOriginator, name, {type}});
    return leg_.plan.back().body;
  }

  // Public network for the PRI gateway's side, the private network for the server's side.
  unsigned CauseLocation(bool fromOriginator) {
    const bool gatewaySide = fromOriginator == leg_.gatewayOriginates;
    if (gatewaySide && !kGateways[leg_.gateway].h225) {
      constexpr unsigned kPublic[] = {2, 2, 2, 3, 4};
      return random_.Pick(kPublic);
    }
    constexpr unsigned kPrivate[] = {1, 1, 0};
    return random_.Pick(kPrivate);
  }

  std::uint32_t Ms(std::uint64_t low, std::uint64_t high) {
    return static_cast<std::uint32_t>(random_.Between(low, high));
  }

  // DISCONNECT, RELEASE, RELEASE COMPLETE, started by one side.
  void ClearPri(std::uint32_t delayMs, bool byOriginator, std::uint8_t cause, bool inBandTones) {
    const unsigned location = CauseLocation(byOriginator);
    Octets& disconnect = Add(delayMs, byOriginator, "Disconnect", 0x45);
    AppendCause(disconnect, location, cause);
    if (inBandTones) {
      AppendProgress(disconnect, location, 8);
    }
    Octets& release = Add(Ms(3, 60), !byOriginator, "Release", 0x4d);
    if (random_.PerMille(200)) {
      AppendCause(release, CauseLocation(!byOriginator), cause);
    }
    Add(Ms(3, 60), byOriginator, "ReleaseComplete", 0x5a);
  }

  void ReleaseCompleteH225(std::uint32_t delayMs, bool byOriginator, std::uint8_t cause,
                           const H225Call& call) {
    Octets& releaseComplete = Add(delayMs, byOriginator, "ReleaseComplete", 0x5a);
    AppendCause(releaseComplete, CauseLocation(byOriginator), cause);
    AppendReleaseCompleteBody(releaseComplete, random_, call, cause);
  }

 private:
  Random& random_;
  CallLeg& leg_;
};

void AppendSetupElements(Octets& setup, Random& random, const CallLeg& leg, std::string_view name,
                         unsigned channel) {
  const Gateway& gateway = kGateways[leg.gateway];
  if (gateway.h225) {
    AppendElement(setup, 0x04,
                  {static_cast<std::uint8_t>(random.PerMille(700) ? 0x80 : 0x88), 0x90, 0xa5});
  } else {
    if (random.PerMille(400)) {
      setup.push_back(0xa1);  // sending complete
    }
    if (random.PerMille(30)) {
      AppendElement(setup, 0x04, {0x88, 0x90});
    } else {
      AppendElement(
          setup, 0x04,
          {static_cast<std::uint8_t>(random.PerMille(70) ? 0x90 : 0x80), 0x90, gateway.layer1});
    }
    AppendChannel(setup, random.PerMille(850), channel);
    if (random.PerMille(100)) {
      AppendProgress(setup, 0, 3);  // origination address is non-ISDN
    }
  }
  if (random.PerMille(850)) {
    AppendTextElement(setup, 0x28, {}, name);
  }
  // Calling party: national numbers from the network, extensions from the server's own phones.
  if (leg.calling.size() == 4) {
    AppendTextElement(setup, 0x6c, {0x81}, leg.calling);
  } else if (random.PerMille(200)) {
    AppendTextElement(setup, 0x6c, {0xa1}, leg.calling);
  } else {
    constexpr std::uint8_t kPresentation[] = {0x80, 0x80, 0x83, 0x81, 0xa3};
    AppendTextElement(setup, 0x6c, {0x21, random.Pick(kPresentation)}, leg.calling);
  }
  std::uint8_t calledType = 0x80;
  switch (leg.called.size()) {
    case 7:
      calledType = 0xc1;
      break;
    case 10:
      calledType = 0xa1;
      break;
    case 4:
      calledType = gateway.h225 ? 0x81 : 0x80;
      break;
    default:
      calledType = 0x91;
  }
  AppendTextElement(setup, 0x70, {calledType}, leg.called);
}

void PlanPriCall(Random& random, CallLeg& leg, const OutcomeShare& share, std::string_view name) {
  const Outcome outcome = share.outcome;
  const std::uint8_t cause = share.cause;
  const Gateway& gateway = kGateways[leg.gateway];
  LegPlanner planner(random, leg);
  const auto channel = static_cast<unsigned>(random.Between(1, gateway.channels));
  AppendSetupElements(planner.Add(0, true, "Setup", 0x05), random, leg, name, channel);
  // One B-channel of one span fails far more often than the rest, for the channel map to find.
  if (leg.gateway == 1 && channel == 17 && random.PerMille(600)) {
    AppendCause(planner.Add(planner.Ms(5, 60), false, "ReleaseComplete", 0x5a),
                planner.CauseLocation(false), kTemporaryFailure);
    return;
  }
  if (outcome == Outcome::NoCircuit ||
      (outcome == Outcome::TemporaryFailure && random.PerMille(500))) {
    Octets& rejection = planner.Add(planner.Ms(5, 60), false, "ReleaseComplete", 0x5a);
    AppendCause(rejection, planner.CauseLocation(false), cause);
    return;
  }
  AppendChannel(planner.Add(planner.Ms(5, 80), false, "CallProceeding", 0x02), true, channel);
  switch (outcome) {
    case Outcome::Busy:
    case Outcome::Unallocated:
    case Outcome::Unspecified:
    case Outcome::TemporaryFailure:
    case Outcome::Interworking:
      planner.ClearPri(planner.Ms(100, 3000), false, cause, random.PerMille(700));
      return;
    case Outcome::TimerExpiry:
      planner.ClearPri(planner.Ms(10000, 30000), true, cause, false);
      return;
    default:
      break;
  }
  if (random.PerMille(200)) {
    AppendProgress(planner.Add(planner.Ms(50, 600), false, "Progress", 0x03),
                   planner.CauseLocation(false), random.PerMille(500) ? 8 : 2);
  }
  Octets& alerting = planner.Add(planner.Ms(100, 1500), false, "Alerting", 0x01);
  if (random.PerMille(400)) {
    AppendProgress(alerting, planner.CauseLocation(false), 8);
  }
  if (random.PerMille(100)) {
    AppendElement(alerting, 0x34, {0x01});  // ring back tone on
  }
  if (outcome == Outcome::NoUserResponding || outcome == Outcome::NoAnswer) {
    planner.ClearPri(planner.Ms(15000, 40000), false, cause, random.PerMille(500));
    return;
  }
  if (outcome == Outcome::Abandoned) {
    planner.ClearPri(planner.Ms(2000, 20000), true, kNormalClearing, false);
    return;
  }
  Octets& connect = planner.Add(planner.Ms(1500, 25000), false, "Connect", 0x07);
  if (random.PerMille(150)) {
    AppendTextElement(connect, 0x28, {}, random.Pick(kNames));
  }
  planner.Add(planner.Ms(2, 40), true, "ConnectAck", 0x0f);
  planner.ClearPri(TalkMs(random), random.PerMille(500), kNormalClearing, false);
}

H225Call DrawH225Call(Random& random, const CallLeg& leg) {
  H225Call call;
  for (std::uint8_t& octet : call.callIdentifier) {
    octet = static_cast<std::uint8_t>(random.Below(256));
  }
  for (std::uint8_t& octet : call.conferenceId) {
    octet = static_cast<std::uint8_t>(random.Below(256));
  }
  const Gateway& peer = kGateways[leg.gateway];
  const per::Address peerAddress{{peer.address, peer.address + 4}, 1720};
  const per::Address server{{10, 0, 0, 1}, 1720};
  call.caller = leg.gatewayOriginates ? peerAddress : server;
  call.callee = leg.gatewayOriginates ? server : peerAddress;
  call.version = static_cast<std::uint32_t>(random.Between(2, 6));
  call.tunnelling = random.PerMille(400);
  const std::size_t codecs = random.Between(1, 4);
  std::size_t first = random.Below(std::size(kCodecs));
  for (std::size_t k = 0; k < codecs; ++k) {
    call.codecs.push_back(kCodecs[(first + k) % std::size(kCodecs)]);
  }
  return call;
}

void PlanH225Call(Random& random, CallLeg& leg, const OutcomeShare& share, std::string_view name) {
  const Outcome outcome = share.outcome;
  const std::uint8_t cause = share.cause;
  LegPlanner planner(random, leg);
  const H225Call call = DrawH225Call(random, leg);
  Octets& setup = planner.Add(0, true, "Setup", 0x05);
  AppendSetupElements(setup, random, leg, name, 0);
  std::string h323Id(name.substr(0, 16));
  std::replace_if(
      h323Id.begin(), h323Id.end(), [](char c) { return (c & 0x80) != 0; }, '_');
  AppendSetupBody(setup, random, call, random.PerMille(800) ? h323Id : "", leg.calling, leg.called);
  switch (outcome) {
    case Outcome::NoCircuit:
    case Outcome::TemporaryFailure:
    case Outcome::Unallocated:
    case Outcome::Unspecified:
    case Outcome::Interworking:
      planner.ReleaseCompleteH225(planner.Ms(20, 2000), false, cause, call);
      return;
    default:
      break;
  }
  // The callee answers the fast start in one of its first messages, or not at all.
  const std::uint64_t fastStartIn = random.Below(5);  // 0 proceeding, 1 alerting, 2 connect
  AppendAnswerBody(planner.Add(planner.Ms(5, 80), false, "CallProceeding", 0x02), random, call, 1,
                   fastStartIn == 0, random.PerMille(200));
  if (outcome == Outcome::Busy) {
    planner.ReleaseCompleteH225(planner.Ms(100, 3000), false, cause, call);
    return;
  }
  if (outcome == Outcome::TimerExpiry) {
    planner.ReleaseCompleteH225(planner.Ms(10000, 30000), true, cause, call);
    return;
  }
  if (random.PerMille(150)) {
    Octets& progress = planner.Add(planner.Ms(50, 600), false, "Progress", 0x03);
    AppendProgress(progress, 1, 8);
    AppendAnswerBody(progress, random, call, 7, random.PerMille(300), false);
  }
  Octets& alerting = planner.Add(planner.Ms(100, 1500), false, "Alerting", 0x01);
  if (random.PerMille(300)) {
    AppendProgress(alerting, 1, 8);
  }
  AppendAnswerBody(alerting, random, call, 3, fastStartIn == 1, random.PerMille(100));
  if (outcome == Outcome::NoUserResponding || outcome == Outcome::NoAnswer) {
    planner.ReleaseCompleteH225(planner.Ms(15000, 40000), false, cause, call);
    return;
  }
  if (outcome == Outcome::Abandoned) {
    planner.ReleaseCompleteH225(planner.Ms(2000, 20000), true, kNormalClearing, call);
    return;
  }
  Octets& connect = planner.Add(planner.Ms(1500, 25000), false, "Connect", 0x07);
  if (random.PerMille(150)) {
    AppendTextElement(connect, 0x28, {}, random.Pick(kNames));
  }
  AppendAnswerBody(connect, random, call, 2, fastStartIn == 2, random.PerMille(600));
  std::uint32_t talk = TalkMs(random);
  if (random.PerMille(100)) {
    const std::uint32_t before = talk / 3;
    AppendFacilityBody(planner.Add(before, random.PerMille(500), "Facility", 0x62), random, call);
    talk -= before;
  }
  planner.ReleaseCompleteH225(talk, random.PerMille(500), kNormalClearing, call);
}

void PlanLeg(Random& random, CallLeg& leg, const OutcomeShare& outcome, std::string_view name) {
  leg.call = true;
  if (kGateways[leg.gateway].h225) {
    PlanH225Call(random, leg, outcome, name);
  } else {
    PlanPriCall(random, leg, outcome, name);
  }
}

}  // namespace

unsigned CallReferences::Next(unsigned gateway, bool gatewayOriginates, unsigned length) {
  const unsigned limit = length == 1 ? 0x7f : 0x7fff;
  unsigned& next = next_[gateway][gatewayOriginates ? 1 : 0][length == 1 ? 1 : 0];
  if (next == 0) {
    next = 1 + (gateway * 997 + (gatewayOriginates ? 5003 : 0)) % limit;
  }
  const unsigned reference = next;
  next = next == limit ? 1 : next + 1;
  return reference;
}

CallLeg PlanCall(Random& random, CallReferences& references, unsigned gateway,
                 std::uint32_t callId) {
  const Gateway& site = kGateways[gateway];
  CallLeg leg;
  leg.gateway = gateway;
  leg.gatewayOriginates = random.PerMille(550);
  leg.callId = callId;
  leg.referenceLength = !site.h225 && random.PerMille(72) ? 1 : 2;
  leg.reference = references.Next(gateway, leg.gatewayOriginates, leg.referenceLength);
  std::string_view name = random.Pick(kNames);
  if (site.h225) {
    leg.calling = Extension(random);
    leg.called = random.PerMille(700) ? Extension(random) : NationalNumber(random);
  } else if (leg.gatewayOriginates) {
    leg.calling = NationalNumber(random);
    const std::uint64_t form = random.Below(10);
    leg.called = form < 4   ? Extension(random)
                 : form < 8 ? NationalNumber(random)
                            : NationalNumber(random).substr(3);
  } else {
    leg.calling =
        random.PerMille(800) ? std::string(random.Pick(kAreaCodes)) + "5550100" : Extension(random);
    const std::uint64_t form = random.Below(20);
    leg.called = form < 15   ? NationalNumber(random)
                 : form < 17 ? std::string(random.Pick(kInternationalPrefixes)) + Digits(random, 8)
                             : NationalNumber(random).substr(3);
  }
  const OutcomeShare& outcome = PickOutcome(random);
  leg.outcome = static_cast<std::size_t>(&outcome - kOutcomes);
  PlanLeg(random, leg, outcome, name);
  return leg;
}

CallLeg PlanOnwardLeg(Random& random, CallReferences& references, const CallLeg& incoming,
                      unsigned gateway, std::uint32_t callId) {
  CallLeg leg;
  leg.gateway = gateway;
  leg.callId = callId;
  leg.referenceLength = !kGateways[gateway].h225 && random.PerMille(72) ? 1 : 2;
  leg.reference = references.Next(gateway, false, leg.referenceLength);
  leg.calling = incoming.calling;
  leg.called = incoming.called;
  leg.outcome = incoming.outcome;
  PlanLeg(random, leg, kOutcomes[incoming.outcome], random.Pick(kNames));
  return leg;
}

CallLeg PlanRestart(Random& random, unsigned gateway, bool allInterfaces) {
  CallLeg leg;
  leg.gateway = gateway;
  leg.gatewayOriginates = random.PerMille(400);
  Octets elements;
  if (allInterfaces) {
    AppendElement(elements, 0x79, {0x87});
  } else {
    AppendChannel(elements, true,
                  static_cast<unsigned>(random.Between(1, kGateways[gateway].channels)));
    AppendElement(elements, 0x79, {0x80});
  }
  Octets restart = {0x46};
  restart.insert(restart.end(), elements.begin(), elements.end());
  Octets acknowledge = {0x4e};
  acknowledge.insert(acknowledge.end(), elements.begin(), elements.end());
  leg.plan.push_back({0, true, "Restart", std::move(restart)});
  leg.plan.push_back({static_cast<std::uint32_t>(random.Between(20, 300)), false, "RestartAck",
                      std::move(acknowledge)});
  return leg;
}

CallLeg PlanService(Random& random, unsigned gateway) {
  CallLeg leg;
  leg.gateway = gateway;
  leg.gatewayOriginates = random.PerMille(300);
  leg.protocolDiscriminator = 0x03;
  Octets elements;
  AppendElement(elements, 0x01,
                {static_cast<std::uint8_t>(0x80 | random.Below(3))});  // change status
  AppendChannel(elements, true,
                static_cast<unsigned>(random.Between(1, kGateways[gateway].channels)));
  Octets service = {0x0f};
  service.insert(service.end(), elements.begin(), elements.end());
  Octets acknowledge = {0x07};
  acknowledge.insert(acknowledge.end(), elements.begin(), elements.end());
  leg.plan.push_back({0, true, "Service", std::move(service)});
  leg.plan.push_back({static_cast<std::uint32_t>(random.Between(10, 200)), false, "ServiceAck",
                      std::move(acknowledge)});
  return leg;
}

}  // namespace bench
