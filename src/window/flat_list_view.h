#pragma once

// A view of a flat model whose rows all have one height, under a header of columns, selecting and
// showing focus by whole rows. Unlike a tree view it keeps nothing per row: a list of millions of
// messages costs only the rows on screen, and a model that grows is told apart in constant time.

#include <QAbstractItemView>

class QHeaderView;

namespace sigrune {

class FlatListView : public QAbstractItemView {
  Q_OBJECT

 public:
  explicit FlatListView(QWidget* parent = nullptr);
  // The header tells of its geometry while the widget closes, past this class's part of it.
  ~FlatListView() override;

  QHeaderView* header() const { return header_; }

  void setModel(QAbstractItemModel* model) override;
  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;
  void reset() override;

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex& index) const override;
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int Rows() const;
  int RowHeight() const;
  int FirstShownRow() const;
  // Rows the viewport shows whole (at least one).
  int WholeRowsShown() const;
  int RowAt(int y) const;
  QRect RowRect(int row) const;
  void UpdateRow(int row);
  void PaintRow(QPainter& painter, int row, const QRect& rowRect, const QRect& exposed);

  QHeaderView* header_ = nullptr;
  mutable int rowHeight_ = 0;  // 0: not measured since the font or the model changed
  bool inGeometries_ = false;
};

}  // namespace sigrune
