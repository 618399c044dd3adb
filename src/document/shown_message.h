#pragma once

// A message as the pane shows it: its decoded text and dump, cut after a number of lines so that
// a message of millions of elements shows at once and takes little memory. Made on a worker from
// a copy of the message's data line, so that it never reads a store that may go away.

#include <cstdint>
#include <functional>
#include <string>

#include "trace/message_number.h"
#include "trace/message_store.h"

namespace sigrune {

inline constexpr std::size_t kShownLineLimit = 10'000;

// What the decode of one message needs, owned.
struct MessageToShow {
  MessageNumber message;
  std::string dataLine;
  bool isTracelist = false;
};
MessageToShow CopyMessageToShow(const MessageStore& store, MessageNumber message);

struct ShownMessage {
  MessageNumber message;
  bool cancelled = false;
  // Empty when the message decoded; else why not. The dump then holds the octets that were read.
  std::string undecodableReason;
  // The first lines of the decoded text followed by the dump and the H.225 user information,
  // Latin-1 with CR LF line ends; the dump starts at `dumpStart`, the user information at
  // `sectionStart` (the end when the message has none).
  std::string text;
  std::size_t dumpStart = 0;
  std::size_t sectionStart = 0;
  std::uint64_t hiddenLines = 0;  // the lines after the first `lineLimit`
};

// `keepGoing` is asked now and then; once it says no, the result is only `cancelled`.
ShownMessage DecodeMessageToShow(const MessageToShow& message, std::size_t lineLimit,
                                 const std::function<bool()>& keepGoing = {});

}  // namespace sigrune
