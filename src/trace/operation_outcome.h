#pragma once

// How a long operation ended, in one shape for all of them (load, find, Find All, export,
// capture), and the count of the messages it could not decode on the way.

#include <cstddef>
#include <string>
#include <string_view>

#include "trace/message_number.h"

namespace sigrune {

enum class OperationOutcome {
  Done,         // loaded, found, written
  NotFound,     // a search without a hit; a trace without messages
  Cancelled,    // stopped: its progress callback said no
  Failed,       // errorText names the file and the reason
  OutOfMemory,  // errorText says what stopped
};

// What each operation's result starts with.
struct OperationResult {
  OperationOutcome outcome = OperationOutcome::Done;
  std::string errorText;  // Failed, OutOfMemory
};

// Messages that failed to decode on the way (skipped, or written as undecodable), and the first.
struct UndecodableMessages {
  std::size_t count = 0;
  MessageNumber first;
  std::string firstReason;

  // One more; the first keeps its number and reason.
  void Add(MessageNumber message, std::string_view reason) {
    if (count++ == 0) {
      first = message;
      firstReason = reason;
    }
  }
  // Those of a later part of the same work.
  void Add(UndecodableMessages&& later) {
    if (count == 0 && later.count > 0) {
      first = later.first;
      firstReason = std::move(later.firstReason);
    }
    count += later.count;
  }
};

}  // namespace sigrune
