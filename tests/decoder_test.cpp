#include "q931/decoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace sigrune {
namespace {

std::string WithoutBlanks(std::string_view text) {
  std::string kept;
  for (const char c : text) {
    if (c != ' ') {
      kept += c;
    }
  }
  return kept;
}

std::string Decode(std::string_view hexWithBlanks) {
  return DecodeMessage(PayloadBytesOfHexText(WithoutBlanks(hexWithBlanks)));
}

// Lines joined with the decoded text's CR LF, each ended by one.
std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
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

TEST(ByteToHex, WritesTwoUpperCaseDigitsAtLeast) {
  EXPECT_EQ(ByteToHex(0), "00");
  EXPECT_EQ(ByteToHex(15), "0F");
  EXPECT_EQ(ByteToHex(16), "10");
  EXPECT_EQ(ByteToHex(255), "FF");
  EXPECT_EQ(ByteToHex(256), "100");
}

TEST(ElementName, NamesKnownIdentifiersOnly) {
  EXPECT_EQ(ElementName(0x70), "Called Party Number");
  EXPECT_EQ(ElementName(0x0C), "Connected Number");
  EXPECT_EQ(ElementName(0x4C), "Connected Number");
  EXPECT_EQ(ElementName(0x5F), "UNRECOGNIZED VARIABLE (0x");
  EXPECT_EQ(ElementName(0x7F), "UNRECOGNIZED VARIABLE (0x");
}

struct DecodeCase {
  std::string_view name;
  std::string_view hex;
  std::string text;
};

TEST(DecodeMessage, HeaderLine) {
  const DecodeCase cases[] = {
      {"two-octet reference", "08 02 00 01 05", Lines({"SETUP, pd = 8, callref = 0x0001"})},
      {"one-octet reference", "08 01 81 45", Lines({"DISCONNECT, pd = 8, callref = 0x81"})},
      {"flag kept in the value", "08 02 80 01 5A",
       Lines({"RELEASE_COMP, pd = 8, callref = 0x8001"})},
      {"upper four bits of octet 2 ignored", "08 F1 0A 06",
       Lines({"UNKNOWN, pd = 8, callref = 0x0A"})},
      {"reference length 0", "08 00 05 04 03 80 90 A2", ""},
      {"reference length 3", "08 03 00 00 01 05", ""},
      {"other protocol discriminator", "09", "Invalid Protocol Discriminator: 9"},
      {"message ending after its type", "08 02 00 01 07",
       Lines({"CONNECT, pd = 8, callref = 0x0001"})},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(Decode(c.hex), c.text) << c.name;
  }
}

TEST(DecodeMessage, InformationElements) {
  const std::string setup = "SETUP, pd = 8, callref = 0x0001";
  const DecodeCase cases[] = {
      {"worked example", "08 02 00 01 05 A1 28 03 41 42 43 96 7B 01 05",
       Lines({setup, "Sending Complete", "Display i = 'ABC'", "Locking Shift to CodeSet 6",
              "Codeset 6 IE 0x7B  i = 0x05"})},
      {"locking shift down", "08 02 00 01 05 96 95",
       Lines({setup, "Locking Shift to CodeSet 6",
              "Locking Shift to CodeSet 5   Decode Error: shift from codeset 6 to 5"})},
      {"locking shift to codeset 0", "08 02 00 01 05 90",
       Lines({setup, "Locking Shift to CodeSet 0   Decode Error: shift from codeset 0 to 0"})},
      {"non-locking shift lasts one element", "08 02 00 01 05 9E 28 01 41 28 01 42",
       Lines({setup, "Shift to CodeSet 6", "Codeset 6 IE 0x28  i = 'A'", "Display i = 'B'"})},
      {"locked codeset covers single octets", "08 02 00 01 05 95 A1 70 01 35 9D A0 A0",
       Lines({setup, "Locking Shift to CodeSet 5", "Codeset 5 IE 0xA1",
              "Codeset 5 IE 0x70  i = '5'", "Shift to CodeSet 5", "Codeset 5 IE 0xA0",
              "Codeset 5 IE 0xA0"})},
      {"non-locking shift to 0 from a locked codeset", "08 02 00 01 05 95 98 A1 28 01 41 A0",
       Lines({setup, "Locking Shift to CodeSet 5", "Shift to CodeSet 0", "Sending Complete",
              "Display i = 'A'", "Codeset 5 IE 0xA0"})},
      {"single octets", "08 02 00 01 05 A0 A1 B0 BF B3 D2 DB 85 C5",
       Lines({setup, "More Data", "Sending Complete", "Congestion Level = 0x00 (receiver ready)",
              "Congestion Level = 0x0F (receiver not ready)",
              "Congestion Level = 0x03 (Error: reserved value B3)",
              "Repeat Indicator = 0x2 (Prioritized list for selecting one possibility)",
              "Repeat Indicator = 0x11 (Error: reserved value)", "RESERVED = 50x85", "IE 0xC5"})},
      {"unknown identifier", "08 02 00 01 05 5F 02 01 02",
       Lines({setup, "UNRECOGNIZED VARIABLE (0x5F) i = 0x0102"})},
      {"order check", "08 02 00 01 05 1E 02 82 88 18 03 A9 83 97 1E 02 82 88 34 01 01",
       Lines({setup, "Progress Ind i = 0x8288 - In-band info or appropriate now available ",
              "IE out of order or end of private IEs --",
              "Channel ID i = 0xA98397, PRI interface, Exclusive channel 23",
              "Progress Ind i = 0x8288 - In-band info or appropriate now available ",
              "Signal i = 0x01 - Ring back tone on "})},
      {"contents overrun", "08 02 00 01 05 28 0A 41 42 43 44",
       Lines({setup, "Display i = 'ABCD'", "     Decode Error: IE Length Error (0x0A)"})},
      {"overrun in another codeset", "08 02 00 01 05 96 7B 05 41 42",
       Lines({setup, "Locking Shift to CodeSet 6", "Codeset 6 IE 0x7B  i = 'AB'",
              "     Decode Error: IE Length Error (0x05)"})},
      {"identifier last", "08 02 00 01 05 A1 28",
       Lines({setup, "Sending Complete", "", "     Decode Error: Out of Bounds"})},
      {"length octet last", "08 02 00 01 05 28 00",
       Lines({setup, "", "     Decode Error: Out of Bounds"})},
      {"user-user two-octet length", "08 02 00 01 05 7E 00 05 01 02 03 04 05 A1",
       Lines({setup, "User-User i = 0x0102030405", "Sending Complete"})},
      {"user-user length that does not fit", "08 02 00 01 05 7E 01 00 A1",
       Lines({setup, "User-User i = 0x00", "Sending Complete"})},
      {"call state", "08 02 00 01 05 14 01 4A",
       Lines({setup, "Call State i = 0x4A - Active, ISO/IEC standard"})},
      {"add-on decoders after an overrun", "08 02 00 01 05 18 05 A9 83 97",
       Lines({setup, "Channel ID i = 0xA98397 - Unsupported decode",
              "     Decode Error: IE Length Error (0x05)"})},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(Decode(c.hex), c.text) << c.name;
  }
}

TEST(DecodeMessage, ElementsTooShortForTheirDecodersShowTheirOwnOctets) {
  const std::string setup = "SETUP, pd = 8, callref = 0x0001";
  const DecodeCase cases[] = {
      {"cause of length 1", "08 02 00 01 05 08 01 80 A1",
       Lines({setup, "Cause i = 0x80", "Sending Complete"})},
      {"cause of length 0", "08 02 00 01 05 08 00 A1",
       Lines({setup, "Cause i = 0x", "Sending Complete"})},
      {"progress of length 1", "08 02 00 01 05 1E 01 82 A1",
       Lines({setup, "Progress Ind i = 0x82", "Sending Complete"})},
      {"progress of length 0 reads octet 4", "08 02 00 01 05 1E 00 A1 88",
       Lines({setup, "Progress Ind i =  - In-band info or appropriate now available ",
              "Sending Complete", "RESERVED = 80x88"})},
      {"call state of length 0", "08 02 00 01 05 14 00 A1",
       Lines({setup, "Call State i = ", "Sending Complete"})},
      {"signal of length 0", "08 02 00 01 05 34 00 A1",
       Lines({setup, "Signal i = ", "Sending Complete"})},
      {"party numbers of length 0", "08 02 00 01 05 6C 00 70 00 A1",
       Lines({setup, "Calling Party Number i = ", "Called Party Number i = ", "Sending Complete"})},
      {"channel of length 0", "08 02 00 01 05 18 00 A1",
       Lines({setup, "Channel ID i =  - Unsupported decode", "Sending Complete"})},
      {"basic-rate channel", "08 01 B0 02 18 01 8A",
       Lines({"CALL_PROC, pd = 8, callref = 0xB0",
              "Channel ID i = 0x8A, BRI interface, Exclusive channel 2"})},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(Decode(c.hex), c.text) << c.name;
  }
}

TEST(DecodeMessage, ReadsOutsideTheMessageFailTheWholeDecode) {
  const std::string_view failing[] = {
      "08",                          // no octet 2
      "08 01",                       // no message type
      "08 02 00 01",                 // two-octet reference without a message type
      "08 02 00 01 05 1E 02 82",     // overrun progress indicator reads octet 4 beyond
      "08 02 00 01 05 1E 00 A1",     // progress of length 0 as the last element
      "08 02 00 01 05 A1 18 01 A9",  // primary-rate channel without octet 3.2
      "08 02 00 01 05 A1 6C 01 21",  // calling number announcing octet 3a at the end
  };
  for (const std::string_view hex : failing) {
    EXPECT_THROW(Decode(hex), SubscriptOutOfRange) << hex;
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
  std::string seventeen;
  for (int k = 1; k <= 17; ++k) {
    seventeen += ByteToHex(k);
  }
  EXPECT_EQ(DumpMessageHex(PayloadBytesOfHexText(seventeen)),
            "\r\nEntire Message: \r\n0010:  01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 \r\n"
            "0020:  11 ");
  const std::string dump = DumpMessageHex(PayloadBytesOfHexText(std::string(2 * 240, 'A')));
  EXPECT_NE(dump.find("\r\n00F0:  AA "), std::string::npos);
  EXPECT_EQ(dump.substr(dump.size() - 9), "\r\n0110:  ");
  EXPECT_EQ(dump.find("0100:"), std::string::npos);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(DecodeMessage, RealCapturedMessages) {
  const DecodeCase cases[] = {
      {"basic-rate SETUP", "08013005a1040288901801836c088135353531323132700b8130323035353531323132",
       Lines({"SETUP, pd = 8, callref = 0x30", "Sending Complete",
              "Bearer Capability i = 0x8890, Unknown Bearer Capability",
              "Channel ID i = 0x83, BRI interface, Preferred channel any",
              "Calling Party Number i = '5551212' - Plan: ISDN, Type: Unknown",
              "Called Party Number i = '0205551212' - Plan: ISDN, Type: Unknown"})},
      {"basic-rate CONNECT", "0801b0072906630c0c0d2e024c0b2183323035353531323132",
       Lines({"CONNECT, pd = 8, callref = 0xB0", "Date/Time i = 0x630C0C0D2E02",
              "Connected Number i = '!', 0x83, '205551212'"})},
      {"H.225 RELEASE_COMP",
       "080280015a7e00220525c0060008914a00045808110024ab157276fa18109a58001321f0699002800100",
       Lines({"RELEASE_COMP, pd = 8, callref = 0x8001",
              "User-User i = "
              "0x0525C0060008914A00045808110024AB157276FA18109A58001321F0699002800100"})},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(Decode(c.hex), c.text) << c.name;
  }
  // Every captured message decodes into text that starts with its header line.
  const std::string captures = ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/real-q931.txt");
  std::size_t messages = 0;
  for (std::size_t start = 0; start < captures.size();) {
    std::size_t end = captures.find('\n', start);
    end = end == std::string::npos ? captures.size() : end;
    const std::string_view line = std::string_view(captures).substr(start, end - start);
    start = end + 1;
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
