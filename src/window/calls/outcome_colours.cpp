#include "window/calls/outcome_colours.h"

#include <algorithm>
#include <cmath>

namespace sigrune {

namespace {

// The text of a table row reads at this contrast with its base.
constexpr double kTextContrast = 4.5;

bool IsDark(const QColor& base) {
  return base.lightness() < 128;
}

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
  return 0.2126 * Linear(colour.redF()) + 0.7152 * Linear(colour.greenF()) +
         0.0722 * Linear(colour.blueF());
}

QColor Mixed(const QColor& colour, const QColor& toward, double share) {
  return QColor::fromRgbF(
      static_cast<float>(colour.redF() + (toward.redF() - colour.redF()) * share),
      static_cast<float>(colour.greenF() + (toward.greenF() - colour.greenF()) * share),
      static_cast<float>(colour.blueF() + (toward.blueF() - colour.blueF()) * share));
}

// Okabe and Ito's colours, chosen to stay apart for readers with any common colour vision, and a
// grey for no outcome that is darker or lighter than all of them, by the base.
QColor Fill(CallOutcome outcome, const QColor& base) {
  switch (outcome) {
    case CallOutcome::Answered:
      return QColor(0x00, 0x9e, 0x73);  // bluish green
    case CallOutcome::Failed:
      return QColor(0xd5, 0x5e, 0x00);  // vermillion
    case CallOutcome::Busy:
      return QColor(0xe6, 0x9f, 0x00);  // orange
    case CallOutcome::NoAnswer:
      return QColor(0x56, 0xb4, 0xe9);  // sky blue
    case CallOutcome::Rejected:
      return QColor(0xcc, 0x79, 0xa7);  // reddish purple
    case CallOutcome::Cancelled:
      return QColor(0xf0, 0xe4, 0x42);  // yellow
    case CallOutcome::None:
      break;
  }
  return IsDark(base) ? QColor(0xc8, 0xc8, 0xc8) : QColor(0x55, 0x55, 0x55);
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double first = Luminance(a);
  const double second = Luminance(b);
  return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor OutcomeTextColour(CallOutcome outcome, const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor fill = Fill(outcome, base);
  // The hue darkened on a light base, lightened on a dark one, no further than it needs.
  const QColor toward = IsDark(base) ? QColor(Qt::white) : QColor(Qt::black);
  for (int step = 0; step < 40; ++step) {
    const QColor text = Mixed(fill, toward, step / 40.0);
    if (ContrastRatio(text, base) >= kTextContrast) {
      return text;
    }
  }
  return toward;
}

QColor OutcomeFill(CallOutcome outcome, const QPalette& palette) {
  return Fill(outcome, palette.color(QPalette::Base));
}

QColor OutcomeFillOnPaper(CallOutcome outcome) {
  return Fill(outcome, Qt::white);
}

}  // namespace sigrune
