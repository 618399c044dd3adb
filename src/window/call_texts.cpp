#include "window/call_texts.h"

#include "trace/summary_line.h"

namespace sigrune {

namespace {

QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString CallStartText(const MessageStore& store, const CallRecord& call) {
  return FromLatin1(BuildSummaryFields(store, IndexOf(call.firstMessage).value).timestamp);
}

QString CallDurationText(const MessageStore&, const CallRecord&) {
  return {};
}

QString CallCauseText(const CallRecord& call) {
  return call.cause < 0 ? QString() : QString::number(call.cause);
}

QString CallOutcomeText(const CallRecord& call) {
  const QString outcome = FromLatin1(OutcomeText(call.outcome));
  return call.ended == CallEnded::Open ? outcome + QLatin1String(" (open)") : outcome;
}

QString CallDirectionText(const CallRecord& call) {
  return call.direction == CallDirection::In ? QStringLiteral("in") : QStringLiteral("out");
}

QString CallHeadline(CallNumber number, const CallRecord& call) {
  const auto digits = [](const std::string& text) {
    return text.empty() ? QStringLiteral("unknown") : FromLatin1(text);
  };
  QString headline = QStringLiteral("Call %1: %2 \u2192 %3, %4")
                         .arg(number.value)
                         .arg(digits(call.calling), digits(call.called), CallOutcomeText(call));
  if (call.cause >= 0) {
    headline += QLatin1String(", cause ") + CallCauseText(call);
  }
  return headline;
}

}  // namespace sigrune
