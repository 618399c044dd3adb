#pragma once

// What the main window remembers between runs: its place, size and maximized state, the
// splitter between the list and the pane, and the widths of the list's columns.

#include <QList>
#include <QRect>
#include <optional>

class QMainWindow;
class QSplitter;

namespace sigrune {

// The first start: 80 % of the screen's available area, centred on it.
QRect FirstStartGeometry(const QRect& available);

// A saved place on the screens as they are now: kept when a good part of it (its title bar's
// middle) lies on one of them; else moved, at its size, into the middle of the primary screen's
// available area (and made no larger than that area).
QRect PlaceOnScreens(const QRect& saved, const QList<QRect>& availableScreens,
                     const QRect& primaryAvailable);

struct WindowPlace {
  QRect geometry;  // the window's normal (not maximized) place and size
  bool maximized = false;
};

// Restores the window's place (or sets the first start's), the splitter and the column widths.
void RestoreMainWindow(QMainWindow& window, QSplitter& splitter);
void SaveMainWindow(const QMainWindow& window, const QSplitter& splitter);

// The list's column widths saved last; 0 for a column whose width was never saved.
QList<int> SavedColumnWidths();
void SaveColumnWidths(const QList<int>& widths);

}  // namespace sigrune
