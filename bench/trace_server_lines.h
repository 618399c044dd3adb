#pragma once

// The call-processing server's other lines, which a trace holds many more of than message lines:
// digit analysis, media, keepalives, registrations, timers, signal traces. None of them holds a
// marker of a message line, though some come close ("In Message queue", "IsdnMsg queue").

#include <cstdint>
#include <string>
#include <string_view>

#include "trace_random.h"

namespace bench {

// What a line may say about the call that is going on.
struct LineContext {
  std::uint32_t callId;
  std::string_view calling;
  std::string_view called;
  unsigned dsl;
};

// One line's text after its timestamp, "CCP|..." without a line break.
std::string ServerLine(Random& random, const LineContext& context);

}  // namespace bench
