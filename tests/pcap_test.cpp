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
    for (std::size_t index = 0; index < store.msgCount; ++index) {
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
