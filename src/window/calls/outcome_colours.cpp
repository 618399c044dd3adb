#include "window/calls/outcome_colours.h"

namespace sigrune {

namespace {

bool IsDark(const QPalette& palette) {
  return palette.color(QPalette::Base).lightness() < 128;
}

QColor Mixed(const QColor& colour, const QColor& toward, double share) {
  return QColor::fromRgbF(
      static_cast<float>(colour.redF() + (toward.redF() - colour.redF()) * share),
      static_cast<float>(colour.greenF() + (toward.greenF() - colour.greenF()) * share),
      static_cast<float>(colour.blueF() + (toward.blueF() - colour.blueF()) * share));
}

QColor Red(bool dark) {
  return dark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc0, 0x1c, 0x1c);
}
QColor Amber(bool dark) {
  return dark ? QColor(0xff, 0xc1, 0x4d) : QColor(0x9a, 0x5b, 0x00);
}

// The amber outcomes apart by how far they are mixed toward the base.
QColor Fill(CallOutcome outcome, bool dark, const QColor& base, const QColor& highlight,
            const QColor& none) {
  switch (outcome) {
    case CallOutcome::Failed:
      return Red(dark);
    case CallOutcome::Busy:
      return Amber(dark);
    case CallOutcome::NoAnswer:
      return Mixed(Amber(dark), base, 0.25);
    case CallOutcome::Rejected:
      return Mixed(Amber(dark), base, 0.45);
    case CallOutcome::Cancelled:
      return Mixed(Amber(dark), base, 0.62);
    case CallOutcome::Answered:
      return highlight;
    case CallOutcome::None:
      break;
  }
  return none;
}

}  // namespace

QColor OutcomeTextColour(CallOutcome outcome, const QPalette& palette) {
  switch (outcome) {
    case CallOutcome::Failed:
      return Red(IsDark(palette));
    case CallOutcome::Busy:
    case CallOutcome::NoAnswer:
    case CallOutcome::Rejected:
    case CallOutcome::Cancelled:
      return Amber(IsDark(palette));
    case CallOutcome::Answered:
    case CallOutcome::None:
      break;
  }
  return {};
}

QColor OutcomeFill(CallOutcome outcome, const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  return Fill(outcome, IsDark(palette), base, palette.color(QPalette::Highlight),
              Mixed(palette.color(QPalette::Text), base, 0.6));
}

QColor OutcomeFillOnPaper(CallOutcome outcome) {
  return Fill(outcome, false, Qt::white, QColor(0x30, 0x8c, 0xc6), QColor(0xa6, 0xa6, 0xa6));
}

}  // namespace sigrune
