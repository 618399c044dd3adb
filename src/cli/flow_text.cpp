#include "cli/flow_text.h"

#include <algorithm>

#include "trace/summary_line.h"
#include "writers/call_csv.h"

namespace sigrune {

namespace {

std::string_view PartyOf(const FlowLane& lane) {
  return lane.server ? std::string_view("server") : std::string_view(lane.address);
}

std::string TimestampOf(const MessageStore& store, const FlowArrow& arrow) {
  std::array<char, 30> room;
  return std::string(KeptTimestamp(store, IndexOf(arrow.message), room));
}

}  // namespace

void AppendFlowTsvLine(std::string& text, const MessageStore& store, const CallFlow& flow,
                       const FlowArrow& arrow) {
  text += std::to_string(arrow.message.value);
  const std::string timestamp = TimestampOf(store, arrow);
  for (const std::string_view field :
       {std::string_view(timestamp), PartyOf(flow.lanes[arrow.fromLane]),
        PartyOf(flow.lanes[arrow.toLane]), std::string_view(arrow.name),
        std::string_view(arrow.label)}) {
    text += '\t';
    AppendUtf8OfLatin1(text, field);
  }
  text += '\n';
}

FlowLadder::FlowLadder(const MessageStore& store, const CallFlow& flow, const LaneNames& names)
    : store_(store) {
  std::size_t titleWidth = 0;
  for (const FlowLane& lane : flow.lanes) {
    const auto named = names.find(lane.address);
    titles_.emplace_back(lane.server            ? "server"
                         : named != names.end() ? named->second
                         : lane.address.empty() ? "-"
                                                : lane.address);
    titleWidth = std::max(titleWidth, titles_.back().size());
    protocols_.push_back(ProtocolText(lane.protocol));
  }
  std::size_t nameWidth = 0;
  for (const FlowArrow& arrow : flow.arrows) {
    timeWidth_ = std::max(timeWidth_, TimeOf(arrow).size());
    nameWidth = std::max(nameWidth, arrow.name.size());
  }
  // An arrow between neighbours holds its name with a blank, a dash and the head either side.
  constexpr std::size_t kNarrowest = 12;
  const std::size_t gap = std::max({kNarrowest, nameWidth + 6, titleWidth + 2});
  // Room for half a title left of the first lane.
  std::size_t column = (timeWidth_ > 0 ? timeWidth_ + 2 : 0) + titleWidth / 2;
  for (std::size_t lane = 0; lane < flow.lanes.size(); ++lane, column += gap) {
    columns_.push_back(column);
  }
}

std::string FlowLadder::TimeOf(const FlowArrow& arrow) const {
  return arrow.time == kNoTime ? std::string() : TimestampOf(store_, arrow);
}

void FlowLadder::PutCentred(std::string& line, std::size_t at, std::string_view part) {
  const std::size_t start = at - std::min(at, (part.size() - (part.empty() ? 0 : 1)) / 2);
  if (line.size() < start + part.size()) {
    line.resize(start + part.size(), ' ');
  }
  line.replace(start, part.size(), part);
}

void FlowLadder::AppendTrimmed(std::string& text, std::string& line) {
  line.erase(line.find_last_not_of(' ') + 1);
  text += line;
  text += '\n';
}

void FlowLadder::AppendHeader(std::string& text) const {
  for (const bool protocols : {false, true}) {
    std::string line;
    for (std::size_t lane = 0; lane < columns_.size(); ++lane) {
      PutCentred(line, columns_[lane], protocols ? protocols_[lane] : titles_[lane]);
    }
    AppendTrimmed(text, line);
  }
}

void FlowLadder::AppendLine(std::string& text, const FlowArrow& arrow) const {
  std::string line(TimeOf(arrow));
  line.resize(columns_.back() + 1, ' ');
  for (const std::size_t column : columns_) {
    line[column] = '|';
  }
  const std::size_t from = columns_[arrow.fromLane];
  const std::size_t to = columns_[arrow.toLane];
  const std::size_t left = std::min(from, to);
  const std::size_t right = std::max(from, to);
  std::fill(line.begin() + static_cast<std::ptrdiff_t>(left) + 1,
            line.begin() + static_cast<std::ptrdiff_t>(right), '-');
  if (to > from) {
    line[right - 1] = '>';
  } else {
    line[left + 1] = '<';
  }
  PutCentred(line, (left + right) / 2, ' ' + arrow.name + ' ');
  std::string note = ShownLabel(arrow);
  if (!arrow.detail.empty()) {
    note += note.empty() ? "" : "; ";
    note += arrow.detail;
  }
  if (!note.empty()) {
    line += "  ";
    line += note;
  }
  AppendTrimmed(text, line);
}

}  // namespace sigrune
