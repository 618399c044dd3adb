#include "platform/qt_platform.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace sigrune {

std::optional<QString> QtDialogs::OpenFileName(QWidget* parent, const QStringList& nameFilters,
                                               const QString& selectedFilter) {
  QFileDialog dialog(parent, QObject::tr("Open"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(nameFilters);
  dialog.selectNameFilter(selectedFilter);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::SaveFileName(QWidget* parent) {
  const QString path = QFileDialog::getSaveFileName(parent, QObject::tr("Save As Tessel"));
  if (path.isEmpty()) {
    return std::nullopt;
  }
  return path;
}

void QtDialogs::ShowMessage(QWidget* parent, MessageIcon icon, const QString& title,
                            const QString& text) {
  switch (icon) {
    case MessageIcon::None: {
      QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
      box.exec();
      break;
    }
    case MessageIcon::Information:
      QMessageBox::information(parent, title, text);
      break;
    case MessageIcon::Exclamation:
      QMessageBox::warning(parent, title, text);
      break;
    case MessageIcon::Critical:
      QMessageBox::critical(parent, title, text);
      break;
  }
}

bool QtLauncher::OpenDocument(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtLauncher::StartProgram(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

}  // namespace sigrune
