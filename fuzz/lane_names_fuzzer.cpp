// Reads arbitrary bytes as a names file. Every name read belongs to an address in dotted decimal
// and has no blank or tab at either end; the names written back one a line read as the same; and
// the text before the bad line reads as the whole did.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "calls/lane_names.h"
#include "q931/pcap_packets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const sigrune::LaneNamesText read = sigrune::ReadLaneNames(text);
  std::string written;
  for (const auto& [address, name] : read.names) {
    if (!sigrune::ParseIpv4Address(address) || name.find('\n') != std::string::npos ||
        (!name.empty() && (name.front() == ' ' || name.front() == '\t' || name.back() == ' ' ||
                           name.back() == '\t'))) {
      __builtin_trap();
    }
    written += address + " " + name + "\n";
  }
  const sigrune::LaneNamesText again = sigrune::ReadLaneNames(written);
  // A name that ends in CR loses it when read as a line of its own.
  bool endsInCarriageReturn = false;
  for (const auto& [address, name] : read.names) {
    endsInCarriageReturn = endsInCarriageReturn || (!name.empty() && name.back() == '\r');
  }
  if (!endsInCarriageReturn && (again.badLine != 0 || again.names != read.names)) {
    __builtin_trap();
  }
  if (read.badLine != 0) {
    // The lines before the bad one are the names read.
    std::size_t start = 0;
    for (std::uint64_t line = 1; line < read.badLine; ++line) {
      start = text.find('\n', start);
      if (start == std::string_view::npos) {
        __builtin_trap();
      }
      ++start;
    }
    const sigrune::LaneNamesText before = sigrune::ReadLaneNames(text.substr(0, start));
    if (before.badLine != 0 || before.names != read.names) {
      __builtin_trap();
    }
  }
  return 0;
}
