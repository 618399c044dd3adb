#include "window/calls/calls_pane.h"

#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "util/text_utilities.h"
#include "window/calls/call_list_model.h"

namespace sigrune {

namespace {

struct OutcomeEntry {
  const char* caption;
  OutcomeChoice choice;
};
constexpr OutcomeEntry kOutcomeEntries[] = {
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "All calls"), OutcomeChoice::All},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "Failed"), OutcomeChoice::Failed},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "Not answered"), OutcomeChoice::NotAnswered},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "Answered"), OutcomeChoice::Answered},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "Busy"), OutcomeChoice::Busy},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "No answer"), OutcomeChoice::NoAnswer},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "Rejected"), OutcomeChoice::Rejected},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "Cancelled"), OutcomeChoice::Cancelled},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "No outcome"), OutcomeChoice::NoOutcome},
    {QT_TRANSLATE_NOOP("sigrune::CallsPane", "Open calls"), OutcomeChoice::Open},
};

}  // namespace

CallsPane::CallsPane(QWidget* parent) : QWidget(parent) {
  model_ = new CallListModel(this);

  count_ = new QLabel;
  count_->setObjectName(QStringLiteral("callCount"));
  text_ = new QLineEdit;
  text_->setObjectName(QStringLiteral("callFilterText"));
  text_->setPlaceholderText(tr("Number or gateway"));
  text_->setClearButtonEnabled(true);
  text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * 24);
  outcome_ = new QComboBox;
  outcome_->setObjectName(QStringLiteral("callOutcome"));
  for (const OutcomeEntry& entry : kOutcomeEntries) {
    outcome_->addItem(tr(entry.caption), static_cast<int>(entry.choice));
  }

  group_ = new QLabel;
  group_->setObjectName(QStringLiteral("callGroup"));
  group_->hide();
  clearGroup_ = new QToolButton;
  clearGroup_->setObjectName(QStringLiteral("clearCallGroup"));
  clearGroup_->setText(tr("Show All"));
  clearGroup_->setToolTip(tr("Show every call again"));
  clearGroup_->hide();
  connect(clearGroup_, &QToolButton::clicked, this, &CallsPane::ClearGroup);

  view_ = new QTreeView;
  view_->setObjectName(QStringLiteral("callList"));
  view_->setModel(model_);
  view_->setUniformRowHeights(true);
  view_->setRootIsDecorated(false);
  view_->setItemsExpandable(false);
  view_->setAllColumnsShowFocus(true);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSortingEnabled(true);
  // The calls' own menu; the selected calls are its subject.
  auto* exportPcap = new QAction(tr("Export Calls to &pcap…"), view_);
  exportPcap->setObjectName(QStringLiteral("exportCallsPcap"));
  view_->addAction(exportPcap);
  view_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(exportPcap, &QAction::triggered, this, [this] {
    if (const std::vector<CallNumber> calls = SelectedCalls(); !calls.empty()) {
      emit ExportToPcapRequested(calls);
    }
  });
  view_->sortByColumn(static_cast<int>(CallColumn::Number), Qt::AscendingOrder);
  view_->header()->setStretchLastSection(true);
  SizeColumns();

  auto* controls = new QHBoxLayout;
  controls->addWidget(count_, 1);
  controls->addWidget(group_);
  controls->addWidget(clearGroup_);
  controls->addWidget(text_);
  controls->addWidget(outcome_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(controls);
  layout->addWidget(view_);
  setFocusProxy(view_);
  // In the order they stand, whatever the order they were made in.
  setTabOrder(clearGroup_, text_);
  setTabOrder(text_, outcome_);
  setTabOrder(outcome_, view_);

  connect(text_, &QLineEdit::textChanged, this, [this](const QString& text) {
    model_->SetMatchText(text);
    UpdateCount();
  });
  connect(outcome_, &QComboBox::currentIndexChanged, this, [this] {
    model_->SetOutcomeChoice(static_cast<OutcomeChoice>(outcome_->currentData().toInt()));
    UpdateCount();
  });
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            emit CurrentCallChanged(model_->CallOfRow(current.row()));
          });
  connect(view_, &QTreeView::activated, this, [this](const QModelIndex& index) {
    if (const CallNumber call = model_->CallOfRow(index.row())) {
      emit CallActivated(call);
    }
  });
  UpdateCount();
}

void CallsPane::ShowCallsOf(const TraceDocument* document) {
  document_ = document;
  changed_ = false;
  open_ = document != nullptr && document->IsOpen();
  model_->ShowCallsOf(document);
  failedCalls_ = 0;
  if (document != nullptr) {
    failedCalls_ = static_cast<std::size_t>(
        std::count_if(document->Calls().calls.begin(), document->Calls().calls.end(),
                      [](const CallRecord& call) { return call.outcome == CallOutcome::Failed; }));
  }
  UpdateCount();
}

void CallsPane::CallsChanged() {
  // Choosing the rows again sorts every call: not for a table no one looks at.
  changed_ = true;
  if (isVisible()) {
    ShowChangedCalls();
  }
}

void CallsPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ShowChangedCalls();
}

void CallsPane::ShowChangedCalls() {
  if (!std::exchange(changed_, false)) {
    return;
  }
  const std::vector<CallNumber> selected = SelectedCalls();
  const CallNumber current = model_->CallOfRow(view_->currentIndex().row());
  const int scrolled = view_->verticalScrollBar()->value();
  ShowCallsOf(document_);
  QItemSelection selection;
  for (int row = 0; row < model_->rowCount(); ++row) {
    const CallNumber call = model_->CallOfRow(row);
    if (std::binary_search(selected.begin(), selected.end(), call)) {
      selection.select(model_->index(row, 0), model_->index(row, kCallColumns - 1));
    }
    if (call == current) {
      view_->selectionModel()->setCurrentIndex(model_->index(row, 0),
                                               QItemSelectionModel::NoUpdate);
    }
  }
  view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  view_->verticalScrollBar()->setValue(scrolled);
}

void CallsPane::ShowGroup(const StatisticsGroup& group, const QString& description) {
  ShowChangedCalls();
  model_->SetGroup(group);
  group_->setText(description);
  group_->show();
  clearGroup_->show();
  UpdateCount();
}

void CallsPane::ClearGroup() {
  model_->SetGroup(std::nullopt);
  group_->hide();
  clearGroup_->hide();
  UpdateCount();
}

std::vector<CallNumber> CallsPane::ShownCalls() {
  ShowChangedCalls();
  std::vector<CallNumber> calls;
  calls.reserve(static_cast<std::size_t>(model_->rowCount()));
  for (int row = 0; row < model_->rowCount(); ++row) {
    calls.push_back(model_->CallOfRow(row));
  }
  return calls;
}

std::vector<CallNumber> CallsPane::SelectedCalls() const {
  std::vector<CallNumber> calls;
  for (const QModelIndex& row : view_->selectionModel()->selectedRows()) {
    calls.push_back(model_->CallOfRow(row.row()));
  }
  std::sort(calls.begin(), calls.end());
  return calls;
}

void CallsPane::SizeColumns() {
  // From the fonts, for the heading and the widest text a column usually holds, never by
  // measuring the rows.
  const QFontMetrics metrics(view_->font());
  const QFontMetrics headingMetrics(
      model_->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>());
  const char* const kWidest[kCallColumns] = {
      "99999",      "01/15/2004 10:23:45.678", "9999.999", "192.168.100.200", "out", "2145550100",
      "2145550100", "no answer (open)",        "99999",    "99999",           ""};
  for (int column = 0; column < kCallColumns; ++column) {
    const QString heading = model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int width = std::max(headingMetrics.horizontalAdvance(heading),
                               metrics.horizontalAdvance(QLatin1String(kWidest[column])));
    view_->header()->resizeSection(column, width + 2 * metrics.averageCharWidth());
  }
}

void CallsPane::UpdateCount() {
  const std::size_t calls = model_->CallCount();
  const auto shown = static_cast<std::size_t>(model_->rowCount());
  QString count;
  if (!open_) {
    count = tr("No trace open");
  } else if (calls == 0) {
    count = tr("No calls in this trace");
  } else {
    const QString all = QString::fromStdString(CountOf(calls, "call", "calls"));
    count = shown == calls ? all
                           : tr("%1 of %2").arg(QString::fromStdString(GroupedDigits(shown)), all);
    count += failedCalls_ == 0
                 ? tr(", none failed")
                 : tr(", %1 failed").arg(QString::fromStdString(GroupedDigits(failedCalls_)));
  }
  count_->setText(count);
}

}  // namespace sigrune
