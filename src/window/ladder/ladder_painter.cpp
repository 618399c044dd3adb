#include "window/ladder/ladder_painter.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPolygon>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "window/table_text.h"

namespace sigrune {

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kDay = 86'400 * kSecond;

// Room around an arrow's texts and for its head, in multiples of the padding.
constexpr int kArrowRoom = 6;

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

// "12.345": seconds and `digits` digits of their fraction (3, 6 or 9).
QString SecondsText(std::int64_t nanoseconds, int digits) {
  const std::int64_t seconds = nanoseconds / kSecond;
  std::int64_t fraction = nanoseconds % kSecond;
  for (int cut = digits; cut < 9; ++cut) {
    fraction /= 10;
  }
  return QStringLiteral("%1.%2").arg(seconds).arg(fraction, digits, 10, QLatin1Char('0'));
}

QString DateText(std::int64_t days) {
  const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
  return QStringLiteral("%1-%2-%3")
      .arg(static_cast<int>(date.year()), 4, 10, QLatin1Char('0'))
      .arg(static_cast<unsigned>(date.month()), 2, 10, QLatin1Char('0'))
      .arg(static_cast<unsigned>(date.day()), 2, 10, QLatin1Char('0'));
}

// "10:42:05.118", after the date when asked.
QString ClockText(MessageTime time, int digits, bool withDate) {
  const std::int64_t days = FloorDivide(time, kDay);
  const std::int64_t inDay = time - days * kDay;
  const std::int64_t seconds = inDay / kSecond;
  QString text = QStringLiteral("%1:%2:")
                     .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                     .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
  const QString rest = SecondsText(inDay % (60 * kSecond), digits);
  text += rest.size() < digits + 3 ? QLatin1Char('0') + rest : rest;
  return withDate ? DateText(days) + QLatin1Char(' ') + text : text;
}

QColor Mixed(const QColor& a, const QColor& b, double share) {
  return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - share) + b.redF() * share),
                          static_cast<float>(a.greenF() * (1 - share) + b.greenF() * share),
                          static_cast<float>(a.blueF() * (1 - share) + b.blueF() * share));
}

}  // namespace

LadderColours ScreenColours(const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor text = palette.color(QPalette::Text);
  const bool dark = base.lightness() < 128;
  QColor selection = palette.color(QPalette::Highlight);
  selection.setAlphaF(0.35f);
  return {base,
          text,
          Mixed(text, base, 0.45),
          dark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc0, 0x1c, 0x1c),
          Mixed(base, text, 0.08),
          selection};
}

LadderColours FileColours() {
  return {Qt::white,
          QColor(0x1a, 0x1a, 0x1a),
          QColor(0x80, 0x80, 0x80),
          QColor(0xc0, 0x1c, 0x1c),
          QColor(0xee, 0xf0, 0xf3),
          QColor(0xc8, 0xdc, 0xf5)};
}

LadderPicture::LadderPicture(CallFlow flow, const QFont& font, CallNumber selectedCall)
    : flow_(std::move(flow)), font_(font), selectedCall_(selectedCall) {
  if (font_.pixelSize() <= 0) {
    font_.setPixelSize(QFontInfo(font).pixelSize());
  }
  bold_ = font_;
  bold_.setBold(true);
  small_ = bold_;
  small_.setPixelSize(std::max(8, font_.pixelSize() * 9 / 10));
  const QFontMetrics metrics(font_);
  const QFontMetrics boldMetrics(bold_);
  padding_ = std::max(3, metrics.height() / 3);
  lineSpacing_ = metrics.lineSpacing();

  // Most texts are short: one measured only when its length in the widest characters could
  // widen a gap, and each name once.
  const int widest = metrics.maxWidth();
  const int space = 2 * metrics.horizontalAdvance(QLatin1Char(' '));
  const std::size_t lanes = flow_.lanes.size();
  gapNeeds_.assign(lanes > 1 ? lanes - 1 : 0, 0);
  std::unordered_map<std::string, int> nameWidths;
  std::vector<CallNumber> callOfLane(lanes);
  MessageTime earliest = kNoTime;
  MessageTime latest = kNoTime;
  for (const FlowArrow& arrow : flow_.arrows) {
    if (arrow.time != kNoTime) {
      if (firstTime_ == kNoTime) {
        firstTime_ = earliest = latest = arrow.time;
      }
      earliest = std::min(earliest, arrow.time);
      latest = std::max(latest, arrow.time);
      const std::int64_t fraction = arrow.time - FloorDivide(arrow.time, kSecond) * kSecond;
      fractionDigits_ = std::max(fractionDigits_, fraction % 1000 != 0        ? 9
                                                  : fraction % 1'000'000 != 0 ? 6
                                                                              : 3);
    }
    if (arrow.fromLane >= lanes || arrow.toLane >= lanes) {
      continue;
    }
    for (const std::uint32_t lane : {arrow.fromLane, arrow.toLane}) {
      if (!flow_.lanes[lane].server) {
        CallNumber& first = callOfLane[lane];
        sharedLane_ = sharedLane_ || (first && first != arrow.call);
        first = first ? first : arrow.call;
      }
    }
    if (arrow.fromLane == arrow.toLane) {
      continue;
    }
    const std::size_t low = std::min(arrow.fromLane, arrow.toLane);
    const std::size_t high = std::max(arrow.fromLane, arrow.toLane);
    const int span = static_cast<int>(high - low);
    int least = gapNeeds_[low];
    for (std::size_t gap = low + 1; gap < high; ++gap) {
      least = std::min(least, gapNeeds_[gap]);
    }
    auto [named, fresh] = nameWidths.try_emplace(arrow.name, 0);
    if (fresh) {
      named->second = boldMetrics.horizontalAdvance(FromLatin1(arrow.name));
    }
    const int room = kArrowRoom * padding_;
    const auto bound = [&](std::size_t characters) {
      return static_cast<int>(std::min<std::size_t>(characters, 4096)) * widest;
    };
    const std::string label = ShownLabel(arrow);
    if ((std::max(named->second + space + bound(label.size()), bound(arrow.detail.size())) + room) /
            span <=
        least) {
      continue;
    }
    const int need = std::max(named->second + space + metrics.horizontalAdvance(FromLatin1(label)),
                              metrics.horizontalAdvance(FromLatin1(arrow.detail))) +
                     room;
    for (std::size_t gap = low; gap < high; ++gap) {
      gapNeeds_[gap] = std::max(gapNeeds_[gap], (need + span - 1) / span);
    }
  }
  severalDays_ = firstTime_ != kNoTime && FloorDivide(earliest, kDay) != FloorDivide(latest, kDay);
  farthestTime_ = latest - firstTime_ >= firstTime_ - earliest ? latest : earliest;
  titles_.resize(lanes);
  LayOut();
}

void LadderPicture::SetTitles(std::vector<LaneTitle> titles) {
  titles_ = std::move(titles);
  titles_.resize(flow_.lanes.size());
  LayOut();
}

void LadderPicture::SetTime(LadderTime time) {
  time_ = time;
  LayOut();
}

void LadderPicture::LayOut() {
  const QFontMetrics metrics(font_);
  const QFontMetrics boldMetrics(bold_);
  const int average = metrics.averageCharWidth();
  headerHeight_ = 2 * lineSpacing_ + 4 * padding_;
  rowHeight_ = 2 * lineSpacing_ + 2 * padding_ + 4;

  // The time column is as wide as its widest text, which the extremes give.
  int timeWidth = std::max(boldMetrics.horizontalAdvance(tr("Time (s)")),
                           metrics.horizontalAdvance(tr("from the first")));
  if (firstTime_ != kNoTime) {
    timeWidth = std::max(
        {timeWidth,
         metrics.horizontalAdvance(QStringLiteral("00:00:00.") + QString(fractionDigits_, '0')),
         metrics.horizontalAdvance(ClockText(firstTime_, fractionDigits_, severalDays_)),
         metrics.horizontalAdvance(
             time_ == LadderTime::Relative
                 ? SecondsText(std::abs(farthestTime_ - firstTime_), fractionDigits_) +
                       QLatin1Char('-')
                 : QString())});
  }
  timeWidth_ = timeWidth + 3 * padding_;

  const std::size_t lanes = flow_.lanes.size();
  boxWidths_.assign(lanes, 0);
  laneCentres_.assign(lanes, 0);
  for (std::size_t lane = 0; lane < lanes; ++lane) {
    boxWidths_[lane] = std::clamp(std::max(boldMetrics.horizontalAdvance(titles_[lane].name),
                                           metrics.horizontalAdvance(titles_[lane].detail)),
                                  8 * average, 28 * average) +
                       4 * padding_;
  }
  int right = timeWidth_;
  for (std::size_t lane = 0; lane < lanes; ++lane) {
    if (lane == 0) {
      laneCentres_[lane] = timeWidth_ + padding_ + boxWidths_[lane] / 2;
    } else {
      const int boxes = (boxWidths_[lane - 1] + boxWidths_[lane]) / 2 + 2 * padding_;
      const int texts = std::min(gapNeeds_[lane - 1], 64 * average);
      laneCentres_[lane] = laneCentres_[lane - 1] + std::max({14 * average, boxes, texts});
    }
    right = laneCentres_[lane] + (boxWidths_[lane] + 1) / 2;
  }
  width_ = right + 2 * padding_;
}

std::optional<std::size_t> LadderPicture::LaneAt(QPoint point) const {
  for (std::size_t lane = 0; lane < laneCentres_.size(); ++lane) {
    if (LaneBox(lane).contains(point)) {
      return lane;
    }
  }
  return std::nullopt;
}

QRect LadderPicture::LaneBox(std::size_t lane) const {
  return {laneCentres_[lane] - boxWidths_[lane] / 2, padding_, boxWidths_[lane],
          2 * lineSpacing_ + 2 * padding_};
}

QString LadderPicture::TimeText(std::size_t row) const {
  const MessageTime time = flow_.arrows[row].time;
  if (time == kNoTime) {
    return {};
  }
  if (time_ == LadderTime::Absolute) {
    return ClockText(time, fractionDigits_, severalDays_);
  }
  const QString seconds = SecondsText(std::abs(time - firstTime_), fractionDigits_);
  return time < firstTime_ ? QLatin1Char('-') + seconds : seconds;
}

QString LadderPicture::Description(std::size_t row) const {
  const FlowArrow& arrow = flow_.arrows[row];
  QString text = tr("Message %1").arg(arrow.message.value);
  if (arrow.call) {
    text += tr(", call %1").arg(arrow.call.value);
  }
  const QString time = TimeText(row);
  if (!time.isEmpty()) {
    text += QLatin1String(", ") + time;
  }
  text += QLatin1String(": ") + FromLatin1(arrow.name);
  for (const std::string& part : {ShownLabel(arrow), arrow.detail}) {
    if (!part.empty()) {
      text += QLatin1String(", ") + FromLatin1(part);
    }
  }
  // Overlap sending may make a number of thousands of digits.
  constexpr qsizetype kLongest = 300;
  return text.size() > kLongest ? text.left(kLongest) + QChar(0x2026) : text;
}

QString LadderPicture::CallTag(std::size_t row) const {
  return sharedLane_ && flow_.arrows[row].call ? QString::number(flow_.arrows[row].call.value)
                                               : QString();
}

bool LadderPicture::Strong(std::size_t row) const {
  return !sharedLane_ || flow_.arrows[row].call == selectedCall_;
}

void LadderPicture::Paint(QPainter& painter, const LadderColours& colours,
                          const LadderRows& rows) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const std::size_t end = std::min(rows.end, Rows());
  const std::size_t first = std::min(rows.first, end);
  const int top = headerHeight_ - rows.shift;
  const int bottom = top + static_cast<int>(end - first) * rowHeight_;
  const int width = std::max(width_, rows.width);
  painter.fillRect(QRect(0, 0, width, std::max(bottom, headerHeight_)), colours.background);
  painter.setPen(QPen(colours.muted, 1));
  for (const int centre : laneCentres_) {
    painter.drawLine(centre, headerHeight_, centre, bottom);
  }
  for (std::size_t row = first; row < end; ++row) {
    PaintRow(painter, colours, row, top + static_cast<int>(row - first) * rowHeight_,
             rows.selected == row, width);
  }
  PaintHeader(painter, colours, width);
  painter.restore();
}

void LadderPicture::PaintRow(QPainter& painter, const LadderColours& colours, std::size_t row,
                             int top, bool selected, int width) const {
  const FlowArrow& arrow = flow_.arrows[row];
  const QFontMetrics metrics(font_);
  const QFontMetrics boldMetrics(bold_);
  if (selected) {
    painter.fillRect(QRect(0, top, width, rowHeight_), colours.selection);
  }
  const int arrowY = top + padding_ + lineSpacing_ + 2;
  const bool strong = Strong(row);
  QColor colour = arrow.failedClearing ? colours.failed
                  : arrow.undecodable  ? colours.muted
                                       : colours.text;
  if (!strong) {
    // The other leg's arrows recede, so that two legs on one lane never read as one.
    colour = Mixed(colour, colours.background, 0.4);
  }
  painter.setFont(font_);
  painter.setPen(colours.text);
  painter.drawText(QPoint(padding_, arrowY + (metrics.ascent() - metrics.descent()) / 2),
                   TimeText(row));
  if (arrow.fromLane >= laneCentres_.size() || arrow.toLane >= laneCentres_.size()) {
    return;
  }

  const int from = laneCentres_[arrow.fromLane];
  int to = laneCentres_[arrow.toLane];
  if (to == from) {
    to = from + 4 * padding_;  // a message a party sends itself: a stub
  }
  const int direction = to > from ? 1 : -1;
  const int head = padding_ + 3;
  QPen line(colour, selected ? 2.5 : strong && sharedLane_ ? 2.2 : strong ? 1.3 : 1.0);
  if (arrow.undecodable) {
    line.setStyle(Qt::DashLine);
  }
  painter.setPen(line);
  painter.drawLine(from, arrowY, to - direction * head, arrowY);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  const int back = to - direction * (head + 2);
  painter.drawPolygon(QPolygon({QPoint(to, arrowY), QPoint(back, arrowY - head / 2 - 1),
                                QPoint(back, arrowY + head / 2 + 1)}));
  painter.setBrush(Qt::NoBrush);

  // The name in bold, then the label, centred over the arrow and cut short to fit it.
  const int room = std::abs(to - from) - 2 * padding_;
  const int middle = (from + to) / 2;
  const int space = 2 * metrics.horizontalAdvance(QLatin1Char(' '));
  QString name = FromLatin1(arrow.name);
  QString label = FromLatin1(ShownLabel(arrow));
  int nameWidth = boldMetrics.horizontalAdvance(name);
  if (nameWidth > room) {
    name = boldMetrics.elidedText(name, Qt::ElideRight, room);
    nameWidth = boldMetrics.horizontalAdvance(name);
    label.clear();
  } else if (!label.isEmpty()) {
    label = metrics.elidedText(label, Qt::ElideRight, room - nameWidth - space);
  }
  const int labelWidth = label.isEmpty() ? 0 : space + metrics.horizontalAdvance(label);
  const int left = middle - (nameWidth + labelWidth) / 2;
  const int baseline = top + padding_ + metrics.ascent();
  painter.setPen(colour);
  painter.setFont(bold_);
  painter.drawText(QPoint(left, baseline), name);
  if (!label.isEmpty()) {
    painter.setFont(font_);
    painter.drawText(QPoint(left + nameWidth + space, baseline), label);
  }
  // The tag under the arrow's start, the detail centred beside it.
  const QString tag = CallTag(row);
  int tagRoom = 0;
  if (!tag.isEmpty()) {
    const QFontMetrics smallMetrics(small_);
    const int tagWidth = smallMetrics.horizontalAdvance(tag) + 2 * 3;
    const QRect box(direction > 0 ? from + 2 : from - 2 - tagWidth, arrowY + 3, tagWidth,
                    smallMetrics.height());
    painter.setPen(QPen(colour, 1));
    painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    painter.setFont(small_);
    painter.drawText(box, Qt::AlignCenter, tag);
    tagRoom = 2 * (tagWidth + padding_);
  }
  if (!arrow.detail.empty()) {
    const QString detail =
        metrics.elidedText(FromLatin1(arrow.detail), Qt::ElideRight, std::max(room - tagRoom, 0));
    painter.setFont(font_);
    painter.setPen(colours.muted);
    painter.drawText(
        QPoint(middle - metrics.horizontalAdvance(detail) / 2, arrowY + 3 + metrics.ascent()),
        detail);
  }
}

void LadderPicture::PaintHeader(QPainter& painter, const LadderColours& colours, int width) const {
  const QFontMetrics metrics(font_);
  const QFontMetrics boldMetrics(bold_);
  painter.fillRect(QRect(0, 0, width, headerHeight_), colours.header);
  painter.setPen(QPen(colours.muted, 1));
  painter.drawLine(0, headerHeight_ - 1, width, headerHeight_ - 1);

  const int firstLine = 2 * padding_ + metrics.ascent();
  const int secondLine = firstLine + lineSpacing_;
  const bool relative = time_ == LadderTime::Relative;
  painter.setPen(colours.text);
  painter.setFont(bold_);
  painter.drawText(QPoint(padding_, firstLine), relative ? tr("Time (s)") : tr("Time"));
  painter.setFont(font_);
  painter.setPen(colours.muted);
  painter.drawText(QPoint(padding_, secondLine), relative ? tr("from the first")
                                                 : firstTime_ == kNoTime || severalDays_
                                                     ? QString()
                                                     : DateText(FloorDivide(firstTime_, kDay)));

  for (std::size_t lane = 0; lane < laneCentres_.size(); ++lane) {
    const QRect box = LaneBox(lane);
    painter.setPen(QPen(flow_.lanes[lane].server ? colours.text : colours.muted, 1));
    painter.setBrush(colours.background);
    painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), padding_, padding_);
    painter.setBrush(Qt::NoBrush);
    const int inner = box.width() - 2 * padding_;
    const QString name = boldMetrics.elidedText(titles_[lane].name, Qt::ElideRight, inner);
    const QString detail = metrics.elidedText(titles_[lane].detail, Qt::ElideRight, inner);
    painter.setPen(colours.text);
    painter.setFont(bold_);
    // A title alone stands in the middle of its box.
    painter.drawText(QPoint(laneCentres_[lane] - boldMetrics.horizontalAdvance(name) / 2,
                            detail.isEmpty() ? firstLine + lineSpacing_ / 2 : firstLine),
                     name);
    painter.setPen(colours.muted);
    painter.setFont(font_);
    painter.drawText(QPoint(laneCentres_[lane] - metrics.horizontalAdvance(detail) / 2, secondLine),
                     detail);
  }
}

}  // namespace sigrune
