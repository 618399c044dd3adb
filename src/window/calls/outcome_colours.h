#pragma once

// The colours of the calls' outcomes, shared by the calls table and the statistics: seven hues of
// a palette made for readers who do not tell red from green, each a fill that differs from the
// others under those visions too, and a text shade that keeps its contrast on a light or a dark
// base.

#include <QColor>
#include <QPalette>

#include "calls/call_table.h"

namespace sigrune {

// The calls table's text colour of the outcome on the palette's base, at the contrast that body
// text needs.
QColor OutcomeTextColour(CallOutcome outcome, const QPalette& palette);

// A fill for each outcome, as charts stack them, on the palette's base.
QColor OutcomeFill(CallOutcome outcome, const QPalette& palette);

// The fills on white paper, whatever the screen shows.
QColor OutcomeFillOnPaper(CallOutcome outcome);

// The contrast ratio of two colours by their relative luminance, 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace sigrune
