// Times the ladder of one long call and its other leg: 10,000 messages each, a SETUP, a run of
// PROGRESS and INFORMATION messages, and the clearing. Usage: call_flow [MESSAGES]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "calls/call_flow.h"
#include "calls/call_table.h"
#include "trace/summary_line.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Append(sigrune::MessageStore& store, std::uint32_t gateway, bool incoming, int millisecond,
            const std::string& payload) {
  char time[32];
  std::snprintf(time, sizeof time, "01/15/2004 %02d:%02d:%02d.%03d", millisecond / 3600000 % 24,
                millisecond / 60000 % 60, millisecond / 1000 % 60, millisecond % 1000);
  const std::string line = std::string(time) + " CCP|IsdnMsgData1= " + payload;
  const std::string_view timestamp = sigrune::TimestampText(line, false);
  sigrune::AppendMessage(store, line, gateway, sigrune::Protocol::Pri, incoming, 0,
                         sigrune::ReadMessageColumns(line, false, timestamp),
                         sigrune::ParseMessageTime(timestamp));
}

}  // namespace

int main(int argc, char** argv) {
  const int messages = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (argc > 2 || messages < 4) {
    std::fprintf(stderr, "usage: call_flow [MESSAGES]\n");
    return 2;
  }
  sigrune::MessageStore store;
  const std::uint32_t in = sigrune::InternGatewayIp(store, "192.168.1.5");
  const std::uint32_t out = sigrune::InternGatewayIp(store, "10.1.1.30");
  const std::string setup = "05 04 03 80 90 a2 18 03 a9 83 81 6c 05 81 32 31 34 35 70 03 81 31 30";
  Append(store, in, true, 0, "08 02 00 01 " + setup);
  Append(store, out, false, 1, "08 02 00 02 " + setup);
  // The call reference flag is set on what the side that did not send the SETUP sends.
  for (int k = 2; k < 2 * messages - 6; ++k) {
    const bool inLeg = k % 2 == 0;
    const bool incoming = k % 4 < 2;
    std::string header = inLeg != incoming ? "08 02 80 0" : "08 02 00 0";
    header += inLeg ? "1 " : "2 ";
    Append(store, inLeg ? in : out, incoming, k,
           header + (k % 3 == 0 ? "03 1e 02 81 88" : "7b 70 03 81 35 36"));
  }
  for (const char* clearing : {"45 08 02 81 90", "4d", "5a"}) {
    Append(store, in, true, 2 * messages, std::string("08 02 00 01 ") + clearing);
    Append(store, out, false, 2 * messages, std::string("08 02 00 02 ") + clearing);
  }
  const sigrune::CallTable calls = sigrune::GroupCalls(store);
  const sigrune::CallNumber shown[] = {sigrune::CallNumber{1}};
  double seconds = 1e300;
  std::size_t arrows = 0;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    arrows = sigrune::BuildCallFlow(store, calls, shown, true).arrows.size();
    seconds = std::min(seconds, SecondsSince(start));
  }
  std::printf("call flow %.3f s for %zu arrows of %zu calls (goal: 10,000 messages in 0.2 s)\n",
              seconds, arrows, calls.calls.size());
  return 0;
}
