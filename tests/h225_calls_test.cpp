#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "h225_calls_trace.h"
#include "q931/h225_body.h"
#include "test_files.h"
#include "trace_calls.h"

namespace sigrune {
namespace {

using namespace h225calls;

std::string RunCli(const std::vector<std::string_view>& arguments, int expected = kExitSuccess) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(RunCommandLine(arguments, stdin, out, err), expected);
  const std::string errors = ReadBack(err);
  EXPECT_TRUE(expected != kExitSuccess || errors.empty()) << errors;
  return ReadBack(out) + errors;
}

class H225CallsTest : public FolderTest {
 protected:
  std::string WriteTrace() { return Write("trace.txt", h225calls::ThreeCalls()); }
};

TEST_F(H225CallsTest, TheColumnsComeAfterTimingAndTheTableShowsThem) {
  const std::string trace = WriteTrace();
  const std::string csv = RunCli({"calls", trace, "--csv", "--h225-body", "--timing"});
  const std::string header = csv.substr(0, csv.find('\n'));
  EXPECT_TRUE(header.ends_with(",talk_time,call_identifier,media,release_reason")) << header;
  std::vector<std::string> ends;
  for (std::size_t at = csv.find('\n') + 1; at < csv.size(); at = csv.find('\n', at) + 1) {
    const std::string line = csv.substr(at, csv.find('\n', at) - at);
    std::size_t cut = line.size();
    for (int commas = 0; commas < 3; ++commas) {
      cut = line.rfind(',', cut - 1);
    }
    ends.push_back(line.substr(cut));
  }
  EXPECT_EQ(ends, (std::vector<std::string>{
                      ",22334455-6677-8899-aabb-ccddeeff1021,192.0.2.10:16384 g711Alaw64k,"
                      "undefinedReason",
                      ",33445566-7788-99aa-bbcc-ddeeff102132,198.51.100.7:5004 g729AnnexA,",
                      ",,,adaptiveBusy"}));
  const std::string table = RunCli({"calls", trace, "--h225-body"});
  EXPECT_NE(table.find("192.0.2.10:16384 g711Alaw64k  undefinedReason"), std::string::npos)
      << table;
  EXPECT_EQ(RunCli({"calls", trace, "--csv"}).find("media"), std::string::npos);
}

TEST_F(H225CallsTest, CallIdentifierAndCodecTermsKeepTheMessagesOfTheirCalls) {
  const std::string trace = WriteTrace();
  const struct {
    std::string_view expression;
    std::string_view calls;  // `calls --csv`'s first column, or the error
  } cases[] = {
      {"callid:2233", "1"},
      {"callid:22334455-66", "1"},
      {"callid:33-44-55-66-77-88-99-AA", "2"},
      {"callid:2233445566778899aabbccddeeff00110", ""},
      {"-callid:22", "2 3"},
      {"codec:G711ALAW64K", "1"},
      {"codec:g729annexa", "2"},
      {"codec:g729", ""},
      {"callid:xyz", "is not a call identifier"},
      {"callid:--", "is not a call identifier"},
  };
  for (const auto& [expression, calls] : cases) {
    const bool bad = calls.starts_with("is");
    const std::string output =
        RunCli({"calls", trace, "--csv", "--where", expression}, bad ? kExitUsage : kExitSuccess);
    std::string numbers;
    for (std::size_t at = output.find('\n') + 1; !bad && at < output.size();
         at = output.find('\n', at) + 1) {
      numbers += numbers.empty() ? "" : " ";
      numbers += output.substr(at, output.find(',', at) - at);
    }
    EXPECT_TRUE(bad ? output.find(calls) != std::string::npos : numbers == calls)
        << expression << ": " << output;
  }
}

TEST_F(H225CallsTest, TheLadderCarriesMediaAndReasonButTheTsvDoesNot) {
  const std::string trace = WriteTrace();
  const std::string ladder = RunCli({"flow", trace, "1", "2"});
  const std::pair<std::string_view, std::string_view> labels[] = {
      {" SETUP ", "  g711Alaw64k 192.0.2.10:16384\n"},
      {" CALL_PROC ", "  g729AnnexA 198.51.100.7:5004\n"},
      {" RELEASE_COMP ", "  reason undefinedReason\n"}};
  for (const auto& [name, note] : labels) {
    const std::size_t line = ladder.find(name);
    EXPECT_EQ(ladder.find(note, line), ladder.find('\n', line) + 1 - note.size()) << name << "\n"
                                                                                  << ladder;
  }
  const std::string tsv = RunCli({"flow", trace, "1", "--tsv"});
  EXPECT_EQ(tsv.find("g711"), std::string::npos) << tsv;
  EXPECT_EQ(tsv.find("reason"), std::string::npos) << tsv;
}

// The benchmark's H.225 bodies decode whole, each of the kind of its message, and vary as a
// real trace's do.
TEST_F(H225CallsTest, TheBenchmarkBodiesDecodeAndTsharkReadsThemWhole) {
  bench::Random random(7);
  bench::CallReferences references;
  std::set<std::string> codecs;
  std::set<int> bodies;
  std::set<std::size_t> offered;
  int reasons = 0;
  int withoutReason = 0;
  std::string trace;
  H225UserInformation information;
  for (std::uint32_t call = 0; call < 300; ++call) {
    const bench::CallLeg leg = bench::PlanCall(random, references, 4 + call % 2, call);
    for (const bench::PlannedMessage& message : leg.plan) {
      Octets whole{0x08, 0x02, 0x00, static_cast<std::uint8_t>(call + 1)};
      whole.insert(whole.end(), message.body.begin(), message.body.end());
      OctetView contents;
      std::int64_t first = 0;
      const PayloadBytes bytes(whole);
      ASSERT_TRUE(FindH225UserInformation(bytes, contents, first)) << message.name;
      DecodeH225UserInformation(contents, first, information);
      ASSERT_EQ(information.failure.reason, nullptr) << message.name;
      ASSERT_TRUE(information.hasCallIdentifier) << message.name;
      bodies.insert(information.body);
      for (const FastStartChannel& channel : information.fastStart) {
        codecs.insert(CodecName(channel));
      }
      if (message.body[0] == 0x05) {
        offered.insert(information.fastStart.size());
      }
      if (message.body[0] == 0x5a) {
        ++(information.releaseCompleteReason >= 0 ? reasons : withoutReason);
      }
      if (call < 60) {
        trace += Line(true, whole);
      }
    }
  }
  EXPECT_EQ(bodies, (std::set<int>{0, 1, 2, 3, 5, 6, 7}));
  EXPECT_GE(codecs.size(), 6u);
  EXPECT_EQ(offered, (std::set<std::size_t>{0, 1, 3, 4, 6}));  // a receiving channel counts 2
  EXPECT_GT(reasons, 10);
  EXPECT_GT(withoutReason, 10);

  if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "tshark is not installed (scripts/install-deps.sh installs it)";
  }
  const std::string path = Write("trace.txt", trace);
  const std::string capture = Path("trace.pcap");
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const std::string_view arguments[] = {"pcap", path, "-o", capture};
  ASSERT_EQ(RunCommandLine(arguments, stdin, out, err), kExitSuccess);
  std::fclose(out);
  std::fclose(err);
  const std::string command = "tshark -r '" + capture + "' -Y _ws.malformed 2>/dev/null";
  std::FILE* output = ::popen(command.c_str(), "r");
  std::string malformed;
  char piece[4096];
  for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, output)) > 0;) {
    malformed.append(piece, got);
  }
  EXPECT_EQ(::pclose(output), 0);
  EXPECT_EQ(malformed, "");
}

}  // namespace
}  // namespace sigrune
