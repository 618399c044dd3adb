#include "window/ladder/call_ladder.h"

#include <QCoreApplication>
#include <algorithm>

#include "calls/call_flow.h"
#include "window/ladder/lane_names_store.h"
#include "window/table_text.h"

namespace sigrune {

std::unique_ptr<LadderPicture> MakeCallLadder(const TraceDocument& document,
                                              const std::vector<CallNumber>& calls,
                                              bool withRelated, const LaneNamesStore& names,
                                              const QFont& font) {
  auto picture = std::make_unique<LadderPicture>(
      BuildCallFlow(document.Store(), document.Calls(), calls, withRelated), font,
      calls.empty() ? CallNumber{} : calls.front());
  picture->SetTitles(LaneTitles(picture->Flow(), names));
  return picture;
}

std::vector<LaneTitle> LaneTitles(const CallFlow& flow, const LaneNamesStore& names) {
  std::vector<LaneTitle> titles;
  for (const FlowLane& lane : flow.lanes) {
    if (lane.server) {
      titles.push_back({QCoreApplication::translate("sigrune::FlowWindow", "server"), QString()});
      continue;
    }
    const QString address = FromLatin1(lane.address);
    const QString protocol = FromLatin1(ProtocolText(lane.protocol));
    const QString name = names.Name(address);
    if (!name.isEmpty()) {
      titles.push_back({name, address + QLatin1String("  ") + protocol});
    } else {
      titles.push_back({address.isEmpty()
                            ? QCoreApplication::translate("sigrune::FlowWindow", "no address")
                            : address,
                        protocol});
    }
  }
  return titles;
}

std::optional<std::size_t> ArrowOfMessage(const CallFlow& flow, MessageNumber message) {
  const auto found = std::lower_bound(
      flow.arrows.begin(), flow.arrows.end(), message,
      [](const FlowArrow& arrow, MessageNumber wanted) { return arrow.message < wanted; });
  if (!message || found == flow.arrows.end() || found->message != message) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(found - flow.arrows.begin());
}

}  // namespace sigrune
