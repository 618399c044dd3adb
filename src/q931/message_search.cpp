#include "q931/message_search.h"

#include "q931/decoder.h"
#include "trace/message_number.h"

namespace sigrune {

std::size_t FindInDecodedMessage(const MessageStore& store, std::size_t index,
                                 std::string_view text) {
  const std::string decoded = DecodeStoredMessage(store, index);
  const std::size_t position = decoded.find(text);
  return position == std::string::npos ? 0 : position + 1;
}

bool FindInAllMessages(const MessageStore& store, std::string_view text,
                       const FindCallbacks& callbacks) {
  for (std::size_t index = 0; index < store.msgCount; ++index) {
    if (callbacks.progress && index % kProgressInterval == 0 &&
        !callbacks.progress(index, store.msgCount)) {
      return false;
    }
    try {
      if (FindInDecodedMessage(store, index, text) != 0 && callbacks.hit) {
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
