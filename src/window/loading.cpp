// File > Open, Open Recent, Reload and a trace dropped on the window: the trace is read on the
// worker, its first messages shown meanwhile, and the document adopts it in one step.

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>

#include "util/text_utilities.h"
#include "window/calls/calls_pane.h"
#include "window/count_text.h"
#include "window/find_all_panel.h"
#include "window/find_form.h"
#include "window/flat_list_view.h"
#include "window/follow_controller.h"
#include "window/main_window.h"
#include "window/message_list_model.h"
#include "window/recent_traces.h"
#include "window/report_error.h"
#include "window/trace_names.h"

namespace sigrune {

// The state of the list that a reload keeps.
struct MainWindow::ListView {
  bool hadSelection = false;
  int scrolled = 0;
};

void MainWindow::OpenClicked() {
  // Rotated and compressed traces are not all .txt: the first entry takes them all.
  const QString traces = tr("Traces (*.txt *.log *.xml *.gz)");
  const std::optional<QStringList> fileNames = dialogs_.OpenFileNames(
      this, {traces, tr("All (*)"), tr("Text (*.txt)"), tr("Log (*.log)"), tr("XML (*.xml)")},
      traces);
  if (fileNames && !fileNames->isEmpty()) {
    OpenTraceFiles(*fileNames);
  }
}

bool MainWindow::OpenTraceFiles(const QStringList& fileNames, bool follow) {
  return StartLoad(fileNames, LoadKind::Open, follow);
}

void MainWindow::ReloadClicked() {
  if (document_.CanReload()) {
    StartLoad(DecodedPaths(document_.Paths()), LoadKind::Reload, false);
  }
}

bool MainWindow::StartLoad(const QStringList& fileNames, LoadKind kind, bool follow) {
  if (!CanStartOperation(OperationKind::Load)) {
    return false;
  }
  const ListView view{static_cast<bool>(document_.CurrentMessage()),
                      widgets_.messageList->verticalScrollBar()->value()};
  std::vector<std::string> paths;
  for (const QString& fileName : fileNames) {
    paths.push_back(QFile::encodeName(fileName).toStdString());
  }
  // An open shows the first rows while the rest is read; a reload keeps the view it has.
  std::function<void(MessageStore &&)> firstMessages;
  if (kind == LoadKind::Open) {
    firstMessages = scheduler_.Interim<MessageStore>(
        OperationKind::Load, [this](MessageStore&& first) { ShowPreview(std::move(first)); });
  }
  ReadOptions options;
  options.lastLine = follow ? UnendedLastLine::Held : UnendedLastLine::Whole;
  // The filter bar's rows of the new trace are found on the worker too.
  options.where = document_.Where();
  options.firstMessages = std::move(firstMessages);
  scheduler_.Start<LoadedTrace>(
      OperationKind::Load,
      [paths = std::move(paths), options = std::move(options)](OperationProgress& progress) {
        return TraceDocument::ReadTrace(paths, options,
                                        [&progress](std::uint64_t bytes, std::uint64_t size) {
                                          return progress.Report(bytes, size);
                                        });
      },
      [this, fileNames, kind, view, follow](std::optional<LoadedTrace> loaded) {
        LoadFinished(fileNames, kind, view, follow, std::move(loaded));
      });
  OperationStarted(tr("Reading %1…").arg(NameOfFiles(fileNames)));
  return true;
}

// The first messages of the trace being opened, shown read-only until the whole is read.
void MainWindow::ShowPreview(MessageStore&& firstMessages) {
  const std::size_t count = firstMessages.MessageCount();
  const std::string path = firstMessages.filePaths.empty() ? "" : firstMessages.filePaths.front();
  LoadResult first;
  first.outcome = OperationOutcome::Done;
  first.store = std::move(firstMessages);
  auto preview = std::make_unique<TraceDocument>();
  preview->Adopt(path, FileIdentity(), std::move(first), LoadKind::Open);
  preview->GroupCallsIfNeeded();  // the list shows each message's call
  list_.showingDocument = true;
  list_.sizingColumns = true;
  widgets_.model->ShowRowsOf(preview.get());
  list_.sizingColumns = false;
  SizeNewColumns();
  preview_ = std::move(preview);
  widgets_.messageList->selectionModel()->clear();
  widgets_.messageList->scrollToTop();
  list_.showingDocument = false;
  widgets_.messageCount->setText(
      tr("Reading: the first %1 shown")
          .arg(QString::fromStdString(CountOf(count, "message", "messages"))));
}

// The list shows the document again, the preview gone; after a load that changed nothing, as
// the view was.
void MainWindow::DropPreview(const ListView* restored) {
  if (preview_ == nullptr) {
    return;
  }
  ShowDocument({.rows = true});
  preview_.reset();
  if (restored != nullptr) {
    widgets_.messageList->verticalScrollBar()->setValue(restored->scrolled);
  }
}

void MainWindow::LoadFinished(const QStringList& fileNames, LoadKind kind, ListView view,
                              bool follow, std::optional<LoadedTrace> loaded) {
  OperationFinished();
  if (!loaded || loaded->result.outcome != OperationOutcome::Done) {
    DropPreview(&view);
  }
  const bool reload = kind == LoadKind::Reload;
  const QString procedure = reload ? QStringLiteral("isdnReload") : QStringLiteral("isdnOpen");
  // One file by the path it was given, as ever; several by their names.
  const QString named = fileNames.size() == 1 ? fileNames.constFirst() : NameOfFiles(fileNames);
  if (!loaded) {
    ReportError(dialogs_, this, procedure, kFileAccessErrorNumber,
                tr("cannot open %1: not enough memory").arg(named));
    return;
  }
  switch (loaded->result.outcome) {
    case OperationOutcome::Done:
      break;
    case OperationOutcome::NotFound:
      dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Merrow"),
                           fileNames.size() == 1 ? named + tr(" does not contain Q931 Messages.")
                                                 : named + tr(" do not contain Q931 Messages."));
      return;
    case OperationOutcome::Cancelled:
      statusBar()->showMessage(
          tr("Reading %1 cancelled; nothing changed.").arg(NameOfFiles(fileNames)), 5000);
      return;
    case OperationOutcome::Failed:
    case OperationOutcome::OutOfMemory:  // a load reports it as Failed
      ReportError(dialogs_, this, procedure, kFileAccessErrorNumber,
                  QString::fromLocal8Bit(loaded->result.errorText.c_str()));
      return;
  }
  // The trace read now is followed only when asked again.
  follow_->Stop();
  followStopped_.clear();
  loadNotes_.clear();
  for (const std::string& note : loaded->result.notes) {
    loadNotes_ << QString::fromLocal8Bit(note.c_str());
  }
  document_.Adopt(std::move(*loaded), kind);
  // The messages the results name may be others now.
  widgets_.findAllPanel->Clear();
  if (!reload) {
    widgets_.callsPane->ClearChoice();
    recent_->Add(fileNames);
    loadNotesShown_ = false;
    list_.highlightMessage = {};
    if (widgets_.findForm != nullptr) {
      widgets_.findForm->SetFindText(QString::fromLatin1(document_.FindText().c_str()));
    }
  }
  ShowDocument({.rows = true, .pane = true, .calls = true});
  preview_.reset();  // the list shows the document now
  // A reload keeps the view of the trace as read now, unless its selected message is gone.
  if (reload && (document_.CurrentMessage() || !view.hadSelection)) {
    widgets_.messageList->verticalScrollBar()->setValue(view.scrolled);
  } else if (follow) {
    widgets_.messageList
        ->scrollToBottom();  // to watch, as tail -f shows, the messages as they come
  } else {
    widgets_.messageList->scrollToTop();
  }
  // Home, End and the page keys drive the list of a trace just opened.
  if (!reload && widgets_.tabs->currentWidget() == widgets_.messageList) {
    widgets_.messageList->setFocus();
  }
  if (follow) {
    FollowClicked(true);
  }
  QStringList notes = loadNotes_;
  if (const std::string& note = document_.SkippedLinesNote(); !note.empty()) {
    notes.prepend(tr("%1: %2").arg(named, QString::fromLatin1(note.c_str())));
  }
  if (!notes.isEmpty() && !loadNotesShown_) {
    loadNotesShown_ = true;
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Sigrune"),
                         notes.join(QLatin1String(".\n")) + QLatin1Char('.'));
  }
}

}  // namespace sigrune
