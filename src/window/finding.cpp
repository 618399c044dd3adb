// Find All (every message of the list whose decoded text holds the Find dialog's text, in the
// results panel under the list) and Go to Message.

#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>
#include <algorithm>

#include "document/find_all.h"
#include "document/go_to.h"
#include "window/count_text.h"
#include "window/find_all_panel.h"
#include "window/find_form.h"
#include "window/go_to_dialog.h"
#include "window/main_window.h"

namespace sigrune {

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
  // The filter's rows are copied: the filter may change while the search runs.
  std::optional<RowMap> rows;
  if (document_.ActiveFilter()) {
    rows = document_.FilteredIndexMap();
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
  if (found->cancelled) {
    statusBar()->showMessage(tr("Search cancelled."), 5000);
    return;
  }
  const std::size_t undecodable = found->undecodableMessages;
  const MessageNumber firstUndecodable = found->firstUndecodable;
  const QString reason = QString::fromLatin1(found->firstUndecodableReason.c_str());
  const bool shown = findAllPanel_->isVisible();
  QList<int> sizes = splitter_->sizes();
  findAllPanel_->ShowResult(document_, std::make_shared<const FindAllResult>(std::move(*found)),
                            text);
  if (!shown && sizes.size() == 3) {
    // The results take their room from the pane: the list keeps its rows.
    sizes[1] = std::max(sizes[2] / 3, findAllPanel_->sizeHint().height());
    sizes[2] = std::max(sizes[2] - sizes[1], 1);
    splitter_->setSizes(sizes);
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

void MainWindow::ShowFoundMessage(MessageNumber message) {
  if (message.value > document_.Store().msgCount) {
    return;
  }
  document_.SelectMessage(message);
  highlightMessage_ = message;
  highlightText_ = findAllPanel_->Text();
  if (!document_.RowOfMessage(message)) {
    statusBar()->showMessage(
        tr("Message %1 is not in the list the filter shows.").arg(message.value), 5000);
  }
  ShowDocument({.pane = true});
}

void MainWindow::isdnGoToMessage_Click() {
  if (!document_.IsOpen()) {
    statusBar()->showMessage(tr("Open a trace first."), 5000);
    return;
  }
  if (goToDialog_ == nullptr) {
    goToDialog_ = new GoToDialog(this, [this](const QString& text) { return GoToMessage(text); });
  }
  goToDialog_->Ask();
}

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
  highlightMessage_ = {};
  ShowDocument({.pane = true});
  isdnTabs->setCurrentWidget(isdnList);
  isdnList->setFocus();
  return {};
}

}  // namespace sigrune
