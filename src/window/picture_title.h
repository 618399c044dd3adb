#pragma once

// The title an exported chart or ladder carries in its image, so that a picture passed on still
// says what it shows: "calls.txt · filter: from:10:00 · 2004-01-15 10:00:01 to 11:59:58".

#include <QString>

#include "calls/call_flow.h"
#include "document/trace_document.h"
#include "trace/message_time.h"

namespace sigrune {

// The trace's name, the filter bar's expression in force and the menu filter that is on ("no
// filter" without either), and the times from `first` to `last`.
QString PictureTitle(const TraceDocument& document, MessageTime first, MessageTime last);

// A ladder's: what it is (its window's title), then PictureTitle over its messages' times.
QString LadderTitle(const TraceDocument& document, const CallFlow& flow, const QString& what);

// "2004-01-15 10:00:01 to 11:59:58", the date again only when it changes; "no times" for
// kNoTime.
QString TimeSpanText(MessageTime first, MessageTime last);

}  // namespace sigrune
