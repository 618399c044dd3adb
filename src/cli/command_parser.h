#pragma once

// What the command line asks sigrune-cli to do, as ParseCommandLine reads it: a command and the
// values it was given, checked for form (counts, numbers); what they mean is for the command.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "calls/call_kpis.h"
#include "calls/call_table.h"
#include "q931/pcap_packets.h"
#include "trace/message_number.h"

namespace sigrune {

struct UsageRequest {};    // --help
struct VersionRequest {};  // --version

// The trace files of a command are read as one trace; "-" (standard input) is read alone.
using TraceFiles = std::vector<std::string>;

struct ListArguments {
  TraceFiles traces;
  std::optional<std::string> call;  // at most one of the five filters
  std::optional<std::string> gateway;
  bool pri = false;
  bool h225 = false;
  CallNumber inCall;    // 0: none
  bool follow = false;  // then the lines of the messages appended to the last file, as they come
  // Expressions besides the filter, all of which must hold; in the locale's encoding.
  std::vector<std::string> where;
};

struct DecodeArguments {
  std::vector<std::string> hexTexts;  // none: standard input's lines
  bool crlf = false;
};

struct ShowArguments {
  TraceFiles traces;
  std::vector<MessageNumber> numbers;  // at least one, none of them 0, unless inCall
  bool crlf = false;
  CallNumber inCall;      // 0: none
  bool h225Body = false;  // the H.225 user information section after the dump
};

struct H225Arguments {
  TraceFiles traces;
  std::vector<MessageNumber> numbers;  // none: every H.225 message
  bool json = false;
};

struct ExportArguments {
  TraceFiles traces;
  std::optional<std::string> outputFile;  // none: standard output
  std::vector<std::string> where;         // none: every message
};

struct FindArguments {
  TraceFiles traces;
  std::string text;    // in the locale's encoding
  bool lines = false;  // each matching line of the decoded text after the message's number
};

// The filters combine: a call is shown when it passes every one given.
struct CallsArguments {
  TraceFiles traces;
  bool csv = false;
  std::vector<CallOutcome> outcomes;  // --outcome and --failed; none: any outcome
  std::optional<std::string> number;  // contained in the calling or called digits
  std::optional<std::string> gateway;
  bool related = false;            // a last column with the call's other leg
  bool timing = false;             // the channel, post-dial delay and talk time columns
  std::vector<std::string> where;  // a message of the call is kept by them all
  bool h225Body = false;           // the call identifier, media and release reason columns
};

struct FlowArguments {
  TraceFiles traces;
  std::vector<CallNumber> calls;  // at least one, none of them 0
  bool related = false;           // the calls' related legs too
  bool tsv = false;
  std::optional<std::string> namesFile;
};

// The messages of the calls (--in-call and --failed add up), or of at most one list filter, or
// every message.
struct PcapArguments {
  TraceFiles traces;
  std::string outputFile;  // "-": standard output
  std::vector<CallNumber> inCalls;
  bool failed = false;
  std::optional<std::string> call;
  std::optional<std::string> gateway;
  bool pri = false;
  bool h225 = false;
  Ipv4Address serverAddress{};
  std::int64_t utcOffsetSeconds = 0;  // east of UTC
  std::vector<std::string> where;     // besides the calls or the filter
};

struct StatsArguments {
  TraceFiles traces;
  bool csv = false;
  std::vector<std::string> where;  // the calls counted: those they keep a message of
};

struct KpiArguments {
  TraceFiles traces;
  bool csv = false;
  KpiGrouping grouping = KpiGrouping::Gateway;
  std::vector<std::string> where;  // the calls counted: those they keep a message of
};

struct ChannelsArguments {
  TraceFiles traces;
  bool csv = false;
  std::vector<std::string> where;  // the calls counted: those they keep a message of
};

using Command =
    std::variant<UsageRequest, VersionRequest, ListArguments, DecodeArguments, ShowArguments,
                 ExportArguments, FindArguments, CallsArguments, FlowArguments, PcapArguments,
                 StatsArguments, KpiArguments, ChannelsArguments, H225Arguments>;

// Reads the arguments (without the program name); nothing after reporting a usage error on `err`.
std::optional<Command> ParseCommandLine(std::span<const std::string_view> arguments,
                                        std::FILE* err);

}  // namespace sigrune
