#pragma once

#include <QString>

#include "document/trace_document.h"

class QProgressDialog;
class QWidget;

namespace sigrune {

// Sets up the progress dialog of a long operation the same way everywhere: titled, modal to its
// window, shown only when the work lasts, and left open until the operation closes it.
void PrepareProgressDialog(QProgressDialog& progress, const QString& title);

// Loads a regular file into the document (Open: `fileName`; Reload: the document's own file
// again) with a busy cursor and, when it takes a while, a progress dialog titled "Open" or
// "Reload" whose Cancel (or Esc) stops the load; a stopped load comes back as Stopped.
LoadResult LoadWithProgress(QWidget* parent, TraceDocument& document, const QString& fileName,
                            LoadKind kind);

}  // namespace sigrune
