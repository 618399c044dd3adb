// The Filter menu: one filter at a time narrows the list to the selected call, one gateway, PRI
// or H.225 messages; a second click on it brings the whole list back.

#include <QAction>
#include <QApplication>
#include <QStatusBar>
#include <algorithm>

#include "trace/list_filters.h"
#include "trace/summary_line.h"
#include "window/main_window.h"
#include "window/message_list_model.h"

namespace sigrune {

QAction* MainWindow::CheckedFilter() const {
  for (QAction* entry : {isdnFilter, isdnFilterGW, isdnFilterPRI, isdnFilterH225}) {
    if (entry->isChecked()) {
      return entry;
    }
  }
  return nullptr;
}

void MainWindow::isdnFilter_Toggled(QAction* entry, ListFilter filter, bool checked) {
  if (checked) {
    SwitchFilterOn(entry, filter);
  } else {
    SwitchFilterOff(entry);
  }
}

void MainWindow::SwitchFilterOn(QAction* entry, ListFilter filter) {
  const int selectedRow = SelectedRow();
  const bool needsSelection =
      filter == ListFilter::SelectedCall || filter == ListFilter::ThisGateway;
  if (needsSelection && selectedRow < 0) {
    entry->setChecked(false);
    statusBar()->showMessage(tr("Select a message first: the filter takes its key from it."), 5000);
    return;
  }
  const std::size_t selectedIndex = MessageNumberOfRow(selectedRow) - 1;
  FilterKey key = ProtocolKey(filter);
  switch (filter) {
    case ListFilter::SelectedCall: {
      const std::string line = BuildSummaryLine(store_, selectedIndex);
      key = SelectedCallKey(line);
      const std::size_t marker = line.find("0x");
      filterDescription_ =
          tr("call %1").arg(marker != std::string::npos
                                ? QString::fromLatin1(line.substr(marker).c_str())
                                : QLatin1String("0x") + QString::fromLatin1(key.callReference));
      break;
    }
    case ListFilter::ThisGateway: {
      key = ThisGatewayKey(store_, selectedIndex);
      const std::string_view gateway = GatewayIp(store_, selectedIndex);
      filterDescription_ =
          tr("gateway %1")
              .arg(QString::fromLatin1(gateway.data(), static_cast<qsizetype>(gateway.size())));
      break;
    }
    case ListFilter::PriOnly:
      filterDescription_ = tr("PRI only");
      break;
    case ListFilter::H225Only:
      filterDescription_ = tr("H225 only");
      break;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  filteredIndexMap.clear();
  for (const MessageNumber number : BuildFilteredIndexMap(store_, key)) {
    filteredIndexMap.push_back(number.value);
  }
  model_->SetRows(&store_, &filteredIndexMap);
  QApplication::restoreOverrideCursor();
  for (QAction* other : {isdnFilter, isdnFilterGW, isdnFilterPRI, isdnFilterH225}) {
    other->setEnabled(other == entry);
  }
  // The pane keeps its message; its row is selected when the filter kept it.
  const auto kept =
      std::lower_bound(filteredIndexMap.begin(), filteredIndexMap.end(), shownMessageNumber_);
  if (shownMessageNumber_ != 0 && kept != filteredIndexMap.end() && *kept == shownMessageNumber_) {
    showingSelection_ = false;
    SelectRow(static_cast<int>(kept - filteredIndexMap.begin()));
    showingSelection_ = true;
  }
  UpdateStatusBar();
}

void MainWindow::SwitchFilterOff(QAction* entry) {
  model_->SetRows(&store_, nullptr);
  for (QAction* other : {isdnFilter, isdnFilterGW, isdnFilterPRI, isdnFilterH225}) {
    other->setEnabled(true);
  }
  entry->setChecked(false);
  // Back on the message shown or searched last; none when it lies beyond this trace.
  if (currentMessageNumber > 0 && currentMessageNumber <= store_.msgCount) {
    SelectRow(static_cast<int>(currentMessageNumber - 1));
  }
  UpdateStatusBar();
}

}  // namespace sigrune
