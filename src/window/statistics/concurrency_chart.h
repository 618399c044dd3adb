#pragma once

// The chart of concurrent calls: a line per gateway and protocol over the trace's time, each point
// the most calls in progress at once within its bar, the busiest bar of each line marked with a
// dot and named in the legend. One routine draws it for the screen and for the PNG and SVG files.

#include <QCoreApplication>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

#include "calls/call_concurrency.h"
#include "trace/message_store.h"

class QPainter;
class QPen;

namespace sigrune {

struct ChartColours;

class ConcurrencyChart {
  Q_DECLARE_TR_FUNCTIONS(ConcurrencyChart)

 public:
  // Of the `calls` counted, which `concurrency` holds the timed ones of.
  ConcurrencyChart(const MessageStore& store, Concurrency concurrency, std::uint64_t calls,
                   const QFont& font);

  const Concurrency& Counts() const { return counts_; }
  std::size_t Bars() const { return counts_.bars; }
  // "10.1.1.5 PRI: 23 at 10:41", the most of the line and its first bar.
  QString PeakText(std::size_t series) const;
  // What a bar's point stands for, and each line's calls there.
  QString BarToolTip(std::size_t bar) const;
  // Instead of the chart when it has no lines; empty when it has.
  const QString& EmptyText() const { return emptyText_; }

  int MinimumWidth() const;
  QSize FileSize() const;
  // The bar whose points lie under a point of a picture of `size`.
  std::optional<std::size_t> BarAt(QPoint point, QSize size) const;

  void Paint(QPainter& painter, const ChartColours& colours, QSize size) const;

 private:
  struct Layout {
    int left = 0;
    int top = 0;
    int bottom = 0;  // the axis line
    double pitch = 0;
    int legendRows = 1;
  };
  Layout LayOut(QSize size) const;
  // Lays the legend out in rows within `width` from `left`, drawing it when given a painter.
  int PaintLegend(QPainter* painter, const ChartColours* colours, int left, int top,
                  int width) const;
  QPen SeriesPen(std::size_t series, const ChartColours& colours) const;

  QFont font_;
  Concurrency counts_;
  QStringList names_;  // "10.1.1.5 PRI", by series
  QString emptyText_;
  std::uint32_t tallest_ = 0;
};

}  // namespace sigrune
