#include "document/shown_message.h"

#include <algorithm>

#include "q931/decoder.h"
#include "q931/h225_body.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

// Keeps a text written piece by piece up to the end of its `limit`th line and counts the lines
// after it.
class FirstLines {
 public:
  FirstLines(std::string& text, std::size_t limit) : text_(text), limit_(limit) {}

  void Append(std::string_view piece) {
    if (!piece.empty() && shownLines_ < limit_) {
      std::size_t end = 0;
      while (shownLines_ < limit_) {
        const std::size_t lineEnd = piece.find('\n', end);
        if (lineEnd == std::string_view::npos) {
          end = piece.size();
          break;
        }
        end = lineEnd + 1;
        ++shownLines_;
      }
      text_.append(piece.substr(0, end));
      piece.remove_prefix(end);
    }
    if (piece.empty()) {
      return;
    }
    hiddenLines_ += static_cast<std::uint64_t>(std::count(piece.begin(), piece.end(), '\n'));
    hiddenOpen_ = piece.back() != '\n';
  }

  // A last line without a line end counts too.
  std::uint64_t HiddenLines() const { return hiddenLines_ + (hiddenOpen_ ? 1 : 0); }

 private:
  std::string& text_;
  std::size_t limit_;
  std::size_t shownLines_ = 0;
  std::uint64_t hiddenLines_ = 0;
  bool hiddenOpen_ = false;
};

}  // namespace

MessageToShow CopyMessageToShow(const MessageStore& store, MessageNumber message) {
  return {message, std::string(DataLine(store, IndexOf(message))),
          IsTracelist(store, IndexOf(message))};
}

ShownMessage DecodeMessageToShow(const MessageToShow& message, std::size_t lineLimit,
                                 const std::function<bool()>& keepGoing) {
  ShownMessage shown;
  shown.message = message.message;
  PayloadBytes bytes;
  try {
    bytes.AssignSpacedHexText(PayloadTextWithBlanks(message.dataLine, message.isTracelist));
    FirstLines lines(shown.text, lineLimit);
    if (!DecodeMessageInPieces(bytes, [&](std::string_view piece) {
          lines.Append(piece);
          return !keepGoing || keepGoing();
        })) {
      shown.cancelled = true;
      return shown;
    }
    shown.dumpStart = shown.text.size();
    lines.Append(DumpMessageHex(bytes));
    shown.sectionStart = shown.text.size();
    if (const std::string section = H225Section(bytes); !section.empty()) {
      // The dump's last row has no line end of its own.
      lines.Append("\r\n" + section);
    }
    shown.hiddenLines = lines.HiddenLines();
  } catch (const SubscriptOutOfRange& failure) {
    shown.undecodableReason = failure.what();
    shown.text.clear();
    shown.dumpStart = 0;
    // The window puts the reason in a line of its own above the dump.
    FirstLines lines(shown.text, lineLimit > 0 ? lineLimit - 1 : 0);
    lines.Append(DumpMessageHex(bytes));
    shown.sectionStart = shown.text.size();
    shown.hiddenLines = lines.HiddenLines();
  }
  return shown;
}

}  // namespace sigrune
