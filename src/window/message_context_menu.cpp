// The message list's rows: several may be selected, Ctrl+C copies their summary lines, and a
// right click offers what is done to a message. The current row is the one every single-message
// action takes.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QStatusBar>
#include <QTreeView>
#include <algorithm>
#include <limits>

#include "document/shown_message.h"
#include "window/main_window.h"
#include "window/message_list_model.h"

namespace sigrune {

void MainWindow::CreateMessageMenu() {
  isdnCopyLines = new QAction(tr("&Copy Summary Line"), this);
  isdnCopyLines->setObjectName(QStringLiteral("isdnCopyLines"));
  isdnCopyLines->setShortcut(QKeySequence::Copy);
  isdnCopyLines->setShortcutContext(Qt::WidgetShortcut);
  isdnList->addAction(isdnCopyLines);
  connect(isdnCopyLines, &QAction::triggered, this, &MainWindow::CopySelectedLines);
  isdnCopyDecoded = new QAction(tr("Copy &Decoded Text"), this);
  isdnCopyDecoded->setObjectName(QStringLiteral("isdnCopyDecoded"));
  connect(isdnCopyDecoded, &QAction::triggered, this, &MainWindow::CopyDecodedText);
  isdnJumpToLine = new QAction(tr("&Jump to Line"), this);
  isdnJumpToLine->setObjectName(QStringLiteral("isdnJumpToLine"));
  connect(isdnJumpToLine, &QAction::triggered, this, &MainWindow::isdnGoTo_Click);

  messageMenu_ = new QMenu(this);
  messageMenu_->setObjectName(QStringLiteral("messageMenu"));
  messageMenu_->addActions({isdnCopyLines, isdnCopyDecoded});
  messageMenu_->addSeparator();
  // The Filter and Calls menus' own entries, with their checks and enabled states.
  for (const FilterAction& action : filterActions_) {
    if (action.filter == ListFilter::ThisCall) {
      messageMenu_->addAction(action.entry);
    }
  }
  messageMenu_->addAction(isdnShowFlow);
  for (const FilterAction& action : filterActions_) {
    if (action.filter == ListFilter::ThisGateway) {
      messageMenu_->addAction(action.entry);
    }
  }
  messageMenu_->addSeparator();
  messageMenu_->addAction(isdnJumpToLine);

  isdnList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  isdnList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(isdnList, &QWidget::customContextMenuRequested, this, &MainWindow::ShowMessageMenu);
}

void MainWindow::ShowMessageMenu(const QPoint& position) {
  const QModelIndex index = isdnList->indexAt(position);
  // A preview's rows are read-only: its messages are not the document's yet.
  if (!index.isValid() || preview_ != nullptr) {
    return;
  }
  // A row in the selection becomes the current one and the selection stays; any other row is
  // selected alone.
  QItemSelectionModel* selection = isdnList->selectionModel();
  if (selection->isRowSelected(index.row())) {
    selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  } else {
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  const bool open = document_.IsOpen();
  isdnCopyDecoded->setEnabled(open && scheduler_.MayStart(OperationKind::CopyDecoded));
  isdnJumpToLine->setEnabled(open);
  messageMenu_->popup(isdnList->viewport()->mapToGlobal(position));
}

void MainWindow::CopySelectedLines() {
  QModelIndexList rows = isdnList->selectionModel()->selectedRows();
  if (rows.isEmpty() && isdnList->currentIndex().isValid()) {
    rows.append(isdnList->currentIndex());
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
