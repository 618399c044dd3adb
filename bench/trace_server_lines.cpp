// Server lines of many kinds and lengths, weighted roughly as a busy server writes them.

#include "trace_server_lines.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace bench {

namespace {

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char buffer[2048];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  return std::string(buffer, length < 0 ? 0 : std::min<std::size_t>(length, sizeof buffer - 1));
}

constexpr const char* kPartitions[] = {"Internal", "PT_Local", "PT_LongDistance", "PT_Intl",
                                       "Lobby"};
constexpr const char* kSearchSpaces[] = {"CSS_Default", "CSS_Internal", "CSS_Unrestricted",
                                         "CSS_LobbyOnly"};
constexpr const char* kCodecs[] = {"G.711 ulaw", "G.711 alaw", "G.729a", "G.729ab", "G.722"};
constexpr const char* kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday"};
constexpr const char* kStates[] = {"Idle",      "CallInit",  "Offering", "Alerting",
                                   "Connected", "Releasing", "Hold"};
constexpr const char* kSignals[] = {
    "CcSetupReq",   "CcSetupInd",      "CcAlertReq",   "CcConnectInd", "CcDisconnectReq",
    "CcRelCompInd", "MediaConnectReq", "MxpCreateReq", "DaReq",        "StationOutputDisplayText"};
constexpr const char* kProcesses[] = {"Cc", "Cdcc", "Pri", "H225D", "StationD", "MediaManager"};
constexpr const char* kTables[] = {"device", "numplan", "routelist", "callingsearchspace",
                                   "enduser"};
constexpr unsigned kTimers[] = {301, 303, 305, 308, 309, 310, 313, 316};

std::string Pattern(std::string_view digits) {
  std::string pattern(digits.substr(0, 1));
  pattern.append(digits.size() > 1 ? digits.size() - 1 : 0, 'X');
  return pattern;
}

std::string Hex(Random& random, std::size_t octets) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(octets * 3);
  for (std::size_t k = 0; k < octets; ++k) {
    const auto octet = random.Below(256);
    text += kDigits[octet >> 4];
    text += kDigits[octet & 15];
    text += ' ';
  }
  return text;
}

}  // namespace

std::string ServerLine(Random& random, const LineContext& context) {
  const unsigned id = context.callId;
  // RESTART and SERVICE have no numbers; the server is busy with other calls meanwhile.
  const std::string called = context.called.empty() ? std::to_string(random.Between(2000, 2999))
                                                    : std::string(context.called);
  const std::string calling = context.calling.empty() ? std::to_string(random.Between(3000, 3999))
                                                      : std::string(context.calling);
  switch (random.Below(20)) {
    case 0:
    case 1:
      return Format(
          "CCP|Digit analysis: match(fqcn=\"%s\", cn=\"%s\", pss=\"%s:%s\", "
          "TimeOfDay=\"%s,%02u:%02u\")",
          calling.c_str(), called.c_str(), random.Pick(kPartitions), random.Pick(kPartitions),
          random.Pick(kDays), static_cast<unsigned>(random.Below(24)),
          static_cast<unsigned>(random.Below(60)));
    case 2:
      return Format(
          "CCP|Digit Analysis: analysis results |CallingPartyNumber=%s |DialingPartition=%s "
          "|DialingPattern=%s |FullyQualifiedCalledPartyNumber=%s "
          "|DialingPatternRegularExpression=(%s) "
          "|PotentialMatches=NoPotentialMatchesExist |DialingSdlProcessId=(0,0,0) "
          "|PretransformDigitString=%s |PretransformTagsList=SUBSCRIBER |CollectedDigits=%s "
          "|UnconsumedDigits= |VoiceMailbox= |VoiceMailCallingSearchSpace=%s "
          "|RouteBlockFlag=RouteThisPattern",
          calling.c_str(), random.Pick(kPartitions), Pattern(called).c_str(), called.c_str(),
          Pattern(called).c_str(), called.c_str(), called.c_str(), random.Pick(kSearchSpaces));
    case 3:
    case 4:
      return Format(
          "CCP|MediaManager(%u)::waitForCallback - CI=%u, codec=%s, ptime=%u ms, "
          "remote=10.%u.%u.%u:%u, mtp=%s",
          static_cast<unsigned>(random.Between(1, 9)), id, random.Pick(kCodecs),
          random.PerMille(800) ? 20u : 30u, static_cast<unsigned>(random.Below(256)),
          static_cast<unsigned>(random.Below(256)), static_cast<unsigned>(random.Between(1, 254)),
          static_cast<unsigned>(16384 + 2 * random.Below(8000)),
          random.PerMille(900) ? "none" : "MTP_2");
    case 5:
      return Format("CCP|Gateway keepalive from 192.168.%u.%u ok (rtt=%u ms)",
                    static_cast<unsigned>(random.Below(4)),
                    static_cast<unsigned>(random.Between(1, 254)),
                    static_cast<unsigned>(random.Between(1, 40)));
    case 6:
      return Format(
          "CCP|StationInit: TCPHandle=0x%08x DeviceName=SEP%012llX Load=SCCP41.%u-%u-%uS "
          "Protocol=%u registered, %u endpoints",
          static_cast<unsigned>(random.Next()),
          static_cast<unsigned long long>(random.Next() & 0xffffffffffffULL),
          static_cast<unsigned>(random.Between(7, 9)), static_cast<unsigned>(random.Between(1, 4)),
          static_cast<unsigned>(random.Between(1, 9)),
          static_cast<unsigned>(random.Between(15, 20)),
          static_cast<unsigned>(random.Between(900, 1500)));
    case 7:
    case 8: {
      constexpr const char* kActions[] = {"started", "stopped", "stopped", "expired"};
      return Format("CCP|Timer T%u %s for CI=%u (%u ms)", random.Pick(kTimers),
                    random.Pick(kActions), id, static_cast<unsigned>(random.Between(4, 30) * 1000));
    }
    case 9:
    case 10:
    case 11:
      return Format(
          "CCP|SdlSig |%s |%s |%s(1,100,%u,1) |%s(1,100,%u,%u) |1,100,%u.%u^*^* "
          "|[R:N-H:0,N:%u,L:0,V:0,Z:0,D:0] CI=%u",
          random.Pick(kSignals), random.Pick(kStates), random.Pick(kProcesses),
          static_cast<unsigned>(random.Between(20, 250)), random.Pick(kProcesses),
          static_cast<unsigned>(random.Between(20, 250)),
          static_cast<unsigned>(random.Between(1, 99)),
          static_cast<unsigned>(random.Between(10, 99)), id % 100000,
          static_cast<unsigned>(random.Below(12)), id);
    case 12: {
      constexpr const char* kEvents[] = {"multiple frame established", "RR poll, F=1",
                                         "T203 expiry, RR sent", "RNR cleared"};
      return Format("CCP|ISDN L2 dsl=%u: %s", context.dsl, random.Pick(kEvents));
    }
    case 13:
      return Format(
          "CCP|DbMonitor: change notification table=%s action=%s pkid=%08x-%04x-%04x-%04x-%012llx",
          random.Pick(kTables), random.PerMille(700) ? "update" : "insert",
          static_cast<unsigned>(random.Next()), static_cast<unsigned>(random.Below(65536)),
          static_cast<unsigned>(random.Below(65536)), static_cast<unsigned>(random.Below(65536)),
          static_cast<unsigned long long>(random.Next() & 0xffffffffffffULL));
    case 14:
      return random.PerMille(500)
                 ? std::string("CCP|.")
                 : Format("CCP|Heartbeat %u", static_cast<unsigned>(random.Below(100000)));
    case 15:
      switch (random.Below(4)) {
        case 0:
          return Format("CCP|In Message queue depth=%u high-water=%u",
                        static_cast<unsigned>(random.Below(8)),
                        static_cast<unsigned>(random.Between(8, 64)));
        case 1:
          return Format("CCP|MMan: %u media resources free",
                        static_cast<unsigned>(random.Below(48)));
        case 2:
          return Format("CCP|IsdnMsg queue length=%u", static_cast<unsigned>(random.Below(5)));
        default:
          return Format("CCP|Out Message -> %s to dsl %u", random.Pick(kSignals), context.dsl);
      }
    case 16:
      return Format("CCP|CallControl: CI=%u state %s -> %s", id, random.Pick(kStates),
                    random.Pick(kStates));
    case 17:
      return Format("CCP|Translation: called %s -> %s (mask %s, prefix 9)", called.c_str(),
                    called.substr(called.size() > 4 ? called.size() - 4 : 0).c_str(),
                    Pattern(called).c_str());
    case 18:
      return Format(
          "CCP|SIP: To: <sip:%s@10.10.1.1>;tag=%x, From: \"%s\" <sip:%s@10.10.1.2> & more",
          called.c_str(), static_cast<unsigned>(random.Next()), calling.c_str(), calling.c_str());
    default:
      if (random.PerMille(500)) {
        return Format("CCP|StatusMonitor: cpu=%u%% mem=%u kB active calls=%u threads=%u",
                      static_cast<unsigned>(random.Below(100)),
                      static_cast<unsigned>(random.Between(200000, 900000)),
                      static_cast<unsigned>(random.Below(13)),
                      static_cast<unsigned>(random.Between(40, 90)));
      }
      // Now and then a capability dump of hundreds of octets.
      return "CCP|H245 TerminalCapabilitySet: " + Hex(random, random.Between(60, 500));
  }
}

}  // namespace bench
