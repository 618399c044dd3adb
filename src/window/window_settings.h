#pragma once

// What the main window remembers between runs: its place, size and maximized state, its
// splitters, and the widths of the list's columns.

#include <QList>
#include <QRect>
#include <optional>

class QMainWindow;
class QSplitter;

namespace sigrune {

// The first start: 80 % of the screen's available area, centred on it.
QRect FirstStartGeometry(const QRect& available);

// A saved place on the screens as they are now: kept, at most as large as the screen's available
// area, when at least 200 by 100 pixels of it lie on one screen's available area, so that it can
// be taken hold of and moved; else the first start's place on the primary screen.
QRect PlaceOnScreens(const QRect& saved, const QList<QRect>& availableScreens,
                     const QRect& primaryAvailable);

struct WindowPlace {
  QRect geometry;  // the window's normal (not maximized) place and size
  bool maximized = false;
};

// Restores the window's place (or sets the first start's), the splitter and the column widths.
void RestoreMainWindow(QMainWindow& window, QSplitter& splitter);
// `splitterSizes` are those of the splitter, kept while some of its panes are hidden.
void SaveMainWindow(const QMainWindow& window, const QList<int>& splitterSizes);

// Another splitter of the window, saved under its own name; sizes saved for a splitter of
// another count are left aside.
void RestoreSplitter(QSplitter& splitter, const QString& name);
void SaveSplitter(const QSplitter& splitter, const QString& name);

// The list's column widths saved last; 0 for a column whose width was never saved.
QList<int> SavedColumnWidths();
void SaveColumnWidths(const QList<int>& widths);

}  // namespace sigrune
