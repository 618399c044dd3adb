#pragma once

// The statistics window's Trunks tab: the figures of each gateway and protocol, the chart of calls
// in progress at once, and the map of the PRI gateways' B-channels. A click on a row or a channel
// asks for the filter bar's text that keeps its calls, so that the user sees why they are listed.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "calls/call_table.h"
#include "document/trace_document.h"
#include "platform/platform.h"
#include "trace/message_time.h"
#include "window/ladder/ladder_export.h"

class QLabel;
class QStackedWidget;
class QTreeView;

namespace sigrune {

class ChannelMap;
class ConcurrencyChart;
class KpiStatisticsModel;
class PictureView;

// Asks where to export a picture of the statistics, and writes the picture of `size` that `paint`
// draws, titled `what` and what PictureTitle says from `first` to `last`. The path written; none
// when the user cancelled or the error was shown.
std::optional<QString> ExportStatisticsPicture(
    QWidget* parent, Dialogs& dialogs, const TraceDocument& document, const QString& caption,
    LadderFormat format, QSize size, const std::function<void(QPainter&)>& paint,
    const QString& what, MessageTime first, MessageTime last);

class TrunkStatistics : public QWidget {
  Q_OBJECT

 public:
  // The document must outlive the widget.
  TrunkStatistics(const TraceDocument& document, Dialogs& dialogs, QWidget* parent = nullptr);
  ~TrunkStatistics() override;

  // Counts the document's calls again, the given ones (every call when none): `calls` of them,
  // starting from `first` to `last`.
  void Recount(std::optional<std::span<const CallNumber>> counted, std::uint64_t calls,
               MessageTime first, MessageTime last);

  // The width that shows the KPI table and the channel map whole.
  int WholeWidth() const;

  const ConcurrencyChart& Concurrency() const { return *concurrency_; }
  const ChannelMap& Map() const { return *map_; }
  // Chooses a row of the KPI table (of the model, unsorted) or a channel's cell as a click does.
  void ChooseKpiRow(int row);
  void ChooseChannel(std::size_t row);

 signals:
  // The filter bar's text that keeps the calls chosen; empty for every call.
  void FilterChosen(const QString& text);
  void Exported(const QString& path);

 private:
  void Export(bool map, LadderFormat format);

  const TraceDocument& document_;
  Dialogs& dialogs_;
  std::unique_ptr<ConcurrencyChart> concurrency_;
  std::unique_ptr<ChannelMap> map_;
  MessageTime first_ = kNoTime;
  MessageTime last_ = kNoTime;

  KpiStatisticsModel* kpiModel_ = nullptr;
  QTreeView* kpis_ = nullptr;
  QLabel* noKpis_ = nullptr;
  QStackedWidget* kpiStack_ = nullptr;
  QLabel* concurrencyHeading_ = nullptr;
  PictureView* concurrencyView_ = nullptr;
  PictureView* mapView_ = nullptr;
};

}  // namespace sigrune
