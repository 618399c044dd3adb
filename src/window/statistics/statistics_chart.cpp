#include "window/statistics/statistics_chart.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "calls/call_concurrency.h"
#include "util/text_utilities.h"
#include "window/calls/outcome_colours.h"

namespace sigrune {

namespace {

constexpr std::int64_t kMinutesPerDay = 24 * 60;
// More bars than this are grouped into longer ones.
constexpr std::int64_t kMostBars = 1440;
// A bar's pitch in pixels: a readable bar at the least, no slab at the most.
constexpr double kLeastPitch = 4;
constexpr double kMostPitch = 80;
constexpr int kFileHeight = 380;

// Bottom to top: the failures at the foot, where a rise shows first.
constexpr CallOutcome kStackOrder[] = {
    CallOutcome::Failed,    CallOutcome::Busy, CallOutcome::NoAnswer, CallOutcome::Rejected,
    CallOutcome::Cancelled, CallOutcome::None, CallOutcome::Answered};

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  return value >= 0 ? value / divisor : -((-(value + 1)) / divisor) - 1;
}

std::int64_t Slots(std::int64_t first, std::int64_t last, std::int64_t minutes) {
  return FloorDivide(last, minutes) - FloorDivide(first, minutes) + 1;
}

QString DatePart(std::int64_t minute) {
  return QString::fromStdString(MinuteText(minute).substr(0, 10));
}
QString TimePart(std::int64_t minute) {
  return QString::fromStdString(MinuteText(minute).substr(11));
}

}  // namespace

ChartColours ScreenChartColours(const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor text = palette.color(QPalette::Text);
  QColor muted = text;
  muted.setAlphaF(0.45f);
  QColor band = palette.color(QPalette::Highlight);
  band.setAlphaF(0.25f);
  ChartColours colours{base, text, muted, band, {}};
  for (const CallOutcome outcome : kCallOutcomes) {
    colours.fills[static_cast<std::size_t>(outcome)] = OutcomeFill(outcome, palette);
  }
  return colours;
}

ChartColours PaperChartColours() {
  ChartColours colours{
      Qt::white, QColor(0x1a, 0x1a, 0x1a), QColor(0x80, 0x80, 0x80), QColor(0xc8, 0xdc, 0xf5), {}};
  for (const CallOutcome outcome : kCallOutcomes) {
    colours.fills[static_cast<std::size_t>(outcome)] = OutcomeFillOnPaper(outcome);
  }
  return colours;
}

std::uint64_t GridStep(std::uint64_t tallest) {
  for (std::uint64_t power = 1;; power *= 10) {
    for (const std::uint64_t factor : {1, 2, 5}) {
      if (factor * power * 4 >= tallest) {
        return factor * power;
      }
    }
  }
}

double PaintCallGrid(QPainter& painter, const ChartColours& colours, const QFontMetrics& metrics,
                     const QRect& area, int labelWidth, std::uint64_t tallest) {
  const std::uint64_t step = GridStep(tallest);
  const std::uint64_t ceiling = std::max<std::uint64_t>(1, (tallest + step - 1) / step * step);
  const int bottom = area.bottom();
  const double perCall = (bottom - area.top()) / static_cast<double>(ceiling);
  for (std::uint64_t calls = 0; calls <= ceiling; calls += step) {
    const int y = bottom - static_cast<int>(std::lround(perCall * static_cast<double>(calls)));
    painter.setPen(colours.muted);
    painter.drawLine(area.left(), y, area.right(), y);
    painter.setPen(colours.text);
    painter.drawText(QRect(0, y - metrics.height() / 2, labelWidth, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromStdString(GroupedDigits(calls)));
  }
  return perCall;
}

QString BarSpanText(std::int64_t start, std::int64_t barMinutes) {
  const auto tr = [](const char* text) {
    return QCoreApplication::translate("sigrune::StatisticsChart", text);
  };
  if (barMinutes == 1) {
    return QString::fromStdString(MinuteText(start));
  }
  if (barMinutes < kMinutesPerDay) {
    return tr("%1 %2 to %3").arg(DatePart(start), TimePart(start), TimePart(start + barMinutes));
  }
  if (barMinutes == kMinutesPerDay) {
    return DatePart(start);
  }
  return tr("%1 to %2").arg(DatePart(start), DatePart(start + barMinutes - kMinutesPerDay));
}

void PaintTimeAxis(QPainter& painter, const QFont& font, const QColor& text, int left, int bottom,
                   double pitch, std::int64_t firstMinute, std::int64_t barMinutes,
                   std::size_t bars) {
  if (bars == 0) {
    return;
  }
  const QFontMetrics metrics(font);
  const auto barStart = [&](std::size_t bar) {
    return firstMinute + static_cast<std::int64_t>(bar) * barMinutes;
  };
  const bool days = barMinutes >= kMinutesPerDay;
  // A label is as wide as a date when dates are written under the times: the first label has
  // one, and so has the first of every other day.
  const bool severalDays = DatePart(barStart(0)) != DatePart(barStart(bars - 1));
  const int labelWidth =
      metrics.horizontalAdvance(days || severalDays ? QStringLiteral("2004-01-15")
                                                    : QStringLiteral("00:00")) +
      metrics.averageCharWidth() * 2;
  // Labels at round times, as close as they fit; bars of several days at every so many bars.
  std::int64_t every = 0;
  for (const std::int64_t minutes :
       {1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2880, 10080, 20160, 40320}) {
    if (minutes % barMinutes == 0 &&
        static_cast<double>(minutes / barMinutes) * pitch >= labelWidth) {
      every = minutes;
      break;
    }
  }
  const auto everyBars = static_cast<std::size_t>(std::ceil(labelWidth / pitch));
  painter.save();
  painter.setFont(font);
  painter.setPen(text);
  QString lastDate;
  const auto labelled = [&](std::size_t bar) {
    const std::int64_t start = barStart(bar);
    return every != 0 ? FloorDivide(start, every) * every == start : bar % everyBars == 0;
  };
  // The first bar is labelled too when the next label leaves room.
  std::size_t next = 1;
  while (next < bars && !labelled(next)) {
    ++next;
  }
  const bool labelFirst = static_cast<double>(next) * pitch >= labelWidth;
  for (std::size_t bar = 0; bar < bars; ++bar) {
    if (!labelled(bar) && !(bar == 0 && labelFirst)) {
      continue;
    }
    const std::int64_t start = barStart(bar);
    const int x = left + static_cast<int>(std::lround(pitch * static_cast<double>(bar)));
    painter.drawLine(x, bottom, x, bottom + metrics.height() / 4);
    const QString date = DatePart(start);
    const int textTop = bottom + metrics.height() / 4;
    if (days) {
      painter.drawText(x, textTop + metrics.ascent(), date);
      continue;
    }
    const QString time = TimePart(start);
    const int labelLeft = std::max(0, x - metrics.horizontalAdvance(time) / 2);
    painter.drawText(labelLeft, textTop + metrics.ascent(), time);
    if (date != lastDate) {
      painter.drawText(labelLeft, textTop + metrics.height() + metrics.ascent(), date);
      lastDate = date;
    }
  }
  painter.restore();
}

StatisticsChart::StatisticsChart(const CallStatistics& statistics, const QFont& font)
    : font_(font), untimed_(statistics.untimed.Total()) {
  // Sized in pixels, so that the screen and the files get the same picture.
  if (font_.pixelSize() <= 0) {
    font_.setPixelSize(QFontInfo(font).pixelSize());
  }
  if (statistics.calls == 0) {
    emptyText_ = tr("No calls in this trace");
    return;
  }
  if (statistics.minutes.empty()) {
    emptyText_ = tr("No call has a time");
    return;
  }
  const std::int64_t first = statistics.minutes.front().minute;
  const std::int64_t last = statistics.minutes.back().minute;
  firstStart_ = first;
  lastStart_ = last;
  barMinutes_ = BarMinutesFor(first, last, kMostBars);
  firstMinute_ = FloorDivide(first, barMinutes_) * barMinutes_;
  counts_.resize(static_cast<std::size_t>(Slots(first, last, barMinutes_)));
  for (const MinuteCounts& minute : statistics.minutes) {
    OutcomeCounts& bar =
        counts_[static_cast<std::size_t>(FloorDivide(minute.minute - firstMinute_, barMinutes_))];
    for (std::size_t k = 0; k < bar.calls.size(); ++k) {
      bar.calls[k] += minute.outcomes.calls[k];
    }
  }
  for (const OutcomeCounts& bar : counts_) {
    tallest_ = std::max(tallest_, bar.Total());
  }
}

StatisticsGroup StatisticsChart::BarGroup(std::size_t bar) const {
  StatisticsGroup group;
  group.kind = StatisticsGroup::Kind::Minutes;
  group.firstMinute = BarStart(bar);
  group.endMinute = group.firstMinute + barMinutes_;
  return group;
}

QString StatisticsChart::BarText(std::size_t bar) const {
  return BarSpanText(BarStart(bar), barMinutes_);
}

StatisticsChart::Layout StatisticsChart::LayOut(QSize size) const {
  const QFontMetrics metrics(font_);
  const int padding = std::max(4, metrics.height() / 2);
  Layout layout;
  layout.left =
      2 * padding +
      metrics.horizontalAdvance(QString::fromStdString(GroupedDigits(
          (tallest_ + GridStep(tallest_) - 1) / GridStep(tallest_) * GridStep(tallest_))));
  layout.top = 2 * padding + metrics.height();
  layout.bottom = size.height() - 2 * padding - 2 * metrics.height();
  const double room = size.width() - layout.left - padding;
  layout.pitch = std::clamp(room / static_cast<double>(std::max<std::size_t>(1, Bars())),
                            kLeastPitch, kMostPitch);
  return layout;
}

int StatisticsChart::MinimumWidth() const {
  const Layout layout = LayOut({0, kFileHeight});
  return layout.left + static_cast<int>(std::ceil(kLeastPitch * static_cast<double>(Bars()))) +
         layout.top / 2;
}

QSize StatisticsChart::FileSize() const {
  if (Bars() == 0) {
    return {640, kFileHeight / 2};
  }
  // Room for the legend, and for bars wider than the least while the picture stays a few
  // thousand pixels wide.
  const Layout layout = LayOut({0, kFileHeight});
  const int bars = layout.left +
                   static_cast<int>(std::min(24 * static_cast<double>(Bars()), 4000.0)) +
                   layout.top;
  return {std::max({MinimumWidth(), bars, layout.left + LegendWidth() + layout.top}), kFileHeight};
}

QRectF StatisticsChart::BarRect(std::size_t bar, QSize size) const {
  const Layout layout = LayOut(size);
  return {layout.left + layout.pitch * static_cast<double>(bar), static_cast<double>(layout.top),
          layout.pitch, static_cast<double>(layout.bottom - layout.top)};
}

std::optional<std::size_t> StatisticsChart::BarAt(QPoint point, QSize size) const {
  if (Bars() == 0) {
    return std::nullopt;
  }
  const Layout layout = LayOut(size);
  const double offset = (point.x() - layout.left) / layout.pitch;
  if (offset < 0 || offset >= static_cast<double>(Bars()) || point.y() < layout.top) {
    return std::nullopt;
  }
  const auto bar = static_cast<std::size_t>(offset);
  return counts_[bar].Total() > 0 ? std::optional(bar) : std::nullopt;
}

void StatisticsChart::Paint(QPainter& painter, const ChartColours& colours, QSize size,
                            std::optional<std::size_t> chosen) const {
  painter.save();
  painter.setFont(font_);
  painter.fillRect(QRect(QPoint(), size), colours.background);
  const QFontMetrics metrics(font_);
  if (Bars() == 0) {
    painter.setPen(colours.text);
    painter.drawText(QRect(QPoint(), size), Qt::AlignCenter, emptyText_);
    painter.restore();
    return;
  }
  const Layout layout = LayOut(size);
  const int padding = layout.top / 2 - metrics.height() / 2;

  // The legend, in the calls table's order of outcomes, and the calls the chart leaves out.
  PaintLegend(&painter, &colours, layout.left, padding);

  // The grid: a line per step of calls, labelled at the left.
  const int right = layout.left + static_cast<int>(std::ceil(layout.pitch * Bars()));
  const double perCall =
      PaintCallGrid(painter, colours, metrics,
                    QRect(QPoint(layout.left, layout.top), QPoint(right, layout.bottom)),
                    layout.left - padding, tallest_);

  if (chosen && *chosen < Bars()) {
    painter.fillRect(BarRect(*chosen, size), colours.band);
  }
  // A gap between bars while they are wide enough to spare one.
  const double gap = layout.pitch >= 6 ? std::max(1.0, layout.pitch / 5) : 1.0;
  for (std::size_t bar = 0; bar < Bars(); ++bar) {
    const double left = layout.left + layout.pitch * static_cast<double>(bar);
    double base = layout.bottom;
    for (const CallOutcome outcome : kStackOrder) {
      const std::uint32_t calls = counts_[bar][outcome];
      if (calls == 0) {
        continue;
      }
      const double height = perCall * calls;
      painter.fillRect(QRectF(left, base - height, layout.pitch - gap, height),
                       colours.fills[static_cast<std::size_t>(outcome)]);
      base -= height;
    }
    // An edge, so that a light fill on a light base (or a dark on a dark) still shows its top.
    if (layout.pitch - gap >= 5 && base < layout.bottom) {
      painter.setPen(colours.muted);
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(QRectF(left, base, layout.pitch - gap - 1, layout.bottom - base));
    }
  }
  painter.setPen(colours.text);
  painter.drawLine(layout.left, layout.bottom, right, layout.bottom);
  PaintTimeAxis(painter, font_, colours.text, layout.left, layout.bottom, layout.pitch,
                firstMinute_, barMinutes_, Bars());
  painter.restore();
}

int StatisticsChart::PaintLegend(QPainter* painter, const ChartColours* colours, int left,
                                 int top) const {
  const QFontMetrics metrics(font_);
  const int swatch = metrics.ascent() - 2;
  const int space = metrics.averageCharWidth();
  int x = left;
  for (const CallOutcome outcome : kCallOutcomes) {
    const QString name = QString::fromLatin1(OutcomeText(outcome).data(),
                                             static_cast<qsizetype>(OutcomeText(outcome).size()));
    if (painter != nullptr) {
      const QRect box(x, top + metrics.ascent() - swatch, swatch, swatch);
      painter->fillRect(box, colours->fills[static_cast<std::size_t>(outcome)]);
      painter->setPen(colours->muted);
      painter->drawRect(box.adjusted(0, 0, -1, -1));
      painter->setPen(colours->text);
      painter->drawText(x + swatch + space, top + metrics.ascent(), name);
    }
    x += swatch + space + metrics.horizontalAdvance(name) + 2 * space;
  }
  // What the axis may not say: the first and last start, and the calls it leaves out.
  QString note = firstStart_ == lastStart_
                     ? QString::fromStdString(MinuteText(firstStart_))
                     : tr("%1 to %2")
                           .arg(QString::fromStdString(MinuteText(firstStart_)),
                                QString::fromStdString(MinuteText(lastStart_)));
  if (untimed_ > 0) {
    note +=
        tr(", and %1 with no time").arg(QString::fromStdString(CountOf(untimed_, "call", "calls")));
  }
  if (painter != nullptr) {
    painter->setPen(colours->text);
    painter->drawText(x, top + metrics.ascent(), note);
  }
  return x + metrics.horizontalAdvance(note) - left;
}

}  // namespace sigrune
