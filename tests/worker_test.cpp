#include "document/worker.h"

#include <gtest/gtest.h>

#include <string>

#include "document/shown_message.h"
#include "document/trace_document.h"
#include "owner_queue.h"
#include "q931/decoder.h"
#include "q931/message_search.h"
#include "test_files.h"
#include "waiting.h"

namespace sigrune {
namespace {

TEST(Worker, RunsOneOperationAtATimeAndHandsOverItsResultOnTheOwnersThread) {
  OwnerQueue owner;
  std::optional<int> delivered;
  const auto owners = std::this_thread::get_id();
  {
    Worker worker(owner.Post());
    const auto waitForCancel = [](OperationProgress& progress) {
      WaitUntil([&] { return !progress.Report(1, 2); }, [] { std::this_thread::yield(); },
                "the operation to be cancelled");
      return 7;
    };
    ASSERT_TRUE(worker.Start<int>(waitForCancel, [&](std::optional<int> result) {
      EXPECT_EQ(std::this_thread::get_id(), owners);
      delivered = result;
    }));
    EXPECT_TRUE(worker.Busy());
    EXPECT_FALSE(worker.Start<int>([](OperationProgress&) { return 0; }, [](auto) {}));
    worker.Cancel();
    owner.RunUntil([&] { return delivered.has_value(); }, "the cancelled result");
    EXPECT_EQ(delivered, 7);
    EXPECT_FALSE(worker.Busy());

    // Running out of memory is a result of its own; the worker goes on.
    delivered = 0;
    worker.Start<int>([](OperationProgress&) -> int { throw std::bad_alloc(); },
                      [&](std::optional<int> result) { delivered = result; });
    owner.RunUntil([&] { return !worker.Busy(); }, "the worker to end");
    EXPECT_EQ(delivered, std::nullopt);

    // Going away stops what runs; what it would hand over is dropped.
    delivered = 0;
    worker.Start<int>(waitForCancel, [&](std::optional<int> result) { delivered = result; });
  }
  owner.RunUntil([&] { return owner.tasks.empty(); }, "the posted tasks to run");
  EXPECT_EQ(delivered, 0);
}

// A SETUP of 30,000 display elements: its decoded text runs to many pieces.
std::string ManyElements() {
  std::string payload = "08 01 01 05 ";
  for (int element = 0; element < 30'000; ++element) {
    payload += element == 20'000 ? "28 03 58 59 5A " : "28 03 41 42 43 ";
  }
  return payload;
}

TEST(DecodedInPieces, FindsAndShowsWhatTheWholeTextHolds) {
  MessageStore store;
  for (const std::string& payload : {ManyElements(), ManyElements() + "1E 02 82"}) {
    AppendMessage(store, "IsdnMsgData=" + payload, 0, Protocol::None, true, 0, {}, kNoTime);
  }
  const std::string whole = DecodeStoredMessage(store, MessageIndex{0});
  ASSERT_GT(whole.size(), 4 * kDecodedTextPieceSize);
  for (const std::string_view text : {"'XYZ'\r\nDisplay", "SETUP", "", "nowhere"}) {
    const std::size_t at = whole.find(text);
    EXPECT_EQ(FindInDecodedMessage(store, MessageIndex{0}, text),
              at == std::string::npos ? 0 : at + 1)
        << text;
    // A hit before the element that fails the decode is no hit.
    EXPECT_THROW(FindInDecodedMessage(store, MessageIndex{1}, text), SubscriptOutOfRange);
  }
  int asked = 0;
  EXPECT_EQ(FindInDecodedMessage(store, MessageIndex{0}, "nowhere", [&] { return ++asked < 2; }),
            0u);
  EXPECT_EQ(asked, 2);

  const std::string dump = DumpMessageHex(PayloadBytesOfMessage(store, MessageIndex{0}));
  const std::size_t lines = 1 + 30'000 + 2 + 9'376;
  for (const std::size_t limit : {std::size_t{40'000}, std::size_t{30'001}, std::size_t{5}}) {
    const ShownMessage shown =
        DecodeMessageToShow(CopyMessageToShow(store, MessageNumber{1}), limit);
    EXPECT_EQ(shown.hiddenLines, lines - std::min(lines, limit)) << limit;
    EXPECT_EQ(shown.text, (whole + dump).substr(0, shown.text.size())) << limit;
    EXPECT_EQ(shown.dumpStart, std::min(shown.text.size(), whole.size())) << limit;
  }
  const ShownMessage failed = DecodeMessageToShow(CopyMessageToShow(store, MessageNumber{2}), 3);
  EXPECT_EQ(failed.undecodableReason, "Subscript out of range");
  EXPECT_EQ(failed.text, "\r\nEntire Message: \r\n");
  EXPECT_EQ(failed.hiddenLines, 9'376u);
}

}  // namespace
}  // namespace sigrune
