#include "q931/decoder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"
#include "trace/text_utilities.h"

namespace sigrune {
namespace {

std::string Decode(std::string_view hexWithBlanks) {
  return DecodeMessage(PayloadBytesOfHexText(RemoveBlanks(hexWithBlanks)));
}

TEST(PayloadBytes, CountsHalvesToEvenAndReadsPairs) {
  const std::pair<std::string_view, std::int64_t> counts[] = {
      {"", 0},        {"0", 0},         {"08", 1},         {"08020", 2},
      {"0802000", 4}, {"080200010", 4}, {"08020001050", 6}};
  for (const auto& [hexText, count] : counts) {
    EXPECT_EQ(OctetCount(hexText), count) << hexText;
  }
  const PayloadBytes bytes = PayloadBytesOfHexText("0azz1GG1A");
  ASSERT_EQ(bytes.Count(), 4);
  EXPECT_EQ(bytes.At(1), 0x0A);
  EXPECT_EQ(bytes.At(2), 0);
  EXPECT_EQ(bytes.At(3), 1);
  EXPECT_EQ(bytes.At(4), 0);
  EXPECT_EQ(PayloadBytesOfHexText("1F2").At(2), 2);
  EXPECT_THROW(bytes.At(0), SubscriptOutOfRange);
  EXPECT_THROW(bytes.At(5), SubscriptOutOfRange);
  EXPECT_THROW(PayloadBytesOfHexText("8"), SubscriptOutOfRange);
}

struct DecodeCase {
  std::string name;
  std::string hex;
  std::string text;
  bool fails = false;
};

// The cases of tests/data/decoder-cases.txt; its first lines tell the format.
std::vector<DecodeCase> ReadDecodeCases() {
  std::vector<DecodeCase> cases;
  std::string name;
  std::istringstream lines(ReadFile(SourceFile("tests/data/decoder-cases.txt")));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# ", 0) == 0) {
      name = line.substr(2);
    } else if (line.rfind("> ", 0) == 0) {
      cases.push_back({name, line.substr(2), "", false});
    } else if (line == "!") {
      cases.back().fails = true;
    } else if (line.rfind('|', 0) == 0) {
      const bool ended = line.size() > 1 && line.back() == '|';
      cases.back().text += line.substr(1, line.size() - (ended ? 2 : 1)) + (ended ? "\r\n" : "");
    }
  }
  return cases;
}

TEST(DecodeMessage, DecodesEveryWrittenCase) {
  const std::vector<DecodeCase> cases = ReadDecodeCases();
  EXPECT_GT(cases.size(), 40u);
  for (const DecodeCase& c : cases) {
    if (c.fails) {
      EXPECT_THROW(Decode(c.hex), SubscriptOutOfRange) << c.name;
    } else {
      EXPECT_EQ(Decode(c.hex), c.text) << c.name;
    }
  }
}

TEST(DecodeMessage, HasNoSixteenBitLimits) {
  std::string hex = "08020001 05 7E FFFF";
  for (int k = 0; k < 0xFFFF; ++k) {
    hex += "41";
  }
  hex += "A1";
  const std::string text = Decode(hex);
  EXPECT_EQ(text.size(), 33 + 14 + 2 + 2 * 0xFFFF + 2 + 18);
  EXPECT_EQ(text.substr(text.size() - 20), "\r\nSending Complete\r\n");
}

TEST(DumpMessageHex, LabelsRowsFromSixteenAndSkipsTheHundreds) {
  EXPECT_EQ(DumpMessageHex(PayloadBytesOfHexText("0102030405060708090A0B0C0D0E0F1011")),
            "\r\nEntire Message: \r\n0010:  01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 \r\n"
            "0020:  11 ");
  const std::string dump = DumpMessageHex(PayloadBytesOfHexText(std::string(2 * 240, 'A')));
  EXPECT_NE(dump.find("\r\n00F0:  AA "), std::string::npos);
  EXPECT_EQ(dump.substr(dump.size() - 9), "\r\n0110:  ");
  EXPECT_EQ(dump.find("0100:"), std::string::npos);
}

// Every captured message decodes into text that starts with its header line.
TEST(DecodeMessage, DecodesEveryCapturedMessageCleanly) {
  std::istringstream captures(ReadFile(SourceFile("tests/data/real-q931.txt")));
  std::size_t messages = 0;
  for (std::string line; std::getline(captures, line);) {
    if (line.empty() || line.front() == '#') {
      continue;
    }
    ++messages;
    const std::string text = Decode(line);
    EXPECT_NE(text.find(", pd = 8, callref = 0x"), std::string::npos) << line;
    EXPECT_EQ(text.find("Decode Error"), std::string::npos) << line;
  }
  EXPECT_EQ(messages, 18u);
}

}  // namespace
}  // namespace sigrune
