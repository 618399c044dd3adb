#pragma once

// A ladder of calls: one lane per party, one arrow per message, in message order. The window
// draws it, `sigrune-cli flow` prints it; both read only this.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "calls/call_table.h"
#include "trace/message_store.h"
#include "trace/message_time.h"

namespace sigrune {

// A party: a gateway or H.225 peer (its address and protocol), or the server.
struct FlowLane {
  bool server = false;
  std::string address;  // the gateway address, Latin-1; empty for the server
  Protocol protocol = Protocol::None;
};

struct FlowArrow {
  MessageNumber message;
  CallNumber call;
  std::uint32_t fromLane = 0;  // into CallFlow::lanes
  std::uint32_t toLane = 0;
  MessageTime time = kNoTime;
  std::string name;    // the message name without padding ("RELEASE_COMP")
  std::string label;   // "from 2145550100, to 1001", "cause 34 No channel available", or empty
  std::string detail;  // what else tells: the channel, the progress description; may be empty
  // From an H.225 body: the codec and media address of a fast start ("g711Ulaw64k
  // 192.0.2.10:16384"), or a RELEASE COMPLETE's reason ("reason undefinedReason"); may be empty.
  std::string h225;
  bool undecodable = false;     // the label is then "undecodable"
  bool failedClearing = false;  // a clearing message of a call whose outcome is failed
};

// The label and what the H.225 body adds, as the ladders show them.
std::string ShownLabel(const FlowArrow& arrow);

struct CallFlow {
  // The incoming legs' parties, the server, then the outgoing legs' parties.
  std::vector<FlowLane> lanes;
  std::vector<FlowArrow> arrows;  // in message order over all the calls shown
};

// The ladder of the given calls (each a valid number), with their related legs when asked.
CallFlow BuildCallFlow(const MessageStore& store, const CallTable& calls,
                       std::span<const CallNumber> shown, bool withRelated);

}  // namespace sigrune
