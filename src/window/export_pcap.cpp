// File > Export to pcap (the messages the list shows) and the calls table's export of the
// selected calls: a capture that Wireshark opens, written on the worker.

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStatusBar>

#include "util/text_utilities.h"
#include "window/calls/calls_pane.h"
#include "window/main_window.h"
#include "writers/pcap_export.h"

namespace sigrune {

namespace {

const QStringList kCaptureFilters = {QObject::tr("Capture (*.pcap)"), QObject::tr("All (*)")};

}  // namespace

void MainWindow::ExportPcapClicked() {
  if (!document_.IsOpen() || !CanStartOperation(OperationKind::Pcap)) {
    return;
  }
  RowMap messages;
  if (document_.IsFiltered()) {
    messages = document_.ShownRows();
  } else {
    messages.reserve(document_.Store().MessageCount());
    for (std::size_t index = 0; index < document_.Store().MessageCount(); ++index) {
      messages.push_back(NumberOf(MessageIndex{index}));
    }
  }
  ExportPcap(std::move(messages), tr("Export to pcap"));
}

void MainWindow::ExportCallsToPcap(const std::vector<CallNumber>& calls) {
  if (!document_.IsOpen() || !CanStartOperation(OperationKind::Pcap)) {
    return;
  }
  ExportPcap(document_.MessagesOfCalls(calls), tr("Export Calls to pcap"));
}

void MainWindow::ExportPcap(RowMap messages, const QString& title) {
  std::optional<QString> path = dialogs_.SaveFileName(this, title, kCaptureFilters);
  if (!path || !CanStartOperation(OperationKind::Pcap)) {
    return;
  }
  *path = WithSuffix(*path, QLatin1String(".pcap"));
  // The store stays while the operation runs; the messages are the worker's own.
  const TraceDocument& document = document_;
  scheduler_.Start<PcapResult>(
      OperationKind::Pcap,
      [&document, messages = std::make_shared<const RowMap>(std::move(messages)),
       target = QFile::encodeName(*path).toStdString()](OperationProgress& progress) {
        return document.ExportMessagesAsPcap(target, *messages, PcapOptions{},
                                             [&progress](std::size_t done, std::size_t total) {
                                               return progress.Report(done, total);
                                             });
      },
      [this, path = *path](std::optional<PcapResult> result) {
        OperationFinished();
        PcapExported(path, std::move(result));
      });
  OperationStarted(tr("Writing %1…").arg(QFileInfo(*path).fileName()));
}

void MainWindow::PcapExported(const QString& path, std::optional<PcapResult> exported) {
  if (!ExportWritten(QStringLiteral("isdnExportPcap"), path,
                     exported ? std::optional(exported->outcome) : std::nullopt,
                     exported ? exported->errorText : "capture stopped: not enough memory")) {
    return;
  }
  QString said =
      tr("%1 written to %2.")
          .arg(QString::fromStdString(CountOf(exported->messagesWritten, "message", "messages")),
               path);
  for (const std::string& note : PcapNotes(*exported)) {
    said += QLatin1Char(' ') + QString::fromStdString(note) + QLatin1Char('.');
  }
  statusBar()->showMessage(said);
  const QString wireshark = QStandardPaths::findExecutable(QStringLiteral("wireshark"));
  if (wireshark.isEmpty() || dialogs_.Choose(this, MessageIcon::Information, tr("Export to pcap"),
                                             said, {tr("Open in &Wireshark")}) != 0) {
    return;
  }
  if (!launcher_.StartProgram(wireshark, {path})) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Export to pcap"),
                         tr("Wireshark could not be started; the capture is %1.").arg(path));
  }
}

}  // namespace sigrune
