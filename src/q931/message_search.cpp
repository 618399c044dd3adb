#include "q931/message_search.h"

#include <algorithm>
#include <string>

#include "q931/decoder.h"
#include "trace/message_number.h"

namespace sigrune {

namespace {

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::size_t FindText(std::string_view searched, std::string_view text, FindCase findCase) {
  if (findCase == FindCase::Exact) {
    return searched.find(text);
  }
  const auto at = std::search(searched.begin(), searched.end(), text.begin(), text.end(),
                              [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
  return text.empty()           ? 0
         : at == searched.end() ? std::string_view::npos
                                : static_cast<std::size_t>(at - searched.begin());
}

std::size_t FindInDecodedMessage(const MessageStore& store, std::size_t index,
                                 std::string_view text, const std::function<bool()>& keepGoing,
                                 FindCase findCase) {
  const PayloadBytes bytes = PayloadBytesOfMessage(store, index);
  // The text is searched piece by piece, with the tail of the pieces before in which a match
  // may still begin. After a hit the decode still runs to its end: a message that fails to
  // decode holds no text at all.
  std::size_t position = text.empty() ? 1 : 0;
  std::size_t passed = 0;  // octets of the decoded text before `tail`
  std::string tail;
  const bool finished = DecodeMessageInPieces(bytes, [&](std::string_view piece) {
    if (position == 0) {
      std::string_view searched = piece;
      if (!tail.empty()) {
        tail += piece;
        searched = tail;
      }
      if (const std::size_t at = FindText(searched, text, findCase); at != std::string_view::npos) {
        position = passed + at + 1;
      } else {
        const std::size_t kept = std::min(searched.size(), text.size() - 1);
        passed += searched.size() - kept;
        tail = std::string(searched.substr(searched.size() - kept));
      }
    }
    return !keepGoing || keepGoing();
  });
  return finished ? position : 0;
}

bool FindInAllMessages(const MessageStore& store, std::string_view text,
                       const FindCallbacks& callbacks, FindCase findCase) {
  for (std::size_t index = 0; index < store.msgCount; ++index) {
    if (callbacks.progress && index % kProgressInterval == 0 &&
        !callbacks.progress(index, store.msgCount)) {
      return false;
    }
    try {
      if (FindInDecodedMessage(store, index, text, {}, findCase) != 0 && callbacks.hit) {
        callbacks.hit(NumberOf(MessageIndex{index}));
      }
    } catch (const SubscriptOutOfRange& failure) {
      if (callbacks.failure) {
        callbacks.failure(NumberOf(MessageIndex{index}), failure.what());
      }
    }
  }
  if (callbacks.progress) {
    callbacks.progress(store.msgCount, store.msgCount);
  }
  return true;
}

}  // namespace sigrune
