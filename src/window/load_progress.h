#pragma once

#include <QString>

#include "trace/trace_reader.h"

class QWidget;

namespace sigrune {

// Loads a trace with a busy cursor and, when it takes a while, a progress dialog whose Cancel
// (or Esc) stops the load; a stopped load comes back as Stopped.
LoadResult LoadTraceWithProgress(QWidget* parent, const QString& fileName);

}  // namespace sigrune
