// The Find dialog's Find Again (one step from the selected row) and Find All (every message of the
// list whose decoded text holds the text, in the results panel under the list), and Go to Message.

#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>

#include "document/find_all.h"
#include "document/go_to.h"
#include "util/text_utilities.h"
#include "window/count_text.h"
#include "window/find_all_panel.h"
#include "window/find_form.h"
#include "window/flat_list_view.h"
#include "window/go_to_dialog.h"
#include "window/main_window.h"

namespace sigrune {

// Find Again, or with `opposite` Find Again Backwards: one step against the dialog's direction.
void MainWindow::FindNext(bool opposite) {
  if (!document_.CanFind() || !CanStartOperation(OperationKind::Find)) {
    return;
  }
  FindForm& form = Find();
  const QString text = form.FindText();
  if (document_.FindsDown() != form.FindsDown()) {
    document_.SetFindDirection(form.FindsDown());
  }
  // The decoded texts are Latin-1: a text with other characters occurs in none of them.
  const QByteArray latin1 = text.toLatin1();
  const bool searchable = QString::fromLatin1(latin1) == text;
  FindQuery prepared = document_.PrepareFind(
      std::string_view(latin1.constData(), static_cast<std::size_t>(latin1.size())));
  prepared.findCase = form.MatchesCase() ? FindCase::Exact : FindCase::Ignore;
  if (opposite) {
    prepared =
        OppositeFindQuery(std::move(prepared), document_.RowOfMessage(document_.CurrentMessage()));
  }
  auto query = std::make_shared<const FindQuery>(std::move(prepared));
  if (!searchable) {
    dialogs_.ShowMessage(this, MessageIcon::None, tr("Sigrune"), tr("Search String Not Found"));
    return;
  }
  // The store stays while the operation runs: nothing that replaces it can start.
  const MessageStore& store = document_.Store();
  scheduler_.Start<FindResult>(
      OperationKind::Find,
      [query, &store](OperationProgress& progress) {
        return TraceDocument::RunFind(store, *query,
                                      [&progress](std::size_t done, std::size_t rows) {
                                        return progress.Report(done, rows);
                                      });
      },
      [this, query, text](std::optional<FindResult> found) {
        OperationFinished();
        FindFinished(*query, text, std::move(found));
      });
  OperationStarted(tr("Searching for \"%1\"…").arg(text));
}

void MainWindow::FindFinished(const FindQuery& query, const QString& text,
                              std::optional<FindResult> found) {
  if (!found) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Find"),
                         tr("The search stopped: not enough memory."));
    return;
  }
  const FindResult& result = *found;
  document_.TakeFindResult(query, result);
  switch (result.outcome) {
    case OperationOutcome::Cancelled:
      statusBar()->showMessage(tr("Search cancelled."), 5000);
      return;
    case OperationOutcome::Done:
      list_.highlightMessage = result.message;
      list_.highlightText = text;
      ShowDocument({.pane = true});
      break;
    case OperationOutcome::NotFound:
    case OperationOutcome::Failed:  // a search gives neither
    case OperationOutcome::OutOfMemory:
      dialogs_.ShowMessage(this, MessageIcon::None, tr("Sigrune"), tr("Search String Not Found"));
      break;
  }
  if (result.undecodable.count > 0) {
    dialogs_.ShowMessage(
        this, MessageIcon::Exclamation, tr("Sigrune"),
        tr("%1 could not be decoded and %2 skipped; the first is message %3: %4.")
            .arg(QString::fromStdString(CountOf(result.undecodable.count, "message", "messages")))
            .arg(result.undecodable.count == 1 ? tr("was") : tr("were"))
            .arg(result.undecodable.first.value)
            .arg(QString::fromLatin1(result.undecodable.firstReason.c_str())));
  }
}

FindForm& MainWindow::Find() {
  if (widgets_.findForm == nullptr) {
    widgets_.findForm = new FindForm(this);
    connect(widgets_.findForm, &FindForm::FindNextRequested, this, [this] { FindNext(); });
    connect(widgets_.findForm, &FindForm::FindAllRequested, this, &MainWindow::FindAll);
    // A click on a direction makes the next search include the selected row again.
    connect(widgets_.findForm, &FindForm::DirectionClicked, this,
            [this](bool down) { document_.SetFindDirection(down); });
    widgets_.findForm->SetSearchEnabled(!scheduler_.Busy(Lane::Operation));
  }
  return *widgets_.findForm;
}

// On the list's rows, into the results panel.
void MainWindow::FindAll() {
  if (!document_.CanFind() || !CanStartOperation(OperationKind::FindAll)) {
    return;
  }
  const FindForm& form = Find();
  const QString text = form.FindText();
  const QByteArray latin1 = text.toLatin1();
  if (QString::fromLatin1(latin1) != text) {
    // The decoded texts are Latin-1: a text with other characters occurs in none of them.
    FindAllFinished(FindAllResult{}, text);
    return;
  }
  const FindCase findCase = form.MatchesCase() ? FindCase::Exact : FindCase::Ignore;
  // The menu filter's rows, whatever the filter bar's expression; copied, as the filter may
  // change while the search runs.
  std::optional<RowMap> rows;
  if (document_.ActiveFilter()) {
    rows = document_.MenuFilterRows();
  }
  // The store stays while the operation runs: nothing that replaces it can start.
  const MessageStore& store = document_.Store();
  scheduler_.Start<FindAllResult>(
      OperationKind::FindAll,
      [&store, rows = std::move(rows), latin1, findCase](OperationProgress& progress) {
        return FindAllMessages(
            store, rows ? &*rows : nullptr,
            std::string_view(latin1.constData(), static_cast<std::size_t>(latin1.size())), findCase,
            kFindAllKept, [&progress](std::size_t done, std::size_t total) {
              return progress.Report(done, total);
            });
      },
      [this, text](std::optional<FindAllResult> found) {
        OperationFinished();
        FindAllFinished(std::move(found), text);
      });
  OperationStarted(tr("Finding all \"%1\"…").arg(text));
}

void MainWindow::FindAllFinished(std::optional<FindAllResult> found, const QString& text) {
  if (!found) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Find"),
                         tr("The search stopped: not enough memory."));
    return;
  }
  if (found->outcome == OperationOutcome::Cancelled) {
    statusBar()->showMessage(tr("Search cancelled."), 5000);
    return;
  }
  const std::size_t undecodable = found->undecodable.count;
  const MessageNumber firstUndecodable = found->undecodable.first;
  const QString reason = QString::fromLatin1(found->undecodable.firstReason.c_str());
  // The results are of messages: they show with the list.
  widgets_.tabs->setCurrentWidget(widgets_.messagesTab);
  const bool shown = widgets_.findAllPanel->isVisible();
  QList<int> sizes = widgets_.splitter->sizes();
  widgets_.findAllPanel->ShowResult(document_,
                                    std::make_shared<const FindAllResult>(std::move(*found)), text);
  if (!shown && sizes.size() == 3) {
    // The results take their room from the pane: the list keeps its rows.
    sizes[1] = std::max(sizes[2] / 3, widgets_.findAllPanel->sizeHint().height());
    sizes[2] = std::max(sizes[2] - sizes[1], 1);
    widgets_.splitter->setSizes(sizes);
  }
  if (undecodable > 0) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Sigrune"),
                         tr("%1 could not be decoded and %2 skipped; the first is message %3: %4.")
                             .arg(CountText(undecodable, tr("message"), tr("messages")))
                             .arg(undecodable == 1 ? tr("was") : tr("were"))
                             .arg(firstUndecodable.value)
                             .arg(reason));
  }
}

// A result of Find All chosen: its message shows, the text marked.
void MainWindow::ShowFoundMessage(MessageNumber message) {
  if (message.value > document_.Store().MessageCount()) {
    return;
  }
  document_.SelectMessage(message);
  list_.highlightMessage = message;
  list_.highlightText = widgets_.findAllPanel->Text();
  if (!document_.RowOfMessage(message)) {
    statusBar()->showMessage(
        tr("Message %1 is not in the list the filter shows.").arg(message.value), 5000);
  }
  ShowDocument({.pane = true});
}

// Edit > Go to Message: a message number or a time.
void MainWindow::GoToMessageClicked() {
  if (!document_.IsOpen()) {
    statusBar()->showMessage(tr("Open a trace first."), 5000);
    return;
  }
  if (widgets_.goToDialog == nullptr) {
    widgets_.goToDialog =
        new GoToDialog(this, [this](const QString& text) { return GoToMessage(text); });
  }
  widgets_.goToDialog->Ask();
}

// Goes to the message the text names; empty, or why not.
QString MainWindow::GoToMessage(const QString& text) {
  const QByteArray latin1 = text.toLatin1();
  const GoToTarget target = FindGoToTarget(
      document_, std::string_view(latin1.constData(), static_cast<std::size_t>(latin1.size())));
  if (!target.message) {
    QString problem = QString::fromLatin1(target.problem.c_str()) + QLatin1Char('.');
    problem[0] = problem[0].toUpper();
    return problem;
  }
  document_.SelectMessage(target.message);
  list_.highlightMessage = {};
  ShowDocument({.pane = true});
  widgets_.tabs->setCurrentWidget(widgets_.messageList);
  widgets_.messageList->setFocus();
  return {};
}

}  // namespace sigrune
