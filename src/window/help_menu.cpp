#include "window/help_menu.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

#include "platform/platform.h"
#include "version.h"
#include "window/main_window.h"

namespace sigrune {

void ShowAbout(Dialogs& dialogs, QWidget* parent) {
  dialogs.ShowMessage(parent, MessageIcon::Information, MainWindow::tr("About..."),
                      QString::fromUtf8(kDescription) + QLatin1String("\n") +
                          MainWindow::tr("Version %1.%2.0.%3")
                              .arg(kVersionMajor)
                              .arg(kVersionMinor)
                              .arg(kVersionRevision));
}

void ShowReleaseNotes(Dialogs& dialogs, Launcher& launcher, QWidget* parent) {
  const QString beside = QCoreApplication::applicationDirPath() + QLatin1String("/relnotes.htm");
  const QString installed = QString::fromUtf8(kDataFolder) + QLatin1String("/relnotes.htm");
  const QString path = QFileInfo::exists(beside) ? beside : installed;
  if (!QFileInfo::exists(path)) {
    dialogs.ShowMessage(parent, MessageIcon::Exclamation, MainWindow::tr("Release Notes"),
                        MainWindow::tr("The release notes %1 are missing.").arg(path));
  } else if (!launcher.OpenDocument(path)) {
    // No program of the desktop's opens them: a window of the program's own does.
    auto* notes = parent->findChild<QTextBrowser*>(QStringLiteral("releaseNotes"));
    if (notes == nullptr) {
      notes = new QTextBrowser(parent);
      notes->setObjectName(QStringLiteral("releaseNotes"));
      notes->setWindowFlag(Qt::Window);
      notes->setWindowTitle(MainWindow::tr("Release Notes"));
      notes->setOpenExternalLinks(true);
      notes->resize(notes->fontMetrics().averageCharWidth() * 90, parent->height() * 3 / 4);
    }
    notes->setSource(QUrl::fromLocalFile(path));
    notes->show();
    notes->raise();
    notes->activateWindow();
  }
}

}  // namespace sigrune
