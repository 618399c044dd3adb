// The store's file and line columns kept as runs must read as the plain arrays they stand for,
// through every way the store changes them, past four billion lines too.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "trace/message_files.h"
#include "trace/message_lines.h"

namespace sigrune {
namespace {

constexpr std::uint64_t kHigh = std::uint64_t{1} << 32;

template <typename Kept, typename Value>
void ExpectSame(const Kept& kept, const std::vector<Value>& plain, const char* step) {
  ASSERT_EQ(kept.size(), plain.size()) << step;
  for (std::size_t k = 0; k < plain.size(); ++k) {
    ASSERT_EQ(kept[k], plain[k]) << step << ", message " << k;
  }
}

TEST(MessageRuns, LinesReadAsTheArrayTheyStandFor) {
  const std::vector<std::uint64_t> values = {1,         5,         0, kHigh - 1,     kHigh, 0,
                                             kHigh + 7, 3 * kHigh, 0, 3 * kHigh + 1, 9};
  MessageLines lines;
  std::vector<std::uint64_t> plain;
  for (const std::uint64_t value : values) {
    lines.push_back(value);
    plain.push_back(value);
  }
  ExpectSame(lines, plain, "appended");
  EXPECT_EQ(std::vector<std::uint64_t>(lines.begin(), lines.end()), plain);

  MessageLines joined;
  joined.push_back(2 * kHigh);
  std::vector<std::uint64_t> plainJoined = {2 * kHigh};
  joined.Append(lines);
  plainJoined.insert(plainJoined.end(), plain.begin(), plain.end());
  ExpectSame(joined, plainJoined, "joined");

  for (const auto& [index, value] : {std::pair{0, std::uint64_t{4}}, {5, 5 * kHigh}, {11, 0}}) {
    joined.Set(index, value);
    plainJoined[index] = value;
    ExpectSame(joined, plainJoined, "set");
  }
  joined.AddToEach(kHigh - 2);
  for (std::uint64_t& value : plainJoined) {
    value += value != 0 ? kHigh - 2 : 0;
  }
  ExpectSame(joined, plainJoined, "moved on");
  joined.resize(6);
  plainJoined.resize(6);
  ExpectSame(joined, plainJoined, "trimmed");
  joined.resize(8);
  plainJoined.resize(8);
  ExpectSame(joined, plainJoined, "grown");
}

TEST(MessageRuns, FilesReadAsTheArrayTheyStandFor) {
  MessageFiles files;
  std::vector<std::uint32_t> plain;
  for (const std::uint32_t file : {0u, 0u, 1u, 1u, 1u, 3u, 0u}) {
    files.push_back(file);
    plain.push_back(file);
  }
  ExpectSame(files, plain, "appended");
  MessageFiles joined;
  joined.push_back(0);
  joined.Append(files);
  std::vector<std::uint32_t> plainJoined = {0};
  plainJoined.insert(plainJoined.end(), plain.begin(), plain.end());
  ExpectSame(joined, plainJoined, "joined");
  joined.resize(4);
  plainJoined.resize(4);
  ExpectSame(joined, plainJoined, "trimmed");
  joined.Fill(2);
  ExpectSame(joined, std::vector<std::uint32_t>(4, 2), "filled");
}

}  // namespace
}  // namespace sigrune
