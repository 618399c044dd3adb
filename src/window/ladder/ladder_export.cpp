#include "window/ladder/ladder_export.h"

#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <functional>
#include <string_view>

#include "platform/platform.h"
#include "util/text_utilities.h"
#include "window/ladder/ladder_painter.h"
#include "writers/replacing_file.h"

namespace sigrune {

namespace {

QString CannotWrite(const QString& path, const QString& reason) {
  return QCoreApplication::translate("sigrune::ExportLadder", "cannot write %1: %2")
      .arg(path, reason);
}

using Painting = std::function<void(QPainter&)>;

// The band's font at a size in pixels, so that every format gets the same picture.
QFont BandFont() {
  QFont font;
  font.setPixelSize(std::max(12, QFontInfo(font).pixelSize()));
  font.setBold(true);
  return font;
}

int BandPadding(const QFontMetrics& metrics) {
  return std::max(4, metrics.height() / 2);
}

QRect BandTextRect(const QString& title, int width) {
  const QFontMetrics metrics(BandFont());
  const int padding = BandPadding(metrics);
  const QRect room(padding, padding, std::max(1, width - 2 * padding), 1'000'000);
  return metrics.boundingRect(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, title);
}

void PaintTitleBand(QPainter& painter, const QString& title, int width) {
  const int height = TitleBandHeight(title, width);
  if (height == 0) {
    return;
  }
  const LadderColours colours = FileColours();
  painter.save();
  painter.fillRect(QRect(0, 0, width, height), colours.background);
  painter.setFont(BandFont());
  painter.setPen(colours.text);
  QRect text = BandTextRect(title, width);
  text.setWidth(std::max(text.width(), width - 2 * text.left()));
  painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, title);
  painter.restore();
}

// `paint` under the title's band, the band's height added to `size`.
Painting UnderBand(QSize& size, const Painting& paint, const QString& title) {
  const int band = TitleBandHeight(title, size.width());
  size.setHeight(size.height() + band);
  return [paint, title, band, width = size.width()](QPainter& painter) {
    PaintTitleBand(painter, title, width);
    painter.save();
    painter.translate(0, band);
    paint(painter);
    painter.restore();
  };
}

bool DrawPng(QSize size, const Painting& paint, QIODevice& file) {
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) {
    return false;
  }
  {
    QPainter painter(&image);
    paint(painter);
  }
  return image.save(&file, "PNG");
}

bool DrawSvg(QSize size, const Painting& paint, QIODevice& file, const QString& title) {
  QSvgGenerator svg;
  svg.setOutputDevice(&file);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(), size));
  svg.setTitle(title);
  svg.setResolution(96);  // the screen's pixel, for the size it names in millimetres
  QPainter painter;
  if (!painter.begin(&svg)) {
    return false;
  }
  paint(painter);
  return painter.end();
}

bool DrawPdf(const LadderPicture& picture, QIODevice& file, const QString& title) {
  QPdfWriter pdf(&file);
  pdf.setTitle(title);
  pdf.setCreator(QStringLiteral("Sigrune"));
  pdf.setResolution(300);
  // A wide ladder lies across the page; its width fits the page, never larger than on screen.
  const bool wide = picture.Width() > 800;
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                wide ? QPageLayout::Landscape : QPageLayout::Portrait,
                                QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
  QPainter painter;
  if (!painter.begin(&pdf)) {
    return false;
  }
  const QRect page = pdf.pageLayout().paintRectPixels(pdf.resolution());
  const double scale =
      std::min(static_cast<double>(page.width()) / picture.Width(), pdf.resolution() / 96.0);
  const int band = TitleBandHeight(title, picture.Width());
  const auto perPage = static_cast<std::size_t>(
      std::max(1.0, (page.height() / scale - band - picture.HeaderHeight()) / picture.RowHeight()));
  for (std::size_t first = 0;; first += perPage) {
    painter.save();
    painter.scale(scale, scale);
    PaintTitleBand(painter, title, picture.Width());
    painter.translate(0, band);
    picture.Paint(painter, FileColours(),
                  {first, std::min(first + perPage, picture.Rows()), 0, std::nullopt});
    painter.restore();
    if (first + perPage >= picture.Rows() || !pdf.newPage()) {
      break;
    }
  }
  return painter.end();
}

// A ReplacingFile as the device that Qt's image, SVG and PDF writers draw into; they write from
// the start to the end, and a device that cannot seek makes sure of it.
class ReplacingFileDevice : public QIODevice {
 public:
  explicit ReplacingFileDevice(ReplacingFile& file) : file_(file) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* bytes, qint64 size) override {
    return file_.Write(std::string_view(bytes, static_cast<std::size_t>(size))) ? size : -1;
  }

 private:
  ReplacingFile& file_;
};

// Draws into a file beside the target, renamed over it once complete; a target that is not a
// regular file is drawn into in place.
QString WriteDrawing(const QString& path, const std::function<bool(QIODevice&)>& draw) {
  ReplacingFile file;
  if (!file.Open(QFile::encodeName(path).toStdString())) {
    return QString::fromLocal8Bit(file.ErrorText().c_str());
  }
  ReplacingFileDevice device(file);
  if (!draw(device)) {
    return file.ErrorText().empty()
               ? CannotWrite(path, QCoreApplication::translate("sigrune::ExportLadder",
                                                               "the drawing failed"))
               : QString::fromLocal8Bit(file.ErrorText().c_str());
  }
  if (!file.Commit()) {
    return QString::fromLocal8Bit(file.ErrorText().c_str());
  }
  return {};
}

}  // namespace

QString ExportLadder(const LadderPicture& picture, LadderFormat format, const QString& path,
                     const QString& title) {
  // Without the title's band, as the window that offers SVG or PDF instead measures it.
  if (format == LadderFormat::Png && picture.Height() > kMostPngHeight) {
    return CannotWrite(path,
                       QCoreApplication::translate("sigrune::ExportLadder",
                                                   "a PNG image holds at most %1 pixels of height")
                           .arg(QString::fromStdString(GroupedDigits(kMostPngHeight))));
  }
  QSize size(picture.Width(), static_cast<int>(picture.Height()));
  const Painting paint = UnderBand(
      size,
      [&picture](QPainter& painter) {
        picture.Paint(painter, FileColours(), {0, picture.Rows(), 0, std::nullopt});
      },
      title);
  return WriteDrawing(path, [&](QIODevice& file) {
    switch (format) {
      case LadderFormat::Png:
        return DrawPng(size, paint, file);
      case LadderFormat::Svg:
        return DrawSvg(size, paint, file, title);
      case LadderFormat::Pdf:
        break;
    }
    return DrawPdf(picture, file, title);
  });
}

QString ExportPicture(QSize size, const std::function<void(QPainter&)>& paint, LadderFormat format,
                      const QString& path, const QString& title) {
  const Painting banded = UnderBand(size, paint, title);
  return WriteDrawing(path, [&](QIODevice& file) {
    return format == LadderFormat::Svg ? DrawSvg(size, banded, file, title)
                                       : DrawPng(size, banded, file);
  });
}

int TitleBandHeight(const QString& title, int width) {
  if (title.isEmpty()) {
    return 0;
  }
  const QRect text = BandTextRect(title, width);
  return text.bottom() + 1 + BandPadding(QFontMetrics(BandFont()));
}

const PictureFormatEntry& PictureFormatOf(LadderFormat format) {
  return *std::find_if(
      std::begin(kPictureFormats), std::end(kPictureFormats),
      [format](const PictureFormatEntry& entry) { return entry.format == format; });
}

QString PictureExportText(const char* text) {
  return QCoreApplication::translate("sigrune::PictureExport", text);
}

std::optional<QString> ChoosePictureTarget(Dialogs& dialogs, QWidget* parent,
                                           const QString& caption, LadderFormat format,
                                           const std::string& tracePath, QString& error) {
  const PictureFormatEntry& entry = PictureFormatOf(format);
  std::optional<QString> path =
      dialogs.SaveFileName(parent, QStringLiteral("%1 as %2").arg(caption, entry.name),
                           {PictureExportText(entry.nameFilter)});
  if (!path) {
    return std::nullopt;
  }
  *path = WithSuffix(*path, QLatin1String(entry.suffix));
  if (IsSameFile(QFile::encodeName(*path).toStdString(), tracePath)) {
    error = CannotWrite(
        *path, QCoreApplication::translate("sigrune::ExportLadder", "it is the open trace"));
  }
  return path;
}

}  // namespace sigrune
