#include "window/load_progress.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>

namespace sigrune {

void PrepareProgressDialog(QProgressDialog& progress, const QString& title) {
  progress.setWindowTitle(title);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(400);
  progress.setAutoReset(false);
}

LoadResult LoadTraceWithProgress(QWidget* parent, const QString& fileName, const QString& title) {
  QProgressDialog progress(QObject::tr("Reading %1...").arg(QFileInfo(fileName).fileName()),
                           QObject::tr("Cancel"), 0, 100, parent);
  PrepareProgressDialog(progress, title);
  progress.setValue(0);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  int shownPercent = 0;
  LoadResult result = LoadTraceFile(
      QFile::encodeName(fileName).toStdString(),
      [&](std::uint64_t bytes, std::uint64_t size) {
        const int percent = size > 0 ? static_cast<int>(100 * bytes / size) : 0;
        if (percent != shownPercent) {
          shownPercent = percent;
          progress.setValue(percent);
        }
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
      },
      AcceptedFiles::RegularOnly);
  QApplication::restoreOverrideCursor();
  return result;
}

}  // namespace sigrune
