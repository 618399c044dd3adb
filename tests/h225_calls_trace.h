#pragma once

// A trace of three H.225 calls whose bodies tell a call identifier, media and release reason in
// the ways the calls read them, for the calls' tests and the calls table's.

#include <cstdio>
#include <string>
#include <vector>

#include "h225_encoder.h"

namespace sigrune::h225calls {

using namespace h225encoder;
using Octets = std::vector<std::uint8_t>;

inline const Address kOffered{{192, 0, 2, 10}, 16384};
inline const Address kAnswered{{198, 51, 100, 7}, 5004};
inline const Channel kNoData{-1, 0, 1, std::nullopt, std::nullopt};

// A SETUP offering to send G.711 u-law (no media address of its own) and to receive A-law.
inline Octets SetupBody(bool withIdentifier) {
  return UserInformation(
      0,
      [=](PerWriter& writer) {
        writer.Bit(true);
        writer.Bits(0, 7);
        writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
        WriteEndpoint(writer, Endpoint{});
        writer.Bit(false);
        writer.Octets(Octets(16, 0x99));
        writer.Choice(0, 3, true);
        writer.Choice(0, 4, true);
        std::vector<std::pair<int, PerWriter>> additions;
        if (withIdentifier) {
          additions.emplace_back(2, CallIdentifier(0x11));
        }
        Channel sent{3, 20, 1, std::nullopt, kOffered};
        Channel received{1, 20, 1, kOffered, kOffered};
        additions.emplace_back(6, FastStart({OpenLogicalChannel(sent, std::nullopt),
                                             OpenLogicalChannel(kNoData, received)}));
        writer.Extensions(9, additions);
      },
      false);
}

// CALL PROCEEDING (1) or CONNECT (2): a receiving channel listed before a sending one.
inline Octets AnswerBody(std::uint32_t body, std::uint8_t identifier, bool fastStart) {
  return UserInformation(
      body,
      [=](PerWriter& writer) {
        writer.Bit(true);
        writer.Bit(false);
        writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
        WriteEndpoint(writer, Endpoint{});
        if (body == 2) {
          writer.Octets(Octets(16, 0x99));
        }
        std::vector<std::pair<int, PerWriter>> additions{{0, CallIdentifier(identifier)}};
        if (fastStart) {
          additions.emplace_back(
              4, FastStart({OpenLogicalChannel(kNoData, Channel{10, 20, 1, kOffered, std::nullopt}),
                            OpenLogicalChannel({11, 20, 1, kAnswered, std::nullopt}, {})}));
        }
        writer.Extensions(5, additions);
      },
      true);
}

inline Octets ReleaseCompleteBody(int reason) {
  return UserInformation(
      5,
      [=](PerWriter& writer) {
        writer.Bit(false);
        writer.Bit(reason >= 0);
        writer.ObjectIdentifier({0, 0, 8, 2250, 0, 4});
        if (reason >= 0) {
          writer.Choice(static_cast<std::uint32_t>(reason), 12, true);
        }
      },
      false);
}

inline std::string Hex(const Octets& octets) {
  std::string text;
  char digits[4];
  for (const std::uint8_t octet : octets) {
    std::snprintf(digits, sizeof digits, "%02x ", octet);
    text += digits;
  }
  return text;
}

// A message from or to the H.225 peer 172.16.0.12.
inline std::string Line(bool in, const Octets& message) {
  return std::string("03/02/2021 14:05:10.250 CCP|") + (in ? "In " : "Out") +
         " Message -- H225Msg -- Protocol= H225Protocol\n"
         "03/02/2021 14:05:10.250 CCP|MMan_Id= 9. (iep= 0 dsl= 0 sapi= 0 ces= 0 IpAddr=0c0010ac "
         "IpPort=1720)\n"
         "03/02/2021 14:05:10.251 CCP|IsdnMsgData2= " +
         Hex(message) + "\n";
}

// A message of a call the peer placed: the server's answers carry the flag.
inline std::string Message(std::uint8_t reference, int type, const Octets& userUser) {
  const bool in = type == 0x05 || type == 0x5a;
  Octets message{0x08, 0x02, static_cast<std::uint8_t>(in ? 0x00 : 0x80), reference,
                 static_cast<std::uint8_t>(type)};
  if (!userUser.empty()) {
    message.push_back(0x7e);
    message.push_back(static_cast<std::uint8_t>(userUser.size() >> 8));
    message.push_back(static_cast<std::uint8_t>(userUser.size()));
    message.insert(message.end(), userUser.begin(), userUser.end());
  }
  return Line(in, message);
}

// Call 1: the SETUP's receiving channel gives the media; CALL PROCEEDING gives the identifier
// that the SETUP lacks, and its own fast start comes too late. Call 2: the CONNECT's sending
// channel is taken before its receiving one, listed first; the first RELEASE COMPLETE has no
// reason. Call 3: a SETUP without a body and a reason.
inline std::string ThreeCalls() {
  return Message(1, 0x05, SetupBody(false)) + Message(1, 0x02, AnswerBody(1, 0x22, true)) +
         Message(1, 0x5a, ReleaseCompleteBody(11)) + Message(2, 0x02, AnswerBody(1, 0x33, false)) +
         Message(2, 0x07, AnswerBody(2, 0x44, true)) + Message(2, 0x5a, ReleaseCompleteBody(-1)) +
         Message(3, 0x05, {}) + Message(3, 0x5a, ReleaseCompleteBody(9));
}

}  // namespace sigrune::h225calls
