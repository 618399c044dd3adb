// The message list's rows: several may be selected, Ctrl+C copies their summary lines, and a
// right click offers what is done to a message. The current row is the one every single-message
// action takes.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <algorithm>
#include <limits>

#include "document/shown_message.h"
#include "window/flat_list_view.h"
#include "window/main_window.h"
#include "window/message_list_model.h"

namespace sigrune {

void MainWindow::CreateMessageMenu() {
  actions_.copyLines = new QAction(tr("&Copy Summary Line"), this);
  actions_.copyLines->setObjectName(QStringLiteral("isdnCopyLines"));
  actions_.copyLines->setShortcut(QKeySequence::Copy);
  actions_.copyLines->setShortcutContext(Qt::WidgetShortcut);
  widgets_.messageList->addAction(actions_.copyLines);
  connect(actions_.copyLines, &QAction::triggered, this, &MainWindow::CopySelectedLines);
  actions_.copyDecoded = new QAction(tr("Copy &Decoded Text"), this);
  actions_.copyDecoded->setObjectName(QStringLiteral("isdnCopyDecoded"));
  connect(actions_.copyDecoded, &QAction::triggered, this, &MainWindow::CopyDecodedText);
  actions_.jumpToLineOfRow = new QAction(tr("&Jump to Line"), this);
  actions_.jumpToLineOfRow->setObjectName(QStringLiteral("isdnJumpToLine"));
  connect(actions_.jumpToLineOfRow, &QAction::triggered, this, &MainWindow::JumpToLineClicked);

  actions_.messageMenu = new QMenu(this);
  actions_.messageMenu->setObjectName(QStringLiteral("messageMenu"));
  actions_.messageMenu->addActions({actions_.copyLines, actions_.copyDecoded});
  actions_.messageMenu->addSeparator();
  // The Filter and Calls menus' own entries, with their checks and enabled states.
  for (const MainWindowActions::Filter& action : actions_.filters) {
    if (action.filter == ListFilter::ThisCall) {
      actions_.messageMenu->addAction(action.entry);
    }
  }
  actions_.messageMenu->addAction(actions_.showFlow);
  for (const MainWindowActions::Filter& action : actions_.filters) {
    if (action.filter == ListFilter::ThisGateway) {
      actions_.messageMenu->addAction(action.entry);
    }
  }
  actions_.messageMenu->addSeparator();
  actions_.messageMenu->addAction(actions_.jumpToLineOfRow);

  widgets_.messageList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  widgets_.messageList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(widgets_.messageList, &QWidget::customContextMenuRequested, this,
          &MainWindow::ShowMessageMenu);
}

void MainWindow::ShowMessageMenu(const QPoint& position) {
  const QModelIndex index = widgets_.messageList->indexAt(position);
  // A preview's rows are read-only: its messages are not the document's yet.
  if (!index.isValid() || preview_ != nullptr) {
    return;
  }
  // A row in the selection becomes the current one and the selection stays; any other row is
  // selected alone.
  QItemSelectionModel* selection = widgets_.messageList->selectionModel();
  if (selection->isRowSelected(index.row())) {
    selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  } else {
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  const bool open = document_.IsOpen();
  actions_.copyDecoded->setEnabled(open && scheduler_.MayStart(OperationKind::CopyDecoded));
  actions_.jumpToLineOfRow->setEnabled(open);
  actions_.messageMenu->popup(widgets_.messageList->viewport()->mapToGlobal(position));
}

// The summary lines of the selected rows, in list order, a line each.
void MainWindow::CopySelectedLines() {
  QModelIndexList rows = widgets_.messageList->selectionModel()->selectedRows();
  if (rows.isEmpty() && widgets_.messageList->currentIndex().isValid()) {
    rows.append(widgets_.messageList->currentIndex());
  }
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList lines;
  lines.reserve(rows.size());
  for (const QModelIndex& row : rows) {
    lines << row.siblingAtColumn(0).data(MessageListModel::SummaryLineRole).toString();
  }
  if (!lines.isEmpty()) {
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
  }
}

// The current message's decoded text and dump, as the pane shows them but whole.
void MainWindow::CopyDecodedText() {
  const MessageNumber message = document_.CurrentMessage();
  if (!message || !CanStartOperation(OperationKind::CopyDecoded)) {
    return;
  }
  // Decoded off the window's thread: a message may have millions of elements.
  auto copied =
      std::make_shared<const MessageToShow>(CopyMessageToShow(document_.Store(), message));
  scheduler_.Start<ShownMessage>(
      OperationKind::CopyDecoded,
      [copied](OperationProgress& progress) {
        return DecodeMessageToShow(*copied, std::numeric_limits<std::size_t>::max(),
                                   [&progress] { return !progress.CancelRequested(); });
      },
      [this, message](std::optional<ShownMessage> shown) {
        OperationFinished();
        if (!shown || shown->cancelled) {
          statusBar()->showMessage(
              shown ? tr("Copying message %1 cancelled.").arg(message.value)
                    : tr("Message %1 could not be copied: not enough memory.").arg(message.value),
              5000);
          return;
        }
        QString text;
        if (!shown->undecodableReason.empty()) {
          text = tr("This message could not be decoded: %1\n")
                     .arg(QString::fromLatin1(shown->undecodableReason.c_str()));
        }
        text += QString::fromLatin1(shown->text.data(), static_cast<qsizetype>(shown->text.size()));
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QGuiApplication::clipboard()->setText(text);
        statusBar()->showMessage(tr("Message %1 copied.").arg(message.value), 5000);
      });
  OperationStarted(tr("Copying message %1…").arg(message.value));
}

}  // namespace sigrune
