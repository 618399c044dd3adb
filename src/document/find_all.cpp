#include "document/find_all.h"

#include <cstring>

#include "q931/decoder.h"

namespace sigrune {

namespace {

// Reads a decoded text piece by piece as lines, without their CR LF.
class LineCollector {
 public:
  LineCollector(std::string_view text, FindCase findCase, std::size_t maxLines,
                std::vector<std::string>& lines)
      : text_(text), findCase_(findCase), maxLines_(maxLines), lines_(lines) {}

  void Take(std::string_view piece) {
    while (!piece.empty()) {
      const void* end = std::memchr(piece.data(), '\n', piece.size());
      if (end == nullptr) {
        partial_ += piece;
        return;
      }
      const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - piece.data());
      if (partial_.empty()) {
        Line(piece.substr(0, length));
      } else {
        partial_ += piece.substr(0, length);
        Line(partial_);
        partial_.clear();
      }
      piece.remove_prefix(length + 1);
    }
  }
  void Finish() {
    if (!partial_.empty()) {
      Line(partial_);
    }
  }
  bool Found() const { return found_; }

 private:
  void Line(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (FindText(line, text_, findCase_) == std::string_view::npos) {
      return;
    }
    found_ = true;
    if (lines_.size() < maxLines_) {
      lines_.emplace_back(line);
    }
  }

  std::string_view text_;
  FindCase findCase_;
  std::size_t maxLines_;
  std::vector<std::string>& lines_;
  std::string partial_;
  bool found_ = false;
};

}  // namespace

bool FindLinesInMessage(const MessageStore& store, MessageIndex message, std::string_view text,
                        FindCase findCase, std::size_t maxLines, std::vector<std::string>& lines,
                        const std::function<bool()>& keepGoing) {
  lines.clear();
  if (text.find_first_of("\r\n") != std::string_view::npos) {
    // Only the whole text can hold it.
    return FindInDecodedMessage(store, message, text, keepGoing, findCase) != 0;
  }
  LineCollector collector(text, findCase, maxLines, lines);
  const bool finished =
      DecodeMessageInPieces(PayloadBytesOfMessage(store, message), [&](std::string_view piece) {
        collector.Take(piece);
        return !keepGoing || keepGoing();
      });
  if (!finished) {
    lines.clear();
    return false;
  }
  collector.Finish();
  // An empty text is in every message, even one whose decoded text is empty.
  return collector.Found() || text.empty();
}

FindAllResult FindAllMessages(const MessageStore& store, const RowMap* rows, std::string_view text,
                              FindCase findCase, std::size_t keep, const FindProgress& progress) {
  FindAllResult result;
  const std::size_t rowCount = rows != nullptr ? rows->size() : store.MessageCount();
  std::size_t done = 0;
  bool stopped = false;
  const std::function<bool()> keepGoing = [&] {
    stopped = stopped || (progress && !progress(done, rowCount));
    return !stopped;
  };
  std::vector<std::string> lines;
  for (; done < rowCount; ++done) {
    if ((done % kMessagesPerProgress == 0 && !keepGoing()) || stopped) {
      break;
    }
    const MessageNumber message = rows != nullptr ? (*rows)[done] : NumberOf(MessageIndex{done});
    try {
      const bool hit = FindLinesInMessage(store, IndexOf(message), text, findCase,
                                          result.found.size() < keep ? 1 : 0, lines, keepGoing);
      if (stopped) {
        break;
      }
      if (hit) {
        if (result.found.size() < keep) {
          result.found.push_back({message, lines.empty() ? std::string() : std::move(lines[0])});
        }
        ++result.matches;
      }
    } catch (const SubscriptOutOfRange& failure) {
      result.undecodable.Add(message, failure.what());
    }
  }
  if (stopped) {
    // A cancelled search gives nothing, so that nothing takes it for a whole one.
    FindAllResult cancelled;
    cancelled.outcome = OperationOutcome::Cancelled;
    return cancelled;
  }
  if (progress) {
    progress(rowCount, rowCount);
  }
  return result;
}

FindQuery OppositeFindQuery(FindQuery query, std::optional<std::size_t> selectedRow) {
  const bool down = !query.down;
  query.down = down;
  if (!selectedRow) {
    query.firstRow = down ? 0 : -1;  // as a search from no selection starts
    return query;
  }
  const auto selected = static_cast<std::int64_t>(*selectedRow);
  const std::int64_t step = down ? 1 : -1;
  // The search asked for would have stepped over the selected row: it is the last hit.
  const bool onLastHit = query.firstRow == selected - step;
  query.firstRow = onLastHit ? selected + step : selected;
  if (down && query.firstRow < 0) {
    query.firstRow = 0;
  }
  return query;
}

}  // namespace sigrune
