#include "window/calls/call_triage.h"

#include <QLabel>
#include <QSplitter>
#include <QTextEdit>
#include <QVBoxLayout>

#include "calls/call_detail.h"
#include "window/calls/call_headline.h"
#include "window/ladder/call_ladder.h"
#include "window/ladder/ladder_view.h"
#include "window/ladder/lane_names_store.h"
#include "window/table_text.h"

namespace sigrune {

namespace {

// The detail's parts that say something, joined by " · ".
QString DetailLine(const CallDetail& detail) {
  QStringList parts;
  const auto add = [&](const std::string& part) {
    if (!part.empty()) {
      parts << FromLatin1(part);
    }
  };
  add(detail.call);
  add(detail.direction);
  add(detail.gateway);
  if (!detail.calling.empty() || !detail.called.empty()) {
    parts << FromLatin1(detail.calling) + QStringLiteral(" \u2192 ") + FromLatin1(detail.called);
  }
  for (const std::string* part :
       {&detail.outcome, &detail.cause, &detail.clearedBy, &detail.firstFault}) {
    add(*part);
  }
  return parts.join(QStringLiteral(" \u00b7 "));
}

}  // namespace

CallTriage::CallTriage(LaneNamesStore& names, QWidget* parent) : QWidget(parent), names_(names) {
  detail_ = new QLabel;
  detail_->setObjectName(QStringLiteral("callDetail"));
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long line goes on under itself rather than widen the window or be cut.
  detail_->setWordWrap(true);
  detail_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ladder_ = new LadderView;
  ladder_->setObjectName(QStringLiteral("triageLadder"));
  text_ = new QTextEdit;
  text_->setObjectName(QStringLiteral("triageText"));
  text_->setReadOnly(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text_->setLineWrapMode(QTextEdit::NoWrap);

  splitter_ = new QSplitter(Qt::Horizontal);
  splitter_->setObjectName(QStringLiteral("triageSplitter"));
  splitter_->addWidget(ladder_);
  splitter_->addWidget(text_);
  splitter_->setStretchFactor(0, 68);
  splitter_->setStretchFactor(1, 32);
  splitter_->setSizes({680, 320});
  splitter_->setChildrenCollapsible(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(detail_);
  layout->addWidget(splitter_, 1);

  connect(ladder_, &LadderView::RowChosen, this, [this](std::size_t row) {
    message_ = picture_->Flow().arrows[row].message;
    emit MessageChosen(message_);
  });
  connect(ladder_, &LadderView::LaneDoubleClicked, this, [this](std::size_t lane) {
    const FlowLane& party = picture_->Flow().lanes[lane];
    if (!party.server && !party.address.empty()) {
      ladder_->EditLaneName(lane, names_.Name(FromLatin1(party.address)));
    }
  });
  connect(ladder_, &LadderView::LaneRenamed, this, [this](std::size_t lane, const QString& name) {
    names_.SetName(FromLatin1(picture_->Flow().lanes[lane].address), name);
  });
  connect(&names_, &LaneNamesStore::NamesChanged, this, [this] {
    if (picture_) {
      picture_->SetTitles(LaneTitles(picture_->Flow(), names_));
      ladder_->ShowPicture(picture_.get());
    }
  });
}

CallTriage::~CallTriage() = default;

void CallTriage::ShowCall(const TraceDocument* document, CallNumber call) {
  if (document == document_ && call == call_) {
    return;
  }
  document_ = document;
  call_ = document != nullptr && call && call.value <= document->Calls().calls.size()
              ? call
              : CallNumber{};
  Rebuild();
}

void CallTriage::Rebuild() {
  if (!call_) {
    ladder_->ShowPicture(nullptr);
    picture_.reset();
    message_ = {};
    detail_->clear();
    detail_->setToolTip({});
    text_->clear();
    emit MessageChosen(message_);
    return;
  }
  auto picture = MakeCallLadder(*document_, {call_}, true, names_, ladder_->font());
  std::swap(picture_, picture);
  ladder_->ShowPicture(picture_.get());
  message_ = document_->Calls().Record(call_).firstMessage;
  ladder_->SelectRow(ArrowOfMessage(picture_->Flow(), message_));
  const QString line = DetailLine(DescribeCall(document_->Store(), document_->Calls(), call_));
  detail_->setText(line);
  detail_->setToolTip(line);
  emit MessageChosen(message_);
}

}  // namespace sigrune
