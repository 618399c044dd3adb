// Groups arbitrary messages into calls. Each message is made of a few bytes: its direction,
// protocol, gateway, time step, call reference, message type and elements, so that the fuzzer
// reaches calls quickly. The calls must account for every message and be linked in pairs, and
// calls grown from any first part of the messages must be those grouped from all of them.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "calls/call_flow.h"
#include "calls/call_statistics.h"
#include "calls/call_table.h"
#include "trace/trace_reader.h"
#include "writers/call_csv.h"

namespace {

constexpr std::uint8_t kMessageTypes[] = {0x05, 0x02, 0x01, 0x07, 0x0f, 0x45, 0x4d, 0x5a,
                                          0x7b, 0x0d, 0x03, 0x7d, 0x46, 0x4e, 0x6e, 0x62};

// The trace text of the messages the bytes describe.
std::string TraceOf(const std::uint8_t* data, std::size_t size) {
  std::string trace;
  std::int64_t milliseconds = 10 * 3600 * 1000;
  for (std::size_t at = 0; at + 5 <= size;) {
    const std::uint8_t flags = data[at];
    const std::uint8_t step = data[at + 1];
    const std::uint8_t reference = data[at + 2];
    const std::uint8_t type = data[at + 3];
    const std::size_t count = std::min<std::size_t>(data[at + 4] % 24, size - at - 5);
    const std::uint8_t* elements = data + at + 5;
    at += 5 + count;

    milliseconds += step == 255 ? -10'000 : step * 37;
    milliseconds = std::max<std::int64_t>(milliseconds, 0) % (24 * 3600 * 1000);
    char stamp[64] = "";
    if ((flags & 0x20) != 0) {
      std::snprintf(
          stamp, sizeof stamp, "01/15/2004 %02d:%02d:%02d.%03d ",
          static_cast<int>(milliseconds / 3'600'000), static_cast<int>(milliseconds / 60'000 % 60),
          static_cast<int>(milliseconds / 1000 % 60), static_cast<int>(milliseconds % 1000));
    }
    const bool in = (flags & 1) != 0;
    switch (flags >> 1 & 3) {
      case 1:
        trace += std::string(stamp) +
                 (in ? "CCP|In  Message -- PriMsg\n" : "CCP|Out Message -- PriMsg\n");
        break;
      case 2:
        trace += std::string(stamp) +
                 (in ? "CCP|In  Message -- H225Msg\n" : "CCP|Out Message -- H225Msg\n");
        break;
      default:
        break;  // no header line: no protocol
    }
    trace += std::string(stamp) + "CCP|MMan_Id= 1. (IpAddr=0" +
             std::to_string(1 + (flags >> 3 & 3)) + "01010a IpPort=2427)\n";
    std::string octets;
    char hex[8];
    const auto add = [&](unsigned octet) {
      std::snprintf(hex, sizeof hex, " %02x", octet & 0xFF);
      octets += hex;
    };
    if ((flags & 0x80) == 0) {
      add(0x08);
      if ((flags & 0x40) != 0) {
        add(2);
        add(reference & 0x80);
        add(reference & 0x7F);
      } else {
        add(1);
        add(reference);
      }
      add((type & 0x80) != 0 ? kMessageTypes[type % sizeof kMessageTypes] : type);
    }
    for (std::size_t k = 0; k < count; ++k) {
      add(elements[k]);
    }
    trace += std::string(stamp) + "CCP|IsdnMsgData1=" + octets + "\n";
  }
  return trace;
}

// The calls as their CSV records with the related legs, and the call of every message.
std::string Described(const sigrune::MessageStore& store, const sigrune::CallTable& table) {
  std::string text;
  for (std::uint32_t call = 1; call <= table.calls.size(); ++call) {
    sigrune::AppendCallCsvRecord(text, store, table, sigrune::CallNumber{call},
                                 {.related = true, .timing = true});
  }
  for (const std::uint32_t call : table.callOfMessage) {
    text += std::to_string(call) + " ";
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::string trace = TraceOf(data + 1, size - 1);
  const sigrune::MessageStore store = sigrune::ReadTraceText(trace);
  const sigrune::CallTable table = sigrune::GroupCalls(store);
  if (table.callOfMessage.size() != store.MessageCount()) {
    __builtin_trap();
  }
  std::vector<std::uint32_t> counts(table.calls.size() + 1);
  for (std::size_t index = 0; index < store.MessageCount(); ++index) {
    const std::uint32_t call = table.callOfMessage[index];
    if (call > table.calls.size()) {
      __builtin_trap();
    }
    if (call != 0) {
      const sigrune::CallRecord& record = table.calls[call - 1];
      if (counts[call]++ == 0 && record.firstMessage.value != index + 1) {
        __builtin_trap();
      }
      if (counts[call] == record.messageCount && record.lastMessage.value != index + 1) {
        __builtin_trap();
      }
    }
  }
  std::vector<sigrune::CallNumber> shown;
  for (std::uint32_t call = 1; call <= table.calls.size(); ++call) {
    const sigrune::CallRecord& record = table.calls[call - 1];
    if (counts[call] != record.messageCount || record.messageCount == 0) {
      __builtin_trap();
    }
    // Legs are linked in pairs, an `in` call to an `out` call.
    if (record.related) {
      const sigrune::CallRecord& other = table.Record(record.related);
      if (other.related.value != call || other.direction == record.direction) {
        __builtin_trap();
      }
    }
    shown.push_back(sigrune::CallNumber{call});
  }
  sigrune::BuildCallFlow(store, table, shown, true);
  sigrune::CountCallStatistics(store, table);

  // Grown from the first messages, then from some more, to all of them.
  const std::size_t first = data[0] % (store.MessageCount() + 1);
  const std::size_t more = std::min(store.MessageCount(), first + data[0] / 16);
  sigrune::MessageStore start = sigrune::ReadTraceText(trace);
  sigrune::MessageStore middle = sigrune::ReadTraceText(trace);
  sigrune::KeepFirstMessages(start, first);
  sigrune::KeepFirstMessages(middle, more);
  sigrune::CallTable grown = sigrune::GroupCalls(start);
  sigrune::ExtendCalls(middle, grown);
  sigrune::ExtendCalls(store, grown);
  if (Described(store, grown) != Described(store, table)) {
    __builtin_trap();
  }
  return 0;
}
