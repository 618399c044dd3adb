#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "calls/call_concurrency.h"
#include "calls/call_kpis.h"
#include "trace/trace_reader.h"

namespace sigrune {
namespace {

// A message as the server logs it: `time` on 01/15/2004 unless it names its day; the gateway's
// address as the log writes it (0500000a for 10.0.0.5); the call reference of two octets, its flag
// set on the server's side of a call the gateway placed.
std::string Message(std::string_view time, bool fromGateway, std::string_view gateway, int crv,
                    std::string_view octets) {
  const std::string stamp =
      (time.size() > 12 ? std::string(time) : "01/15/2004 " + std::string(time)) + " CCP|";
  char header[24];
  std::snprintf(header, sizeof header, "08 02 %02x %02x ", (crv >> 8) | (fromGateway ? 0 : 0x80),
                crv & 0xFF);
  return stamp + (fromGateway ? "In " : "Out") + " Message -- PriMsg\n" + stamp +
         "MMan_Id= 1. (IpAddr=" + std::string(gateway) + " IpPort=2427)\n" + stamp +
         "IsdnMsgData1= " + header + std::string(octets) + "\n";
}

std::string Joined(const auto& cells) {
  std::string line;
  for (std::size_t k = 0; k < std::size(cells); ++k) {
    if (k > 0) {
      line += ',';
    }
    line += cells[k];
  }
  return line;
}

std::vector<std::string> KpiLines(const std::string& trace, KpiGrouping grouping) {
  const MessageStore store = ReadTraceText(trace);
  const CallTable calls = GroupCalls(store);
  std::vector<std::string> lines;
  for (const KpiRow& row : CountKpis(store, calls, std::nullopt, grouping)) {
    lines.push_back(Joined(KpiCells(store, calls, row)));
  }
  return lines;
}

constexpr std::string_view kSetup = "05", kAlerting = "01", kProgress = "03", kConnect = "07",
                           kReleaseComplete = "5a";

TEST(CountKpis, RanksCountFromOneAndRoundUp) {
  // Gateways of 1, 2, 20 and 21 calls; the k-th call's post-dial delay is k tenths of a second.
  std::string trace;
  const char* const gateways[] = {"0100000a", "0200000a", "0300000a", "0400000a"};
  const int counts[] = {1, 2, 20, 21};
  for (int g = 0; g < 4; ++g) {
    for (int k = 1; k <= counts[g]; ++k) {
      char setup[32], alerting[32];
      std::snprintf(setup, sizeof setup, "10:%02d:00.000", k);
      std::snprintf(alerting, sizeof alerting, "10:%02d:%02d.%03d", k, k / 10, k % 10 * 100);
      trace += Message(setup, true, gateways[g], k, kSetup) +
               Message(alerting, false, gateways[g], k, kAlerting);
    }
  }
  const std::vector<std::string> lines = KpiLines(trace, KpiGrouping::Gateway);
  ASSERT_EQ(lines.size(), 5u);
  // pdd_median, pdd_p95: ranks ceil(n/2) and ceil(95n/100).
  const std::string expected[] = {"0.100,0.100", "0.100,0.200", "1.000,1.900", "1.100,2.000"};
  for (std::size_t g = 0; g < 4; ++g) {
    EXPECT_NE(lines[g].find(",," + expected[g] + ",,1,"), std::string::npos) << lines[g];
  }
}

TEST(CountKpis, TimesAndThePeakFollowTheirRules) {
  const std::string e = "0500000a", f = "0600000a";
  const auto call = [](std::string_view gateway, int crv, std::string_view start,
                       std::string_view end) {
    return Message(start, true, gateway, crv, kSetup) +
           Message(end, false, gateway, crv, std::string(kReleaseComplete) + " 08 02 80 90");
  };
  const std::string trace =
      // PROGRESS before ALERTING ends the post-dial delay; talk from the first CONNECT.
      Message("10:00:00.000", true, e, 1, kSetup) +
      Message("10:00:00.400", false, e, 1, kProgress) +
      Message("10:00:01.000", false, e, 1, kAlerting) +
      Message("10:00:02.000", false, e, 1, kConnect) +
      Message("10:00:02.500", true, e, 1, kConnect) +
      Message("10:01:02.000", true, e, 1, kReleaseComplete) +
      // Answered without ALERTING; its last message has no time: no talk time.
      Message("10:00:10.000", true, e, 2, kSetup) + Message("10:00:13.000", false, e, 2, kConnect) +
      Message("Jan 15 10:01:00", true, e, 2, kReleaseComplete) +
      // b starts as a ends, d with b: three at 10:10:10, the first instant of the peak; three
      // again at 10:11:10.
      call(f, 1, "10:10:00.000", "10:10:10.000") + call(f, 2, "10:10:10.000", "10:10:20.000") +
      call(f, 3, "10:10:10.000", "10:10:12.000") + call(f, 4, "10:10:20.000", "10:10:30.000") +
      call(f, 5, "10:11:00.000", "10:11:10.000") + call(f, 6, "10:11:05.000", "10:11:10.000") +
      call(f, 7, "10:11:10.000", "10:11:11.000");
  const MessageStore store = ReadTraceText(trace);
  const CallTable calls = GroupCalls(store);
  EXPECT_EQ(Joined(CallTimingCells(store, calls.Record(CallNumber{1}))), ",0.400,60.000");
  EXPECT_EQ(Joined(CallTimingCells(store, calls.Record(CallNumber{2}))), ",3.000,");
  EXPECT_EQ(KpiLines(trace, KpiGrouping::Gateway),
            (std::vector<std::string>{
                "10.0.0.5,PRI,2,2,0,0,0,0,0,0,100.0,100.0,60.000,0.400,3.000,2.000,1,"
                "01/15/2004 10:00:00.000",
                "10.0.0.6,PRI,7,0,0,0,0,7,0,0,0.0,0.0,,,,,3,01/15/2004 10:10:10.000",
                "all,,9,2,0,0,0,7,0,0,22.2,22.2,60.000,0.400,3.000,2.000,3,01/15/2004 "
                "10:10:10.000"}));
}

TEST(CountChannels, SuspectsNeedFiveFailuresAtThreeTimesTheGatewaysShare) {
  std::string trace;
  int crv = 0;
  const auto call = [&](std::string_view gateway, int channel, bool failed, int cause) {
    char setup[32], clearing[32];
    std::snprintf(setup, sizeof setup, "05 18 03 a9 83 %02x", 0x80 | channel);
    std::snprintf(clearing, sizeof clearing, "5a 08 02 82 %02x", 0x80 | cause);
    ++crv;
    trace += Message("10:00:00.000", true, gateway, crv, setup) +
             Message("10:00:01.000", false, gateway, crv, failed ? clearing : "07");
  };
  const std::string g = "0700000a", h = "0800000a";
  for (int k = 0; k < 5; ++k) {
    call(g, 1, true, 34);  // 5 of 27 calls, all failed: 5 x 27 = 3 x 9 x 5
  }
  for (const int cause : {41, 34, 41, 34}) {
    call(g, 2, true, cause);  // 4 failures only; a tie goes to the lower cause
  }
  for (int k = 0; k < 18; ++k) {
    call(g, 3, false, 0);
  }
  for (int k = 0; k < 5; ++k) {
    call(h, 1, true, 34);  // half of 10 calls failed, 2.9 times the gateway's 5 of 29
    call(h, 1, false, 0);
  }
  for (int k = 0; k < 19; ++k) {
    call(h, 2, false, 0);
  }
  trace += Message("10:00:00.000", true, g, 999, "05 18 01 89");  // basic rate: no channel
  const MessageStore store = ReadTraceText(trace);
  const CallTable calls = GroupCalls(store);
  std::vector<std::string> lines;
  for (const ChannelRow& row : CountChannels(store, calls, std::nullopt)) {
    lines.push_back(Joined(ChannelCells(store, row)));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "10.0.0.7,1,5,0,5,0,100.0,34,yes", "10.0.0.7,2,4,0,4,0,100.0,34,",
                       "10.0.0.7,3,18,18,0,0,0.0,,", "10.0.0.8,1,10,5,5,0,50.0,34,",
                       "10.0.0.8,2,19,19,0,0,0.0,,"}));
}

// For each bar, the most calls at one instant within it, each from its first to its last message
// time, both included; calls that began in an earlier bar count at the bar's first instant.
TEST(CountConcurrency, EachBarHoldsTheMostCallsAtOneInstantWithinIt) {
  const auto call = [](std::string_view gateway, int crv, std::string_view start,
                       std::string_view end) {
    return Message(start, true, gateway, crv, kSetup) +
           Message(end, false, gateway, crv, kReleaseComplete);
  };
  const std::string e = "0500000a", f = "0600000a";
  const std::string trace =
      call(e, 1, "10:00:10", "10:02:30") + call(e, 2, "10:01:00", "10:01:00") +
      call(e, 3, "10:02:30", "10:03:00") +  // begins as 1 ends: both in progress
      call(e, 4, "10:05:00", "10:04:00") +  // ends before it begins: left out
      call(f, 1, "10:00:00", "10:00:59.999");
  const MessageStore store = ReadTraceText(trace);
  const CallTable calls = GroupCalls(store);
  const std::tuple<std::int64_t, std::int64_t, std::vector<std::string>> cases[] = {
      {1440,
       1,
       {"10.0.0.5 PRI: 1 2 2 1, peak 2 in bar 1", "10.0.0.6 PRI: 1 0 0 0, peak 1 in bar 0"}},
      {2, 10, {"10.0.0.5 PRI: 2, peak 2 in bar 0", "10.0.0.6 PRI: 1, peak 1 in bar 0"}},
  };
  for (const auto& [mostBars, barMinutes, expected] : cases) {
    const Concurrency concurrency = CountConcurrency(store, calls, std::nullopt, mostBars);
    EXPECT_EQ(concurrency.barMinutes, barMinutes);
    EXPECT_EQ(MinuteText(concurrency.firstMinute), "2004-01-15 10:00");
    EXPECT_EQ(concurrency.untimed, 1u);
    std::vector<std::string> lines;
    for (const ConcurrencySeries& series : concurrency.series) {
      std::string line = store.gatewayIpTexts[series.gatewayIpIndex];
      line.append(" ").append(ProtocolText(series.protocol)).append(":");
      for (const std::uint32_t peak : series.peaks) {
        line.append(" ").append(std::to_string(peak));
      }
      line.append(", peak ").append(std::to_string(series.peak));
      lines.push_back(line.append(" in bar ").append(std::to_string(series.peakBar)));
    }
    EXPECT_EQ(lines, expected) << mostBars;
  }
  const std::vector<CallNumber> none;
  EXPECT_TRUE(CountConcurrency(store, calls, none).series.empty());
}

}  // namespace
}  // namespace sigrune
