#include "document/go_to.h"

#include "trace/message_time.h"
#include "util/text_utilities.h"

namespace sigrune {

GoToTarget FindGoToTarget(const TraceDocument& document, std::string_view text) {
  text = TrimBlanks(text);
  const MessageStore& store = document.Store();
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos) {
    const std::string number(text);
    // Past the last message either way; so are more digits than a size holds.
    if (text.size() > 19 || std::stoull(number) == 0 ||
        std::stoull(number) > store.MessageCount()) {
      return {{},
              "there is no message " + number + ": the trace has " +
                  CountOf(store.MessageCount(), "message", "messages")};
    }
    const MessageNumber message{static_cast<std::size_t>(std::stoull(number))};
    if (!document.RowOfMessage(message)) {
      return {{},
              "message " + number + " is not in the list: the filter shows " +
                  document.FilterDescription()};
    }
    return {message, {}};
  }
  const MessageTime time = ParseTypedTime(text, TraceDayStart(store));
  if (time == kNoTime) {
    std::string problem = "\"";
    problem += text;
    problem +=
        "\" is neither a message number nor a time (HH:MM, HH:MM:SS, HH:MM:SS.fff or a whole "
        "timestamp)";
    return {{}, problem};
  }
  for (std::size_t row = 0, rows = document.RowCount(); row < rows; ++row) {
    const MessageNumber message = document.MessageAtRow(row);
    // kNoTime, the time of a message without one, is before every time.
    if (store.msgTimes[IndexOf(message).value] >= time) {
      return {message, {}};
    }
  }
  return {{}, "no message of the list is at or after " + std::string(text)};
}

}  // namespace sigrune
