// Writes a large synthetic plain trace: whole calls (SETUP to RELEASE_COMP) on several PRI
// gateways and H.225 peers, with ordinary server lines between the message lines.
// Usage: make_trace MESSAGES FILE

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct MessageTemplate {
  const char* header;  // header line text after the marker
  bool fromGateway;    // incoming for the server
  const char* octets;  // after protocol discriminator and call reference
};

// One call's messages; "%" marks where the call reference goes.
const std::vector<MessageTemplate> kPriCall = {
    {"PriSetupMsg -- Protocol= PriNi2Protocol", true,
     "05 04 03 80 90 a2 18 03 a9 83 97 6c 0c 21 80 32 31 34 35 35 35 30 31 30 30 70 05 c1 31 30 "
     "30 31"},
    {"PriCallProceedingMsg -- Protocol= PriNi2Protocol", false, "02 18 03 a9 83 97"},
    {"PriAlertingMsg -- Protocol= PriNi2Protocol", false, "01 1e 02 81 88"},
    {"PriConnectMsg -- Protocol= PriNi2Protocol", false, "07"},
    {"PriDisconnectMsg -- Protocol= PriNi2Protocol", true, "45 08 02 80 90"},
    {"PriReleaseMsg -- Protocol= PriNi2Protocol", false, "4d"},
    {"PriReleaseCompleteMsg -- Protocol= PriNi2Protocol", true, "5a"},
};

const std::vector<MessageTemplate> kH225Call = {
    {"H225SetupMsg -- Protocol= H225Protocol", false,
     "05 04 03 88 90 a5 28 05 41 6c 69 63 65 6c 06 01 81 31 30 30 31 70 0b 81 39 31 34 35 35 35 "
     "30 31 39 39 7e 00 08 05 20 80 06 00 08 91 4a"},
    {"H225CallProceedingMsg -- Protocol= H225Protocol", true, "02 7e 00 05 05 21 80 06 00"},
    {"H225AlertingMsg -- Protocol= H225Protocol", true, "01 1e 02 80 88 7e 00 05 05 23 80 06 00"},
    {"H225ConnectMsg -- Protocol= H225Protocol", true, "07 7e 00 05 05 22 80 06 00"},
    {"H225ReleaseCompleteMsg -- Protocol= H225Protocol", false,
     "5a 08 02 80 90 7e 00 05 05 25 80 06 00"},
};

const char* const kOtherLines[] = {
    "CCP|Digit analysis: match=\"1001\" pattern=1XXX partition=Internal css=Default",
    "CCP|Media: open logical channel G.711 ulaw 20 ms to 172.16.20.33:18450 (mtp=none)",
    "CCP|Gateway keepalive ok, rtt=3 ms, outstanding=0, registered endpoints=1442",
    "CCP|StationInit: device registration accepted, load=SCCP41.8-3-1S, protocol=17",
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_trace MESSAGES FILE\n");
    return 2;
  }
  const std::uint64_t messages = std::strtoull(argv[1], nullptr, 10);
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  std::vector<char> buffer(1 << 20);
  std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

  std::uint64_t written = 0;
  std::uint64_t millisecond = 0;
  for (std::uint64_t call = 0; written < messages; ++call) {
    const bool h225 = call % 4 == 3;
    const auto& messagesOfCall = h225 ? kH225Call : kPriCall;
    const unsigned gateway = static_cast<unsigned>(call % (h225 ? 5 : 12));
    const unsigned callReference = static_cast<unsigned>(call % 0x7fff);
    for (const MessageTemplate& message : messagesOfCall) {
      if (written == messages) {
        break;
      }
      ++written;
      millisecond += 7;
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "01/15/2004 %02u:%02u:%02u.%03u",
                    static_cast<unsigned>(millisecond / 3600000 % 24),
                    static_cast<unsigned>(millisecond / 60000 % 60),
                    static_cast<unsigned>(millisecond / 1000 % 60),
                    static_cast<unsigned>(millisecond % 1000));
      std::fprintf(file, "%s %s\n", stamp, kOtherLines[written % 4]);
      std::fprintf(file, "%s CCP|%s Message -- %s\n", stamp, message.fromGateway ? "In " : "Out",
                   message.header);
      std::fprintf(file,
                   "%s CCP|MMan_Id= %u. (iep= 0 dsl= %u sapi= 0 ces= 0 IpAddr=%02x%02x%02xc0 "
                   "IpPort=%u)\n",
                   stamp, gateway, gateway, 10 + gateway, 1 + gateway % 3, h225 ? 0x10 : 0xa8,
                   h225 ? 1720 : 2427);
      // PRI calls come from the gateway, H.225 calls from the server; the answering side sets
      // the call reference flag.
      const bool fromOriginator = message.fromGateway != h225;
      const unsigned reference = callReference | (fromOriginator ? 0 : 0x8000);
      std::fprintf(file, "%s CCP|IsdnMsgData%u= 08 02 %02x %02x %s  |<CLID::mrv-ccp-01><GW::%u>\n",
                   stamp, message.fromGateway ? 2u : 1u, reference >> 8, reference & 0xff,
                   message.octets, gateway);
      std::fprintf(file, "%s %s\n", stamp, kOtherLines[(written + 1) % 4]);
      if (written % 2 == 0) {
        std::fprintf(file, "%s %s\n", stamp, kOtherLines[(written / 2) % 4]);
      }
    }
  }
  if (std::fclose(file) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
