#pragma once

// The ladder of calls as text: drawn for a terminal, lanes as columns, or one tab-separated line
// per message.

#include <string>
#include <vector>

#include "calls/call_flow.h"
#include "calls/lane_names.h"

namespace sigrune {

// The line of one arrow, in UTF-8: the message number, the timestamp text of its summary line,
// sender, receiver (a gateway address or "server"), the message name and the label, with tabs
// between and a line feed after.
void AppendFlowTsvLine(std::string& text, const MessageStore& store, const CallFlow& flow,
                       const FlowArrow& arrow);

// The ladder in Latin-1: two header lines (each lane's name, or its address, above its
// protocol), then one line per arrow: the time when it reads as one, the lanes, the arrow with
// the message name on it, and the label and detail after the last lane.
class FlowLadder {
 public:
  FlowLadder(const MessageStore& store, const CallFlow& flow, const LaneNames& names);

  void AppendHeader(std::string& text) const;
  void AppendLine(std::string& text, const FlowArrow& arrow) const;

 private:
  std::string TimeOf(const FlowArrow& arrow) const;
  // Puts `part` into `line` centred on column `at`.
  static void PutCentred(std::string& line, std::size_t at, std::string_view part);
  static void AppendTrimmed(std::string& text, std::string& line);

  const MessageStore& store_;
  std::vector<std::string> titles_;          // the name, address or "server" of each lane
  std::vector<std::string_view> protocols_;  // under the titles
  std::vector<std::size_t> columns_;         // where each lane's line stands
  std::size_t timeWidth_ = 0;
};

}  // namespace sigrune
