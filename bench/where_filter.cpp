// Times the filter bar's expressions over a loaded trace with its calls grouped: the rows each
// keeps, the best of three runs; then the Filter menu's entries, which are terms of the same
// language, keyed on the first message in a call. Usage: where_filter TRACE

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "calls/call_table.h"
#include "document/where_filter.h"
#include "loaded_trace.h"
#include "trace/summary_line.h"

using bench::SecondsSince;

int main(int argc, char** argv) {
  const std::optional<sigrune::LoadResult> loaded =
      bench::LoadTraceOfArguments(argc, argv, "where_filter");
  if (!loaded) {
    return argc != 2 ? 2 : 1;
  }
  const sigrune::CallTable calls = sigrune::GroupCalls(loaded->store);
  // From the columns alone, through the calls, the summary line, every message's elements, and
  // the calls' H.225 facts.
  const char* const expressions[] = {
      "type:setup dir:in proto:pri from:09:00 to:17:00",
      "-outcome:answered number:55",
      "\"release_comp\" -gw:10.1.1.5",
      "cause:16",
      "callid:5 codec:g711ulaw64k",
      "-codec:g729",
  };
  // The best of three runs, and the rows kept.
  const auto time = [&](const sigrune::WhereExpression& expression, std::size_t& kept) {
    double seconds = 1e300;
    for (int run = 0; run < 3; ++run) {
      const auto start = std::chrono::steady_clock::now();
      kept = sigrune::WhereRows(expression, loaded->store, calls).size();
      seconds = std::min(seconds, SecondsSince(start));
    }
    return seconds;
  };
  const std::size_t messages = loaded->store.MessageCount();
  double slowest = 0;
  for (const char* text : expressions) {
    const sigrune::WhereParse parse = sigrune::ParseWhere(text);
    if (!parse.ok) {
      std::fprintf(stderr, "%s\n", parse.error.c_str());
      return 1;
    }
    std::size_t kept = 0;
    const double seconds = time(parse.expression, kept);
    slowest = std::max(slowest, seconds);
    std::printf("where %-50s %.3f s, %zu of %zu messages\n", text, seconds, kept, messages);
  }
  std::printf("where: slowest %.3f s a million messages (goal 0.3 s)\n",
              slowest * 1e6 / static_cast<double>(messages));

  std::size_t selected = 0;
  while (selected + 1 < messages &&
         !calls.CallOf(sigrune::NumberOf(sigrune::MessageIndex{selected}))) {
    ++selected;
  }
  const std::pair<const char*, sigrune::FilterKey> keys[] = {
      {"Selected Call", sigrune::SelectedCallKey(sigrune::BuildSummaryLine(
                            loaded->store, sigrune::MessageIndex{selected}))},
      {"This Gateway", sigrune::ThisGatewayKey(loaded->store, sigrune::MessageIndex{selected})},
      {"PRI Only", sigrune::ProtocolKey(sigrune::ListFilter::PriOnly)},
      {"H225 Only", sigrune::ProtocolKey(sigrune::ListFilter::H225Only)},
      {"This Call",
       sigrune::CallKey(calls.CallOf(sigrune::NumberOf(sigrune::MessageIndex{selected})))},
  };
  for (const auto& [name, key] : keys) {
    std::size_t kept = 0;
    const double seconds = time(key.term, kept);
    std::printf("menu filter %-14s %.4f s, %zu of %zu messages\n", name, seconds, kept, messages);
  }
  return 0;
}
