// The message list's view: it must cost nothing per row, and move, select and hit rows as a list
// of whole rows does.

#include <gtest/gtest.h>

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <fstream>
#include <string>

#include "window/flat_list_view.h"

namespace sigrune {
namespace {

class CountingModel : public QAbstractTableModel {
 public:
  explicit CountingModel(int rows) : rows_(rows) {}
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : rows_;
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : 3;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    return role == Qt::DisplayRole ? QVariant(index.row() * 10 + index.column()) : QVariant();
  }

 private:
  int rows_;
};

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::stol(line.substr(6));
    }
  }
  return 0;
}

TEST(FlatListView, FiftyMillionRowsCostNothingAndTheLastIsReached) {
  CountingModel model(50'000'000);
  const long before = ResidentKilobytes();
  FlatListView view;
  view.resize(400, 300);
  view.setModel(&model);
  view.show();
  view.scrollToBottom();
  const QModelIndex last = model.index(model.rowCount() - 1, 1);
  view.setCurrentIndex(last);
  QCoreApplication::processEvents();
  // A layout of every row would take gigabytes.
  EXPECT_LT(ResidentKilobytes() - before, 64 * 1024);
  const QRect rect = view.visualRect(last);
  EXPECT_TRUE(view.viewport()->rect().contains(rect)) << rect.y();
  EXPECT_EQ(view.indexAt(rect.center()), last);
  EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

TEST(FlatListView, KeysMoveAndSelectWholeRows) {
  CountingModel model(100);
  FlatListView view;
  view.setSelectionMode(QAbstractItemView::ExtendedSelection);
  view.resize(400, 200);
  view.setModel(&model);
  view.show();
  view.setFocus();
  view.setCurrentIndex(model.index(0, 0));
  const QRect row = view.visualRect(model.index(0, 0));
  const int page = view.viewport()->height() / row.height();
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int current;
    int selected;  // rows selected after the key
  } steps[] = {
      {Qt::Key_Down, Qt::NoModifier, 1, 1},
      {Qt::Key_Down, Qt::ShiftModifier, 2, 2},
      {Qt::Key_PageDown, Qt::NoModifier, 2 + page, 1},
      {Qt::Key_End, Qt::NoModifier, 99, 1},
      {Qt::Key_Up, Qt::ShiftModifier, 98, 2},
      {Qt::Key_Home, Qt::NoModifier, 0, 1},
  };
  for (const auto& step : steps) {
    QTest::keyClick(&view, step.key, step.modifiers);
    EXPECT_EQ(view.currentIndex().row(), step.current) << step.key;
    EXPECT_EQ(view.selectionModel()->selectedRows().size(), step.selected) << step.key;
    EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(view.currentIndex()))) << step.key;
  }
  // A click anywhere in a row chooses the row.
  const QRect third = view.visualRect(model.index(3, 2));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, third.center());
  EXPECT_EQ(view.selectionModel()->selectedRows(), QModelIndexList{model.index(3, 0)});
  EXPECT_EQ(view.header()->count(), 3);
}

}  // namespace
}  // namespace sigrune
