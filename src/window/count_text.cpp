#include "window/count_text.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>

#include "document/trace_document.h"
#include "util/text_utilities.h"

namespace sigrune {

QString GroupedNumber(std::uint64_t number) {
  const QLocale locale;
  if (locale.language() == QLocale::C) {
    return QString::fromStdString(GroupedDigits(number));
  }
  return locale.toString(static_cast<qulonglong>(number));
}

QString CountText(std::uint64_t count, const QString& singular, const QString& plural) {
  return GroupedNumber(count) + QLatin1Char(' ') + (count == 1 ? singular : plural);
}

QString ListCountText(std::uint64_t rows, std::uint64_t messages) {
  const QString all = CountText(messages, QCoreApplication::translate("sigrune", "message"),
                                QCoreApplication::translate("sigrune", "messages"));
  return rows < messages
             ? GroupedNumber(rows) + QCoreApplication::translate("sigrune", " of ") + all
             : all;
}

QString TraceCountText(const TraceDocument& document) {
  const CallTable& calls = document.Calls();
  const auto failed = static_cast<std::uint64_t>(
      std::count_if(calls.calls.begin(), calls.calls.end(),
                    [](const CallRecord& call) { return call.outcome == CallOutcome::Failed; }));
  const QString separator = QStringLiteral(" \u00b7 ");
  return ListCountText(document.RowCount(), document.Store().MessageCount()) + separator +
         CountText(calls.calls.size(), QCoreApplication::translate("sigrune", "call"),
                   QCoreApplication::translate("sigrune", "calls")) +
         separator + GroupedNumber(failed) + QCoreApplication::translate("sigrune", " failed");
}

}  // namespace sigrune
