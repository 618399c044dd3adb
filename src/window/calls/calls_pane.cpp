#include "window/calls/calls_pane.h"

#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
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
  text_->setPlaceholderText(tr("Number, gateway, media or reason"));
  text_->setClearButtonEnabled(true);
  text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * 34);
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
  // Sorted here rather than by the view, so that a sort keeps the selected calls.
  view_->header()->setSortIndicatorShown(true);
  view_->header()->setSectionsClickable(true);
  connect(view_->header(), &QHeaderView::sortIndicatorChanged, this,
          [this](int column, Qt::SortOrder order) {
            ChangeRows([&] { model_->sort(column, order); });
          });
  view_->header()->setSortIndicator(static_cast<int>(CallColumn::Number), Qt::AscendingOrder);
  CreateMenu();
  // The related leg's number is a link: a click on it goes there, and the hand says so.
  view_->setMouseTracking(true);
  connect(view_, &QTreeView::entered, this, [this](const QModelIndex& index) {
    const bool link = index.column() == static_cast<int>(CallColumn::Related) &&
                      model_->RelatedOfRow(index.row());
    view_->viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
  });
  connect(view_, &QTreeView::viewportEntered, this, [this] { view_->viewport()->unsetCursor(); });
  connect(view_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
    if (index.column() == static_cast<int>(CallColumn::Related)) {
      GoToCall(model_->RelatedOfRow(index.row()));
    }
  });
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
    ChangeRows([&] { model_->SetMatchText(text); });
    UpdateCount();
  });
  connect(outcome_, &QComboBox::currentIndexChanged, this, [this] {
    ChangeRows([this] {
      model_->SetOutcomeChoice(static_cast<OutcomeChoice>(outcome_->currentData().toInt()));
    });
    UpdateCount();
  });
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            emit CurrentCallChanged(model_->CallOfRow(current.row()));
          });
  connect(view_, &QTreeView::activated, this, &CallsPane::RowActivated);
  UpdateCount();
}

void CallsPane::ShowCallsOf(const TraceDocument* document) {
  TakeCalls(document);
  SizeColumns();
}

void CallsPane::TakeCalls(const TraceDocument* document) {
  document_ = document;
  changed_ = false;
  open_ = document != nullptr && document->IsOpen();
  model_->ShowCallsOf(document);
  UpdateCount();
}

void CallsPane::ClearChoice() {
  text_->clear();
  outcome_->setCurrentIndex(0);
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
  TakeCalls(document_);
  SelectCalls(selected, current);
  view_->verticalScrollBar()->setValue(scrolled);
}

void CallsPane::ChangeRows(const std::function<void()>& change) {
  const std::vector<CallNumber> selected = SelectedCalls();
  const CallNumber current = model_->CallOfRow(view_->currentIndex().row());
  change();
  SelectCalls(selected, current);
  if (view_->currentIndex().isValid()) {
    view_->scrollTo(view_->currentIndex());
  }
}

void CallsPane::SelectCalls(const std::vector<CallNumber>& calls, CallNumber current) {
  if (calls.empty() && !current) {
    return;
  }
  // Runs of rows as one range each: a selection of every call stays one range.
  QItemSelection selection;
  const int rows = model_->rowCount();
  int first = -1;
  for (int row = 0; row <= rows; ++row) {
    const CallNumber call = model_->CallOfRow(row);
    const bool chosen = row < rows && std::binary_search(calls.begin(), calls.end(), call);
    if (chosen && first < 0) {
      first = row;
    } else if (!chosen && first >= 0) {
      selection.select(model_->index(first, 0), model_->index(row - 1, kCallColumns - 1));
      first = -1;
    }
    if (call && call == current) {
      view_->selectionModel()->setCurrentIndex(model_->index(row, 0),
                                               QItemSelectionModel::NoUpdate);
    }
  }
  view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void CallsPane::RowActivated(const QModelIndex& index) {
  if (index.column() == static_cast<int>(CallColumn::Related)) {
    GoToCall(model_->RelatedOfRow(index.row()));
  } else if (const CallNumber call = model_->CallOfRow(index.row())) {
    emit CallActivated(call);
  }
}

void CallsPane::GoToCall(CallNumber call) {
  if (!call) {
    return;
  }
  if (model_->RowOfCall(call) < 0) {
    const QSignalBlocker quietText(text_);
    const QSignalBlocker quietOutcome(outcome_);
    text_->clear();
    outcome_->setCurrentIndex(0);
    group_->hide();
    clearGroup_->hide();
    model_->ClearChoice();
    UpdateCount();
  }
  const int row = model_->RowOfCall(call);
  if (row < 0) {
    return;
  }
  const QModelIndex index = model_->index(row, static_cast<int>(CallColumn::Related));
  view_->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view_->scrollTo(index);
}

void CallsPane::ShowGroup(const StatisticsGroup& group, const QString& description) {
  ShowChangedCalls();
  ChangeRows([&] { model_->SetGroup(group); });
  group_->setText(description);
  group_->show();
  clearGroup_->show();
  UpdateCount();
}

void CallsPane::ClearGroup() {
  ChangeRows([this] { model_->SetGroup(std::nullopt); });
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
  // From the widest texts the calls hold and the headings with their sort mark, never by
  // measuring the rows.
  const QFontMetrics metrics(view_->font());
  QFont italic = view_->font();
  italic.setItalic(true);  // calls still open
  const QFontMetrics italicMetrics(italic);
  const int margin = 2 * metrics.averageCharWidth();
  const std::array<QStringList, kCallColumns> widest = model_->WidestTexts();
  for (int column = 0; column < kCallColumns; ++column) {
    int width = view_->header()->sectionSizeHint(column);
    for (const QString& text : widest[static_cast<std::size_t>(column)]) {
      width = std::max(
          width, std::max(metrics.horizontalAdvance(text), italicMetrics.horizontalAdvance(text)) +
                     margin);
    }
    view_->header()->resizeSection(column, width);
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
    const std::size_t failed = model_->FailedRows();
    count += failed == 0 ? tr(", none failed")
                         : tr(", %1 failed").arg(QString::fromStdString(GroupedDigits(failed)));
  }
  count_->setText(count);
}

}  // namespace sigrune
