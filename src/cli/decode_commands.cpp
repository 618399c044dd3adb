// `decode` and `show`: the decoded text of messages given as hex, or of messages of a trace.

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/input_lines.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "q931/decoder.h"
#include "q931/h225_body.h"
#include "trace/trace_reader.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

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

// Decodes one message given as hex text; the decoder's description when it fails.
std::optional<std::string> DecodeHexText(OutputBuffer& output, std::string_view hexText,
                                         bool crlf) {
  try {
    WriteText(output, DecodeMessage(PayloadBytesOfHexText(RemoveBlanks(hexText))), crlf);
  } catch (const SubscriptOutOfRange& failure) {
    return failure.what();
  }
  return std::nullopt;
}

}  // namespace

int RunDecodeCommand(const DecodeArguments& arguments, std::FILE* in, std::FILE* out,
                     std::FILE* err) {
  const bool crlf = arguments.crlf;
  OutputBuffer output(out);
  bool anyFailed = false;
  for (const std::string_view hexText : arguments.hexTexts) {
    if (const auto failure = DecodeHexText(output, hexText, crlf)) {
      output.Flush();  // the messages before it come first
      std::fprintf(err, "sigrune-cli: %s: %s\n", Escaped(err, hexText).c_str(), failure->c_str());
      anyFailed = true;
    }
    if (output.Failed()) {
      break;
    }
  }
  if (arguments.hexTexts.empty()) {
    // Each result is shown as its line comes: the input may be typed, or come from a live trace.
    InputLines lines(fileno(in), output);
    std::string line;
    bool tooLong = false;
    for (std::uint64_t number = 1; !output.Failed() && lines.Next(line, tooLong); ++number) {
      std::optional<std::string> failure;
      if (tooLong) {
        failure = "longer than " + std::to_string(kMaxLineLength >> 20) + " MiB";
      } else {
        failure = DecodeHexText(output, line, crlf);
      }
      if (failure) {
        output.Flush();
        std::fprintf(err, "sigrune-cli: line %llu: %s\n", static_cast<unsigned long long>(number),
                     failure->c_str());
        anyFailed = true;
      }
    }
    if (lines.Error() != 0) {
      std::fprintf(err, "sigrune-cli: standard input: %s\n", std::strerror(lines.Error()));
      anyFailed = true;
    }
  }
  return FinishOutput(output, err, anyFailed ? kExitFailure : kExitSuccess);
}

int RunShowCommand(const ShowArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  const TraceFiles& files = arguments.traces;
  TraceDocument document;
  if (LoadTraceForCommand(files, in, err, document) != OperationOutcome::Done) {
    return kExitFailure;
  }
  const MessageStore& store = document.Store();

  if (arguments.inCall && !CheckCallNumber(document, files, arguments.inCall, err)) {
    return kExitFailure;
  }
  const std::vector<MessageNumber> numbers =
      arguments.inCall ? document.GroupCallsIfNeeded().MessagesOf(arguments.inCall)
                       : arguments.numbers;

  OutputBuffer output(out);
  bool anyFailed = false;
  for (const MessageNumber number : numbers) {
    if (output.Failed()) {
      break;
    }
    if (!CheckMessageNumber(store, files, number, output, err)) {
      anyFailed = true;
      continue;
    }
    try {
      const PayloadBytes bytes = PayloadBytesOfMessage(store, IndexOf(number));
      std::string text = DecodeMessage(bytes) + DumpMessageHex(bytes);
      if (const std::string section = arguments.h225Body ? H225Section(bytes) : "";
          !section.empty()) {
        text += "\r\n" + section;  // after the dump's last row, which has no line end
      }
      WriteText(output, text, arguments.crlf);
    } catch (const SubscriptOutOfRange& failure) {
      output.Flush();
      std::fprintf(err, "sigrune-cli: message %zu: %s\n", number.value, failure.what());
      anyFailed = true;
    }
  }
  return FinishOutput(output, err, anyFailed ? kExitFailure : kExitSuccess);
}

}  // namespace sigrune
