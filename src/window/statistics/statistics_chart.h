#pragma once

// The chart of calls by start time, stacked by outcome, drawn by one routine for the screen and
// for the PNG and SVG files: a bar per minute, or per ten minutes, hour or longer when the minutes
// are too many to stay readable, on a time axis whose labels name the date when it changes.

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "calls/call_statistics.h"

class QFontMetrics;
class QPainter;
class QPalette;

namespace sigrune {

struct ChartColours {
  QColor background;
  QColor text;
  QColor muted;  // axes and grid
  QColor band;   // behind the chosen bar
  std::array<QColor, std::size(kCallOutcomes)> fills;
};
ChartColours ScreenChartColours(const QPalette& palette);
ChartColours PaperChartColours();

// A step of 1, 2 or 5 times a power of ten that cuts `tallest` into about four: the grid's.
std::uint64_t GridStep(std::uint64_t tallest);

// The grid of a chart of calls: a line per GridStep of `tallest` from the area's bottom up,
// across it, labelled in `labelWidth` pixels at its left (less the label's padding). Returns the
// pixels a call stands for.
double PaintCallGrid(QPainter& painter, const ChartColours& colours, const QFontMetrics& metrics,
                     const QRect& area, int labelWidth, std::uint64_t tallest);

// "2004-01-15 10:40", or "2004-01-15 10:40 to 10:50" for a bar of several minutes.
QString BarSpanText(std::int64_t start, std::int64_t barMinutes);

// The time axis under `bars` bars of `barMinutes` from `firstMinute`, `pitch` pixels apart from
// `left`, under the line at `bottom`: labels at round times, the date under the first of each day.
void PaintTimeAxis(QPainter& painter, const QFont& font, const QColor& text, int left, int bottom,
                   double pitch, std::int64_t firstMinute, std::int64_t barMinutes,
                   std::size_t bars);

class StatisticsChart {
  Q_DECLARE_TR_FUNCTIONS(StatisticsChart)

 public:
  StatisticsChart(const CallStatistics& statistics, const QFont& font);

  // Minutes a bar stands for: 1, 10, 60, 1440, or more for traces of years.
  std::int64_t BarMinutes() const { return barMinutes_; }
  // Bars from the first timed call's to the last's, empty ones included.
  std::size_t Bars() const { return counts_.size(); }
  const OutcomeCounts& BarCounts(std::size_t bar) const { return counts_[bar]; }
  std::int64_t BarStart(std::size_t bar) const {
    return firstMinute_ + static_cast<std::int64_t>(bar) * barMinutes_;
  }
  // The calls of a bar, for listing them.
  StatisticsGroup BarGroup(std::size_t bar) const;
  // "2004-01-15 10:40", or "2004-01-15 10:40 to 10:50" for a bar of several minutes.
  QString BarText(std::size_t bar) const;

  // The narrowest picture in which every bar is readable, and the height it is drawn at.
  int MinimumWidth() const;
  QSize FileSize() const;

  // Where a picture of `size` draws the bar at its full height, and the bar under a point of it
  // when that bar has calls.
  QRectF BarRect(std::size_t bar, QSize size) const;
  std::optional<std::size_t> BarAt(QPoint point, QSize size) const;

  void Paint(QPainter& painter, const ChartColours& colours, QSize size,
             std::optional<std::size_t> chosen = std::nullopt) const;

 private:
  struct Layout {
    int left = 0;
    int top = 0;
    int bottom = 0;  // the axis line
    double pitch = 0;
  };
  Layout LayOut(QSize size) const;
  // Draws the legend when given a painter; its width either way.
  int PaintLegend(QPainter* painter, const ChartColours* colours, int left, int top) const;
  int LegendWidth() const { return PaintLegend(nullptr, nullptr, 0, 0); }

  QFont font_;
  QString emptyText_;  // instead of the chart, when it has no bars
  std::uint64_t untimed_ = 0;
  std::int64_t firstStart_ = 0;  // the minutes of the first and last timed call
  std::int64_t lastStart_ = 0;
  std::int64_t firstMinute_ = 0;
  std::int64_t barMinutes_ = 1;
  std::vector<OutcomeCounts> counts_;
  std::uint64_t tallest_ = 0;  // calls of the fullest bar
};

}  // namespace sigrune
