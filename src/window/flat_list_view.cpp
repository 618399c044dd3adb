#include "window/flat_list_view.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>

namespace sigrune {

FlatListView::FlatListView(QWidget* parent)
    : QAbstractItemView(parent), header_(new QHeaderView(Qt::Horizontal, this)) {
  setVerticalScrollMode(ScrollPerItem);
  setHorizontalScrollMode(ScrollPerPixel);
  setSelectionBehavior(SelectRows);
  header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header_->setStretchLastSection(true);
  const auto relayout = [this] {
    updateGeometries();
    viewport()->update();
  };
  connect(header_, &QHeaderView::sectionResized, this, relayout);
  connect(header_, &QHeaderView::sectionMoved, this, relayout);
  connect(header_, &QHeaderView::geometriesChanged, this, &FlatListView::updateGeometries);
  // A double click on a handle fits the column to its heading and the rows on screen: measuring
  // every row of a million would stall the window.
  connect(header_, &QHeaderView::sectionHandleDoubleClicked, this, [this](int column) {
    int width = header_->sectionSizeHint(column);
    const int last = std::min(Rows() - 1, FirstShownRow() + WholeRowsShown());
    for (int row = FirstShownRow(); row <= last; ++row) {
      width = std::max(width, sizeHintForIndex(model()->index(row, column, rootIndex())).width());
    }
    header_->resizeSection(column, width);
  });
}

FlatListView::~FlatListView() { header_->disconnect(this); }

void FlatListView::setModel(QAbstractItemModel* model) {
  if (this->model() != nullptr) {
    disconnect(this->model(), nullptr, this, nullptr);
  }
  QAbstractItemView::setModel(model);
  header_->setModel(model);
  rowHeight_ = 0;
  if (model != nullptr) {
    // Rows inserted and a reset come through the view's own overrides.
    const auto relayout = [this] {
      updateGeometries();
      viewport()->update();
    };
    connect(model, &QAbstractItemModel::rowsRemoved, this, relayout);
    connect(model, &QAbstractItemModel::layoutChanged, this, relayout);
  }
  updateGeometries();
}

int FlatListView::Rows() const {
  return model() != nullptr ? model()->rowCount(rootIndex()) : 0;
}

int FlatListView::RowHeight() const {
  if (rowHeight_ > 0) {
    return rowHeight_;
  }
  int height = fontMetrics().height();
  if (Rows() == 0) {
    return std::max(1, height);
  }
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  for (int column = 0; column < model()->columnCount(rootIndex()); ++column) {
    const QModelIndex index = model()->index(0, column, rootIndex());
    height = std::max(height, itemDelegateForIndex(index)->sizeHint(option, index).height());
  }
  rowHeight_ = std::max(1, height);
  return rowHeight_;
}

int FlatListView::FirstShownRow() const {
  return verticalScrollBar()->value();
}

int FlatListView::WholeRowsShown() const {
  return std::max(1, viewport()->height() / RowHeight());
}

int FlatListView::RowAt(int y) const {
  if (y < 0) {
    return -1;
  }
  const int row = FirstShownRow() + y / RowHeight();
  return row < Rows() ? row : -1;
}

QRect FlatListView::RowRect(int row) const {
  return {-header_->offset(), (row - FirstShownRow()) * RowHeight(),
          std::max(header_->length(), viewport()->width()), RowHeight()};
}

void FlatListView::UpdateRow(int row) {
  if (row >= 0) {
    viewport()->update(RowRect(row).intersected(viewport()->rect()));
  }
}

QRect FlatListView::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.parent() != rootIndex() ||
      header_->isSectionHidden(index.column())) {
    return {};
  }
  return {header_->sectionViewportPosition(index.column()),
          (index.row() - FirstShownRow()) * RowHeight(), header_->sectionSize(index.column()),
          RowHeight()};
}

void FlatListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid() || index.parent() != rootIndex()) {
    return;
  }
  const int row = index.row();
  const int first = FirstShownRow();
  const int whole = WholeRowsShown();
  int top = first;
  switch (hint) {
    case PositionAtTop:
      top = row;
      break;
    case PositionAtBottom:
      top = row - whole + 1;
      break;
    case PositionAtCenter:
      top = row - whole / 2;
      break;
    case EnsureVisible:
      if (row < first) {
        top = row;
      } else if (row >= first + whole) {
        top = row - whole + 1;
      }
      break;
  }
  verticalScrollBar()->setValue(top);
}

QModelIndex FlatListView::indexAt(const QPoint& point) const {
  const int row = RowAt(point.y());
  const int column = header_->logicalIndexAt(point.x());
  if (row < 0 || column < 0) {
    return {};
  }
  return model()->index(row, column, rootIndex());
}

void FlatListView::reset() {
  QAbstractItemView::reset();
  rowHeight_ = 0;
  updateGeometries();
  viewport()->update();
}

QModelIndex FlatListView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
  const int rows = Rows();
  if (rows == 0) {
    return {};
  }
  const QModelIndex current = currentIndex();
  if (!current.isValid()) {
    return model()->index(std::min(FirstShownRow(), rows - 1), 0, rootIndex());
  }
  int row = current.row();
  switch (action) {
    case MoveUp:
    case MovePrevious:
      --row;
      break;
    case MoveDown:
    case MoveNext:
      ++row;
      break;
    case MovePageUp:
      row -= WholeRowsShown();
      break;
    case MovePageDown:
      row += WholeRowsShown();
      break;
    case MoveHome:
      row = 0;
      break;
    case MoveEnd:
      row = rows - 1;
      break;
    case MoveLeft:
    case MoveRight:
      // Whole rows are chosen: the sideways keys scroll.
      horizontalScrollBar()->triggerAction(action == MoveLeft
                                               ? QAbstractSlider::SliderSingleStepSub
                                               : QAbstractSlider::SliderSingleStepAdd);
      return current;
  }
  return model()->index(std::clamp(row, 0, rows - 1), current.column(), rootIndex());
}

int FlatListView::horizontalOffset() const {
  return header_->offset();
}

int FlatListView::verticalOffset() const {
  return FirstShownRow() * RowHeight();
}

bool FlatListView::isIndexHidden(const QModelIndex& index) const {
  return header_->isSectionHidden(index.column());
}

void FlatListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
  const int rows = Rows();
  const int columns = model() != nullptr ? model()->columnCount(rootIndex()) : 0;
  if (selectionModel() == nullptr || rows == 0 || columns == 0) {
    return;
  }
  const QRect area = rect.normalized();
  // A drag may reach above or below the rows on screen while the view scrolls with it.
  const auto rowOf = [&](int y) {
    const int offset = y >= 0 ? y / RowHeight() : -((-y + RowHeight() - 1) / RowHeight());
    return std::clamp(FirstShownRow() + offset, 0, rows - 1);
  };
  const QItemSelection selection(model()->index(rowOf(area.top()), 0, rootIndex()),
                                 model()->index(rowOf(area.bottom()), columns - 1, rootIndex()));
  selectionModel()->select(selection, command | QItemSelectionModel::Rows);
}

QRegion FlatListView::visualRegionForSelection(const QItemSelection& selection) const {
  QRegion region;
  const int first = FirstShownRow();
  const int last = first + viewport()->height() / RowHeight();
  for (const QItemSelectionRange& range : selection) {
    if (!range.isValid() || range.parent() != rootIndex()) {
      continue;
    }
    const int top = std::max(range.top(), first);
    const int bottom = std::min(range.bottom(), last);
    if (top <= bottom) {
      region += QRect(0, (top - first) * RowHeight(), viewport()->width(),
                      (bottom - top + 1) * RowHeight());
    }
  }
  return region;
}

void FlatListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QAbstractItemView::currentChanged(current, previous);
  // The focus frame spans the row.
  UpdateRow(previous.isValid() ? previous.row() : -1);
  UpdateRow(current.isValid() ? current.row() : -1);
}

void FlatListView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsInserted(parent, start, end);
  if (parent == rootIndex()) {
    if (start == 0) {
      rowHeight_ = 0;
    }
    updateGeometries();
    if (start <= FirstShownRow() + WholeRowsShown()) {
      viewport()->update();
    }
  }
}

void FlatListView::updateGeometries() {
  if (inGeometries_) {
    return;  // the margins below resize the viewport, which asks again
  }
  inGeometries_ = true;
  if (header_->isHidden()) {
    setViewportMargins(0, 0, 0, 0);
  } else {
    const int height = std::max(header_->minimumHeight(), header_->sizeHint().height());
    setViewportMargins(0, height, 0, 0);
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - height, area.width(), height);
    QMetaObject::invokeMethod(header_, "updateGeometries");
  }
  QScrollBar* vertical = verticalScrollBar();
  vertical->setSingleStep(1);
  vertical->setPageStep(WholeRowsShown());
  vertical->setRange(0, std::max(0, Rows() - WholeRowsShown()));
  QScrollBar* horizontal = horizontalScrollBar();
  horizontal->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 4));
  horizontal->setPageStep(viewport()->width());
  horizontal->setRange(0, std::max(0, header_->length() - viewport()->width()));
  inGeometries_ = false;
  QAbstractItemView::updateGeometries();
}

void FlatListView::scrollContentsBy(int dx, int dy) {
  if (dx != 0) {
    header_->setOffset(horizontalScrollBar()->value());
  }
  const int pixels = dy * RowHeight();
  if (dx == 0 && std::abs(pixels) < viewport()->height()) {
    viewport()->scroll(0, pixels);
  } else {
    viewport()->update();
  }
}

void FlatListView::paintEvent(QPaintEvent* event) {
  const int rows = Rows();
  if (rows == 0 || header_->count() == 0) {
    return;
  }
  QPainter painter(viewport());
  const QRect exposed = event->rect();
  const int first = FirstShownRow();
  const int top = first + std::max(0, exposed.top()) / RowHeight();
  const int bottom = std::min(rows - 1, first + std::max(0, exposed.bottom()) / RowHeight());
  for (int row = top; row <= bottom; ++row) {
    PaintRow(painter, row, RowRect(row), exposed);
  }
}

void FlatListView::PaintRow(QPainter& painter, int row, const QRect& rowRect,
                            const QRect& exposed) {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.state &= ~QStyle::State_HasFocus;
  if (alternatingRowColors() && row % 2 == 1) {
    option.features |= QStyleOptionViewItem::Alternate;
  }
  const QItemSelectionModel* selection = selectionModel();
  const int count = header_->count();
  int firstShown = -1;
  int lastShown = -1;
  for (int visual = 0; visual < count; ++visual) {
    if (!header_->isSectionHidden(header_->logicalIndex(visual))) {
      firstShown = firstShown < 0 ? visual : firstShown;
      lastShown = visual;
    }
  }
  bool selected = false;
  for (int visual = firstShown; visual >= 0 && visual <= lastShown; ++visual) {
    const int column = header_->logicalIndex(visual);
    const int x = header_->sectionViewportPosition(column);
    const int width = header_->sectionSize(column);
    if (header_->isSectionHidden(column) || x + width <= exposed.left() || x > exposed.right()) {
      continue;
    }
    const QModelIndex index = model()->index(row, column, rootIndex());
    QStyleOptionViewItem cell = option;
    cell.rect = QRect(x, rowRect.y(), width, rowRect.height());
    cell.index = index;
    cell.viewItemPosition = firstShown == lastShown ? QStyleOptionViewItem::OnlyOne
                            : visual == firstShown  ? QStyleOptionViewItem::Beginning
                            : visual == lastShown   ? QStyleOptionViewItem::End
                                                    : QStyleOptionViewItem::Middle;
    if (selection != nullptr && selection->isSelected(index)) {
      cell.state |= QStyle::State_Selected;
      selected = true;
    }
    style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &cell, &painter, this);
    itemDelegateForIndex(index)->paint(&painter, cell, index);
  }
  if (hasFocus() && currentIndex().isValid() && currentIndex().row() == row) {
    QStyleOptionFocusRect frame;
    frame.QStyleOption::operator=(option);
    frame.rect = rowRect;
    frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    frame.backgroundColor =
        palette().color(QPalette::Normal, selected ? QPalette::Highlight : QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
  }
}

void FlatListView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    rowHeight_ = 0;
    updateGeometries();
  }
  QAbstractItemView::changeEvent(event);
}

}  // namespace sigrune
