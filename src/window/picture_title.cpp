#include "window/picture_title.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>

#include "calls/call_statistics.h"
#include "window/table_text.h"
#include "window/trace_names.h"

namespace sigrune {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

QString Separator() {
  return QStringLiteral(" \u00b7 ");
}

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  return value >= 0 ? value / divisor : -((-(value + 1)) / divisor) - 1;
}

// "2004-01-15 10:00:01", to the second: a title names a span, not an instant.
QString SecondText(MessageTime time) {
  const std::int64_t seconds = FloorDivide(time, kNanosecondsPerSecond);
  return QString::fromStdString(MinuteText(FloorDivide(seconds, 60))) +
         QStringLiteral(":%1").arg(seconds - FloorDivide(seconds, 60) * 60, 2, 10,
                                   QLatin1Char('0'));
}

QString Translated(const char* text) {
  return QCoreApplication::translate("sigrune::PictureTitle", text);
}

}  // namespace

QString TimeSpanText(MessageTime first, MessageTime last) {
  if (first == kNoTime || last == kNoTime) {
    return Translated("no times");
  }
  const QString from = SecondText(first);
  QString to = SecondText(last);
  if (to == from) {
    return from;
  }
  if (to.left(10) == from.left(10)) {
    to = to.mid(11);
  }
  return Translated("%1 to %2").arg(from, to);
}

QString PictureTitle(const TraceDocument& document, MessageTime first, MessageTime last) {
  QStringList filters;
  if (document.ActiveFilter()) {
    filters << FromLatin1(document.FilterDescription());
  }
  if (const WhereExpression where = document.Where(); !where.terms.empty()) {
    filters << FromLatin1(where.text);
  }
  const QString filter = filters.isEmpty()
                             ? Translated("no filter")
                             : Translated("filter: %1").arg(filters.join(QLatin1String(", ")));
  return NameOfFiles(DecodedPaths(document.Paths())) + Separator() + filter + Separator() +
         TimeSpanText(first, last);
}

QString LadderTitle(const TraceDocument& document, const CallFlow& flow, const QString& what) {
  MessageTime first = kNoTime;
  MessageTime last = kNoTime;
  for (const FlowArrow& arrow : flow.arrows) {
    if (arrow.time != kNoTime) {
      first = first == kNoTime ? arrow.time : std::min(first, arrow.time);
      last = std::max(last, arrow.time);
    }
  }
  return what + Separator() + PictureTitle(document, first, last);
}

}  // namespace sigrune
