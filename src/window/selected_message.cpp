// The message pane in sight: the selected message under the Messages tab, or the message of the
// arrow the Calls tab's ladder marks. Decoded on a worker of its own from a copy of its data, its
// first lines shown; a newer selection supersedes the one being decoded.

#include <QColor>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>

#include "util/text_utilities.h"
#include "window/calls/call_triage.h"
#include "window/decoded_text_pane.h"
#include "window/main_window.h"

namespace sigrune {

void MainWindow::ShowSelectedMessage() {
  statusBar()->clearMessage();
  // The newest selection is decoded once the one before has stopped.
  scheduler_.StartNewest(OperationKind::PaneDecode, [this] { DecodeSelectedMessage(); });
}

void MainWindow::DecodeSelectedMessage() {
  const bool triage = widgets_.tabs->currentWidget() == widgets_.callsTab;
  const MessageNumber message = triage ? widgets_.triage->Message() : document_.CurrentMessage();
  if (!message) {
    (triage ? &widgets_.triage->Text() : widgets_.decodedText)->clear();
    return;
  }
  auto shown = std::make_shared<const MessageToShow>(CopyMessageToShow(document_.Store(), message));
  scheduler_.Start<ShownMessage>(
      OperationKind::PaneDecode,
      [shown](OperationProgress& progress) {
        return DecodeMessageToShow(*shown, kShownLineLimit,
                                   [&progress] { return !progress.CancelRequested(); });
      },
      [this, triage](std::optional<ShownMessage> decoded) {
        PaneDecoded(triage, std::move(decoded));
      });
}

void MainWindow::PaneDecoded(bool triage, std::optional<ShownMessage> shown) {
  const MessageNumber message = triage ? widgets_.triage->Message() : document_.CurrentMessage();
  QTextEdit& pane = triage ? widgets_.triage->Text() : *widgets_.decodedText;
  if (triage != (widgets_.tabs->currentWidget() == widgets_.callsTab) ||
      (shown && shown->message != message)) {
    scheduler_.StartNewest(OperationKind::PaneDecode, [this] { DecodeSelectedMessage(); });
    return;
  }
  if (!shown) {
    const QString text = tr("This message could not be decoded: %1").arg(tr("not enough memory"));
    pane.setPlainText(text);
    statusBar()->showMessage(text);
  } else if (!shown->undecodableReason.empty()) {
    // A message that does not decode is shown as far as it goes: one box per row would stop a
    // user arrowing down the list.
    const QString text = tr("This message could not be decoded: %1")
                             .arg(QString::fromLatin1(shown->undecodableReason.c_str()));
    ShowDecodedMessage(pane, text.toLatin1().toStdString() + "\r\n", shown->text);
    statusBar()->showMessage(text);
  } else {
    const std::string_view text = shown->text;
    ShowDecodedMessage(pane, text.substr(0, shown->dumpStart),
                       text.substr(shown->dumpStart, shown->sectionStart - shown->dumpStart),
                       text.substr(shown->sectionStart));
  }
  if (shown && shown->hiddenLines > 0) {
    AppendHiddenLinesNote(
        pane, tr("… %1 more lines not shown: Export or `sigrune-cli show` gives the whole message")
                  .arg(QString::fromStdString(GroupedDigits(shown->hiddenLines))));
  }
  if (!triage && message == list_.highlightMessage) {
    HighlightMatches(*widgets_.decodedText, list_.highlightText, QColor(255, 0, 0), true);
  }
}

}  // namespace sigrune
