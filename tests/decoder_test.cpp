#include "q931/decoder.h"
#include "q931/element_walker.h"
#include "util/text_utilities.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"
#include "util/text_utilities.h"

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

// What the calls read message after message must be the octets the decoder reads.
TEST(PayloadBytes, ReadsSpacedTextAsTheTextWithoutItsBlanks) {
  PayloadBytes reused;
  for (const std::string_view text :
       {"08 02 80 01 45 08 02 81 90", "0 azz1 G G1A", "1F2", "1 2 3 4 5", "08 02 00 0", "080200010",
        " 8 ", "", "08 02 00 01 05 04 03 80 90 a2 6c 0c 21 80 32 31 34 35 35 35 30 31 30 30"}) {
    std::vector<int> expected;
    try {
      const PayloadBytes bytes = PayloadBytesOfHexText(RemoveBlanks(text));
      for (std::int64_t k = 1; k <= bytes.Count(); ++k) {
        expected.push_back(bytes.At(k));
      }
    } catch (const SubscriptOutOfRange&) {
    }
    std::vector<int> read;
    try {
      reused.AssignSpacedHexText(text);
      for (std::int64_t k = 1; k <= reused.Count(); ++k) {
        read.push_back(reused.At(k));
      }
    } catch (const SubscriptOutOfRange&) {
    }
    EXPECT_EQ(read, expected) << text;
  }
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

// Writes "kind codeset identifier length/contents end" per element.
class ElementLog : public ElementVisitor {
 public:
  void Visit(const InformationElement& element) override {
    constexpr const char* kKinds[] = {"shift", "single", "variable"};
    constexpr const char* kEnds[] = {"", " past end", " no length"};
    log += std::string(kKinds[static_cast<int>(element.kind)]) + ' ' +
           std::to_string(element.codeset) + ' ' + ByteToHex(element.identifier) + ' ' +
           std::to_string(element.length) + '/';
    for (std::size_t k = 0; k < element.contents.Size(); ++k) {
      log += ByteToHex(element.contents.At(k));
    }
    log += std::string(kEnds[static_cast<int>(element.end)]) + '\n';
  }
  std::string log;
};

TEST(WalkInformationElements, HandsEachElementWithItsCodesetAndOctets) {
  ElementLog visited;
  WalkInformationElements(PayloadBytesOfHexText(RemoveBlanks(
                              "08 02 00 01 05  A1  04 03 80 90 A2  7E 00 02 41 42  96  7B 01 05  "
                              "9D  28 01 41  A0  2C 05 31 32")),
                          visited);
  EXPECT_EQ(visited.log,
            "single 0 A1 0/\n"
            "variable 0 04 3/8090A2\n"
            "variable 0 7E 2/4142\n"  // the two-octet length of H.225
            "shift 0 96 0/\n"
            "variable 6 7B 1/05\n"
            "shift 6 9D 0/\n"  // non-locking: for the next element only
            "variable 5 28 1/41\n"
            "single 6 A0 0/\n"
            "variable 6 2C 5/3132 past end\n");
  ElementLog cut;
  WalkInformationElements(PayloadBytesOfHexText("080100057B"), cut);
  EXPECT_EQ(cut.log, "variable 0 7B 0/ no length\n");
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
