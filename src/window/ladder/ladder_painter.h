#pragma once

// The picture of a ladder, drawn by one routine for the screen and for the PNG, SVG and PDF files:
// a header with one box per lane, then one row of a fixed height per arrow, the time of its message
// at the left. Sizes are in pixels of a font sized in pixels, so every device gets the same
// picture.

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "calls/call_flow.h"

class QPainter;
class QPalette;

namespace sigrune {

// A lane's header box: the user's name for the party, or its address; under it what else names
// the party (its protocol, and its address under a name).
struct LaneTitle {
  QString name;
  QString detail;
};

enum class LadderTime { Absolute, Relative };

struct LadderColours {
  QColor background;
  QColor text;
  QColor muted;      // lanes, details, undecodable arrows
  QColor failed;     // clearing messages of failed calls
  QColor header;     // behind the lane boxes
  QColor selection;  // the band behind the selected arrow
};
// For the screen: the palette's, with a red that reads on a light or a dark base.
LadderColours ScreenColours(const QPalette& palette);
// For files: dark on white, whatever the screen shows.
LadderColours FileColours();

// Which rows to draw, from the header's foot down: [first, end), the first moved up by `shift`
// pixels (a view scrolled part way into it); the background and the header's band reach at least
// `width` (a view wider than the picture).
struct LadderRows {
  std::size_t first = 0;
  std::size_t end = 0;
  int shift = 0;
  std::optional<std::size_t> selected;
  int width = 0;
};

class LadderPicture {
  Q_DECLARE_TR_FUNCTIONS(LadderPicture)

 public:
  // Measures every arrow's texts once; the titles and the time column can change afterwards.
  // `selectedCall` is the call the ladder is about: when calls share a lane, its arrows are drawn
  // stronger than the others'.
  LadderPicture(CallFlow flow, const QFont& font, CallNumber selectedCall = {});

  void SetTitles(std::vector<LaneTitle> titles);  // one per lane
  void SetTime(LadderTime time);

  const CallFlow& Flow() const { return flow_; }
  LadderTime Time() const { return time_; }
  std::size_t Rows() const { return flow_.arrows.size(); }
  int Width() const { return width_; }
  int HeaderHeight() const { return headerHeight_; }
  int RowHeight() const { return rowHeight_; }
  std::int64_t Height() const {
    return headerHeight_ + static_cast<std::int64_t>(Rows()) * rowHeight_;
  }

  // The lane whose header box holds the point, in the picture's coordinates.
  std::optional<std::size_t> LaneAt(QPoint point) const;
  QRect LaneBox(std::size_t lane) const;
  // The time column's text of a row; empty for a message without a time.
  QString TimeText(std::size_t row) const;
  // The row's texts on one line, for a tool tip.
  QString Description(std::size_t row) const;
  // When two calls share a lane, every arrow carries its call's number ("57") and the selected
  // call's arrows are strong; else no tag and every arrow is strong.
  QString CallTag(std::size_t row) const;
  bool Strong(std::size_t row) const;

  // The one routine that draws: the rows, then the header over them at the top.
  void Paint(QPainter& painter, const LadderColours& colours, const LadderRows& rows) const;

 private:
  void LayOut();
  void PaintRow(QPainter& painter, const LadderColours& colours, std::size_t row, int top,
                bool selected, int width) const;
  void PaintHeader(QPainter& painter, const LadderColours& colours, int width) const;

  CallFlow flow_;
  std::vector<LaneTitle> titles_;
  LadderTime time_ = LadderTime::Absolute;
  QFont font_;
  QFont bold_;
  QFont small_;  // the call tags
  CallNumber selectedCall_;
  bool sharedLane_ = false;  // two calls meet on a lane other than the server's

  // From the arrows, measured once: the width each gap between neighbouring lanes needs for the
  // texts of the arrows over it, and how the times read.
  std::vector<int> gapNeeds_;
  MessageTime firstTime_ = kNoTime;     // of the first arrow with a time
  MessageTime farthestTime_ = kNoTime;  // the time farthest from it
  int fractionDigits_ = 3;
  bool severalDays_ = false;

  int padding_ = 0;
  int lineSpacing_ = 0;
  int timeWidth_ = 0;
  int headerHeight_ = 0;
  int rowHeight_ = 0;
  int width_ = 0;
  std::vector<int> laneCentres_;
  std::vector<int> boxWidths_;
};

}  // namespace sigrune
