#pragma once

// Shows a ladder picture however long: a scroll area whose rows all have one height, so that a
// paint draws only the rows in sight under a header that stays at the top. A click or Up/Down
// chooses an arrow; a double-click on a lane's header box edits the lane's name in place.

#include <QAbstractScrollArea>
#include <cstddef>
#include <optional>

#include "window/ladder/ladder_painter.h"

namespace sigrune {

class LadderView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit LadderView(QWidget* parent = nullptr);
  ~LadderView() override;

  // The picture to show, owned by the caller until the next call; none shows nothing.
  void ShowPicture(const LadderPicture* picture);
  // Marks the row's arrow and scrolls it into sight, without a signal.
  void SelectRow(std::optional<std::size_t> row);
  std::optional<std::size_t> SelectedRow() const { return selected_; }
  // Where a row's arrow is in the viewport's coordinates (for tests and tool tips).
  QRect RowRect(std::size_t row) const;
  // Where a lane's header box is in the viewport's coordinates.
  QRect LaneRect(std::size_t lane) const;
  // Opens a field over the lane's header box, holding `name`: Enter (or leaving it) renames the
  // lane, Escape leaves it as it was.
  void EditLaneName(std::size_t lane, const QString& name);

  QSize sizeHint() const override;

 signals:
  void RowChosen(std::size_t row);
  void LaneDoubleClicked(std::size_t lane);
  void LaneRenamed(std::size_t lane, const QString& name);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  void Choose(std::size_t row);
  std::optional<std::size_t> RowAt(QPoint point) const;
  void FinishEditing(bool keep);

  const LadderPicture* picture_ = nullptr;
  std::optional<std::size_t> selected_;
  class NameEditor;
  NameEditor* nameEditor_ = nullptr;
  std::size_t editedLane_ = 0;
};

}  // namespace sigrune
