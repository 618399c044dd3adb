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

LoadResult LoadWithProgress(QWidget* parent, TraceDocument& document, const QString& fileName,
                            LoadKind kind) {
  const bool reload = kind == LoadKind::Reload;
  QProgressDialog progress(QObject::tr("Reading %1...").arg(QFileInfo(fileName).fileName()),
                           QObject::tr("Cancel"), 0, 100, parent);
  PrepareProgressDialog(progress, reload ? QObject::tr("Reload") : QObject::tr("Open"));
  progress.setValue(0);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  int shownPercent = 0;
  const LoadProgress showProgress = [&](std::uint64_t bytes, std::uint64_t size) {
    const int percent = size > 0 ? static_cast<int>(100 * bytes / size) : 0;
    if (percent != shownPercent) {
      shownPercent = percent;
      progress.setValue(percent);
    }
    QCoreApplication::processEvents();
    return !progress.wasCanceled();
  };
  LoadResult result = reload
                          ? document.Reload(showProgress)
                          : document.Load(QFile::encodeName(fileName).toStdString(), LoadKind::Open,
                                          showProgress, AcceptedFiles::RegularOnly);
  QApplication::restoreOverrideCursor();
  return result;
}

}  // namespace sigrune
