// Reads arbitrary bytes as a trace, fed in pieces whose size the first byte picks, and builds the
// summary line, decoded text and dump of every message found; the summary lines and Selected Call
// read from the columns must be those of the text rules, and the octets kept those of the line's
// text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "document/where_filter.h"
#include "q931/decoder.h"
#include "trace/list_filters.h"
#include "trace/summary_line.h"
#include "trace/trace_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t pieceSize = 1 + data[0] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  sigrune::TraceTextReader reader;
  for (std::size_t start = 0; start < text.size(); start += pieceSize) {
    reader.Feed(text.substr(start, pieceSize));
  }
  const sigrune::MessageStore store = reader.Finish();

  // However the text is cut into pieces, it reads the same, long lines skipped alike.
  sigrune::TraceTextReader wholeReader;
  wholeReader.Feed(text);
  const sigrune::MessageStore whole = wholeReader.Finish();
  if (whole.MessageCount() != store.MessageCount() ||
      whole.fileIsTracelist != store.fileIsTracelist ||
      wholeReader.SkippedLongLines() != reader.SkippedLongLines() ||
      wholeReader.FirstSkippedLine() != reader.FirstSkippedLine()) {
    __builtin_trap();
  }
  // The columns give the list lines and Selected Call results of the text rules: here with the
  // key of the first message's line.
  const auto textLine = [&store](std::size_t index) {
    return sigrune::BuildSummaryLine(DataLine(store, sigrune::MessageIndex{index}),
                                     store.msgIsIncoming[index],
                                     sigrune::ProtocolText(store.msgProtocols[index]),
                                     sigrune::GatewayIp(store, sigrune::MessageIndex{index}),
                                     sigrune::IsTracelist(store, sigrune::MessageIndex{index}));
  };
  const sigrune::CallReferenceReading key =
      sigrune::ReadCallReferenceValue(store.MessageCount() > 0 ? textLine(0) : std::string());
  const sigrune::CallReferenceValue partner = sigrune::PartnerCallReference(key);
  const sigrune::WhereExpression selectedCall =
      sigrune::SelectedCallKey(store.MessageCount() > 0 ? textLine(0) : std::string()).term;
  std::string line;
  for (std::size_t index = 0; index < store.MessageCount(); ++index) {
    if (DataLine(whole, sigrune::MessageIndex{index}) !=
            DataLine(store, sigrune::MessageIndex{index}) ||
        whole.msgLineNumbers[index] != store.msgLineNumbers[index] ||
        whole.msgTimes[index] != store.msgTimes[index]) {
      __builtin_trap();
    }
    line.clear();
    sigrune::AppendSummaryLine(line, store, sigrune::MessageIndex{index});
    const std::string expected = textLine(index);
    const sigrune::CallReferenceValue value = sigrune::ReadCallReferenceValue(expected).value;
    if (line != expected || sigrune::WhereKeeps(selectedCall, store, sigrune::kNoCalls, index) !=
                                (value == key.value || value == partner)) {
      __builtin_trap();
    }
    // The octets kept are those of the line's text.
    sigrune::PayloadBytes ofText;
    bool textHasOctets = true;
    try {
      ofText.AssignSpacedHexText(sigrune::PayloadTextWithBlanks(
          DataLine(store, sigrune::MessageIndex{index}),
          sigrune::IsTracelist(store, sigrune::MessageIndex{index})));
    } catch (const sigrune::SubscriptOutOfRange&) {
      textHasOctets = false;
    }
    sigrune::PayloadBytes bytes;
    bool hasOctets = true;
    try {
      bytes = sigrune::PayloadBytesOfMessage(store, sigrune::MessageIndex{index});
    } catch (const sigrune::SubscriptOutOfRange&) {
      hasOctets = false;
    }
    if (hasOctets != textHasOctets ||
        (hasOctets && !std::ranges::equal(bytes.Octets(), ofText.Octets()))) {
      __builtin_trap();
    }
    try {
      if (hasOctets) {
        sigrune::DecodeMessage(bytes);
        sigrune::DumpMessageHex(bytes);
      }
    } catch (const sigrune::SubscriptOutOfRange&) {
    }
  }
  return 0;
}
