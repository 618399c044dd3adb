#include "q931/message_search.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "q931/decoder.h"
#include "trace/message_number.h"
#include "util/ordered_chunks.h"

namespace sigrune {

namespace {

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Horspool's search with ASCII letters folded to lower case; `text` is folded already.
std::size_t FindFolded(std::string_view searched, std::string_view text,
                       const std::array<std::size_t, 256>& shifts) {
  const std::size_t size = text.size();
  const char last = text[size - 1];
  for (std::size_t at = 0; at + size <= searched.size();
       at += shifts[static_cast<unsigned char>(searched[at + size - 1])]) {
    if (AsciiLower(searched[at + size - 1]) != last) {
      continue;
    }
    std::size_t k = 0;
    while (k + 1 < size && AsciiLower(searched[at + k]) == text[k]) {
      ++k;
    }
    if (k + 1 == size) {
      return at;
    }
  }
  return std::string_view::npos;
}

}  // namespace

TextFinder::TextFinder(std::string_view text, FindCase findCase)
    : text_(text), ignoreCase_(findCase == FindCase::Ignore) {
  if (!ignoreCase_) {
    return;
  }
  std::transform(text_.begin(), text_.end(), text_.begin(), AsciiLower);
  // How far a try may move on, by the last character it looked at, in either case.
  shifts_.fill(std::max<std::size_t>(text_.size(), 1));
  for (std::size_t k = 0; k + 1 < text_.size(); ++k) {
    const char c = text_[k];
    shifts_[static_cast<unsigned char>(c)] = text_.size() - 1 - k;
    if (c >= 'a' && c <= 'z') {
      shifts_[static_cast<unsigned char>(c - 'a' + 'A')] = text_.size() - 1 - k;
    }
  }
}

std::size_t TextFinder::Find(std::string_view searched) const {
  // The library's search of the first character (memchr) beats any skipping on decoded texts.
  if (!ignoreCase_) {
    return searched.find(text_);
  }
  return text_.empty() ? 0 : FindFolded(searched, text_, shifts_);
}

std::size_t FindText(std::string_view searched, std::string_view text, FindCase findCase) {
  return TextFinder(text, findCase).Find(searched);
}

DecodedTextSearch::DecodedTextSearch(std::string_view text, FindCase findCase)
    : finder_(text, findCase) {}

std::size_t DecodedTextSearch::Find(const MessageStore& store, MessageIndex message,
                                    const std::function<bool()>& keepGoing) {
  ReadPayloadBytesOfMessage(store, message, bytes_);
  // After a hit the decode still runs to its end: a message that fails to decode holds no text
  // at all.
  position_ = finder_.Text().empty() ? 1 : 0;
  passed_ = 0;
  tail_.clear();
  const bool finished = DecodeMessageInPieces(
      bytes_,
      [this, &keepGoing](std::string_view piece) {
        if (position_ == 0) {
          Search(piece);
        }
        return !keepGoing || keepGoing();
      },
      decoded_);
  return finished ? position_ : 0;
}

void DecodedTextSearch::Search(std::string_view piece) {
  std::string_view searched = piece;
  if (!tail_.empty()) {
    tail_ += piece;
    searched = tail_;
  }
  if (const std::size_t at = finder_.Find(searched); at != std::string_view::npos) {
    position_ = passed_ + at + 1;
    return;
  }
  const std::size_t kept = std::min(searched.size(), finder_.Text().size() - 1);
  passed_ += searched.size() - kept;
  if (tail_.empty()) {
    tail_.assign(piece.substr(piece.size() - kept));
  } else {
    tail_.erase(0, tail_.size() - kept);
  }
}

std::size_t FindInDecodedMessage(const MessageStore& store, MessageIndex message,
                                 std::string_view text, const std::function<bool()>& keepGoing,
                                 FindCase findCase) {
  return DecodedTextSearch(text, findCase).Find(store, message, keepGoing);
}

namespace {

// What the search of a chunk of messages met, in message order.
struct FoundInChunk {
  std::vector<std::size_t> hits;
  std::vector<std::pair<std::size_t, std::string>> failures;
};

}  // namespace

bool FindInAllMessages(const MessageStore& store, std::string_view text,
                       const FindCallbacks& callbacks, FindCase findCase) {
  const std::size_t count = store.MessageCount();
  const unsigned threads = ChunkThreads();
  std::vector<PerWorker<DecodedTextSearch>> searches(threads, {DecodedTextSearch(text, findCase)});
  // A chunk for each progress step, asked at its start as a loop over the messages would.
  const std::size_t chunks = (count + kMessagesPerProgress - 1) / kMessagesPerProgress;
  const auto make = [&](std::size_t chunk, const ChunkWork& work) {
    FoundInChunk found;
    DecodedTextSearch& search = searches[work.worker].state;
    // Progress is asked between chunks only, as it always was between steps.
    const std::function<bool()> keepGoing = [&work] { return !work.Stopped(); };
    const std::size_t end = std::min(count, (chunk + 1) * kMessagesPerProgress);
    for (std::size_t index = chunk * kMessagesPerProgress; index < end && !work.Stopped();
         ++index) {
      try {
        if (search.Find(store, MessageIndex{index}, keepGoing) != 0) {
          found.hits.push_back(index);
        }
      } catch (const SubscriptOutOfRange& failure) {
        found.failures.emplace_back(index, failure.what());
      }
    }
    return found;
  };
  std::size_t done = 0;
  const auto take = [&](std::size_t chunk, FoundInChunk&& found) {
    done = chunk * kMessagesPerProgress;
    if (callbacks.progress && !callbacks.progress(done, count)) {
      return false;
    }
    // Hits and failures go out merged in message order.
    auto failure = found.failures.begin();
    for (const std::size_t hit : found.hits) {
      for (; failure != found.failures.end() && failure->first < hit; ++failure) {
        if (callbacks.failure) {
          callbacks.failure(NumberOf(MessageIndex{failure->first}), failure->second);
        }
      }
      if (callbacks.hit) {
        callbacks.hit(NumberOf(MessageIndex{hit}));
      }
    }
    for (; failure != found.failures.end(); ++failure) {
      if (callbacks.failure) {
        callbacks.failure(NumberOf(MessageIndex{failure->first}), failure->second);
      }
    }
    return true;
  };
  const std::function<bool()> keepGoing = [&] {
    return !callbacks.progress || callbacks.progress(done, count);
  };
  if (!TakeChunksInOrder<FoundInChunk>(chunks, threads, make, take, keepGoing)) {
    return false;
  }
  if (callbacks.progress) {
    callbacks.progress(count, count);
  }
  return true;
}

}  // namespace sigrune
