#include "window/ladder/ladder_view.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <climits>
#include <functional>

#include "calls/lane_names.h"

namespace sigrune {

// A line edit that tells how its editing ends: Enter or leaving it keeps the text, Escape not.
class LadderView::NameEditor : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void(bool keep)> finished;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_Escape:
        Finish(false);
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        Finish(true);
        return;
      default:
        QLineEdit::keyPressEvent(event);
    }
  }
  void focusOutEvent(QFocusEvent* event) override {
    QLineEdit::focusOutEvent(event);
    Finish(true);
  }

 private:
  void Finish(bool keep) {
    if (finished) {
      finished(keep);
    }
  }
};

LadderView::LadderView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

LadderView::~LadderView() {
  // The field may lose the focus while the view is taken down.
  if (nameEditor_ != nullptr) {
    nameEditor_->finished = nullptr;
  }
}

void LadderView::ShowPicture(const LadderPicture* picture) {
  FinishEditing(false);
  picture_ = picture;
  if (picture_ == nullptr || (selected_ && *selected_ >= picture_->Rows())) {
    selected_.reset();
  }
  UpdateScrollBars();
  viewport()->update();
}

void LadderView::UpdateScrollBars() {
  const int rowsShown = picture_ == nullptr ? 0 : viewport()->height() - picture_->HeaderHeight();
  const std::int64_t rowsHeight =
      picture_ == nullptr ? 0 : static_cast<std::int64_t>(picture_->Rows()) * picture_->RowHeight();
  verticalScrollBar()->setRange(
      0, static_cast<int>(std::clamp<std::int64_t>(rowsHeight - rowsShown, 0, INT_MAX)));
  verticalScrollBar()->setPageStep(std::max(rowsShown, 1));
  verticalScrollBar()->setSingleStep(picture_ == nullptr ? 1 : picture_->RowHeight());
  const int width = picture_ == nullptr ? 0 : picture_->Width();
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(20);
}

void LadderView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
  if (picture_ == nullptr) {
    return;
  }
  const int scrolled = verticalScrollBar()->value();
  const int rowHeight = picture_->RowHeight();
  const auto first = static_cast<std::size_t>(scrolled / rowHeight);
  const int shift = scrolled % rowHeight;
  const int shown = viewport()->height() - picture_->HeaderHeight() + shift;
  const auto count = static_cast<std::size_t>(std::max(0, (shown + rowHeight - 1) / rowHeight));
  const int scrolledAcross = horizontalScrollBar()->value();
  painter.translate(-scrolledAcross, 0);
  picture_->Paint(painter, ScreenColours(palette()),
                  {first, first + count, shift, selected_, scrolledAcross + viewport()->width()});
}

void LadderView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void LadderView::scrollContentsBy(int, int) {
  FinishEditing(true);
  viewport()->update();
}

QRect LadderView::RowRect(std::size_t row) const {
  if (picture_ == nullptr) {
    return {};
  }
  const std::int64_t top = picture_->HeaderHeight() +
                           static_cast<std::int64_t>(row) * picture_->RowHeight() -
                           verticalScrollBar()->value();
  return {-horizontalScrollBar()->value(),
          static_cast<int>(std::clamp<std::int64_t>(top, INT_MIN / 2, INT_MAX / 2)),
          picture_->Width(), picture_->RowHeight()};
}

QRect LadderView::LaneRect(std::size_t lane) const {
  return picture_ == nullptr
             ? QRect()
             : picture_->LaneBox(lane).translated(-horizontalScrollBar()->value(), 0);
}

std::optional<std::size_t> LadderView::RowAt(QPoint point) const {
  if (picture_ == nullptr || point.y() < picture_->HeaderHeight()) {
    return std::nullopt;
  }
  const std::int64_t row = (static_cast<std::int64_t>(point.y()) - picture_->HeaderHeight() +
                            verticalScrollBar()->value()) /
                           picture_->RowHeight();
  return static_cast<std::size_t>(row) < picture_->Rows()
             ? std::optional<std::size_t>(static_cast<std::size_t>(row))
             : std::nullopt;
}

void LadderView::SelectRow(std::optional<std::size_t> row) {
  if (picture_ == nullptr || (row && *row >= picture_->Rows())) {
    row.reset();
  }
  selected_ = row;
  if (row) {
    const std::int64_t top = static_cast<std::int64_t>(*row) * picture_->RowHeight();
    const int shown = viewport()->height() - picture_->HeaderHeight();
    QScrollBar* bar = verticalScrollBar();
    if (top < bar->value()) {
      bar->setValue(static_cast<int>(top));
    } else if (top + picture_->RowHeight() > bar->value() + shown) {
      bar->setValue(static_cast<int>(std::min<std::int64_t>(
          top + picture_->RowHeight() - std::max(shown, picture_->RowHeight()), INT_MAX)));
    }
  }
  viewport()->update();
}

void LadderView::Choose(std::size_t row) {
  SelectRow(row);
  emit RowChosen(row);
}

void LadderView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    if (const std::optional<std::size_t> row = RowAt(event->position().toPoint())) {
      Choose(*row);
    }
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void LadderView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint() + QPoint(horizontalScrollBar()->value(), 0);
  if (picture_ != nullptr && event->button() == Qt::LeftButton &&
      point.y() < picture_->HeaderHeight()) {
    if (const std::optional<std::size_t> lane = picture_->LaneAt(point)) {
      emit LaneDoubleClicked(*lane);
      return;
    }
  }
  QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void LadderView::keyPressEvent(QKeyEvent* event) {
  if (picture_ == nullptr || picture_->Rows() == 0) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const std::size_t last = picture_->Rows() - 1;
  const std::size_t page = static_cast<std::size_t>(
      std::max(1, (viewport()->height() - picture_->HeaderHeight()) / picture_->RowHeight() - 1));
  const std::size_t at = selected_.value_or(0);
  std::size_t row = at;
  switch (event->key()) {
    case Qt::Key_Down:
      row = selected_ ? std::min(at + 1, last) : 0;
      break;
    case Qt::Key_Up:
      row = at > 0 ? at - 1 : 0;
      break;
    case Qt::Key_PageDown:
      row = std::min(at + page, last);
      break;
    case Qt::Key_PageUp:
      row = at > page ? at - page : 0;
      break;
    case Qt::Key_Home:
      row = 0;
      break;
    case Qt::Key_End:
      row = last;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  if (!selected_ || row != at) {
    Choose(row);
  }
}

bool LadderView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && picture_ != nullptr) {
    const auto* help = static_cast<QHelpEvent*>(event);
    if (const std::optional<std::size_t> row = RowAt(help->pos())) {
      QToolTip::showText(help->globalPos(), picture_->Description(*row), viewport(), RowRect(*row));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void LadderView::EditLaneName(std::size_t lane, const QString& name) {
  if (picture_ == nullptr || lane >= picture_->Flow().lanes.size()) {
    return;
  }
  if (nameEditor_ == nullptr) {
    nameEditor_ = new NameEditor(viewport());
    nameEditor_->setObjectName(QStringLiteral("laneName"));
    nameEditor_->setMaxLength(static_cast<int>(kLongestLaneName));
    nameEditor_->finished = [this](bool keep) { FinishEditing(keep); };
  }
  editedLane_ = lane;
  nameEditor_->setText(name);
  nameEditor_->selectAll();
  nameEditor_->setPlaceholderText(tr("Name of this lane"));
  const QRect box = LaneRect(lane);
  nameEditor_->setGeometry(box.left(), box.top(),
                           std::max(box.width(), 12 * fontMetrics().averageCharWidth()),
                           nameEditor_->sizeHint().height());
  nameEditor_->show();
  nameEditor_->setFocus();
}

void LadderView::FinishEditing(bool keep) {
  if (nameEditor_ == nullptr || nameEditor_->isHidden()) {
    return;
  }
  const QString name = nameEditor_->text();
  nameEditor_->hide();
  setFocus();
  if (keep) {
    emit LaneRenamed(editedLane_, name);
  }
}

QSize LadderView::sizeHint() const {
  // The whole picture up to a size that leaves room on a small screen.
  const int frame = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
  const int width = picture_ == nullptr ? 600 : picture_->Width();
  const std::int64_t height = picture_ == nullptr ? 400 : picture_->Height();
  return {std::min(width + frame, 1400),
          static_cast<int>(std::clamp<std::int64_t>(height + frame, 200, 640))};
}

}  // namespace sigrune
