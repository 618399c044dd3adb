#pragma once

// Calls > Statistics, in a window of its own. Its Outcomes tab: the chart of calls by start time
// stacked by outcome, the gateways with their answered and failed shares, and the causes of the
// calls not answered (of every call at the user's choice); its Trunks tab: the figures of each
// gateway, the calls in progress at once and the B-channels' map. A click on a bar or a row asks
// the main window to list those calls in the calls table; one on a row of Trunks or a channel does
// it through the filter bar's text, so that the user sees why.

#include <QWidget>
#include <memory>
#include <optional>

#include "calls/call_statistics.h"
#include "document/trace_document.h"
#include "platform/platform.h"
#include "window/ladder/ladder_export.h"

class QCheckBox;
class QLabel;
class QScrollArea;
class QTreeView;

namespace sigrune {

class GatewayStatisticsModel;
class CauseStatisticsModel;
class ChartView;
class StatisticsChart;
class TrunkStatistics;

class StatisticsWindow : public QWidget {
  Q_OBJECT

 public:
  // The document must outlive the window.
  StatisticsWindow(const TraceDocument& document, Dialogs& dialogs, QWidget* parent = nullptr);
  ~StatisticsWindow() override;

  // Counts the document's calls again: another trace, or calls that came.
  void Recount();

  const CallStatistics& Statistics() const { return statistics_; }
  const StatisticsChart& Chart() const { return *chart_; }
  // Chooses a bar as a click on it does.
  void ChooseBar(std::size_t bar);

 signals:
  void GroupChosen(const StatisticsGroup& group, const QString& description);
  // The filter bar's text that keeps the calls chosen; empty for every call.
  void FilterChosen(const QString& text);

 private:
  void ChooseGateway(int row);
  void ChooseCause(int row);
  void Export(LadderFormat format);

  const TraceDocument& document_;
  Dialogs& dialogs_;
  CallStatistics statistics_;
  std::unique_ptr<StatisticsChart> chart_;

  QLabel* heading_ = nullptr;
  QScrollArea* chartArea_ = nullptr;
  ChartView* chartView_ = nullptr;
  GatewayStatisticsModel* gatewayModel_ = nullptr;
  CauseStatisticsModel* causeModel_ = nullptr;
  QTreeView* gateways_ = nullptr;
  QTreeView* causes_ = nullptr;
  QCheckBox* withAnswered_ = nullptr;
  TrunkStatistics* trunks_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace sigrune
