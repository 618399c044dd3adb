#pragma once

// What the ladder window and the Calls tab's ladder share: the picture of calls as the document
// holds them, its lanes named as the user named them, and the arrow of a message.

#include <QFont>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "document/trace_document.h"
#include "window/ladder/ladder_painter.h"

namespace sigrune {

class LaneNamesStore;

// The first call given is the one the ladder is about.
std::unique_ptr<LadderPicture> MakeCallLadder(const TraceDocument& document,
                                              const std::vector<CallNumber>& calls,
                                              bool withRelated, const LaneNamesStore& names,
                                              const QFont& font);

// The lanes' titles: the user's name for the party, or its address, over its protocol.
std::vector<LaneTitle> LaneTitles(const CallFlow& flow, const LaneNamesStore& names);

// The row of the message's arrow; none when the ladder has no arrow of it.
std::optional<std::size_t> ArrowOfMessage(const CallFlow& flow, MessageNumber message);

}  // namespace sigrune
