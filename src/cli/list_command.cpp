#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/trace_loading.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

class OutputListSink : public MessageListSink {
 public:
  explicit OutputListSink(OutputBuffer& output) : output_(output) {}
  void AddItem(std::string_view line) override {
    output_.Write(line);
    output_.Write('\n');
  }

 private:
  OutputBuffer& output_;
};

}  // namespace

int RunListCommand(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  const auto parsed = ParseCommandArguments("list", arguments, {}, err);
  if (!parsed) {
    return kExitUsage;
  }
  const std::vector<std::string_view>& operands = parsed->operands;
  if (operands.size() != 1) {
    return UsageError(err, "list takes one trace file");
  }

  MessageStore store;
  if (LoadTraceForCommand(std::string(operands.front()), err, store) != LoadOutcome::Loaded) {
    return kExitFailure;
  }

  OutputBuffer output(out);
  OutputListSink list(output);
  RebuildMessageList(store, list);
  if (!output.Flush()) {
    std::fprintf(err, "sigrune-cli: cannot write the list\n");
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace sigrune
