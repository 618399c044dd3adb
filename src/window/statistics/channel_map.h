#pragma once

// The channel map: a row per PRI gateway, a column per B-channel, each cell filled by the share of
// the channel's calls that failed and marked with a "!" and a frame when the channel is a suspect,
// so that a bad channel shows without telling colours apart. One routine draws it for the screen
// and for the PNG and SVG files, at the size its texts need.

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

#include "calls/call_kpis.h"
#include "trace/message_store.h"

class QPainter;

namespace sigrune {

struct ChartColours;

class ChannelMap {
  Q_DECLARE_TR_FUNCTIONS(ChannelMap)

 public:
  // The rows of CountChannels, of the `calls` counted.
  ChannelMap(const MessageStore& store, std::vector<ChannelRow> rows, std::uint64_t calls,
             const QFont& font);

  const std::vector<ChannelRow>& Rows() const { return rows_; }
  int Gateways() const { return static_cast<int>(gateways_.size()); }
  // Instead of the map when it has no cell; empty when it has.
  const QString& EmptyText() const { return emptyText_; }

  // Where the map draws the cell of a row of Rows(), and the row whose cell is under a point.
  QRect CellRect(const ChannelRow& row) const;
  const ChannelRow* CellAt(QPoint point) const;
  // The cell's text: its failure share in whole percent, "!" after it for a suspect.
  static QString CellText(const ChannelRow& row);
  // Its figures, as `channels` gives them.
  QString ToolTip(const ChannelRow& row) const;
  // The fill of a failure share, darker as it grows, and the text that reads on it.
  static QColor ShareFill(const ChannelRow& row);
  static QColor ShareText(const ChannelRow& row);

  QSize Size() const;
  void Paint(QPainter& painter, const ChartColours& colours, QSize size) const;

 private:
  int GatewayOf(std::uint32_t gatewayIpIndex) const;

  const MessageStore* store_ = nullptr;
  QFont font_;
  std::vector<ChannelRow> rows_;
  std::vector<std::uint32_t> gateways_;  // by map row, as the rows come
  QStringList names_;
  std::uint16_t firstChannel_ = 0;
  std::uint16_t lastChannel_ = 0;
  std::vector<int> cells_;  // index into rows_ by map row and channel; -1: no call
  QString emptyText_;
  // The layout, from the font.
  int padding_ = 0;
  int labelWidth_ = 0;
  int headerHeight_ = 0;
  int cellWidth_ = 0;
  int cellHeight_ = 0;
};

}  // namespace sigrune
