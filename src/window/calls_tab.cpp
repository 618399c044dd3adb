// The Calls tab: the calls table over the selected call's detail line, ladder and message. The
// panes under the tabs (Find All, the decoded text) belong to the Messages tab and hide meanwhile.

#include <QGroupBox>
#include <QKeySequence>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "window/calls/call_triage.h"
#include "window/calls/calls_pane.h"
#include "window/find_all_panel.h"
#include "window/ladder/ladder_view.h"
#include "window/ladder/lane_names_store.h"
#include "window/main_window.h"
#include "window/window_settings.h"

namespace sigrune {

void MainWindow::CreateCallsTab() {
  widgets_.callsPane = new CallsPane;
  widgets_.callsPane->setObjectName(QStringLiteral("callsPane"));
  widgets_.callsPane->ShowCallsOf(&document_);
  connect(widgets_.callsPane, &CallsPane::CallActivated, this, &MainWindow::ShowCall);
  connect(widgets_.callsPane, &CallsPane::ExportToPcapRequested, this,
          &MainWindow::ExportCallsToPcap);
  connect(widgets_.callsPane, &CallsPane::ShowFlowRequested, this, &MainWindow::ShowFlowClicked);
  connect(widgets_.callsPane, &CallsPane::SaveCallsRequested, this, &MainWindow::SaveCallsClicked);

  if (laneNames_ == nullptr) {
    laneNames_ = new LaneNamesStore(this);
  }
  CallTriage* triage = widgets_.triage = new CallTriage(*laneNames_);
  triage->setObjectName(QStringLiteral("callTriage"));
  // Only the user's move in the table changes the ladder, never the message the list shows.
  connect(widgets_.callsPane, &CallsPane::CurrentCallChanged, this,
          [this](CallNumber call) { widgets_.triage->ShowCall(&document_, call); });
  connect(triage, &CallTriage::MessageChosen, this, [this] {
    if (widgets_.tabs->currentWidget() == widgets_.callsTab) {
      ShowSelectedMessage();
    }
  });

  // The table over at least half the height on the first start.
  widgets_.callsSplitter = new QSplitter(Qt::Vertical);
  widgets_.callsSplitter->setObjectName(QStringLiteral("callsSplitter"));
  widgets_.callsSplitter->addWidget(widgets_.callsPane);
  widgets_.callsSplitter->addWidget(triage);
  widgets_.callsSplitter->setStretchFactor(0, 55);
  widgets_.callsSplitter->setStretchFactor(1, 45);
  widgets_.callsSplitter->setSizes({550, 450});
  widgets_.callsSplitter->setChildrenCollapsible(false);
  RestoreSplitter(*widgets_.callsSplitter, QStringLiteral("callsSplitter"));
  RestoreSplitter(triage->Splitter(), QStringLiteral("triageSplitter"));

  widgets_.callsTab = new QWidget;
  widgets_.callsTab->setObjectName(QStringLiteral("callsTab"));
  auto* layout = new QVBoxLayout(widgets_.callsTab);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(widgets_.callsSplitter);
  widgets_.callsTab->setFocusProxy(widgets_.callsPane);
  QWidget::setTabOrder(widgets_.callsPane->focusProxy(), &triage->Ladder());
  QWidget::setTabOrder(&triage->Ladder(), &triage->Text());

  auto* between = new QShortcut(QKeySequence(Qt::Key_F6), widgets_.callsTab);
  between->setContext(Qt::WidgetWithChildrenShortcut);
  connect(between, &QShortcut::activated, this, [this] {
    if (widgets_.triage->Ladder().hasFocus()) {
      widgets_.callsPane->setFocus(Qt::ShortcutFocusReason);
    } else {
      widgets_.triage->Ladder().setFocus(Qt::ShortcutFocusReason);
    }
  });
  connect(widgets_.tabs, &QTabWidget::currentChanged, this, &MainWindow::ShowPanesOfTab);
}

void MainWindow::ShowPanesOfTab() {
  const bool calls = widgets_.tabs->currentWidget() == widgets_.callsTab;
  if (calls == widgets_.decodedFrame->isHidden()) {
    return;
  }
  if (calls) {
    widgets_.paneSizes = widgets_.splitter->sizes();
    widgets_.findAllPanel->hide();
    widgets_.decodedFrame->hide();
  } else {
    widgets_.findAllPanel->setVisible(!widgets_.findAllPanel->Text().isEmpty());
    widgets_.decodedFrame->show();
    widgets_.splitter->setSizes(widgets_.paneSizes);
  }
  // The pane in sight shows its message.
  ShowSelectedMessage();
}

}  // namespace sigrune
