#pragma once

// Find All: every message whose decoded text holds a text, each with the lines that hold it. A hit
// here is a hit of FindNext and of FindInDecodedMessage: the decoded text only, not the hex dump.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/trace_document.h"
#include "q931/message_search.h"
#include "trace/message_number.h"
#include "trace/message_store.h"

namespace sigrune {

// Whether the message's decoded text holds the text, as FindInDecodedMessage says, and its first
// `maxLines` lines that hold it, each without its line end (Latin-1). A text with a line end in it
// may be found although no single line holds it. Throws SubscriptOutOfRange when the message
// fails to decode; `keepGoing`, asked after each piece of a long decoded text, may stop it (no
// hit).
bool FindLinesInMessage(const MessageStore& store, MessageIndex message, std::string_view text,
                        FindCase findCase, std::size_t maxLines, std::vector<std::string>& lines,
                        const std::function<bool()>& keepGoing = {});

struct FoundMessage {
  MessageNumber message;
  std::string firstLine;  // the first line that holds the text; empty when none does alone
};

// Done, or Cancelled with nothing found.
struct FindAllResult : OperationResult {
  std::size_t matches = 0;          // every message found, also those past `found`
  std::vector<FoundMessage> found;  // the first of them, in row order
  UndecodableMessages undecodable;  // skipped
};

// A Find All keeps this many messages with their lines; the count goes on past them. A list of
// more than this is read by no one, and a million lines would cost a hundred megabytes.
inline constexpr std::size_t kFindAllKept = 100'000;

// Searches the rows (the filter's, or every message when `rows` is null), keeping the first
// `keep` messages found. Reads only the store, so it may run on a worker.
FindAllResult FindAllMessages(const MessageStore& store, const RowMap* rows, std::string_view text,
                              FindCase findCase, std::size_t keep = kFindAllKept,
                              const FindProgress& progress = {});

// The search that Find Again would make in the other direction (Shift+F3), made from the one it
// would make (`query`, from PrepareFind) and the list's selected row: it steps back over the last
// hit as Find Again steps over it, and includes the selected row otherwise.
FindQuery OppositeFindQuery(FindQuery query, std::optional<std::size_t> selectedRow);

}  // namespace sigrune
