#include "window/calls/call_headline.h"

#include "calls/call_texts.h"
#include "window/table_text.h"

namespace sigrune {

namespace {

QString NumberOrUnknown(std::string_view digits) {
  return digits.empty() ? QStringLiteral("unknown") : FromLatin1(digits);
}

}  // namespace

QString CallOutcomeLabel(const CallRecord& call) {
  const QString outcome = FromLatin1(OutcomeText(call.outcome));
  return call.ended == CallEnded::Open ? outcome + QLatin1String(" (open)") : outcome;
}

QString CallHeadline(const CallTable& calls, CallNumber number) {
  const CallRecord& call = calls.Record(number);
  // The arrow is not Latin-1, so the line is made here rather than in the core.
  QString headline = QStringLiteral("Call %1: %2 \u2192 %3, %4")
                         .arg(number.value)
                         .arg(NumberOrUnknown(calls.Calling(call)),
                              NumberOrUnknown(calls.Called(call)), CallOutcomeLabel(call));
  if (call.cause >= 0) {
    headline += QLatin1String(", cause ") + FromLatin1(CauseText(call)) + QLatin1Char(' ') +
                FromLatin1(CauseName(call));
  }
  return headline;
}

}  // namespace sigrune
