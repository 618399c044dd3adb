// `decode` and `show`: the decoded text of messages given as hex, or of messages of a trace.

#include <charconv>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/trace_loading.h"
#include "q931/decoder.h"
#include "trace/text_utilities.h"

namespace sigrune {

namespace {

constexpr OptionSpec kDecodeOptions[] = {{"--crlf"}};

// Writes a text of CR LF lines, as LF lines unless CR LF is asked for, ending in a line end.
void WriteText(OutputBuffer& output, std::string_view text, bool crlf) {
  if (crlf) {
    output.Write(text);
  } else {
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = text.find("\r\n", start);
      if (end == std::string_view::npos) {
        output.Write(text.substr(start));
        break;
      }
      output.Write(text.substr(start, end - start));
      output.Write('\n');
      start = end + 2;
    }
  }
  if (text.empty() || text.back() != '\n') {
    output.Write(crlf ? "\r\n" : "\n");
  }
}

int Finish(OutputBuffer& output, std::FILE* err, bool anyFailed) {
  if (!output.Flush()) {
    std::fprintf(err, "sigrune-cli: cannot write the output\n");
    return kExitFailure;
  }
  return anyFailed ? kExitFailure : kExitSuccess;
}

}  // namespace

int RunDecodeCommand(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                     std::FILE* err) {
  const auto options = ParseCommandArguments("decode", arguments, kDecodeOptions, err);
  if (!options) {
    return kExitUsage;
  }
  const bool crlf = options->Has("--crlf");
  std::vector<std::string> hexTexts(options->operands.begin(), options->operands.end());
  if (options->operands.empty()) {
    std::string line;
    for (int c; (c = std::fgetc(in)) != EOF;) {
      if (c != '\n') {
        line += static_cast<char>(c);
        continue;
      }
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      hexTexts.push_back(std::move(line));
      line.clear();
    }
    if (!line.empty()) {
      hexTexts.push_back(std::move(line));
    }
  }

  OutputBuffer output(out);
  bool anyFailed = false;
  for (const std::string& hexText : hexTexts) {
    try {
      WriteText(output, DecodeMessage(PayloadBytesOfHexText(RemoveBlanks(hexText))), crlf);
    } catch (const SubscriptOutOfRange& failure) {
      output.Flush();
      std::fprintf(err, "sigrune-cli: %s: %s\n", hexText.c_str(), failure.what());
      anyFailed = true;
    }
  }
  return Finish(output, err, anyFailed);
}

int RunShowCommand(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                   std::FILE* err) {
  const auto options = ParseCommandArguments("show", arguments, kDecodeOptions, err);
  if (!options) {
    return kExitUsage;
  }
  if (options->operands.size() < 2) {
    return UsageError(err, "show takes a trace file and one or more message numbers");
  }
  std::vector<std::size_t> numbers;
  for (const std::string_view operand : std::span(options->operands).subspan(1)) {
    std::size_t number = 0;
    const auto [end, error] =
        std::from_chars(operand.data(), operand.data() + operand.size(), number);
    if (error != std::errc() || end != operand.data() + operand.size() || number == 0) {
      return UsageError(err, "show: '" + std::string(operand) + "' is not a message number");
    }
    numbers.push_back(number);
  }

  const std::string fileName(options->operands.front());
  MessageStore store;
  if (LoadTraceForCommand(fileName, in, err, store) != LoadOutcome::Loaded) {
    return kExitFailure;
  }

  OutputBuffer output(out);
  bool anyFailed = false;
  for (const std::size_t number : numbers) {
    if (number > store.msgCount) {
      output.Flush();
      const std::string_view name = TraceNameForMessages(fileName);
      std::fprintf(err, "sigrune-cli: message %zu: %.*s has %zu messages\n", number,
                   static_cast<int>(name.size()), name.data(), store.msgCount);
      anyFailed = true;
      continue;
    }
    try {
      const PayloadBytes bytes = PayloadBytesOfMessage(store, number - 1);
      WriteText(output, DecodeMessage(bytes) + DumpMessageHex(bytes), options->Has("--crlf"));
    } catch (const SubscriptOutOfRange& failure) {
      output.Flush();
      std::fprintf(err, "sigrune-cli: message %zu: %s\n", number, failure.what());
      anyFailed = true;
    }
  }
  return Finish(output, err, anyFailed);
}

}  // namespace sigrune
