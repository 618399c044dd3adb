#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "trace/summary_line.h"
#include "trace/trace_reader.h"

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
  std::vector<std::string_view> operands;
  bool optionsEnded = false;
  for (const std::string_view argument : arguments) {
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
      return UsageError(err, "list: unknown option '" + std::string(argument) + "'");
    } else {
      operands.push_back(argument);
    }
  }
  if (operands.size() != 1) {
    return UsageError(err, "list takes one trace file");
  }

  const std::string fileName(operands.front());
  LoadResult loaded = LoadTraceFile(fileName);
  if (loaded.outcome == LoadOutcome::NoMessages) {
    std::fprintf(err, "%s does not contain Q931 Messages.\n", fileName.c_str());
    return kExitFailure;
  }
  if (loaded.outcome != LoadOutcome::Loaded) {
    std::fprintf(err, "sigrune-cli: %s\n", loaded.errorText.c_str());
    return kExitFailure;
  }

  OutputBuffer output(out);
  OutputListSink list(output);
  RebuildMessageList(loaded.store, list);
  if (!output.Flush()) {
    std::fprintf(err, "sigrune-cli: cannot write the list\n");
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace sigrune
