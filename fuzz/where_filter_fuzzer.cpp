// Parses arbitrary text as a filter expression and, when it parses, keeps the messages of a small
// trace with it: the rows of one pass, the message-by-message answers and the rows appended from
// any message on must agree, and a text that does not parse must say why.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calls/call_table.h"
#include "document/where_filter.h"
#include "trace/trace_reader.h"

namespace {

// Calls answered, busy and rejected on PRI and H.225, a RESTART and a SERVICE in no call, causes,
// digits, a reference kept as text and a message without a time.
constexpr std::string_view kTrace =
    "01/15/2004 10:39:59.999 CCP|In  Message -- PriSetupMsg\n"
    "01/15/2004 10:39:59.999 CCP|MMan_Id= 1. (IpAddr=0501010a IpPort=2427)\n"
    "01/15/2004 10:39:59.999 CCP|IsdnMsgData1= 08 02 00 01 05 6c 06 81 32 31 34 35 35 70 05 81 "
    "31 30 30 31\n"
    "01/15/2004 10:40:00.000 CCP|Out Message -- PriConnectMsg\n"
    "01/15/2004 10:40:00.000 CCP|MMan_Id= 1. (IpAddr=0501010a IpPort=2427)\n"
    "01/15/2004 10:40:00.000 CCP|IsdnMsgData1= 08 02 80 01 07\n"
    "01/15/2004 10:41:00.000 CCP|Out Message -- H225SetupMsg\n"
    "01/15/2004 10:41:00.000 CCP|MMan_Id= 1. (IpAddr=0202020a IpPort=2427)\n"
    "01/15/2004 10:41:00.000 CCP|IsdnMsgData1= 08 01 2a 05 6c 04 81 33 31 32 70 04 81 39 31 31\n"
    "01/15/2004 10:41:00.500 CCP|In  Message -- H225ReleaseCompleteMsg\n"
    "01/15/2004 10:41:00.500 CCP|MMan_Id= 1. (IpAddr=0202020a IpPort=2427)\n"
    "01/15/2004 10:41:00.500 CCP|IsdnMsgData1= 08 01 aa 5a 08 02 81 91\n"
    "01/15/2004 10:42:00.000 CCP|In  Message -- PriServiceMsg\n"
    "01/15/2004 10:42:00.000 CCP|IsdnMsgData1= 03 02 00 01 0f\n"
    "01/15/2004 10:43:00.000 CCP|Out Message -- PriRestartMsg\n"
    "01/15/2004 10:43:00.000 CCP|IsdnMsgData1= 08 02 00 00 46 79 01 80\n"
    "01/15/2004 10:45:00.000 CCP|In  Message -- PriDisconnectMsg\n"
    "01/15/2004 10:45:00.000 CCP|MMan_Id= 1. (IpAddr=0501010a IpPort=2427)\n"
    "01/15/2004 10:45:00.000 CCP|IsdnMsgData1= 08 02 00 01 45 08 02 81 90 08 02 81 a9\n"
    "late \"1:00\" CCP|In  Message -- PriReleaseCompleteMsg\n"
    "late \"1:00\" CCP|IsdnMsgData1= 08 02 0A 0c 5a 08 02 81 95\n"
    "01/16/2004 00:00:01.000 CCP|IsdnMsgData1= 08 03 00 00 01 05\n";

struct Trace {
  sigrune::MessageStore store = sigrune::ReadTraceText(kTrace);
  sigrune::CallTable calls = sigrune::GroupCalls(store);
};

std::vector<std::size_t> Numbers(const sigrune::RowMap& rows) {
  std::vector<std::size_t> numbers;
  for (const sigrune::MessageNumber message : rows) {
    numbers.push_back(message.value);
  }
  return numbers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Trace trace;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const sigrune::WhereParse parse = sigrune::ParseWhere(text);
  if (!parse.ok) {
    if (parse.error.empty()) {
      __builtin_trap();
    }
    return 0;
  }
  const sigrune::WhereExpression& expression = parse.expression;
  const std::vector<std::size_t> kept =
      Numbers(sigrune::WhereRows(expression, trace.store, trace.calls));
  std::vector<std::size_t> oneByOne;
  for (std::size_t index = 0; index < trace.store.MessageCount(); ++index) {
    if (sigrune::WhereKeeps(expression, trace.store, trace.calls, index)) {
      oneByOne.push_back(index + 1);
    }
  }
  if (kept != oneByOne) {
    __builtin_trap();
  }
  const std::size_t first = size % (trace.store.MessageCount() + 1);
  sigrune::RowMap appended;
  sigrune::AppendWhereRows(appended, expression, trace.store, trace.calls, first);
  std::vector<std::size_t> later;
  for (const std::size_t number : kept) {
    if (number > first) {
      later.push_back(number);
    }
  }
  if (Numbers(appended) != later) {
    __builtin_trap();
  }
  // A call is kept when one of its messages is.
  for (const sigrune::CallNumber call : sigrune::CallsWhere(expression, trace.store, trace.calls)) {
    bool any = false;
    for (const std::size_t number : kept) {
      any = any || trace.calls.CallOf(sigrune::MessageNumber{number}) == call;
    }
    if (!any) {
      __builtin_trap();
    }
  }
  // The text read again parses to the same rows.
  const sigrune::WhereParse again = sigrune::ParseWhere(expression.text);
  if (!again.ok ||
      Numbers(sigrune::WhereRows(again.expression, trace.store, trace.calls)) != kept) {
    __builtin_trap();
  }
  return 0;
}
