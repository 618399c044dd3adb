#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/locale_text.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"
#include "cli/trace_loading.h"
#include "trace/list_filters.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

FollowTimes followTimes;

// The signals that end `list --follow` are taken in turn while it follows, so that it can print
// what it holds before it ends; one that is ignored (as nohup leaves SIGHUP) stays so.
class FollowSignals {
 public:
  FollowSignals() {
    sigemptyset(&signals_);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction action {};
      if (sigaction(signal, nullptr, &action) == 0 &&
          ((action.sa_flags & SA_SIGINFO) != 0 || action.sa_handler != SIG_IGN)) {
        sigaddset(&signals_, signal);
      }
    }
    pthread_sigmask(SIG_BLOCK, &signals_, &before_);
  }
  FollowSignals(const FollowSignals&) = delete;
  FollowSignals& operator=(const FollowSignals&) = delete;
  ~FollowSignals() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }

  // Waits so long; the signal that came meanwhile, or 0.
  int Wait(std::chrono::milliseconds time) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time);
    const timespec timeout{static_cast<std::time_t>(seconds.count()),
                           static_cast<long>((time - seconds).count() * 1'000'000)};
    const int signal = sigtimedwait(&signals_, nullptr, &timeout);
    return signal > 0 ? signal : 0;
  }

 private:
  sigset_t signals_;
  sigset_t before_;
};

// Followed with an expression that reads what later messages of a call tell, the messages of a
// call are judged once it has ended (released, or superseded by a new SETUP); until then they
// wait. Messages in no call are judged as they come.
class CallsJudgedAtTheirEnd {
 public:
  explicit CallsJudgedAtTheirEnd(const TraceDocument& document) : document_(document) {}

  // The messages to print now, in message order, of those from message index `first` and row
  // `firstRow` on, and of those waiting.
  std::vector<MessageNumber> Released(std::size_t first, std::size_t firstRow) {
    const CallTable& calls = document_.Calls();
    std::vector<MessageNumber> released;
    // The rows of messages whose call has ended were judged on what it ended with.
    for (std::size_t row = firstRow; row < document_.RowCount(); ++row) {
      const MessageNumber message = document_.MessageAtRow(row);
      if (!IsOpen(calls, calls.CallOf(message))) {
        released.push_back(message);
      }
    }
    const std::size_t waited = waiting_.size();
    for (std::size_t index = first; index < document_.Store().MessageCount(); ++index) {
      if (IsOpen(calls, calls.CallOf(NumberOf(MessageIndex{index})))) {
        waiting_.push_back(index);
      }
    }
    // Those that waited from before: their call may have ended now.
    std::vector<std::size_t> still;
    for (std::size_t k = 0; k < waited; ++k) {
      const std::size_t index = waiting_[k];
      if (IsOpen(calls, calls.CallOf(NumberOf(MessageIndex{index})))) {
        still.push_back(index);
      } else if (Keeps(calls, index)) {
        released.push_back(NumberOf(MessageIndex{index}));
      }
    }
    still.insert(still.end(), waiting_.begin() + static_cast<std::ptrdiff_t>(waited),
                 waiting_.end());
    waiting_ = std::move(still);
    std::sort(released.begin(), released.end());
    return released;
  }

  // Every message that waits, judged as its call stands.
  std::vector<MessageNumber> ReleasedAll() {
    std::vector<MessageNumber> released;
    for (const std::size_t index : waiting_) {
      if (Keeps(document_.Calls(), index)) {
        released.push_back(NumberOf(MessageIndex{index}));
      }
    }
    waiting_.clear();
    return released;
  }

 private:
  static bool IsOpen(const CallTable& calls, CallNumber call) {
    return call && calls.Record(call).ended == CallEnded::Open;
  }
  bool Keeps(const CallTable& calls, std::size_t index) const {
    return WhereKeeps(document_.Filter(), document_.Store(), calls, index);
  }

  const TraceDocument& document_;
  std::vector<std::size_t> waiting_;  // message indexes, in order
};

// The key of --call: the digits, with or without "0x"; the partner follows their number, as for
// a selected line.
std::optional<FilterKey> CallFilterKey(std::string_view digits) {
  if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X")) {
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.find_first_not_of("0123456789abcdefABCDEF") != digits.npos) {
    return std::nullopt;
  }
  return SelectedCallKey("0x" + std::string(digits));
}

}  // namespace

bool ReadFilterOption(std::string_view command, const std::optional<std::string>& call, bool pri,
                      bool h225, std::FILE* err, std::optional<FilterKey>& key) {
  if (call) {
    key = CallFilterKey(*call);
    if (!key) {
      UsageError(err, std::string(command) + ": '" + *call + "' is not a call reference");
      return false;
    }
  } else if (pri) {
    key = ProtocolKey(ListFilter::PriOnly);
  } else if (h225) {
    key = ProtocolKey(ListFilter::H225Only);
  }
  return true;
}

bool ReadWhereOption(std::string_view command, const std::vector<std::string>& texts,
                     std::FILE* err, std::optional<WhereExpression>& where) {
  if (texts.empty()) {
    return true;
  }
  const std::string prefix = std::string(command) + ": --where: ";
  // Each is read alone, for its problems to be its own; together they are their terms joined.
  std::string joined;
  for (const std::string& text : texts) {
    const std::optional<std::string> latin1 = Latin1OfLocaleText(text);
    if (!latin1) {
      UsageError(err, prefix + "'" + text + "' has no Latin-1 form, the encoding of trace texts");
      return false;
    }
    const WhereParse parse = ParseWhere(*latin1);
    if (!parse.ok) {
      UsageError(err, prefix + parse.error);
      return false;
    }
    joined += joined.empty() ? "" : " ";
    joined += *latin1;
  }
  where = ParseWhere(joined).expression;
  return true;
}

void ApplyFilterOption(TraceDocument& document, std::optional<FilterKey> key,
                       const std::optional<std::string>& gateway) {
  if (gateway) {
    const auto& known = document.Store().gatewayIpIndex;
    const auto found = known.find(*gateway);
    // A gateway the trace does not know keeps no message, also when a followed trace names it
    // later.
    key = GatewayKey(found != known.end() ? found->second : static_cast<std::uint32_t>(-1));
  }
  if (key) {
    document.ApplyFilter(*key, {});
  }
}

void SetFollowTimes(const FollowTimes& times) {
  followTimes = times;
}

int RunListCommand(const ListArguments& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
  std::optional<FilterKey> key;
  std::optional<WhereExpression> where;
  if (!ReadFilterOption("list", arguments.call, arguments.pri, arguments.h225, err, key) ||
      !ReadWhereOption("list", arguments.where, err, where)) {
    return kExitUsage;
  }

  TraceDocument document;
  // A trace followed may have no message yet; its unended last line is not one yet.
  const OperationOutcome loaded = LoadTraceForCommand(
      arguments.traces, in, err, document,
      arguments.follow ? EmptyTrace::Fine : EmptyTrace::Failure, CallGrouping::Later,
      arguments.follow ? UnendedLastLine::Held : UnendedLastLine::Whole);
  if (loaded != OperationOutcome::Done &&
      !(arguments.follow && loaded == OperationOutcome::NotFound)) {
    return kExitFailure;
  }
  const MessageStore& store = document.Store();

  OutputBuffer output(out);
  if (arguments.inCall) {
    if (!CheckCallNumber(document, arguments.traces, arguments.inCall, err)) {
      return kExitFailure;
    }
    document.ApplyCallFilter(arguments.inCall);
  } else {
    ApplyFilterOption(document, key, arguments.gateway);
  }
  if (where) {
    document.SetWhere(where->text);
  }
  std::string line;
  const auto writeMessage = [&](MessageNumber message) {
    line.clear();
    AppendSummaryLine(line, store, IndexOf(message));
    output.Write(line);
    output.Write('\n');
  };
  const auto writeRows = [&](std::size_t firstRow, std::size_t endRow) {
    for (std::size_t row = firstRow; row < endRow && !output.Failed(); ++row) {
      writeMessage(document.MessageAtRow(row));
    }
  };
  const auto writeMessages = [&](const std::vector<MessageNumber>& messages) {
    for (std::size_t k = 0; k < messages.size() && !output.Failed(); ++k) {
      writeMessage(messages[k]);
    }
  };
  std::string whyNot;
  std::optional<TraceFollower> follower;
  if (arguments.follow) {
    follower = document.StartFollowing(whyNot);
  }
  if (!follower) {
    writeRows(0, document.RowCount());
    if (!arguments.follow) {
      return FinishOutput(output, err, kExitSuccess);
    }
    output.Flush();
    std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, whyNot).c_str());
    return FinishOutput(output, err, kExitFailure);
  }
  std::optional<CallsJudgedAtTheirEnd> judged;
  if (where && WhereDependsOnLaterMessages(*where)) {
    document.GroupCallsIfNeeded();
    judged.emplace(document);
    writeMessages(judged->Released(0, 0));
  } else {
    writeRows(0, document.RowCount());
  }
  follower->SetMissingPathWait(followTimes.missingPath);
  // Until interrupted, or until the file disappears.
  FollowSignals signals;
  for (;;) {
    if (!output.Flush()) {
      return FinishOutput(output, err, kExitFailure);
    }
    if (const int signal = signals.Wait(followTimes.interval); signal != 0) {
      if (judged) {
        writeMessages(judged->ReleasedAll());
      }
      return FinishOutput(output, err, kExitSignalBase + signal);
    }
    TraceFollower::Batch batch = follower->Poll();
    const std::string note = batch.note;
    const bool stopped = batch.stopped;
    const AppendedMessages appended = document.AppendFollowed(std::move(batch));
    if (judged) {
      std::vector<MessageNumber> released =
          judged->Released(IndexOf(appended.first).value, appended.firstRow);
      if (stopped) {
        // No message will end the calls still open.
        const std::vector<MessageNumber> rest = judged->ReleasedAll();
        released.insert(released.end(), rest.begin(), rest.end());
        std::sort(released.begin(), released.end());
      }
      writeMessages(released);
    } else {
      writeRows(appended.firstRow, appended.firstRow + appended.rowsAdded);
    }
    if (!note.empty()) {
      output.Flush();
      std::fprintf(err, "sigrune-cli: %s\n", Escaped(err, note).c_str());
    }
    if (stopped) {
      return FinishOutput(output, err, kExitFailure);
    }
  }
}

}  // namespace sigrune
