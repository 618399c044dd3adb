// File > Save As Tessel (the export of every message) and Edit > Jump to line number.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStatusBar>
#include <algorithm>

#include "window/editor_command.h"
#include "window/main_window.h"
#include "window/report_error.h"
#include "writers/export_writer.h"

namespace sigrune {

void MainWindow::SaveClicked() {
  if (!CanStartOperation(OperationKind::Export)) {
    return;
  }
  const std::optional<QString> path = dialogs_.SaveFileName(this, tr("Save As Tessel"), {});
  if (!path || !CanStartOperation(OperationKind::Export)) {
    return;
  }
  // The document stays while the operation runs: nothing that changes it can start.
  const TraceDocument& document = document_;
  scheduler_.Start<ExportResult>(
      OperationKind::Export,
      [&document, target = QFile::encodeName(*path).toStdString()](OperationProgress& progress) {
        return document.ExportAllMessages(target, [&progress](std::size_t done, std::size_t total) {
          return progress.Report(done, total);
        });
      },
      [this, path = *path](std::optional<ExportResult> result) {
        OperationFinished();
        ExportFinished(path, std::move(result));
      });
  OperationStarted(tr("Writing %1…").arg(QFileInfo(*path).fileName()));
}

// Tells of an export that wrote nothing (cancelled, failed, out of memory on the worker: no
// outcome) and returns false; true when it was written.
bool MainWindow::ExportWritten(const QString& procedure, const QString& path,
                               std::optional<OperationOutcome> outcome,
                               const std::string& errorText) {
  switch (outcome.value_or(OperationOutcome::OutOfMemory)) {
    case OperationOutcome::Done:
    case OperationOutcome::NotFound:  // no export gives it
      return true;
    case OperationOutcome::Cancelled:
      statusBar()->showMessage(tr("Export cancelled; nothing was written to %1.").arg(path), 5000);
      return false;
    case OperationOutcome::Failed:
      ReportError(dialogs_, this, procedure, kFileAccessErrorNumber,
                  QString::fromLocal8Bit(errorText.c_str()));
      return false;
    case OperationOutcome::OutOfMemory:
      ReportError(dialogs_, this, procedure, kOutOfMemoryNumber,
                  QString::fromLocal8Bit(errorText.c_str()));
      return false;
  }
  return false;
}

void MainWindow::ExportFinished(const QString& path, std::optional<ExportResult> exported) {
  if (!ExportWritten(QStringLiteral("isdnSave"), path,
                     exported ? std::optional(exported->outcome) : std::nullopt,
                     exported ? exported->errorText : "export stopped: not enough memory")) {
    return;
  }
  const ExportResult& result = *exported;
  const QString written =
      result.messagesWritten == 1
          ? tr("1 message written to %1.").arg(path)
          : tr("%1 messages written to %2.").arg(result.messagesWritten).arg(path);
  const QString undecodable =
      QString::fromLatin1(UndecodableMessagesNote(result.undecodable).c_str());
  if (undecodable.isEmpty()) {
    statusBar()->showMessage(written, 5000);
    return;
  }
  statusBar()->showMessage(written + QLatin1Char(' ') + undecodable + QLatin1Char('.'));
  dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Save As Tessel"),
                       written + QLatin1Char(' ') + undecodable +
                           (result.undecodable.count == 1
                                ? tr("; its record says \"Undecodable message\" and why.")
                                : tr("; their records say \"Undecodable message\" and why.")));
}

void MainWindow::JumpToLineClicked() {
  const MessageNumber message = document_.CurrentMessage();
  if (!document_.IsOpen() || !message) {
    statusBar()->showMessage(
        document_.IsOpen() ? tr("Select a message first.") : tr("Open a trace first."), 5000);
    return;
  }
  // Each message's line is counted in its own file.
  const MessageStore& store = document_.Store();
  const std::size_t index = IndexOf(message).value;
  const std::uint32_t file = store.msgFiles[index];
  const QString trace = QFile::decodeName(
      (file < store.filePaths.size() ? store.filePaths[file] : document_.Path()).c_str());
  const std::size_t number = message.value;
  std::uint64_t line = store.msgLineNumbers[index];
  if (line == 0) {
    line = 1;
    statusBar()->showMessage(
        tr("Message %1 has no header line; the trace opens at its first line.").arg(number), 5000);
  }
  const std::optional<EditorCommand> editor = FindEditorCommand(
      trace, line, [](const QString& program) { return QStandardPaths::findExecutable(program); });
  if (editor && launcher_.StartProgram(editor->program, editor->arguments)) {
    return;
  }
  if (!launcher_.OpenDocument(trace)) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Jump to line number"),
                         tr("No text editor could open %1. Message %2 is at line %3.")
                             .arg(trace)
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
