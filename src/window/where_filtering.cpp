// The filter bar: the list shows the messages its expression keeps, together with the menu
// filter's; the calls table and the statistics the calls of which it keeps a message. The rows
// of a million messages take a good part of a second to find, so they are found on a worker of
// their own while the rest of the window stays as it was.

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QTabWidget>

#include "window/filter_bar.h"
#include "window/main_window.h"
#include "window/where_bar.h"

namespace sigrune {

void MainWindow::CreateWhereBar() {
  connect(widgets_.whereBar, &WhereBar::ExpressionChanged, this, &MainWindow::WhereChanged);
  connect(widgets_.filterBar, &FilterBar::MenuFilterOff, this, [this] {
    if (const std::optional<ListFilter> filter = document_.ActiveFilter()) {
      FilterClicked(*filter);
    }
  });
  auto* focus = new QShortcut(QKeySequence(tr("Ctrl+/")), this);
  connect(focus, &QShortcut::activated, this, [this] {
    widgets_.whereBar->setFocus();
    widgets_.whereBar->lineEdit()->selectAll();
  });
}

bool MainWindow::Busy() const {
  return scheduler_.Busy(Lane::Operation) || scheduler_.Busy(Lane::Pane) ||
         scheduler_.Busy(Lane::Where) || widgets_.whereBar->Pending();
}

void MainWindow::WhereChanged(const QString& text) {
  // The trace's texts are Latin-1: a character beyond it is in no summary line.
  const QByteArray latin1 = text.toLatin1();
  WhereParse parse = ParseWhere(std::string_view(latin1.constData(), latin1.size()));
  if (parse.ok && QString::fromLatin1(latin1) != text) {
    parse.ok = false;
    parse.error = tr("\"%1\" holds a character that no trace text holds").arg(text).toStdString();
  }
  if (!parse.ok) {
    // The list stays as it was, and so does a filtering already under way.
    widgets_.filterBar->ShowError(QString::fromStdString(parse.error));
    return;
  }
  widgets_.filterBar->ShowAccepted();
  if (parse.expression.text == document_.Where().text && !scheduler_.Busy(Lane::Where)) {
    return;  // Enter on what was applied after the quiet
  }
  // A newer expression supersedes the one being filtered.
  scheduler_.StartNewest(
      OperationKind::WhereRows,
      [this, expression = std::move(parse.expression)] { StartWhere(expression); });
}

void MainWindow::StartWhere(const WhereExpression& expression) {
  if (expression.terms.empty() || !document_.IsOpen()) {
    // Nothing to read: every message, or none yet.
    document_.SetWhere(expression.text);
    ShowDocument({.rows = true, .where = true});
    return;
  }
  // Grouped here, if they were not yet, so that the worker only reads them: the calls table
  // shows the calls of the rows.
  const CallTable& calls = document_.GroupCallsIfNeeded();
  const MessageStore& store = document_.Store();
  auto shared = std::make_shared<const WhereExpression>(expression);
  scheduler_.Start<WhereFound>(
      OperationKind::WhereRows,
      [shared, &store, &calls](OperationProgress& progress) {
        return TraceDocument::FindWhere(*shared, store, calls,
                                        [&progress] { return !progress.CancelRequested(); });
      },
      [this, shared](std::optional<WhereFound> found) {
        WhereFiltered(*shared, std::move(found));
      });
}

void MainWindow::WhereFiltered(WhereExpression expression, std::optional<WhereFound> found) {
  if (!found) {
    widgets_.filterBar->ShowError(tr("not enough memory to filter the messages"));
    return;
  }
  document_.TakeWhere(std::move(expression), std::move(*found));
  ShowDocument({.rows = true, .where = true});
}

}  // namespace sigrune
