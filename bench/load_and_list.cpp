// Times the two halves of `sigrune-cli list` apart: loading the trace, and building every summary
// line. Usage: load_and_list TRACE

#include <chrono>
#include <cstdio>
#include <string>

#include "trace/summary_line.h"
#include "trace/trace_reader.h"

namespace {

class CountingSink : public sigrune::MessageListSink {
 public:
  void AddItem(std::string_view line) override { bytes += line.size() + 1; }
  std::size_t bytes = 0;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: load_and_list TRACE\n");
    return 2;
  }
  const auto loadStart = std::chrono::steady_clock::now();
  const sigrune::LoadResult loaded = sigrune::LoadTraceFile(argv[1]);
  const double loadSeconds = SecondsSince(loadStart);
  if (loaded.outcome != sigrune::OperationOutcome::Done) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  const auto listStart = std::chrono::steady_clock::now();
  CountingSink list;
  sigrune::RebuildMessageList(loaded.store, list);
  const double listSeconds = SecondsSince(listStart);
  const double messages = static_cast<double>(loaded.store.MessageCount());
  std::printf("load %.3f s (%.0f messages/s), summary lines %.3f s (%.0f lines/s, %zu bytes)\n",
              loadSeconds, messages / loadSeconds, listSeconds, messages / listSeconds, list.bytes);
  return 0;
}
