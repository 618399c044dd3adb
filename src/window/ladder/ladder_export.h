#pragma once

// The whole of a ladder as a PNG, SVG or PDF file, drawn by the picture's own routine in the
// colours of paper. The file is written beside its target and renamed over it once complete.

#include <QCoreApplication>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QPainter;
class QWidget;

namespace sigrune {

class LadderPicture;

enum class LadderFormat { Png, Svg, Pdf };

// A picture format with the texts of its export button and file dialog (to be translated in the
// context "sigrune::PictureExport").
struct PictureFormatEntry {
  LadderFormat format;
  const char* objectName;
  const char* button;
  const char* name;
  const char* nameFilter;
  const char* suffix;
};
inline constexpr PictureFormatEntry kPictureFormats[] = {
    {LadderFormat::Png, "exportPng", QT_TRANSLATE_NOOP("sigrune::PictureExport", "&PNG…"), "PNG",
     QT_TRANSLATE_NOOP("sigrune::PictureExport", "PNG image (*.png)"), ".png"},
    {LadderFormat::Svg, "exportSvg", QT_TRANSLATE_NOOP("sigrune::PictureExport", "&SVG…"), "SVG",
     QT_TRANSLATE_NOOP("sigrune::PictureExport", "SVG drawing (*.svg)"), ".svg"},
    {LadderFormat::Pdf, "exportPdf", QT_TRANSLATE_NOOP("sigrune::PictureExport", "P&DF…"), "PDF",
     QT_TRANSLATE_NOOP("sigrune::PictureExport", "PDF document (*.pdf)"), ".pdf"},
};
const PictureFormatEntry& PictureFormatOf(LadderFormat format);
QString PictureExportText(const char* text);

class Dialogs;

// Asks where to export a picture ("`caption` as PNG"), the format's suffix added to a name
// without one. None when the user cancels; `error` says why a path cannot be written (it is one
// of the open trace's files).
std::optional<QString> ChoosePictureTarget(Dialogs& dialogs, QWidget* parent,
                                           const QString& caption, LadderFormat format,
                                           const std::string& tracePath, QString& error);

// Taller than this, a picture goes to SVG or PDF: a PNG of it would take hundreds of megabytes.
inline constexpr int kMostPngHeight = 20'000;

// Empty, or what went wrong: "cannot write PATH: REASON". `title` names the drawing in the SVG and
// PDF files and is drawn in a band above it (on every page of a PDF), so that the picture says
// what it shows wherever it goes. A PDF takes as many pages as the rows need, each under the
// lanes' header.
QString ExportLadder(const LadderPicture& picture, LadderFormat format, const QString& path,
                     const QString& title);

// Any picture of one page, drawn by `paint` at `size` under the band of its title, as a PNG or
// SVG file (not PDF), written and reported as a ladder is.
QString ExportPicture(QSize size, const std::function<void(QPainter&)>& paint, LadderFormat format,
                      const QString& path, const QString& title);

// The height of the band of a title over a picture `width` wide: its text wraps; 0 when empty.
int TitleBandHeight(const QString& title, int width);

}  // namespace sigrune
