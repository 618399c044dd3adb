#pragma once

#include <QString>

#include "trace/trace_reader.h"

class QProgressDialog;
class QWidget;

namespace sigrune {

// Sets up the progress dialog of a long operation the same way everywhere: titled, modal to its
// window, shown only when the work lasts, and left open until the operation closes it.
void PrepareProgressDialog(QProgressDialog& progress, const QString& title);

// Loads a regular file as a trace with a busy cursor and, when it takes a while, a progress
// dialog with the title whose Cancel (or Esc) stops the load; a stopped load comes back as
// Stopped.
LoadResult LoadTraceWithProgress(QWidget* parent, const QString& fileName, const QString& title);

}  // namespace sigrune
