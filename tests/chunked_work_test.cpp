// Work spread over threads in chunks must give exactly what one pass over the messages gives.

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/trace_document.h"
#include "q931/decoder.h"
#include "test_files.h"
#include "trace/summary_line.h"
#include "util/ordered_chunks.h"

namespace sigrune {
namespace {

TEST(TakeChunksInOrder, TakesEveryResultInOrderAndStopsWhenTold) {
  struct Case {
    std::size_t chunks;
    unsigned threads;
    std::size_t stopAt;   // take says no at this chunk
    std::size_t throwAt;  // make throws at this chunk
    std::size_t taken;
    bool finished;
  };
  constexpr std::size_t kNever = 1000;
  const Case cases[] = {
      {0, 3, kNever, kNever, 0, true},   {1, 3, kNever, kNever, 1, true},
      {50, 1, kNever, kNever, 50, true}, {50, 3, kNever, kNever, 50, true},
      {50, 3, 20, kNever, 21, false},    {50, 3, kNever, 30, 30, false},
  };
  for (const Case& c : cases) {
    std::vector<std::size_t> taken;
    std::atomic<unsigned> sum{0};
    const auto make = [&](std::size_t chunk, const ChunkWork& work) {
      if (chunk == c.throwAt) {
        throw std::runtime_error("thrown");
      }
      // Chunks of uneven work, so that they are done out of order.
      unsigned spin = 0;
      for (std::size_t k = 0; k < (chunk % 7) * 20'000 && !work.Stopped(); ++k) {
        spin += static_cast<unsigned>(k);
      }
      sum += spin;
      return chunk * chunk;
    };
    const auto take = [&](std::size_t chunk, std::size_t result) {
      EXPECT_EQ(result, chunk * chunk);
      taken.push_back(chunk);
      return chunk != c.stopAt;
    };
    bool finished = false;
    bool threw = false;
    try {
      finished = TakeChunksInOrder<std::size_t>(c.chunks, c.threads, make, take, {});
    } catch (const std::runtime_error&) {
      threw = true;
    }
    EXPECT_EQ(threw, c.throwAt != kNever) << c.chunks << " " << c.threads;
    EXPECT_EQ(finished, c.finished) << c.chunks << " " << c.threads;
    EXPECT_LE(taken.size(), c.taken);
    for (std::size_t k = 0; k < taken.size(); ++k) {
      EXPECT_EQ(taken[k], k);
    }
    if (c.throwAt == kNever) {
      EXPECT_EQ(taken.size(), c.taken);
    }
  }
  // A keepGoing that says no, asked within a chunk, stops the work.
  EXPECT_FALSE(TakeChunksInOrder<int>(
      50, 1, [](std::size_t, const ChunkWork& work) { return work.KeepGoing() ? 1 : 0; },
      [](std::size_t, int) { return true; }, [] { return false; }));
}

// Several chunks of messages: hits, failures and a line long enough to be decoded alone, spread
// over them.
class ManyMessagesTest : public FolderTest {
 protected:
  void SetUp() override {
    const std::string payloads[] = {
        "08 02 00 01 05 04 03 80 90 a2 18 03 a9 83 97 70 05 c1 31 30 30 31",
        "08 02 80 01 45 08 02 80 90",
        "08 02 81",  // undecodable
        "08 01 01 7b 28 05 41 6c 69 63 65",
    };
    std::string trace;
    for (std::size_t k = 0; k < 3 * kMessagesPerProgress + 500; ++k) {
      trace +=
          "01/15/2004 10:23:45.679 CCP|IsdnMsgData" + std::string(k % 3 == 0 ? "1" : "2") + "= ";
      if (k == kMessagesPerProgress - 1) {
        trace += "08 01 01 05";
        for (int element = 0; element < 75'000; ++element) {
          trace += " 28 03 41 42 43";
        }
      } else {
        trace += payloads[(k * 7 + k / 5) % 4];
      }
      trace += "  |<CLID::mrv-ccp-01><GW::pri-a>\n";
    }
    ASSERT_EQ(document_.Load(Write("many.txt", trace), LoadKind::Open).outcome,
              OperationOutcome::Done);
  }

  TraceDocument document_;
};

TEST_F(ManyMessagesTest, ExportAndFindAllGiveWhatOnePassGives) {
  const MessageStore& store = document_.Store();
  std::string expected;
  std::vector<std::size_t> hits;
  std::vector<std::size_t> failures;
  for (std::size_t index = 0; index < store.MessageCount(); ++index) {
    expected += "=============================\r\n";
    AppendTimestampAndGateway(expected, store, MessageIndex{index});
    expected += store.msgIsIncoming[index] ? "\r\nIn <- " : "\r\nOut -> ";
    try {
      expected += DecodeStoredMessage(store, MessageIndex{index});
      if (FindInDecodedMessage(store, MessageIndex{index}, "callref = 0x01") != 0) {
        hits.push_back(index);
      }
    } catch (const SubscriptOutOfRange&) {
      expected += "Undecodable message: Subscript out of range\r\n";
      failures.push_back(index);
    }
  }
  const std::string target = Path("export.txt");
  const ExportResult result = document_.ExportAllMessages(target);
  EXPECT_EQ(result.outcome, OperationOutcome::Done);
  EXPECT_EQ(result.messagesWritten, store.MessageCount());
  EXPECT_EQ(result.undecodable.count, failures.size());
  EXPECT_EQ(result.undecodable.first, NumberOf(MessageIndex{failures.front()}));
  EXPECT_TRUE(ReadFile(target) == expected);

  std::vector<std::size_t> foundHits;
  std::vector<std::size_t> foundFailures;
  FindCallbacks callbacks;
  callbacks.hit = [&](MessageNumber message) { foundHits.push_back(IndexOf(message).value); };
  callbacks.failure = [&](MessageNumber message, std::string_view) {
    foundFailures.push_back(IndexOf(message).value);
  };
  EXPECT_TRUE(document_.FindAll("callref = 0x01", callbacks));
  EXPECT_EQ(foundHits, hits);
  EXPECT_EQ(foundFailures, failures);

  // A stop part way writes nothing.
  std::size_t asked = 0;
  EXPECT_EQ(
      document_.ExportAllMessages(target, [&](std::size_t, std::size_t) { return ++asked < 3; })
          .outcome,
      OperationOutcome::Cancelled);
  EXPECT_TRUE(ReadFile(target) == expected);
}

TEST_F(ManyMessagesTest, FindNextStopsAtTheFirstHitInOrderEitherWay) {
  const MessageStore& store = document_.Store();
  const std::size_t last = store.MessageCount() - 1;
  struct Case {
    std::string text;
    bool down;
    std::int64_t firstRow;
  };
  const Case cases[] = {
      {"Display i = 'Alice'", true, 0},
      {"Display i = 'Alice'", false, 2 * kMessagesPerProgress},
      {"'ABC'", true, 5},
      {"'ABC'", false, static_cast<std::int64_t>(last)},
      {"no such text", true, 100},
      {"no such text", false, 9000},
  };
  for (const Case& c : cases) {
    FindQuery query;
    query.text = c.text;
    query.down = c.down;
    query.firstRow = c.firstRow;
    query.rowCount = store.MessageCount();
    FindResult expected;
    for (std::int64_t row = c.firstRow; row >= 0 && row <= static_cast<std::int64_t>(last);
         row += c.down ? 1 : -1) {
      try {
        const auto index = static_cast<std::size_t>(row);
        if (const std::size_t position = FindInDecodedMessage(store, MessageIndex{index}, c.text)) {
          expected.outcome = OperationOutcome::Done;
          expected.row = index;
          expected.position = position;
          break;
        }
      } catch (const SubscriptOutOfRange&) {
        ++expected.undecodable.count;
      }
    }
    const FindResult result = TraceDocument::RunFind(store, query);
    EXPECT_EQ(result.outcome, expected.outcome) << c.text << " " << c.firstRow;
    EXPECT_EQ(result.row, expected.row) << c.text << " " << c.firstRow;
    EXPECT_EQ(result.position, expected.position) << c.text << " " << c.firstRow;
    EXPECT_EQ(result.undecodable.count, expected.undecodable.count) << c.text;
  }
  FindQuery query;
  query.text = "no such text";
  query.rowCount = store.MessageCount();
  std::size_t asked = 0;
  const FindResult cancelled =
      TraceDocument::RunFind(store, query, [&](std::size_t, std::size_t) { return ++asked < 2; });
  EXPECT_EQ(cancelled.outcome, OperationOutcome::Cancelled);
}

}  // namespace
}  // namespace sigrune
