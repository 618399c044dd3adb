#include "window/statistics/concurrency_chart.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "calls/call_statistics.h"
#include "util/text_utilities.h"
#include "window/statistics/statistics_chart.h"
#include "window/statistics/statistics_tables.h"
#include "window/table_text.h"

namespace sigrune {

namespace {

constexpr std::int64_t kMostBars = 1440;
// A point's pitch in pixels: lines read at less than bars do.
constexpr double kLeastPitch = 2;
constexpr double kMostPitch = 80;
constexpr int kFileHeight = 380;

// Hues apart for readers who do not tell red from green (Okabe and Ito), without the yellow that
// does not show on white; the last is the text's own colour. Past them, the dashes tell lines
// apart.
constexpr QRgb kLineHues[] = {0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7, 0xE69F00, 0x56B4E9};
constexpr Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};

}  // namespace

ConcurrencyChart::ConcurrencyChart(const MessageStore& store, Concurrency concurrency,
                                   std::uint64_t calls, const QFont& font)
    : font_(font), counts_(std::move(concurrency)) {
  if (font_.pixelSize() <= 0) {
    font_.setPixelSize(QFontInfo(font).pixelSize());
  }
  for (const ConcurrencySeries& series : counts_.series) {
    names_ << FromLatin1(store.gatewayIpTexts[series.gatewayIpIndex]) + QLatin1Char(' ') +
                  FromLatin1(ProtocolText(series.protocol));
    tallest_ = std::max(tallest_, series.peak);
  }
  if (calls == 0) {
    emptyText_ = tr("No calls in this trace");
  } else if (counts_.series.empty()) {
    emptyText_ = tr("No call has a time");
  }
}

QString ConcurrencyChart::PeakText(std::size_t series) const {
  const ConcurrencySeries& line = counts_.series[series];
  const std::int64_t start =
      counts_.firstMinute + static_cast<std::int64_t>(line.peakBar) * counts_.barMinutes;
  QString when = BarSpanText(start, counts_.barMinutes);
  // The date once for a trace of one day: the axis names it.
  const std::int64_t last =
      counts_.firstMinute + static_cast<std::int64_t>(Bars() - 1) * counts_.barMinutes;
  if (counts_.barMinutes == 1 &&
      MinuteText(counts_.firstMinute).substr(0, 10) == MinuteText(last).substr(0, 10)) {
    when = when.mid(11);
  }
  return tr("%1: %2 at %3")
      .arg(names_[static_cast<qsizetype>(series)], GroupedCount(line.peak), when);
}

QString ConcurrencyChart::BarToolTip(std::size_t bar) const {
  QStringList lines{
      BarSpanText(counts_.firstMinute + static_cast<std::int64_t>(bar) * counts_.barMinutes,
                  counts_.barMinutes)};
  for (std::size_t series = 0; series < counts_.series.size(); ++series) {
    lines << tr("%1: %2 at once")
                 .arg(names_[static_cast<qsizetype>(series)],
                      GroupedCount(counts_.series[series].peaks[bar]));
  }
  return lines.join(QLatin1Char('\n'));
}

QPen ConcurrencyChart::SeriesPen(std::size_t series, const ChartColours& colours) const {
  constexpr std::size_t kHues = std::size(kLineHues) + 1;
  const std::size_t hue = series % kHues;
  QPen pen(hue < std::size(kLineHues) ? QColor(kLineHues[hue]) : colours.text);
  pen.setWidthF(2);
  pen.setStyle(kDashes[series / kHues % std::size(kDashes)]);
  return pen;
}

int ConcurrencyChart::PaintLegend(QPainter* painter, const ChartColours* colours, int left, int top,
                                  int width) const {
  const QFontMetrics metrics(font_);
  const int sample = 3 * metrics.averageCharWidth();
  const int space = metrics.averageCharWidth();
  int x = left;
  int rows = 1;
  for (std::size_t series = 0; series < counts_.series.size(); ++series) {
    const QString text = PeakText(series);
    const int entry = sample + space + metrics.horizontalAdvance(text);
    if (x > left && x + entry > left + width) {
      x = left;
      ++rows;
    }
    if (painter != nullptr) {
      const int y = top + (rows - 1) * metrics.height();
      painter->setPen(SeriesPen(series, *colours));
      const int middle = y + metrics.ascent() - metrics.xHeight() / 2;
      painter->drawLine(x, middle, x + sample, middle);
      painter->setPen(colours->text);
      painter->drawText(x + sample + space, y + metrics.ascent(), text);
    }
    x += entry + 3 * space;
  }
  return rows;
}

ConcurrencyChart::Layout ConcurrencyChart::LayOut(QSize size) const {
  const QFontMetrics metrics(font_);
  const int padding = std::max(4, metrics.height() / 2);
  const std::uint64_t step = GridStep(tallest_);
  Layout layout;
  layout.left = 2 * padding + metrics.horizontalAdvance(QString::fromStdString(
                                  GroupedDigits((tallest_ + step - 1) / step * step)));
  layout.legendRows = PaintLegend(nullptr, nullptr, layout.left, 0,
                                  std::max(1, size.width() - layout.left - padding));
  layout.top = 2 * padding + layout.legendRows * metrics.height();
  layout.bottom = size.height() - 2 * padding - 2 * metrics.height();
  const double room = size.width() - layout.left - padding;
  layout.pitch = std::clamp(room / static_cast<double>(std::max<std::size_t>(1, Bars())),
                            kLeastPitch, kMostPitch);
  return layout;
}

int ConcurrencyChart::MinimumWidth() const {
  const Layout layout = LayOut({0, kFileHeight});
  return layout.left + static_cast<int>(std::ceil(kLeastPitch * static_cast<double>(Bars()))) +
         QFontMetrics(font_).height();
}

QSize ConcurrencyChart::FileSize() const {
  if (Bars() == 0) {
    return {640, kFileHeight / 2};
  }
  const Layout least = LayOut({0, kFileHeight});
  const int width = std::max(
      MinimumWidth(),
      least.left + static_cast<int>(std::min(8 * static_cast<double>(Bars()), 4000.0)) + least.top);
  // As many rows of legend as that width takes, over a plot of the same height.
  const int rows = LayOut({std::max(width, 900), kFileHeight}).legendRows;
  const QSize size(std::max(width, 900), kFileHeight + (rows - 1) * QFontMetrics(font_).height());
  return size;
}

std::optional<std::size_t> ConcurrencyChart::BarAt(QPoint point, QSize size) const {
  if (Bars() == 0) {
    return std::nullopt;
  }
  const Layout layout = LayOut(size);
  const double offset = (point.x() - layout.left) / layout.pitch;
  if (offset < 0 || offset >= static_cast<double>(Bars()) || point.y() < layout.top ||
      point.y() > layout.bottom) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(offset);
}

void ConcurrencyChart::Paint(QPainter& painter, const ChartColours& colours, QSize size) const {
  painter.save();
  painter.setFont(font_);
  painter.fillRect(QRect(QPoint(), size), colours.background);
  if (Bars() == 0) {
    painter.setPen(colours.text);
    painter.drawText(QRect(QPoint(), size), Qt::AlignCenter, emptyText_);
    painter.restore();
    return;
  }
  const QFontMetrics metrics(font_);
  const Layout layout = LayOut(size);
  const int padding = std::max(4, metrics.height() / 2);
  PaintLegend(&painter, &colours, layout.left, padding, size.width() - layout.left - padding);

  const int right = layout.left + static_cast<int>(std::ceil(layout.pitch * Bars()));
  const double perCall =
      PaintCallGrid(painter, colours, metrics,
                    QRect(QPoint(layout.left, layout.top), QPoint(right, layout.bottom)),
                    layout.left - padding, tallest_);
  const auto pointOf = [&](std::size_t bar, std::uint32_t calls) {
    return QPointF(layout.left + layout.pitch * (static_cast<double>(bar) + 0.5),
                   layout.bottom - perCall * calls);
  };
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (std::size_t series = 0; series < counts_.series.size(); ++series) {
    const std::vector<std::uint32_t>& peaks = counts_.series[series].peaks;
    QPainterPath path(pointOf(0, peaks[0]));
    for (std::size_t bar = 1; bar < Bars(); ++bar) {
      path.lineTo(pointOf(bar, peaks[bar]));
    }
    // Thinner where the points crowd, so that the lines under one another still show.
    QPen pen = SeriesPen(series, colours);
    pen.setWidthF(layout.pitch < 6 ? 1.25 : 2);
    painter.strokePath(path, pen);
  }
  // The busiest bar of each line, ringed in the text's colour so that it stands out of the others.
  const double radius = std::max(4.0, metrics.height() / 3.0);
  for (std::size_t series = 0; series < counts_.series.size(); ++series) {
    const ConcurrencySeries& line = counts_.series[series];
    painter.setPen(QPen(colours.text, 1.5));
    painter.setBrush(SeriesPen(series, colours).color());
    painter.drawEllipse(pointOf(line.peakBar, line.peak), radius, radius);
  }
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(colours.text);
  painter.drawLine(layout.left, layout.bottom, right, layout.bottom);
  PaintTimeAxis(painter, font_, colours.text, layout.left, layout.bottom, layout.pitch,
                counts_.firstMinute, counts_.barMinutes, Bars());
  painter.restore();
}

}  // namespace sigrune
