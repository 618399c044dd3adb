#pragma once

// The calls of the benchmark trace: six gateways, and the messages of one call leg planned ahead
// (types, elements, direction and the time between them), as a PRI gateway or an H.225 peer and
// the server exchange them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace_random.h"

namespace bench {

struct Gateway {
  std::string_view label;  // the trace's own name, after "<CLID::mrv-ccp-01>" in a data line
  unsigned mmanId;
  unsigned dsl;
  std::uint8_t address[4];  // dotted order
  bool h225;
  std::string_view protocol;  // as the header line names it
  unsigned channels;          // B channels of a PRI span
  std::uint8_t layer1;        // bearer capability octet 5 of its speech calls
};

inline constexpr Gateway kGateways[] = {
    {"GW::pri-a", 1, 0, {192, 168, 1, 5}, false, "PriNi2Protocol", 23, 0xa2},
    {"GW::pri-b", 2, 1, {192, 168, 100, 200}, false, "PriNi2Protocol", 23, 0xa2},
    {"GW::pri-c", 4, 0, {10, 1, 1, 30}, false, "PriEuroProtocol", 30, 0xa3},
    {"GW::pri-d", 5, 1, {10, 20, 4, 17}, false, "Pri4essProtocol", 23, 0xa2},
    {"PEER::sbc-east", 3, 0, {172, 16, 20, 33}, true, "H225Protocol", 0, 0xa5},
    {"PEER::cube-west", 7, 0, {10, 75, 0, 12}, true, "H225Protocol", 0, 0xa5},
};
inline constexpr unsigned kGatewayCount = sizeof kGateways / sizeof kGateways[0];

struct PlannedMessage {
  std::uint32_t delayMs;           // after the leg's previous message
  bool fromOriginator;             // sent by the side that chose the call reference
  std::string_view name;           // "Setup", "CallProceeding", ... as in "PriSetupMsg"
  std::vector<std::uint8_t> body;  // message type and information elements
};

struct CallLeg {
  unsigned gateway = 0;
  bool gatewayOriginates = false;  // the server receives the SETUP (or RESTART)
  std::uint8_t protocolDiscriminator = 0x08;
  unsigned referenceLength = 2;
  unsigned reference = 0;  // without the flag
  std::uint32_t callId = 0;
  bool call = false;        // a call from its SETUP, not a restart or a service message
  std::size_t outcome = 0;  // of a call: what PlanCall chose, for a leg placed onward
  std::string calling;
  std::string called;
  std::vector<PlannedMessage> plan;
};

// Hands out call references per gateway and side, as each side numbers its own calls.
class CallReferences {
 public:
  unsigned Next(unsigned gateway, bool gatewayOriginates, unsigned length);

 private:
  unsigned next_[kGatewayCount][2][2] = {};
};

// A call from SETUP to its clearing, answered or failing before answer.
CallLeg PlanCall(Random& random, CallReferences& references, unsigned gateway,
                 std::uint32_t callId);

// The leg the server places on another gateway for an incoming call: the same digits and the
// same outcome, its SETUP sent a moment after the incoming one.
CallLeg PlanOnwardLeg(Random& random, CallReferences& references, const CallLeg& incoming,
                      unsigned gateway, std::uint32_t callId);

// RESTART and RESTART ACKNOWLEDGE on the global call reference of a PRI gateway.
CallLeg PlanRestart(Random& random, unsigned gateway, bool allInterfaces);

// SERVICE and SERVICE ACKNOWLEDGE (protocol discriminator 3) for one channel of a PRI gateway.
CallLeg PlanService(Random& random, unsigned gateway);

}  // namespace bench
