// Times grouping the messages into calls on a loaded trace, and counts what the call table holds
// per message. Usage: group_calls TRACE

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "calls/call_table.h"
#include "loaded_trace.h"

using bench::SecondsSince;

int main(int argc, char** argv) {
  const std::optional<sigrune::LoadResult> loaded =
      bench::LoadTraceOfArguments(argc, argv, "group_calls");
  if (!loaded) {
    return argc != 2 ? 2 : 1;
  }
  // The best of three: the first run also faults the table's pages in. Without the H.225 bodies
  // too, for what reading them costs.
  double seconds = 1e300;
  double withoutBodies = 1e300;
  sigrune::CallTable table;
  for (int run = 0; run < 3; ++run) {
    auto start = std::chrono::steady_clock::now();
    table = sigrune::GroupCalls(loaded->store, {}, false);
    withoutBodies = std::min(withoutBodies, SecondsSince(start));
    start = std::chrono::steady_clock::now();
    table = sigrune::GroupCalls(loaded->store);
    seconds = std::min(seconds, SecondsSince(start));
  }
  const double messages = static_cast<double>(loaded->store.MessageCount());
  const std::size_t recordBytes = table.calls.capacity() * sizeof(sigrune::CallRecord) +
                                  table.h225.capacity() * sizeof(sigrune::H225CallFacts) +
                                  table.digits.capacity();
  const double perMessage =
      static_cast<double>(table.callOfMessage.capacity() * sizeof(std::uint32_t)) / messages;
  std::printf(
      "group calls %.3f s (%.0f messages/s), %zu calls; %.1f bytes per message for the call of "
      "each, %.1f for the call records\n"
      "group calls without the H.225 bodies %.3f s: the call identifier, media and release reason "
      "take %.3f s\n",
      seconds, messages / seconds, table.calls.size(), perMessage,
      static_cast<double>(recordBytes) / messages, withoutBodies, seconds - withoutBodies);
  return 0;
}
