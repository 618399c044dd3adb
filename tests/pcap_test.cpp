#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "q931/pcap_packets.h"
#include "test_files.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

using Octets = std::vector<std::uint8_t>;

Octets OctetsOf(std::string_view text) {
  return Octets(text.begin(), text.end());
}

TEST(PacketTags, NameTheDissectorAndTheWayTheMessageTravelled) {
  const std::pair<PacketFacts, Octets> cases[] = {
      {{Protocol::Pri, true, {192, 168, 1, 5}, {}},
       OctetsOf(std::string("\0\x0c\0\x04q931"
                            "\0\x14\0\x04\xc0\xa8\x01\x05"
                            "\0\x15\0\x04\0\0\0\0"
                            "\0\x23\0\x04\0\0\0\x01"
                            "\0\0\0\0",
                            36))},
      {{Protocol::H225, false, {172, 16, 0, 12}, {10, 9, 8, 7}},
       OctetsOf(std::string("\0\x0c\0\x0cq931.over_ip"
                            "\0\x14\0\x04\x0a\x09\x08\x07"
                            "\0\x15\0\x04\xac\x10\x00\x0c"
                            "\0\x18\0\x04\0\0\0\x02"
                            "\0\x19\0\x04\0\0\x06\xb8"
                            "\0\x1a\0\x04\0\0\x06\xb8"
                            "\0\x23\0\x04\0\0\0\0"
                            "\0\0\0\0",
                            68))},
  };
  for (const auto& [facts, tags] : cases) {
    Octets packet;
    AppendPacketTags(packet, facts);
    EXPECT_EQ(packet, tags);
    EXPECT_EQ(PacketTagsSize(facts.protocol), tags.size());
  }
}

TEST(ParseIpv4Address, TakesFourDecimalNumbersUpTo255) {
  EXPECT_EQ(ParseIpv4Address("10.0.30.255"), (Ipv4Address{10, 0, 30, 255}));
  for (const std::string_view text : {"", "10.0.30", "10.0.30.256", "10.0.30.1.", "10..30.1",
                                      " 10.0.30.1", "+10.0.30.1", "10.0.30.0001", "10.0.30.1x"}) {
    EXPECT_EQ(ParseIpv4Address(text), std::nullopt) << text;
  }
}

bool HaveTshark() {
  return std::system("command -v tshark >/dev/null 2>&1") == 0;
}

std::string Tshark(const std::string& capture, std::string_view options) {
  const std::string command =
      "tshark -r '" + capture + "' " + std::string(options) + " 2>/dev/null";
  std::FILE* output = ::popen(command.c_str(), "r");
  std::string text;
  char piece[4096];
  for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, output)) > 0;) {
    text.append(piece, got);
  }
  ::pclose(output);
  return text;
}

std::string EpochText(MessageTime time) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64 ".%09" PRId64, time / 1'000'000'000,
                time % 1'000'000'000);
  return text;
}

std::string Pcap(const std::vector<std::string_view>& arguments) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(RunCommandLine(arguments, stdin, out, err), kExitSuccess);
  std::fclose(out);
  return ReadBack(err);
}

// A capture's packets as this project writes them: each packet's time and the values of its tags,
// read without tshark.
struct Packet {
  std::uint32_t seconds = 0;
  std::uint32_t nanoseconds = 0;
  std::vector<std::pair<int, std::string>> tags;
};

std::uint32_t LittleEndian(std::string_view octets) {
  std::uint32_t value = 0;
  for (std::size_t k = octets.size(); k-- > 0;) {
    value = value << 8 | static_cast<std::uint8_t>(octets[k]);
  }
  return value;
}

std::vector<Packet> PacketsOf(const std::string& capture) {
  std::vector<Packet> packets;
  for (std::size_t at = 24; at + 16 <= capture.size();) {
    Packet packet{LittleEndian(capture.substr(at, 4)), LittleEndian(capture.substr(at + 4, 4)), {}};
    const std::size_t length = LittleEndian(capture.substr(at + 8, 4));
    const std::string data = capture.substr(at + 16, length);
    for (std::size_t tag = 0; tag + 4 <= data.size();) {
      const int number =
          static_cast<std::uint8_t>(data[tag]) << 8 | static_cast<std::uint8_t>(data[tag + 1]);
      const std::size_t size =
          static_cast<std::uint8_t>(data[tag + 2]) << 8 | static_cast<std::uint8_t>(data[tag + 3]);
      if (number == 0) {
        break;
      }
      packet.tags.emplace_back(number, data.substr(tag + 4, size));
      tag += 4 + size;
    }
    packets.push_back(std::move(packet));
    at += 16 + length;
  }
  return packets;
}

using PcapFileTest = FolderTest;

// Every packet of a whole trace says which way its message went, as the trace's header line said:
// 1 for what the server received, 0 for what it sent.
TEST_F(PcapFileTest, EachPacketsDirectionIsItsMessagesDirection) {
  const std::string trace = SourceFile("examples/plain-trace.txt");
  const std::string capture = Path("plain.pcap");
  Pcap({"pcap", trace, "-o", capture});
  const MessageStore store = LoadTraceFile(trace).store;
  std::string expected;
  for (std::size_t index = 0; index < store.MessageCount(); ++index) {
    expected += store.msgIsIncoming[index] ? "1" : "0";
  }
  std::string directions;
  for (const Packet& packet : PacketsOf(ReadFile(capture))) {
    for (const auto& [tag, value] : packet.tags) {
      if (tag == 35) {  // four octets, big-endian
        directions += value == std::string("\0\0\0\1", 4)   ? "1"
                      : value == std::string("\0\0\0\0", 4) ? "0"
                                                            : "?";
      }
    }
  }
  EXPECT_EQ(directions, expected);
  EXPECT_NE(expected.find('0'), std::string::npos);
  EXPECT_NE(expected.find('1'), std::string::npos);
}

// A trace's clock ahead of UTC (east of Greenwich) gives earlier packet times, one behind it later.
TEST_F(PcapFileTest, TheUtcOffsetIsTakenOffTheTraceTimes) {
  const std::string trace =
      Write("trace.txt", "01/15/2004 10:00:00.250 CCP|IsdnMsgData1= 08 02 00 01 05\n");
  constexpr std::uint32_t kTenUtc = 1074160800;  // 2004-01-15 10:00:00 UTC
  const std::pair<std::vector<std::string_view>, std::uint32_t> cases[] = {
      {{}, kTenUtc},
      {{"--utc-offset", "+00:00"}, kTenUtc},
      {{"--utc-offset", "+02:00"}, kTenUtc - 2 * 3600},
      {{"--utc-offset", "-05:30"}, kTenUtc + 5 * 3600 + 30 * 60},
      {{"--utc-offset", "-00:01"}, kTenUtc + 60},
  };
  for (const auto& [offset, seconds] : cases) {
    const std::string capture = Path("timed.pcap");
    std::vector<std::string_view> arguments{"pcap", trace, "-o", capture};
    arguments.insert(arguments.end(), offset.begin(), offset.end());
    Pcap(arguments);
    const std::vector<Packet> packets = PacketsOf(ReadFile(capture));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].seconds, seconds) << (offset.empty() ? "UTC" : offset[1]);
    EXPECT_EQ(packets[0].nanoseconds, 250'000'000u);
  }
}

class PcapTest : public FolderTest {
 protected:
  void SetUp() override {
    if (!HaveTshark()) {
      GTEST_SKIP() << "tshark is not installed (scripts/install-deps.sh installs it)";
    }
  }
  const std::string capture_ = Path("out.pcap");
};

// tshark shows the call reference with its flag apart, and a time without one is the packet's
// before.
TEST_F(PcapTest, TsharkReadsEveryMessageAsSigruneDecodesIt) {
  for (const std::string name : {"wireshark-trace.txt", "wireshark-trace.xml"}) {
    const std::string trace = SourceFile("tests/data/" + name);
    Pcap({"pcap", trace, "-o", capture_});
    const MessageStore store = LoadTraceFile(trace).store;
    std::string expected;
    std::size_t frame = 0;
    MessageTime time = 0;
    for (std::size_t index = 0; index < store.MessageCount(); ++index) {
      const MessageColumns& columns = store.msgColumns[index];
      if (!columns.headerReadable) {
        continue;  // the message without octets
      }
      if (store.msgTimes[index] != kNoTime) {
        time = store.msgTimes[index];
      }
      std::ostringstream row;
      row << ++frame << '\t' << EpochText(time) << '\t' << std::hex << std::setfill('0')
          << std::setw(2 * columns.callReferenceLength) << columns.callReferenceValue << '\t'
          << columns.callReferenceFlag << "\t0x" << std::setw(2) << int{columns.messageType}
          << '\n';
      expected += row.str();
    }
    EXPECT_EQ(Tshark(capture_,
                     "-T fields -e frame.number -e frame.time_epoch -e q931.call_ref "
                     "-e q931.call_ref_flag -e q931.message_type"),
              expected)
        << name;
    EXPECT_EQ(Tshark(capture_, "-V").find("Malformed"), std::string::npos) << name;

    // The snapshot length is the longest packet's.
    std::size_t longest = 0;
    std::istringstream lengths(Tshark(capture_, "-T fields -e frame.len"));
    for (std::size_t length = 0; lengths >> length;) {
      longest = std::max(longest, length);
    }
    const std::string header = ReadFile(capture_).substr(16, 4);
    EXPECT_EQ(header, std::string({static_cast<char>(longest), static_cast<char>(longest >> 8),
                                   static_cast<char>(longest >> 16), '\0'}))
        << name;
  }
}

TEST_F(PcapTest, TheServerAddressAndTheTraceZoneAreTheOptionsGive) {
  Pcap({"pcap", SourceFile("tests/data/wireshark-trace.txt"), "-o", capture_, "--server-address",
        "10.9.8.7", "--utc-offset", "-05:00"});
  const std::string rows = Tshark(capture_, "-T fields -e frame.time_epoch -e ip.src -e ip.dst");
  EXPECT_EQ(rows.substr(0, rows.find('\n', rows.find('\n') + 1) + 1),
            "1614711910.251000000\t172.16.0.12\t10.9.8.7\n"
            "1614711910.262000000\t10.9.8.7\t172.16.0.12\n");
}

}  // namespace
}  // namespace sigrune
