#pragma once

// The filter bar over the tabs, which drives the whole window: the label of the Filter menu's
// filter that is on, with its × to switch it off, the expression's field, and under them why an
// expression was not applied.

#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace sigrune {

class WhereBar;

class FilterBar : public QWidget {
  Q_OBJECT

 public:
  explicit FilterBar(QWidget* parent = nullptr);

  WhereBar* Where() const { return where_; }

  // The menu filter that is on ("call 5"); empty for none, and the label goes.
  void ShowMenuFilter(const QString& description);
  // The expression did not parse: the field turns red and the line under it says why.
  void ShowError(const QString& reason);
  void ShowAccepted();

 signals:
  // The label's ×, or Esc in an empty field while the label shows.
  void MenuFilterOff();

 private:
  QWidget* menuFilter_ = nullptr;
  QLabel* menuFilterText_ = nullptr;
  QToolButton* clearMenuFilter_ = nullptr;
  WhereBar* where_ = nullptr;
  QLabel* error_ = nullptr;
};

}  // namespace sigrune
