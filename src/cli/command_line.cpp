#include "cli/command_line.h"

#include <new>
#include <optional>
#include <string>
#include <variant>

#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "version.h"

namespace sigrune {

namespace {

constexpr std::string_view kUsage =
    "Usage: sigrune-cli COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Reads the Q.931 messages of ISDN PRI gateways and H.225 peers in a server trace\n"
    "(a plain trace or a <Tracelist> document).\n"
    "\n"
    "Commands:\n"
    "  list TRACE... [FILTER] [--where EXPR] [--follow]\n"
    "                        print the summary line of every message, in file order, or of\n"
    "                        those a filter keeps: --call HEX (both sides of the call),\n"
    "                        --gateway IP, --pri, --h225 or --in-call N (the messages of\n"
    "                        call N, as the calls command numbers them); --follow then\n"
    "                        prints those of the messages appended to the last file, as\n"
    "                        they come, until interrupted; when --where holds outcome: or\n"
    "                        number:, the messages of a call are judged and printed once\n"
    "                        the call has ended (at the interrupt, as the call stands)\n"
    "  decode [HEX...]       print the decoded text of each message given as hex digit pairs\n"
    "                        (blanks between pairs allowed), or of each line of standard input\n"
    "  show TRACE... N...    print the decoded text and hex dump of message N (from 1);\n"
    "                        --h225-body adds the H.225 user information after the dump\n"
    "  show TRACE... --in-call N\n"
    "                        the same for every message of call N\n"
    "  h225 TRACE... [N...] [--json]\n"
    "                        print the H.225 user information of every H.225 message (or of\n"
    "                        messages N...): number, body and key fields on one line, or with\n"
    "                        --json one JSON object per line (keys in the manual page)\n"
    "  export TRACE... [-o FILE] [--where EXPR]\n"
    "                        write every message (or those EXPR keeps), decoded, in router\n"
    "                        debug layout (CR LF, Latin-1) to FILE or to standard output\n"
    "  find TRACE... TEXT [--lines]\n"
    "                        print the numbers of the messages whose decoded text holds TEXT\n"
    "                        (case-sensitive); exit status 1 when none does; --lines prints\n"
    "                        each line that holds it too, after the number and a tab\n"
    "  calls TRACE... [--csv] [CALL FILTERS]\n"
    "                        print the calls: the messages grouped by gateway, protocol, call\n"
    "                        reference and the side that sent the SETUP, numbered from 1, as\n"
    "                        a table or, with --csv, as comma-separated values (UTF-8);\n"
    "                        --related adds the number of each call's other leg (and to the\n"
    "                        table the first fault of the call and that leg); --timing adds\n"
    "                        the B-channel, the post-dial delay and the talk time;\n"
    "                        --h225-body adds the H.225 call identifier, media and release\n"
    "                        reason\n"
    "  flow TRACE... N [M...] [--related] [--tsv] [--names FILE]\n"
    "                        draw the messages of calls N, M, ... (and with --related their\n"
    "                        other legs) as a ladder: a lane per party, an arrow per message;\n"
    "                        --tsv prints one tab-separated line per message instead (UTF-8),\n"
    "                        --names FILE names the lanes by lines of ADDRESS NAME\n"
    "  pcap TRACE... -o FILE [--in-call N]... [--failed] [FILTER] [--where EXPR]\n"
    "       [--server-address A.B.C.D] [--utc-offset +HH:MM]\n"
    "                        write the messages as a capture that Wireshark decodes (- for\n"
    "                        standard output): every message, those of the calls given or of\n"
    "                        the failed calls, or those a list filter keeps; the times are\n"
    "                        UTC unless --utc-offset gives the trace's zone\n"
    "  stats TRACE... [--csv] [--where EXPR]\n"
    "                        count the calls by minute of their start, by gateway and by\n"
    "                        cause, each by outcome, as tables or, with --csv, as three CSV\n"
    "                        sections (# minutes, # gateways, # causes); --where counts only\n"
    "                        the calls of the messages the filter expression keeps\n"
    "  kpi TRACE... [--csv] [--by gateway|hour] [--where EXPR]\n"
    "                        print the figures trunks are judged by, per gateway and protocol\n"
    "                        (then for all calls) or per hour of the calls' start: calls by\n"
    "                        outcome, ASR, NER, ACD, post-dial delay (median, 95th\n"
    "                        percentile), setup time (median) and the most calls at once\n"
    "  channels TRACE... [--csv] [--where EXPR]\n"
    "                        count the calls of each PRI gateway's B-channels by outcome,\n"
    "                        with the failed calls' most frequent cause; suspect channels\n"
    "                        fail at least 5 times, at three times their gateway's share or\n"
    "                        more\n"
    "\n"
    "TRACE is a file (read through zlib when its name ends in .gz) or a FIFO, or - for\n"
    "standard input. Several files are read as one trace, in the order of their first\n"
    "times.\n"
    "\n"
    "Call filters (combined; repeated --outcome lists add up):\n"
    "  --outcome LIST        the calls whose outcome is in the comma-separated LIST: answered,\n"
    "                        busy, no answer, rejected, cancelled, failed, none\n"
    "  --failed              short for --outcome failed\n"
    "  --number DIGITS       the calls whose calling or called number holds DIGITS\n"
    "  --gateway IP          the calls of that gateway\n"
    "  --where EXPR          the calls of which EXPR keeps at least one message\n"
    "\n"
    "--where EXPR, on list, export, calls, pcap, stats, kpi and channels besides their other\n"
    "filters, keeps the messages for which every term holds, terms separated by white space:\n"
    "field:value (type: a prefix of the message name, gw:, proto:pri|h225, dir:in|out,\n"
    "crv:HEX, call:N, cause:N, number:DIGITS, channel:N (the call's PRI B-channel),\n"
    "outcome:answered|busy|no-answer|rejected|cancelled|failed|none, callid:HEX (the start of\n"
    "the call's H.225 call identifier), codec:NAME (of the call's H.225 media), from:TIME,\n"
    "to:TIME), a word or a \"quoted phrase\" that the summary line holds (case ignored);\n"
    "-TERM keeps the messages TERM does not. Given more than once, every EXPR must hold.\n"
    "Example:\n"
    "  --where 'type:rel gw:10.1.1.5 from:10:40 to:10:45 -outcome:answered'\n"
    "\n"
    "Options:\n"
    "  --crlf                decode, show: keep the CR LF line ends of the decoded text\n"
    "  --h225-body           show: the H.225 user information after the dump\n"
    "  --json                h225: one JSON object per message\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "An option that takes a value is given once; only --where, --outcome and pcap's\n"
    "--in-call may be repeated.\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure, 2 on a usage error.\n";

void Print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int UsageError(std::FILE* err, std::string_view problem) {
  Print(err, "sigrune-cli: ");
  Print(err, Escaped(err, problem));
  Print(err, "\nTry 'sigrune-cli --help' for more information.\n");
  return kExitUsage;
}

namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
// clang 14 deduces no aggregate's arguments by itself.
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

int RunCommand(const Command& command, std::FILE* in, std::FILE* out, std::FILE* err) {
  return std::visit(
      Overloaded{
          [&](const UsageRequest&) { return WriteAndFlush(out, err, kUsage); },
          [&](const VersionRequest&) {
            return WriteAndFlush(out, err, std::string("sigrune-cli ") + kVersion + "\n");
          },
          [&](const ListArguments& list) { return RunListCommand(list, in, out, err); },
          [&](const DecodeArguments& decode) { return RunDecodeCommand(decode, in, out, err); },
          [&](const ShowArguments& show) { return RunShowCommand(show, in, out, err); },
          [&](const ExportArguments& exported) { return RunExportCommand(exported, in, out, err); },
          [&](const FindArguments& find) { return RunFindCommand(find, in, out, err); },
          [&](const CallsArguments& calls) { return RunCallsCommand(calls, in, out, err); },
          [&](const FlowArguments& flow) { return RunFlowCommand(flow, in, out, err); },
          [&](const PcapArguments& pcap) { return RunPcapCommand(pcap, in, out, err); },
          [&](const StatsArguments& stats) { return RunStatsCommand(stats, in, out, err); },
          [&](const KpiArguments& kpi) { return RunKpiCommand(kpi, in, out, err); },
          [&](const ChannelsArguments& channels) {
            return RunChannelsCommand(channels, in, out, err);
          },
          [&](const H225Arguments& h225) { return RunH225Command(h225, in, out, err); },
      },
      command);
}

// What a command does with its trace, for the report of running out of memory.
struct Activity {
  std::string_view doing;
  const TraceFiles& traces;
};

std::optional<Activity> ActivityOf(const Command& command) {
  if (const auto* list = std::get_if<ListArguments>(&command)) {
    return Activity{"listing", list->traces};
  }
  if (const auto* show = std::get_if<ShowArguments>(&command)) {
    return Activity{"showing", show->traces};
  }
  if (const auto* exported = std::get_if<ExportArguments>(&command)) {
    return Activity{"exporting", exported->traces};
  }
  if (const auto* find = std::get_if<FindArguments>(&command)) {
    return Activity{"searching", find->traces};
  }
  if (const auto* calls = std::get_if<CallsArguments>(&command)) {
    return Activity{"listing calls", calls->traces};
  }
  if (const auto* flow = std::get_if<FlowArguments>(&command)) {
    return Activity{"drawing calls", flow->traces};
  }
  if (const auto* pcap = std::get_if<PcapArguments>(&command)) {
    return Activity{"exporting", pcap->traces};
  }
  if (const auto* stats = std::get_if<StatsArguments>(&command)) {
    return Activity{"counting calls", stats->traces};
  }
  if (const auto* kpi = std::get_if<KpiArguments>(&command)) {
    return Activity{"counting calls", kpi->traces};
  }
  if (const auto* channels = std::get_if<ChannelsArguments>(&command)) {
    return Activity{"counting calls", channels->traces};
  }
  if (const auto* h225 = std::get_if<H225Arguments>(&command)) {
    return Activity{"decoding", h225->traces};
  }
  return std::nullopt;  // decode reads no trace
}

// Builds no text of its own: the memory has run out.
int ReportOutOfMemory(const std::optional<Command>& command, std::FILE* err) {
  const std::optional<Activity> activity = command ? ActivityOf(*command) : std::nullopt;
  if (!activity) {
    std::fprintf(err, "sigrune-cli: not enough memory\n");
    return kExitFailure;
  }
  const std::string trace = TraceNameForMessages(activity->traces);
  std::fprintf(err, "sigrune-cli: %s: not enough memory (while %.*s)\n",
               Escaped(err, trace).c_str(), static_cast<int>(activity->doing.size()),
               activity->doing.data());
  return kExitFailure;
}

}  // namespace

int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* in, std::FILE* out,
                   std::FILE* err) {
  std::optional<Command> command;  // outlives the attempt, for the report to name its trace
  try {
    command = ParseCommandLine(arguments, err);
    return command ? RunCommand(*command, in, out, err) : kExitUsage;
  } catch (const std::bad_alloc&) {
    return ReportOutOfMemory(command, err);
  }
}

}  // namespace sigrune
