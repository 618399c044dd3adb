#include "calls/call_flow.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "calls/message_facts.h"
#include "q931/cause_texts.h"
#include "q931/decoder.h"
#include "q931/element_decoders.h"
#include "q931/element_walker.h"
#include "q931/h225_body.h"
#include "trace/message_types.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

constexpr std::uint32_t kNoLane = std::numeric_limits<std::uint32_t>::max();

// The first channel and progress description of a message, in the decoder's words.
class DetailVisitor : public ElementVisitor {
 public:
  DetailVisitor(const PayloadBytes& bytes, std::string& detail) : bytes_(bytes), detail_(detail) {}

  void Visit(const InformationElement& element) override {
    if (element.kind != ElementKind::VariableLength || element.end != ElementEnd::Inside ||
        element.codeset != 0 || element.lengthOctets != 1) {
      return;
    }
    const std::int64_t contents = element.position + 2;
    if (element.identifier == q931::kChannelId && !seenChannel_) {
      seenChannel_ = true;
      // ", PRI interface, Exclusive channel 5": the channel is its last part; an element the
      // decoder cannot summarise tells nothing here.
      const std::string text = DecodeChannelId(bytes_, element.length, contents);
      if (text.starts_with(", ")) {
        Add(std::string_view(text).substr(text.rfind(", ") + 2));
      }
    } else if (element.identifier == q931::kProgressIndicator && !seenProgress_ &&
               element.length >= 2) {
      seenProgress_ = true;
      std::string_view description = TrimBlanks(DecodeProgressDescription(bytes_.At(contents + 1)));
      if (description.starts_with("- ")) {
        description.remove_prefix(2);
      }
      Add("progress: " + std::string(description));
    }
  }

 private:
  void Add(std::string_view part) {
    if (!detail_.empty()) {
      detail_ += ", ";
    }
    detail_ += part;
  }

  const PayloadBytes& bytes_;
  std::string& detail_;
  bool seenChannel_ = false;
  bool seenProgress_ = false;
};

// Reads the label and detail of one message after another, in buffers that keep their room.
class ArrowReader {
 public:
  ArrowReader(const MessageStore& store, const CallTable& calls) : store_(store), calls_(calls) {
    facts_.wantsCause = true;
  }

  void Read(std::size_t index, int messageType, const CallRecord& call, FlowArrow& arrow) {
    try {
      ReadPayloadBytesOfMessage(store_, MessageIndex{index}, bytes_);
      DecodeMessage(bytes_);  // only whether it decodes: the same reads as the message's pane
      DetailVisitor detail(bytes_, arrow.detail);
      WalkInformationElements(bytes_, detail);
      if (IsClearingType(messageType)) {
        ReadElementFacts(bytes_, facts_);
      }
    } catch (const SubscriptOutOfRange&) {
      arrow.undecodable = true;
      arrow.label = "undecodable";
      arrow.detail.clear();
      return;
    }
    if (call.protocol == Protocol::H225) {
      ReadBody(messageType, arrow.h225);
    }
    if (messageType == q931::kSetup) {
      AddLabel(arrow.label, "from ", calls_.Calling(call));
      AddLabel(arrow.label, "to ", calls_.Called(call));
    } else if (IsClearingType(messageType) && facts_.cause >= 0) {
      AddLabel(arrow.label, "cause ",
               std::to_string(facts_.cause) + ' ' +
                   std::string(TrimBlanks(CauseValueText(0x80 | facts_.cause))));
    }
  }

 private:
  void ReadBody(int messageType, std::string& text) {
    const bool media = messageType == q931::kSetup || messageType == q931::kCallProceeding ||
                       messageType == q931::kAlerting || messageType == q931::kConnect;
    OctetView contents;
    std::int64_t firstOctet = 0;
    if ((!media && messageType != q931::kReleaseComplete) ||
        !FindH225UserInformation(bytes_, contents, firstOctet)) {
      return;
    }
    DecodeH225UserInformation(contents, firstOctet, body_);
    if (!media) {
      if (body_.releaseCompleteReason >= 0) {
        text = "reason " + ReleaseCompleteReasonName(body_.releaseCompleteReason);
      }
      return;
    }
    for (const bool reverse : {false, true}) {
      for (const FastStartChannel& channel : body_.fastStart) {
        if (channel.reverse == reverse && IsPresent(channel.mediaChannel) &&
            !channel.mediaChannel.multicast) {
          text = CodecName(channel) + ' ';
          AppendNetworkAddress(text, channel.mediaChannel);
          return;
        }
      }
    }
  }

  static void AddLabel(std::string& label, std::string_view prefix, std::string_view text) {
    if (text.empty()) {
      return;
    }
    if (!label.empty()) {
      label += ", ";
    }
    label += prefix;
    label += text;
  }

  const MessageStore& store_;
  const CallTable& calls_;
  PayloadBytes bytes_;
  ElementFacts facts_;
  H225UserInformation body_;
};

// The lane of each party, numbered in the order the calls first show it; the side of the server
// it stands on comes with it.
struct Parties {
  std::vector<FlowLane> lanes;
  std::vector<bool> incoming;  // the party has an incoming leg among the calls: a left lane
};

std::uint32_t PartyOf(Parties& parties, const MessageStore& store, const CallRecord& call) {
  const std::string& address = store.gatewayIpTexts[call.gatewayIpIndex];
  for (std::uint32_t k = 0; k < parties.lanes.size(); ++k) {
    if (parties.lanes[k].address == address && parties.lanes[k].protocol == call.protocol) {
      return k;
    }
  }
  parties.lanes.push_back(FlowLane{false, address, call.protocol});
  parties.incoming.push_back(false);
  return static_cast<std::uint32_t>(parties.lanes.size() - 1);
}

}  // namespace

std::string ShownLabel(const FlowArrow& arrow) {
  std::string label = arrow.label;
  if (!arrow.h225.empty()) {
    label += label.empty() ? "" : ", ";
    label += arrow.h225;
  }
  return label;
}

CallFlow BuildCallFlow(const MessageStore& store, const CallTable& calls,
                       std::span<const CallNumber> shown, bool withRelated) {
  // The calls drawn, by number, with the party of each.
  std::vector<std::uint32_t> partyOfCall(calls.calls.size() + 1, kNoLane);
  Parties parties;
  std::vector<CallNumber> drawn(shown.begin(), shown.end());
  if (withRelated) {
    for (const CallNumber call : shown) {
      if (const CallNumber related = calls.Record(call).related) {
        drawn.push_back(related);
      }
    }
  }
  std::sort(drawn.begin(), drawn.end());
  drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
  MessageNumber first{std::numeric_limits<std::size_t>::max()};
  MessageNumber last;
  for (const CallNumber call : drawn) {
    const CallRecord& record = calls.Record(call);
    const std::uint32_t party = PartyOf(parties, store, record);
    partyOfCall[call.value] = party;
    if (record.direction == CallDirection::In) {
      parties.incoming[party] = true;
    }
    first = std::min(first, record.firstMessage);
    last = std::max(last, record.lastMessage);
  }

  // The incoming legs' parties, the server, then the outgoing legs'.
  CallFlow flow;
  std::vector<std::uint32_t> laneOfParty(parties.lanes.size());
  for (const bool left : {true, false}) {
    for (std::uint32_t party = 0; party < parties.lanes.size(); ++party) {
      if (parties.incoming[party] == left) {
        laneOfParty[party] = static_cast<std::uint32_t>(flow.lanes.size());
        flow.lanes.push_back(std::move(parties.lanes[party]));
      }
    }
    if (left) {
      flow.lanes.push_back(FlowLane{true, {}, Protocol::None});
    }
  }
  std::uint32_t server = 0;
  while (!flow.lanes[server].server) {
    ++server;
  }

  ArrowReader reader(store, calls);
  for (std::size_t number = first.value; number <= last.value; ++number) {
    const std::uint32_t call = calls.callOfMessage[number - 1];
    if (call == 0 || partyOfCall[call] == kNoLane) {
      continue;
    }
    const std::size_t index = number - 1;
    const std::optional<CallHeader> header = CallHeaderOf(store, MessageIndex{index});
    if (!header) {
      continue;  // a message of a call always has one
    }
    const CallRecord& record = calls.Record(CallNumber{call});
    const std::uint32_t gateway = laneOfParty[partyOfCall[call]];
    const bool incoming = store.msgIsIncoming[index];
    FlowArrow& arrow = flow.arrows.emplace_back();
    arrow.message = MessageNumber{number};
    arrow.call = CallNumber{call};
    arrow.fromLane = incoming ? gateway : server;
    arrow.toLane = incoming ? server : gateway;
    arrow.time = store.msgTimes[index];
    arrow.name = TrimBlanks(MessageTypeName(header->messageType));
    arrow.failedClearing =
        IsClearingType(header->messageType) && record.outcome == CallOutcome::Failed;
    reader.Read(index, header->messageType, record, arrow);
  }
  return flow;
}

}  // namespace sigrune
