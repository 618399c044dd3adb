// The calls table's right-click menu, whose subject is the selected calls, and Ctrl+C, which
// copies them as CSV lines under the headings, in the columns and order the table shows.

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>
#include <algorithm>
#include <string>
#include <vector>

#include "window/calls/call_list_model.h"
#include "window/calls/calls_pane.h"
#include "writers/call_csv.h"

namespace sigrune {

namespace {

QAction* AddEntry(QMenu* menu, QWidget* view, const QString& caption, const char* name) {
  auto* action = new QAction(caption, view);
  action->setObjectName(QLatin1String(name));
  menu->addAction(action);
  view->addAction(action);
  return action;
}

}  // namespace

void CallsPane::CreateMenu() {
  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("callMenu"));
  QAction* showFlow = AddEntry(menu_, view_, tr("Show &Flow"), "callShowFlow");
  connect(showFlow, &QAction::triggered, this, &CallsPane::ShowFlowRequested);
  QAction* thisCall = AddEntry(menu_, view_, tr("This &Call"), "callThisCall");
  connect(thisCall, &QAction::triggered, this, [this] {
    if (const CallNumber call = model_->CallOfRow(view_->currentIndex().row())) {
      emit CallActivated(call);
    }
  });
  QAction* related = AddEntry(menu_, view_, tr("Go to &Related Leg"), "callGoToRelated");
  connect(related, &QAction::triggered, this,
          [this] { GoToCall(model_->RelatedOfRow(view_->currentIndex().row())); });
  menu_->addSeparator();
  QAction* copy = AddEntry(menu_, view_, tr("&Copy"), "callCopy");
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, &CallsPane::CopySelectedRows);
  menu_->addSeparator();
  QAction* exportPcap = AddEntry(menu_, view_, tr("Export Calls to &pcap…"), "exportCallsPcap");
  connect(exportPcap, &QAction::triggered, this, [this] {
    if (const std::vector<CallNumber> calls = SelectedCalls(); !calls.empty()) {
      emit ExportToPcapRequested(calls);
    }
  });
  QAction* saveCalls = AddEntry(menu_, view_, tr("Save Calls as CS&V…"), "callSaveCalls");
  connect(saveCalls, &QAction::triggered, this, &CallsPane::SaveCallsRequested);

  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_, &QWidget::customContextMenuRequested, this, &CallsPane::ShowMenu);
}

void CallsPane::ShowMenu(const QPoint& position) {
  // A row in the selection becomes the current one and the selection stays; any other row is
  // selected alone.
  if (const QModelIndex index = view_->indexAt(position); index.isValid()) {
    QItemSelectionModel* selection = view_->selectionModel();
    selection->setCurrentIndex(
        index, selection->isRowSelected(index.row())
                   ? QItemSelectionModel::NoUpdate
                   : QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  const bool selected = view_->selectionModel()->hasSelection();
  const int current = view_->currentIndex().row();
  const auto enable = [this](const char* name, bool enabled) {
    view_->findChild<QAction*>(QLatin1String(name))->setEnabled(enabled);
  };
  enable("callShowFlow", selected);
  enable("callThisCall", static_cast<bool>(model_->CallOfRow(current)));
  enable("callGoToRelated", static_cast<bool>(model_->RelatedOfRow(current)));
  enable("callCopy", selected);
  enable("exportCallsPcap", selected);
  enable("callSaveCalls", model_->rowCount() > 0);
  menu_->popup(view_->viewport()->mapToGlobal(position));
}

void CallsPane::CopySelectedRows() {
  QModelIndexList rows = view_->selectionModel()->selectedRows();
  if (rows.isEmpty()) {
    return;
  }
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  const QHeaderView* header = view_->header();
  std::vector<int> columns;
  for (int visual = 0; visual < header->count(); ++visual) {
    if (const int column = header->logicalIndex(visual); !header->isSectionHidden(column)) {
      columns.push_back(column);
    }
  }
  // The cells are the core's Latin-1 texts, so they go back to Latin-1 whole.
  std::string text;
  std::vector<std::string> fields(columns.size());
  for (std::size_t k = 0; k < columns.size(); ++k) {
    fields[k] = model_->headerData(columns[k], Qt::Horizontal, Qt::DisplayRole)
                    .toString()
                    .toLatin1()
                    .toStdString();
  }
  AppendCsvRecord(text, fields);
  for (const QModelIndex& row : rows) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      fields[k] = model_->index(row.row(), columns[k]).data().toString().toLatin1().toStdString();
    }
    AppendCsvRecord(text, fields);
  }
  QGuiApplication::clipboard()->setText(
      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace sigrune
