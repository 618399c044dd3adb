#pragma once

// The whole of a ladder as a PNG, SVG or PDF file, drawn by the picture's own routine in the
// colours of paper. The file is written beside its target and renamed over it once complete.

#include <QCoreApplication>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace sigrune {

class LadderPicture;

enum class LadderFormat { Png, Svg, Pdf };

// Taller than this, a picture goes to SVG or PDF: a PNG of it would take hundreds of megabytes.
inline constexpr int kMostPngHeight = 20'000;

// Empty, or what went wrong: "cannot write PATH: REASON". `title` names the drawing in the SVG and
// PDF files. A PDF takes as many pages as the rows need, each under the lanes' header.
QString ExportLadder(const LadderPicture& picture, LadderFormat format, const QString& path,
                     const QString& title);

// Any picture of one page, drawn by `paint` at `size`, as a PNG or SVG file (not PDF), written
// and reported as a ladder is.
QString ExportPicture(QSize size, const std::function<void(QPainter&)>& paint, LadderFormat format,
                      const QString& path, const QString& title);

}  // namespace sigrune
