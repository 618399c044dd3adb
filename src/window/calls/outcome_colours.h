#pragma once

// The colours of the calls' outcomes, shared by the calls table and the statistics: failed red,
// the other unanswered outcomes amber, in shades that keep their contrast on a light or a dark
// base.

#include <QColor>
#include <QPalette>

#include "calls/call_table.h"

namespace sigrune {

// The calls table's text colour of the outcome; invalid (the palette's own) for answered and none.
QColor OutcomeTextColour(CallOutcome outcome, const QPalette& palette);

// A fill for each outcome, as charts stack them: the table's red and amber (the four amber ones in
// shades towards `base`), the palette's highlight for answered and a grey for none.
QColor OutcomeFill(CallOutcome outcome, const QPalette& palette);

// The fills on white paper, whatever the screen shows.
QColor OutcomeFillOnPaper(CallOutcome outcome);

}  // namespace sigrune
