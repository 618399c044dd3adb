#include "writers/statistics_csv.h"

#include "calls/call_texts.h"
#include "writers/call_csv.h"

namespace sigrune {

namespace {

void AppendOutcomes(std::string& text, const OutcomeCounts& outcomes) {
  for (const std::uint32_t calls : outcomes.calls) {
    text += ',';
    text += std::to_string(calls);
  }
}

}  // namespace

std::string_view CauseValueName(std::int16_t cause) {
  CallRecord call;
  call.cause = cause;
  return CauseName(call);
}

std::string StatisticsCsv(const MessageStore& store, const CallStatistics& statistics) {
  std::string text = "# minutes\nminute,answered,busy,no answer,rejected,cancelled,failed,none\n";
  for (const MinuteCounts& minute : statistics.minutes) {
    AppendCsvField(text, MinuteText(minute.minute));
    AppendOutcomes(text, minute.outcomes);
    text += '\n';
  }
  if (statistics.untimed.Total() > 0) {
    text += "no time";
    AppendOutcomes(text, statistics.untimed);
    text += '\n';
  }

  text +=
      "# gateways\ngateway,protocol,calls,answered,busy,no answer,rejected,cancelled,failed,none,"
      "top_failure_cause\n";
  for (const GatewayCounts& gateway : statistics.gateways) {
    AppendCsvField(text, store.gatewayIpTexts[gateway.gatewayIpIndex]);
    text += ',';
    text += ProtocolText(gateway.protocol);
    text += ',';
    text += std::to_string(gateway.outcomes.Total());
    AppendOutcomes(text, gateway.outcomes);
    text += ',';
    if (gateway.topFailureCause >= 0) {
      text += std::to_string(gateway.topFailureCause);
    }
    text += '\n';
  }

  text += "# causes\ncause,cause_text,calls,share\n";
  for (const CauseCounts& cause : statistics.causes) {
    text += std::to_string(cause.cause);
    text += ',';
    AppendCsvField(text, CauseValueName(cause.cause));
    text += ',';
    text += std::to_string(cause.calls);
    text += ',';
    text += ShareText(cause.calls, statistics.callsWithCause);
    text += '\n';
  }
  return text;
}

}  // namespace sigrune
