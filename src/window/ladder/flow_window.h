#pragma once

// The ladder of one or more calls in a window of its own: the calls named at the top, "With
// related legs", absolute or relative times, export to PNG, SVG and PDF, and the ladder. A click
// on an arrow (or Up/Down) asks the main window to show that message; the main window in turn
// marks the arrow of the message it shows.

#include <QWidget>
#include <memory>
#include <vector>

#include "calls/call_table.h"
#include "document/trace_document.h"
#include "platform/platform.h"
#include "window/ladder/ladder_export.h"
#include "window/ladder/ladder_painter.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace sigrune {

class LadderView;
class LaneNamesStore;

class FlowWindow : public QWidget {
  Q_OBJECT

 public:
  // The document must outlive the window, or the window must close when the document takes
  // another trace.
  FlowWindow(const TraceDocument& document, std::vector<CallNumber> calls, LaneNamesStore& names,
             Dialogs& dialogs, QWidget* parent = nullptr);
  ~FlowWindow() override;

  // Marks the message's arrow, when it has one, and scrolls to it.
  void ShowSelectedMessage(MessageNumber message);

  const LadderPicture& Picture() const { return *picture_; }
  LadderView& View() const { return *view_; }

 signals:
  void MessageChosen(MessageNumber message);

 private:
  void Rebuild();
  void EditLaneName(std::size_t lane);
  void RenameLane(std::size_t lane, const QString& name);
  void Export(LadderFormat format);

  const TraceDocument& document_;
  std::vector<CallNumber> calls_;
  LaneNamesStore& names_;
  Dialogs& dialogs_;
  std::unique_ptr<LadderPicture> picture_;
  MessageNumber selected_;

  QLabel* heading_ = nullptr;
  QCheckBox* withRelated_ = nullptr;
  QComboBox* time_ = nullptr;
  LadderView* view_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace sigrune
