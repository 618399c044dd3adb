#include "window/statistics/channel_map.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "window/statistics/statistics_chart.h"
#include "window/statistics/statistics_tables.h"
#include "window/table_text.h"

namespace sigrune {

namespace {

// The failure shares in classes, each below its bound in percent (the first: none failed), filled
// light to dark in hues apart for readers who do not tell red from green.
struct ShareClass {
  int below;
  const char* text;
  QRgb fill;
  bool darkFill;
};
constexpr ShareClass kClasses[] = {
    {0, QT_TRANSLATE_NOOP("sigrune::ChannelMap", "0 %"), 0xf0f0f0, false},
    {5, QT_TRANSLATE_NOOP("sigrune::ChannelMap", "under 5 %"), 0xfee8c8, false},
    {10, QT_TRANSLATE_NOOP("sigrune::ChannelMap", "5 to 10 %"), 0xfdbb84, false},
    {20, QT_TRANSLATE_NOOP("sigrune::ChannelMap", "10 to 20 %"), 0xfc8d59, false},
    {40, QT_TRANSLATE_NOOP("sigrune::ChannelMap", "20 to 40 %"), 0xd7301f, true},
    {101, QT_TRANSLATE_NOOP("sigrune::ChannelMap", "40 % or more"), 0x7f0000, true},
};

const ShareClass& ClassOf(const ChannelRow& row) {
  if (row.failed == 0) {
    return kClasses[0];
  }
  for (std::size_t k = 1; k + 1 < std::size(kClasses); ++k) {
    if (std::uint64_t{row.failed} * 100 < std::uint64_t{row.calls} * kClasses[k].below) {
      return kClasses[k];
    }
  }
  return kClasses[std::size(kClasses) - 1];
}

QString Translated(const char* text) {
  return QCoreApplication::translate("sigrune::ChannelMap", text);
}

}  // namespace

ChannelMap::ChannelMap(const MessageStore& store, std::vector<ChannelRow> rows, std::uint64_t calls,
                       const QFont& font)
    : store_(&store), font_(font), rows_(std::move(rows)) {
  if (font_.pixelSize() <= 0) {
    font_.setPixelSize(QFontInfo(font).pixelSize());
  }
  if (rows_.empty()) {
    emptyText_ = calls == 0 ? tr("No calls in this trace") : tr("No PRI call names its channel");
  } else {
    firstChannel_ = rows_.front().channel;
    lastChannel_ = rows_.front().channel;
  }
  for (const ChannelRow& row : rows_) {
    if (gateways_.empty() || gateways_.back() != row.gatewayIpIndex) {
      gateways_.push_back(row.gatewayIpIndex);
      names_ << FromLatin1(store.gatewayIpTexts[row.gatewayIpIndex]);
    }
    firstChannel_ = std::min(firstChannel_, row.channel);
    lastChannel_ = std::max(lastChannel_, row.channel);
  }
  const int channels = lastChannel_ - firstChannel_ + 1;
  cells_.assign(gateways_.size() * static_cast<std::size_t>(channels), -1);
  for (std::size_t k = 0; k < rows_.size(); ++k) {
    cells_[static_cast<std::size_t>(GatewayOf(rows_[k].gatewayIpIndex) * channels +
                                    rows_[k].channel - firstChannel_)] = static_cast<int>(k);
  }

  const QFontMetrics metrics(font_);
  padding_ = std::max(4, metrics.height() / 2);
  labelWidth_ = metrics.horizontalAdvance(tr("Gateway"));
  for (const QString& name : names_) {
    labelWidth_ = std::max(labelWidth_, metrics.horizontalAdvance(name));
  }
  labelWidth_ += 2 * padding_;
  headerHeight_ = metrics.height() + padding_;
  QFont bold = font_;
  bold.setBold(true);
  cellWidth_ = std::max(QFontMetrics(bold).horizontalAdvance(QStringLiteral("100!")) + padding_,
                        metrics.height() * 2);
  cellHeight_ = metrics.height() * 8 / 5;
}

int ChannelMap::GatewayOf(std::uint32_t gatewayIpIndex) const {
  return static_cast<int>(std::find(gateways_.begin(), gateways_.end(), gatewayIpIndex) -
                          gateways_.begin());
}

QRect ChannelMap::CellRect(const ChannelRow& row) const {
  return {padding_ + labelWidth_ + (row.channel - firstChannel_) * cellWidth_,
          padding_ + headerHeight_ + GatewayOf(row.gatewayIpIndex) * cellHeight_, cellWidth_,
          cellHeight_};
}

const ChannelRow* ChannelMap::CellAt(QPoint point) const {
  const int x = point.x() - padding_ - labelWidth_;
  const int y = point.y() - padding_ - headerHeight_;
  if (rows_.empty() || x < 0 || y < 0) {
    return nullptr;
  }
  const int channels = lastChannel_ - firstChannel_ + 1;
  const int channel = x / cellWidth_;
  const int gateway = y / cellHeight_;
  if (channel >= channels || gateway >= Gateways()) {
    return nullptr;
  }
  const int found = cells_[static_cast<std::size_t>(gateway * channels + channel)];
  return found < 0 ? nullptr : &rows_[static_cast<std::size_t>(found)];
}

QString ChannelMap::CellText(const ChannelRow& row) {
  // Whole percent, halves away from zero.
  const std::uint64_t percent =
      (std::uint64_t{row.failed} * 200 + row.calls) / (2 * std::uint64_t{row.calls});
  return QString::number(percent) + (row.suspect ? QStringLiteral("!") : QString());
}

QString ChannelMap::ToolTip(const ChannelRow& row) const {
  const std::array<std::string, kChannelColumns> cells = ChannelCells(*store_, row);
  QStringList lines{tr("%1, channel %2").arg(FromLatin1(cells[0]), FromLatin1(cells[1])),
                    tr("Calls: %1").arg(GroupedCount(row.calls)),
                    tr("Answered: %1").arg(GroupedCount(row.answered)),
                    tr("Failed: %1").arg(GroupedCount(row.failed)),
                    tr("Other: %1").arg(GroupedCount(row.Other())),
                    tr("Failure share: %1 %").arg(FromLatin1(cells[6]))};
  if (row.topCause >= 0) {
    lines << tr("Top cause: %1").arg(CauseCell(row.topCause));
  }
  if (row.suspect) {
    lines << tr("Suspect: 5 failed calls or more, at 3 times the gateway's share or more");
  }
  return lines.join(QLatin1Char('\n'));
}

QColor ChannelMap::ShareFill(const ChannelRow& row) {
  return QColor(ClassOf(row).fill);
}

QColor ChannelMap::ShareText(const ChannelRow& row) {
  return ClassOf(row).darkFill ? QColor(Qt::white) : QColor(0x1a, 0x1a, 0x1a);
}

QSize ChannelMap::Size() const {
  const QFontMetrics metrics(font_);
  if (rows_.empty()) {
    return {640, 4 * metrics.height()};
  }
  const int grid = labelWidth_ + (lastChannel_ - firstChannel_ + 1) * cellWidth_;
  int legend = 0;
  for (const ShareClass& share : kClasses) {
    legend += metrics.height() + metrics.horizontalAdvance(Translated(share.text)) +
              3 * metrics.averageCharWidth();
  }
  return {2 * padding_ + std::max(grid, legend),
          3 * padding_ + headerHeight_ + Gateways() * cellHeight_ + 3 * metrics.height()};
}

void ChannelMap::Paint(QPainter& painter, const ChartColours& colours, QSize size) const {
  painter.save();
  painter.setFont(font_);
  painter.fillRect(QRect(QPoint(), size), colours.background);
  const QFontMetrics metrics(font_);
  if (rows_.empty()) {
    painter.setPen(colours.text);
    painter.drawText(QRect(QPoint(), size), Qt::AlignCenter, emptyText_);
    painter.restore();
    return;
  }
  const int channels = lastChannel_ - firstChannel_ + 1;
  const int gridLeft = padding_ + labelWidth_;
  const int gridTop = padding_ + headerHeight_;
  painter.setPen(colours.text);
  painter.drawText(QRect(padding_, padding_, labelWidth_, headerHeight_),
                   Qt::AlignLeft | Qt::AlignVCenter, tr("Gateway"));
  for (int channel = 0; channel < channels; ++channel) {
    painter.drawText(QRect(gridLeft + channel * cellWidth_, padding_, cellWidth_, headerHeight_),
                     Qt::AlignCenter, QString::number(firstChannel_ + channel));
  }
  for (int gateway = 0; gateway < Gateways(); ++gateway) {
    painter.setPen(colours.text);
    painter.drawText(
        QRect(padding_, gridTop + gateway * cellHeight_, labelWidth_ - padding_, cellHeight_),
        Qt::AlignLeft | Qt::AlignVCenter, names_[gateway]);
    // A channel without a call is a dotted box: there is nothing to fill it by.
    QPen dotted(colours.muted);
    dotted.setStyle(Qt::DotLine);
    painter.setPen(dotted);
    painter.setBrush(Qt::NoBrush);
    for (int channel = 0; channel < channels; ++channel) {
      if (cells_[static_cast<std::size_t>(gateway * channels + channel)] < 0) {
        painter.drawRect(QRect(gridLeft + channel * cellWidth_, gridTop + gateway * cellHeight_,
                               cellWidth_, cellHeight_)
                             .adjusted(2, 2, -3, -3));
      }
    }
  }
  QFont bold = font_;
  bold.setBold(true);
  for (const ChannelRow& row : rows_) {
    const QRect cell = CellRect(row).adjusted(1, 1, -1, -1);
    painter.fillRect(cell, ShareFill(row));
    painter.setFont(row.suspect ? bold : font_);
    painter.setPen(ShareText(row));
    painter.drawText(cell, Qt::AlignCenter, CellText(row));
    if (row.suspect) {
      painter.setPen(QPen(colours.text, 3));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(CellRect(row).adjusted(1, 1, -2, -2));
    }
  }
  painter.setFont(font_);

  // The legend: the classes, then what the cells and the marks say.
  int x = gridLeft;
  const int legendTop = gridTop + Gateways() * cellHeight_ + padding_;
  const int swatch = metrics.ascent();
  for (const ShareClass& share : kClasses) {
    const QRect box(x, legendTop, swatch, swatch);
    painter.fillRect(box, QColor(share.fill));
    painter.setPen(colours.muted);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setPen(colours.text);
    const QString text = Translated(share.text);
    painter.drawText(x + swatch + metrics.averageCharWidth(), legendTop + metrics.ascent() - 1,
                     text);
    x += swatch + metrics.horizontalAdvance(text) + 3 * metrics.averageCharWidth();
  }
  painter.drawText(gridLeft, legendTop + metrics.height() + metrics.ascent() + 2,
                   tr("Cells: the failed share of the channel's calls in %; framed with ! a "
                      "suspect channel; dotted, no call."));
  painter.restore();
}

}  // namespace sigrune
