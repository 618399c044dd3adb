#pragma once

// Finding a text in the decoded messages. The search compares bytes exactly (case-sensitive) and
// looks at the decoded text only: not at the hex dump, not at the summary line.

#include <cstddef>
#include <functional>
#include <string_view>

#include "trace/message_number.h"
#include "trace/message_store.h"

namespace sigrune {

// The 1-based position of the first occurrence of the text in the message's decoded text; 0 when
// it does not occur, 1 for an empty text. Throws SubscriptOutOfRange when the message fails to
// decode. A long decoded text is searched in pieces; `keepGoing`, asked after each, may stop the
// search of the message, which then gives 0.
std::size_t FindInDecodedMessage(const MessageStore& store, std::size_t index,
                                 std::string_view text,
                                 const std::function<bool()>& keepGoing = {});

struct FindCallbacks {
  std::function<void(MessageNumber message)> hit;
  std::function<void(MessageNumber message, std::string_view description)> failure;
  // Called now and then with the messages searched so far; returning false stops the search.
  std::function<bool(std::size_t messagesDone, std::size_t messageCount)> progress;
};

// Searches every message in store order. Returns false when the progress callback stopped it.
bool FindInAllMessages(const MessageStore& store, std::string_view text,
                       const FindCallbacks& callbacks);

}  // namespace sigrune
