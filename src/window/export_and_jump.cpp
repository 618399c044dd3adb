// File > Save As Tessel (the export of every message) and Edit > Jump to line number.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QStatusBar>
#include <algorithm>
#include <climits>

#include "q931/export_writer.h"
#include "window/editor_command.h"
#include "window/load_progress.h"
#include "window/main_window.h"

namespace sigrune {

void MainWindow::isdnSave_Click() {
  const std::optional<QString> path = dialogs_.SaveFileName(this);
  if (!path) {
    return;
  }
  QProgressDialog progress(tr("Writing %1...").arg(QFileInfo(*path).fileName()), tr("Cancel"), 0,
                           static_cast<int>(std::min<std::size_t>(store_.msgCount, INT_MAX)), this);
  PrepareProgressDialog(progress, tr("Save As Tessel"));
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const ExportResult result = ExportRouterDebug(
      QFile::encodeName(*path).toStdString(), store_, [&](std::size_t done, std::size_t) {
        progress.setValue(static_cast<int>(std::min<std::size_t>(done, INT_MAX)));
        return !progress.wasCanceled();
      });
  QApplication::restoreOverrideCursor();
  progress.reset();
  switch (result.outcome) {
    case ExportOutcome::Written:
      statusBar()->showMessage(
          tr("%n message(s) written to %1.", nullptr, static_cast<int>(result.messagesWritten))
              .arg(*path),
          5000);
      break;
    case ExportOutcome::Stopped:
      statusBar()->showMessage(tr("Export stopped: %1 holds the first %2 messages.")
                                   .arg(*path)
                                   .arg(result.messagesWritten),
                               5000);
      break;
    case ExportOutcome::DecodeFailed:
      ReportError(QStringLiteral("isdnSave"), kSubscriptOutOfRangeNumber,
                  tr("%1 (message %2)")
                      .arg(QString::fromLatin1(result.errorText.c_str()))
                      .arg(result.failedMessageNumber));
      break;
    case ExportOutcome::WriteFailed:
      ReportError(QStringLiteral("isdnSave"), kFileAccessErrorNumber,
                  QString::fromLocal8Bit(result.errorText.c_str()));
      break;
  }
}

void MainWindow::isdnGoTo_Click() {
  const std::size_t number = MessageNumberOfRow(SelectedRow());
  if (myFileName.isEmpty() || number == 0) {
    statusBar()->showMessage(
        myFileName.isEmpty() ? tr("Open a trace first.") : tr("Select a message first."), 5000);
    return;
  }
  std::uint64_t line = store_.msgLineNumbers[number - 1];
  if (line == 0) {
    line = 1;
    statusBar()->showMessage(
        tr("Message %1 has no header line; the trace opens at its first line.").arg(number), 5000);
  }
  const std::optional<EditorCommand> editor = FindEditorCommand(
      myFileName, line,
      [](const QString& program) { return QStandardPaths::findExecutable(program); });
  if (editor && launcher_.StartProgram(editor->program, editor->arguments)) {
    return;
  }
  if (!launcher_.OpenDocument(myFileName)) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Jump to line number"),
                         tr("No text editor could open %1. Message %2 is at line %3.")
                             .arg(myFileName)
                             .arg(number)
                             .arg(line));
    return;
  }
  dialogs_.ShowMessage(this, MessageIcon::Information, tr("Jump to line number"),
                       tr("No known text editor was found, so the trace opens with the "
                          "desktop's program for it. Message %1 is at line %2.")
                           .arg(number)
                           .arg(line));
}

}  // namespace sigrune
