#pragma once

// Finding a text in the decoded messages. The search looks at the decoded text only: not at the hex
// dump, not at the summary line; it compares bytes exactly unless told to ignore case.

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "q931/payload_bytes.h"
#include "trace/message_number.h"
#include "trace/message_store.h"

namespace sigrune {

// Exact: bytes as they are (the Find dialog's "Match case", on by default). Ignore: ASCII letters
// match in either case; other octets exactly.
enum class FindCase { Exact, Ignore };

// Where the text first occurs in `searched`, or npos.
std::size_t FindText(std::string_view searched, std::string_view text, FindCase findCase);

// The 1-based position of the first occurrence of the text in the message's decoded text; 0 when
// it does not occur, 1 for an empty text. Throws SubscriptOutOfRange when the message fails to
// decode. A long decoded text is searched in pieces; `keepGoing`, asked after each, may stop the
// search of the message, which then gives 0.
std::size_t FindInDecodedMessage(const MessageStore& store, MessageIndex message,
                                 std::string_view text, const std::function<bool()>& keepGoing = {},
                                 FindCase findCase = FindCase::Exact);

// FindText for one text in many: made ready once.
class TextFinder {
 public:
  TextFinder(std::string_view text, FindCase findCase);
  std::size_t Find(std::string_view searched) const;
  // The text as searched: lower-cased when case is ignored.
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  bool ignoreCase_;
  std::array<std::size_t, 256> shifts_{};  // for ignoring case
};

// FindInDecodedMessage for message after message, keeping its room from one to the next: one
// for each thread that searches.
class DecodedTextSearch {
 public:
  DecodedTextSearch(std::string_view text, FindCase findCase);
  std::size_t Find(const MessageStore& store, MessageIndex message,
                   const std::function<bool()>& keepGoing = {});

 private:
  void Search(std::string_view piece);

  TextFinder finder_;
  PayloadBytes bytes_;
  std::string decoded_;
  // The end of the pieces before, in which a match may still begin.
  std::string tail_;
  std::size_t passed_ = 0;    // octets of the decoded text before `tail_`
  std::size_t position_ = 0;  // of the hit, from 1; 0 before one
};

struct FindCallbacks {
  std::function<void(MessageNumber message)> hit;
  std::function<void(MessageNumber message, std::string_view description)> failure;
  // Called now and then with the messages searched so far; returning false stops the search.
  std::function<bool(std::size_t messagesDone, std::size_t messageCount)> progress;
};

// Searches every message in store order. Returns false when the progress callback stopped it.
bool FindInAllMessages(const MessageStore& store, std::string_view text,
                       const FindCallbacks& callbacks, FindCase findCase = FindCase::Exact);

}  // namespace sigrune
