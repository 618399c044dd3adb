#include "trace/trace_reader.h"

#include <algorithm>
#include <cstring>

#include "trace/hex_digits.h"
#include "trace/summary_line.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

constexpr std::string_view kIncomingHeader = "In  Message -- ";
constexpr std::string_view kOutgoingHeader = "Out Message -- ";
constexpr std::string_view kGatewayMarker = "MMan_Id";
constexpr std::string_view kDataMarker = "IsdnMsgData";
// Each marker holds an 'M' at this offset, so only the places of an 'M' need a closer look.
constexpr std::size_t kHeaderMarkerOffset = 4;
constexpr std::size_t kDataMarkerOffset = 4;

bool StartsAt(std::string_view line, std::size_t position, std::string_view marker) {
  return line.size() - position >= marker.size() &&
         std::memcmp(line.data() + position, marker.data(), marker.size()) == 0;
}

}  // namespace

LineKind ClassifyLine(std::string_view line) {
  bool outgoing = false;
  bool gateway = false;
  bool data = false;
  // Whether the 'M' at `position` starts or holds a marker; true once the line is known incoming.
  const auto incomingAt = [&](std::size_t position) {
    if (position >= kHeaderMarkerOffset) {
      const std::size_t start = position - kHeaderMarkerOffset;
      if (StartsAt(line, start, kIncomingHeader)) {
        return true;
      }
      outgoing = outgoing || StartsAt(line, start, kOutgoingHeader);
      data = data || StartsAt(line, position - kDataMarkerOffset, kDataMarker);
    }
    gateway = gateway || StartsAt(line, position, kGatewayMarker);
    return false;
  };
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  for (const char* m = begin; m < end; ++m) {
    m = static_cast<const char*>(std::memchr(m, 'M', static_cast<std::size_t>(end - m)));
    if (m == nullptr) {
      break;
    }
    if (incomingAt(static_cast<std::size_t>(m - begin))) {
      return LineKind::IncomingHeader;
    }
  }
  if (outgoing) {
    return LineKind::OutgoingHeader;
  }
  if (gateway) {
    return LineKind::Gateway;
  }
  return data ? LineKind::Data : LineKind::Other;
}

std::string_view GatewayAddressText(std::string_view line) {
  constexpr std::string_view kAddressMarker = "IpAddr=";
  constexpr std::size_t kStartWithoutMarker = 6;
  const std::size_t marker = line.find(kAddressMarker);
  const std::size_t start =
      marker == std::string_view::npos ? kStartWithoutMarker : marker + kAddressMarker.size();
  if (start >= line.size()) {
    return {};
  }
  return TrimBlanks(line.substr(start, 8));
}

std::string HexIpToDotted(std::string_view text) {
  // Seven digits lost their leading zero.
  char padded[8] = {'0'};
  if (text.size() == 7) {
    text.copy(padded + 1, 7);
    text = std::string_view(padded, 8);
  }
  std::string dotted;
  for (const std::size_t position : {6, 4, 2, 0}) {
    if (!dotted.empty()) {
      dotted += '.';
    }
    dotted += std::to_string(ReadHexPair(text, position));
  }
  return dotted;
}

TraceTextReader::TraceTextReader(const ReaderContinuation& from, std::uint32_t fileIndex)
    : pendingLine_(from.pendingLine),
      pendingLength_(from.pendingLength),
      skipLineFeed_(from.skipLineFeed),
      lineNumber_(from.lineNumber),
      protocol_(from.protocol),
      isIncoming_(from.isIncoming),
      headerLineNumber_(from.headerLineNumber),
      gatewayIpIndex_(InternGatewayIp(store_, from.gatewayAddress)) {
  fileIndex_ = fileIndex;
  isTracelist_ = from.isTracelist;
  dropPendingMessage_ = from.pendingLineMadeMessage && from.pendingLength != 0;
}

TraceTextReader::TraceTextReader(bool isTracelist, TextArena& lane, MessageStore&& store)
    : store_(std::move(store)),
      lane_(&lane),
      isTracelist_(isTracelist),
      tracelistKnown_(true),
      headerKnown_(false),
      gatewayKnown_(false) {}

ReaderContinuation TraceTextReader::Continuation() const {
  ReaderContinuation state;
  state.isTracelist = isTracelist_;
  state.lineNumber = lineNumber_;
  state.pendingLine = pendingLine_;
  state.pendingLength = pendingLength_;
  state.skipLineFeed = skipLineFeed_;
  state.protocol = protocol_;
  state.isIncoming = isIncoming_;
  state.headerLineNumber = headerLineNumber_;
  state.gatewayAddress = store_.gatewayIpTexts[gatewayIpIndex_];
  state.pendingLineMadeMessage = dropPendingMessage_;
  return state;
}

void TraceTextReader::Feed(std::string_view bytes) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  if (skipLineFeed_ && p < end) {
    skipLineFeed_ = false;
    if (*p == '\n') {
      ++p;
    }
  }
  // The next LF and CR are remembered between lines, so that text with only one kind of line end
  // is searched once for the other.
  const char* nextLineFeed = nullptr;
  const char* nextCarriageReturn = nullptr;
  while (p < end) {
    if (nextLineFeed == nullptr || nextLineFeed < p) {
      const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
      nextLineFeed = found != nullptr ? static_cast<const char*>(found) : end;
    }
    if (nextCarriageReturn == nullptr || nextCarriageReturn < p) {
      const void* found = std::memchr(p, '\r', static_cast<std::size_t>(end - p));
      nextCarriageReturn = found != nullptr ? static_cast<const char*>(found) : end;
    }
    const char* lineEnd = nextLineFeed < nextCarriageReturn ? nextLineFeed : nextCarriageReturn;
    if (lineEnd == end) {
      HoldLineStart(std::string_view(p, static_cast<std::size_t>(end - p)));
      return;
    }
    const char* next = lineEnd + 1;
    if (*lineEnd == '\r') {
      if (next == end) {
        skipLineFeed_ = true;
      } else if (*next == '\n') {
        ++next;
      }
    }
    EndLine(std::string_view(p, static_cast<std::size_t>(lineEnd - p)));
    p = next;
  }
}

void TraceTextReader::HoldLineStart(std::string_view part) {
  pendingLength_ += part.size();
  if (pendingLength_ <= kMaxLineLength) {
    pendingLine_ += part;
  } else if (pendingLine_.capacity() != 0) {
    std::string().swap(pendingLine_);
  }
}

void TraceTextReader::EndLine(std::string_view rest) {
  if (pendingLength_ == 0) {
    if (rest.size() <= kMaxLineLength) {
      ConsumeLine(rest);
    } else {
      SkipLongLine();
    }
    return;
  }
  HoldLineStart(rest);
  if (pendingLength_ <= kMaxLineLength) {
    ConsumeLine(pendingLine_);
  } else if (dropPendingMessage_) {
    ++lineNumber_;  // counted by the load that took it whole
  } else {
    SkipLongLine();
  }
  pendingLine_.clear();
  pendingLength_ = 0;
  dropPendingMessage_ = false;
}

void TraceTextReader::SkipLongLine() {
  ++lineNumber_;
  if (skippedLongLines_++ == 0) {
    firstSkippedLine_ = lineNumber_;
  }
}

void TraceTextReader::Reserve(std::size_t messages) {
  ReserveMessages(store_, messages);
}

MessageStore TraceTextReader::Finish() {
  if (pendingLength_ != 0) {
    EndLine({});
  }
  NameTheFile(store_);
  return std::move(store_);
}

MessageStore TraceTextReader::TakeMessages() {
  const std::string gateway = store_.gatewayIpTexts[gatewayIpIndex_];
  MessageStore taken = std::move(store_);
  NameTheFile(taken);
  store_ = MessageStore();
  gatewayIpIndex_ = InternGatewayIp(store_, gateway);
  knownAddresses_ = {};
  return taken;
}

void TraceTextReader::NameTheFile(MessageStore& store) const {
  store.filePaths.assign(fileIndex_ + std::size_t{1}, std::string());
  store.fileIsTracelist.assign(fileIndex_ + std::size_t{1}, false);
  store.fileIsTracelist.back() = isTracelist_;
}

void TraceTextReader::ConsumeLine(std::string_view line) {
  ++lineNumber_;
  if (lineNumber_ == 1 && !tracelistKnown_ && line.find("<Tracelist>") != std::string_view::npos) {
    isTracelist_ = true;
  }
  const LineKind kind = ClassifyLine(line);
  switch (kind) {
    case LineKind::IncomingHeader:
    case LineKind::OutgoingHeader:
      protocol_ = line.find("H225") != std::string_view::npos ? Protocol::H225 : Protocol::Pri;
      isIncoming_ = kind == LineKind::IncomingHeader;
      headerLineNumber_ = lineNumber_;
      headerKnown_ = true;
      break;
    case LineKind::Gateway:
      gatewayIpIndex_ = GatewayIndex(GatewayAddressText(line));
      gatewayKnown_ = true;
      break;
    case LineKind::Data: {
      if (!dropPendingMessage_) {
        if (store_.MessageCount() == 0) {
          firstInheritsHeader_ = !headerKnown_;
          firstInheritsGateway_ = !gatewayKnown_;
        }
        const std::string_view timestamp = TimestampText(line, isTracelist_);
        const MessageTime time = timeReader_.Read(timestamp);
        const LineRef kept = Arena().AppendDataLine(line, isTracelist_, timestamp, time);
        // A packed line's payload text is its octets' digits: no need to read the line again.
        char prefix[kColumnsPrefix];
        const std::ptrdiff_t packed =
            PackedPayloadPrefix(Arena().Text(kept), prefix, kColumnsPrefix);
        const MessageColumns columns =
            packed >= 0
                ? ReadMessageColumnsOfPrefix(
                      std::string_view(prefix, static_cast<std::size_t>(packed)), line, timestamp)
                : ReadMessageColumns(line, isTracelist_, timestamp);
        AppendMessage(store_, kept, gatewayIpIndex_, protocol_, isIncoming_, headerLineNumber_,
                      columns, time, fileIndex_);
      }
      // A message never takes the header or gateway of the one before it.
      headerKnown_ = true;
      gatewayKnown_ = true;
      protocol_ = Protocol::None;
      isIncoming_ = false;
      headerLineNumber_ = 0;
      gatewayIpIndex_ = 0;
      break;
    }
    case LineKind::Other:
      break;
  }
}

std::uint32_t TraceTextReader::GatewayIndex(std::string_view addressText) {
  for (const KnownAddress& known : knownAddresses_) {
    if (known.index != 0 && std::string_view(known.text.data(), known.size) == addressText) {
      return known.index;
    }
  }
  KnownAddress& known = knownAddresses_[nextKnownAddress_];
  nextKnownAddress_ = (nextKnownAddress_ + 1) % knownAddresses_.size();
  known.size = std::min(addressText.size(), known.text.size());
  // An empty text may have no data at all, which memcpy must not be given.
  std::copy_n(addressText.begin(), known.size, known.text.begin());
  known.index = InternGatewayIp(store_, HexIpToDotted(addressText));
  return known.index;
}

MessageStore ReadTraceText(std::string_view text) {
  TraceTextReader reader;
  reader.Feed(text);
  return reader.Finish();
}

}  // namespace sigrune
