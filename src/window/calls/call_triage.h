#pragma once

// The lower half of the Calls tab: a line that tells the selected call, its ladder with its
// related leg, and beside the ladder the text of the message whose arrow is selected (the call's
// first message at first). The window decodes that message into Text() when MessageChosen says
// so; an arrow chosen here never leaves the Calls tab.

#include <QWidget>
#include <memory>

#include "document/trace_document.h"

class QLabel;
class QSplitter;
class QTextEdit;

namespace sigrune {

class LadderPicture;
class LadderView;
class LaneNamesStore;

class CallTriage : public QWidget {
  Q_OBJECT

 public:
  explicit CallTriage(LaneNamesStore& names, QWidget* parent = nullptr);
  ~CallTriage() override;

  // Shows the call of the document (which must outlive it, or the next call); no call or no
  // document shows nothing.
  void ShowCall(const TraceDocument* document, CallNumber call);
  CallNumber Call() const { return call_; }
  // The message whose arrow is selected; none without a call.
  MessageNumber Message() const { return message_; }

  LadderView& Ladder() const { return *ladder_; }
  QTextEdit& Text() const { return *text_; }
  QSplitter& Splitter() const { return *splitter_; }
  const LadderPicture* Picture() const { return picture_.get(); }

 signals:
  void MessageChosen(MessageNumber message);

 private:
  void Rebuild();

  LaneNamesStore& names_;
  const TraceDocument* document_ = nullptr;
  CallNumber call_;
  MessageNumber message_;
  std::unique_ptr<LadderPicture> picture_;
  QLabel* detail_ = nullptr;
  LadderView* ladder_ = nullptr;
  QTextEdit* text_ = nullptr;
  QSplitter* splitter_ = nullptr;
};

}  // namespace sigrune
