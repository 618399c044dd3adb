#include "window/main_window.h"
#include "window/flat_list_view.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>

#include "window/calls/call_headline.h"
#include "window/calls/call_triage.h"
#include "window/calls/calls_pane.h"
#include "window/count_text.h"
#include "window/filter_bar.h"
#include "window/find_form.h"
#include "window/follow_controller.h"
#include "window/message_list_model.h"
#include "window/operation_bar.h"
#include "window/trace_names.h"
#include "window/window_settings.h"

namespace sigrune {
namespace {

constexpr const char* kCaption = "Calyxo (Marovia 3.X)";

// Hands a worker's result to the window's thread through its event queue; dropped when the
// window is gone.
Poster PostTo(QObject* window) {
  return [window](std::function<void()> task) {
    QMetaObject::invokeMethod(window, std::move(task), Qt::QueuedConnection);
  };
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, Launcher& launcher, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), launcher_(launcher), scheduler_(PostTo(this)) {
  setObjectName(QStringLiteral("isdnForm"));
  setWindowTitle(QLatin1String(kCaption));
  setAcceptDrops(true);
  CreateActions();
  CreateMenus();
  CreateWidgets();
  CreateMessageMenu();
  CreateFollowing();
  RestoreMainWindow(*this, *widgets_.splitter);
  ShowDocument({});
}

MainWindow::~MainWindow() {
  // The lists outlive the document while QWidget's destructor hides a window still shown, and the
  // list's scroll bar and header tell of it to a window that is no more.
  widgets_.model->ShowRowsOf(nullptr);
  widgets_.callsPane->ShowCallsOf(nullptr);
  widgets_.messageList->verticalScrollBar()->disconnect(this);
  widgets_.messageList->header()->disconnect(this);
}

void MainWindow::ShowDocument(Changes changes) {
  list_.showingDocument = true;
  if (changes.rows) {
    list_.sizingColumns = true;  // a reset is no width the user chose
    widgets_.model->ShowRowsOf(&document_);
    list_.sizingColumns = false;
    SizeNewColumns();
  }
  if (changes.calls) {
    widgets_.triage->ShowCall(nullptr, {});
    widgets_.callsPane->ShowCallsOf(&document_);
  } else if (changes.where) {
    widgets_.callsPane->CallsChanged();
  }
  if (changes.calls || changes.where) {
    ShowCallsInStatistics();
  }
  if (const std::optional<std::size_t> row = document_.RowOfMessage(document_.CurrentMessage())) {
    const QModelIndex index = widgets_.model->index(static_cast<int>(*row), 0);
    // Other rows the user selected with it stay selected.
    if (widgets_.messageList->currentIndex().row() != index.row() ||
        !widgets_.messageList->selectionModel()->hasSelection()) {
      widgets_.messageList->setCurrentIndex(index);
    }
    if (changes.rows || changes.pane) {
      widgets_.messageList->scrollTo(index);
    }
  } else {
    // The pane may still show a message the filter hides.
    widgets_.messageList->selectionModel()->clear();
  }
  list_.showingDocument = false;
  if (changes.pane) {
    ShowSelectedMessage();
  }

  ShowEntries();
  setWindowTitle(document_.IsOpen() ? NameOfFiles(DecodedPaths(document_.Paths())) +
                                          QLatin1String(" - ") + QLatin1String(kCaption)
                                    : QLatin1String(kCaption));
  UpdateStatusBar();
  ShowDocumentInFlows(changes.calls);
}

void MainWindow::ShowEntries() {
  // While an operation runs, nothing may start another or change the rows it reads.
  const bool idle = !scheduler_.Busy(Lane::Operation);
  for (const auto& [entry, filter] : actions_.filters) {
    const EntryState state = document_.FilterEntry(filter);
    entry->setEnabled(idle && state.enabled);
    entry->setChecked(state.checked);
  }
  actions_.open->setEnabled(idle);
  actions_.reload->setEnabled(idle && document_.CanReload());
  // Following reads no store of the document's, so it may start and stop during an operation.
  actions_.follow->setEnabled(document_.IsOpen());
  actions_.follow->setChecked(follow_->Following());
  actions_.save->setEnabled(idle);
  actions_.exportPcap->setEnabled(idle && document_.IsOpen());
  actions_.find->setEnabled(document_.CanFind());
  actions_.findAgain->setEnabled(idle && document_.CanFind());
  actions_.findBackwards->setEnabled(idle && document_.CanFind());
  actions_.goToMessage->setEnabled(document_.IsOpen());
  actions_.saveCalls->setEnabled(idle && document_.IsOpen());
  actions_.showStatistics->setEnabled(document_.IsOpen());
  if (widgets_.findForm != nullptr) {
    widgets_.findForm->SetSearchEnabled(idle);
  }
}

void MainWindow::UpdateStatusBar() {
  QString count = document_.IsOpen() ? TraceCountText(document_) : tr("No trace open");
  if (document_.IsOpen() && !document_.SkippedLinesNote().empty()) {
    count += QLatin1String("; ") + QString::fromLatin1(document_.SkippedLinesNote().c_str());
  }
  for (const QString& note : loadNotes_) {
    count += QLatin1String("; ") + note;
  }
  // The expression in force, which may differ from what the bar holds while it is being edited.
  if (document_.IsOpen() && document_.HasWhere()) {
    count +=
        QStringLiteral(" \u00b7 ") + QString::fromLatin1(document_.Where().text.c_str()).trimmed();
  }
  widgets_.messageCount->setText(count);
  const QStringList paths = DecodedPaths(document_.Paths());
  widgets_.fileName->setText(document_.IsOpen() ? NameOfFiles(paths) : QString());
  widgets_.fileName->setToolTip(paths.join(QLatin1Char('\n')));
  const QString description = QString::fromLatin1(document_.FilterDescription().c_str());
  widgets_.filter->setText(document_.ActiveFilter() ? tr("filter: %1").arg(description)
                                                    : QString());
  widgets_.filterBar->ShowMenuFilter(document_.ActiveFilter() ? description : QString());
  const CallNumber call = document_.FilteredCall();
  widgets_.filteredCall->setText(call ? CallHeadline(document_.Calls(), call) : QString());
  const MessageNumber selected = document_.CurrentMessage();
  widgets_.selectedMessage->setText(selected ? tr("Message %1").arg(GroupedNumber(selected.value))
                                             : QString());
}

void MainWindow::CurrentRowChanged() {
  const QModelIndex current = widgets_.messageList->currentIndex();
  // A preview's rows are not the document's messages.
  if (list_.showingDocument || !current.isValid() || preview_ != nullptr) {
    return;
  }
  document_.SelectMessage(widgets_.model->MessageNumberOfRow(current.row()));
  list_.highlightMessage = {};
  ShowDocument({.pane = true});
}
// Whether an operation may start now; says why not in the status bar.
bool MainWindow::CanStartOperation(OperationKind kind) {
  if (scheduler_.MayStart(kind)) {
    return true;
  }
  statusBar()->showMessage(tr("Another operation is running: wait for it, or cancel it."), 5000);
  return false;
}

// The operation just started on the worker: its progress shows, the entries go off.
void MainWindow::OperationStarted(const QString& title) {
  widgets_.operationBar->Follow(title, scheduler_.Progress(Lane::Operation));
  ShowEntries();
}

// First thing every operation's result does.
void MainWindow::OperationFinished() {
  widgets_.operationBar->Stop();
  ShowEntries();
}

void MainWindow::CancelOperation() {
  scheduler_.Cancel(Lane::Operation);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  SaveMainWindow(*this, widgets_.tabs->currentWidget() == widgets_.callsTab
                            ? widgets_.paneSizes
                            : widgets_.splitter->sizes());
  SaveSplitter(*widgets_.callsSplitter, QStringLiteral("callsSplitter"));
  SaveSplitter(widgets_.triage->Splitter(), QStringLiteral("triageSplitter"));
  SaveColumnWidths(list_.columnWidths);
  QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.constFirst().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  QStringList fileNames;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) {
      fileNames << url.toLocalFile();
    }
  }
  if (!fileNames.isEmpty()) {
    event->acceptProposedAction();
    OpenTraceFiles(fileNames);  // says so while another operation runs
  }
}

}  // namespace sigrune
