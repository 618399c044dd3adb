#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

#include "document/find_all.h"
#include "q931/decoder.h"
#include "trace/text_utilities.h"
#include "version.h"
#include "window/call_headline.h"
#include "window/calls_pane.h"
#include "window/count_text.h"
#include "window/decoded_text_pane.h"
#include "window/find_all_panel.h"
#include "window/find_form.h"
#include "window/follow_controller.h"
#include "window/message_list_model.h"
#include "window/operation_bar.h"
#include "window/recent_traces.h"
#include "window/trace_names.h"
#include "window/where_bar.h"
#include "window/window_settings.h"

namespace sigrune {

namespace {

// The Filter menu's entries: one table for making them, showing their states and toggling them.
struct FilterMenuEntry {
  const char* objectName;
  const char* caption;
  const char* shortcut;  // or none
  ListFilter filter;
};
constexpr FilterMenuEntry kFilterEntries[] = {
    {"isdnFilter", QT_TRANSLATE_NOOP("sigrune::MainWindow", "&Selected Call"), "Ctrl+L",
     ListFilter::SelectedCall},
    {"isdnFilterCall", QT_TRANSLATE_NOOP("sigrune::MainWindow", "This &Call"), "Ctrl+Shift+L",
     ListFilter::ThisCall},
    {"isdnFilterGW", QT_TRANSLATE_NOOP("sigrune::MainWindow", "This &Gateway"), nullptr,
     ListFilter::ThisGateway},
    {"isdnFilterPRI", QT_TRANSLATE_NOOP("sigrune::MainWindow", "&PRI Only"), nullptr,
     ListFilter::PriOnly},
    {"isdnFilterH225", QT_TRANSLATE_NOOP("sigrune::MainWindow", "&H225 Only"), nullptr,
     ListFilter::H225Only},
};

QAction* MakeAction(QObject* parent, const char* objectName, const QString& text,
                    const QKeySequence& shortcut = {}) {
  auto* action = new QAction(text, parent);
  action->setObjectName(QLatin1String(objectName));
  action->setShortcut(shortcut);
  return action;
}

QGroupBox* MakeFrame(const char* objectName, const QString& caption, QWidget* content) {
  auto* frame = new QGroupBox(caption);
  frame->setObjectName(QLatin1String(objectName));
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(content);
  return frame;
}

}  // namespace

namespace {

// Hands a worker's result to the window's thread through its event queue; dropped when the
// window is gone.
Poster PostTo(QObject* window) {
  return [window](std::function<void()> task) {
    QMetaObject::invokeMethod(window, std::move(task), Qt::QueuedConnection);
  };
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, Launcher& launcher, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      launcher_(launcher),
      operations_(PostTo(this)),
      paneWorker_(PostTo(this)),
      whereWorker_(PostTo(this)) {
  setObjectName(QStringLiteral("isdnForm"));
  setWindowTitle(QLatin1String(kCaption));
  setAcceptDrops(true);
  CreateActions();
  CreateMenus();
  CreateWidgets();
  CreateMessageMenu();
  CreateFollowing();
  RestoreMainWindow(*this, *splitter_);
  ShowDocument({});
}

MainWindow::~MainWindow() {
  // The lists outlive the document while QWidget's destructor hides a window still shown.
  model_->ShowRowsOf(nullptr);
  callsPane_->ShowCallsOf(nullptr);
}

void MainWindow::CreateActions() {
  isdnOpen = MakeAction(this, "isdnOpen", tr("&Open..."), QKeySequence(tr("Ctrl+O")));
  isdnReload = MakeAction(this, "isdnReload", tr("&Reload"), QKeySequence(Qt::Key_F5));
  isdnFollow = MakeAction(this, "isdnFollow", tr("&Follow"));
  isdnFollow->setCheckable(true);
  isdnSave = MakeAction(this, "isdnSave", tr("&Save As Tessel..."), QKeySequence(tr("Ctrl+S")));
  isdnExportPcap = MakeAction(this, "isdnExportPcap", tr("Export to &pcap…"));
  isdnExit = MakeAction(this, "isdnExit", tr("E&xit"), QKeySequence(tr("Ctrl+Q")));
  isdnFind = MakeAction(this, "isdnFind", tr("&Find..."), QKeySequence(tr("Ctrl+F")));
  isdnFindAgain = MakeAction(this, "isdnFindAgain", tr("Find Again"), QKeySequence(Qt::Key_F3));
  isdnFindBackwards = MakeAction(this, "isdnFindBackwards", tr("Find Again &Backwards"),
                                 QKeySequence(Qt::SHIFT | Qt::Key_F3));
  isdnGoToMessage =
      MakeAction(this, "isdnGoToMessage", tr("&Go to Message…"), QKeySequence(tr("Ctrl+G")));
  isdnGoTo = MakeAction(this, "isdnGoTo", tr("Jump to line number"), QKeySequence(Qt::Key_F4));
  static_assert(std::size(kFilterEntries) == std::tuple_size_v<decltype(filterActions_)>);
  for (std::size_t index = 0; index < std::size(kFilterEntries); ++index) {
    const FilterMenuEntry& entry = kFilterEntries[index];
    QAction* action = MakeAction(this, entry.objectName, tr(entry.caption),
                                 QKeySequence(QLatin1String(entry.shortcut)));
    action->setCheckable(true);
    filterActions_[index] = {action, entry.filter};
    connect(action, &QAction::triggered, this,
            [this, filter = entry.filter] { isdnFilter_Click(filter); });
  }
  isdnShowFlow =
      MakeAction(this, "isdnShowFlow", tr("Show &Flow"), QKeySequence(tr("Ctrl+Shift+F")));
  isdnSaveCalls = MakeAction(this, "isdnSaveCalls", tr("Save Calls as CS&V…"));
  isdnShowStatistics = MakeAction(this, "isdnShowStatistics", tr("&Statistics"));
  isdnReleaseNotes = MakeAction(this, "isdnReleaseNotes", tr("&Release Notes"));
  isdnAbout = MakeAction(this, "isdnAbout", tr("&About"));

  connect(isdnOpen, &QAction::triggered, this, &MainWindow::isdnOpen_Click);
  connect(isdnReload, &QAction::triggered, this, &MainWindow::isdnReload_Click);
  connect(isdnFollow, &QAction::triggered, this, &MainWindow::isdnFollow_Click);
  connect(isdnSave, &QAction::triggered, this, &MainWindow::isdnSave_Click);
  connect(isdnExportPcap, &QAction::triggered, this, &MainWindow::isdnExportPcap_Click);
  connect(isdnFind, &QAction::triggered, this, [this] {
    Find().show();
    Find().raise();
    Find().activateWindow();
  });
  connect(isdnFindAgain, &QAction::triggered, this, [this] { FindNext(); });
  connect(isdnFindBackwards, &QAction::triggered, this, [this] { FindNext(true); });
  connect(isdnGoTo, &QAction::triggered, this, &MainWindow::isdnGoTo_Click);
  connect(isdnGoToMessage, &QAction::triggered, this, &MainWindow::isdnGoToMessage_Click);
  connect(isdnExit, &QAction::triggered, this, &QWidget::close);
  connect(isdnShowFlow, &QAction::triggered, this, &MainWindow::isdnShowFlow_Click);
  connect(isdnSaveCalls, &QAction::triggered, this, &MainWindow::isdnSaveCalls_Click);
  connect(isdnShowStatistics, &QAction::triggered, this, &MainWindow::isdnShowStatistics_Click);
  connect(isdnAbout, &QAction::triggered, this, &MainWindow::isdnAbout_Click);
  connect(isdnReleaseNotes, &QAction::triggered, this, &MainWindow::isdnReleaseNotes_Click);
}

void MainWindow::CreateMenus() {
  QMenu* isdnFile = menuBar()->addMenu(tr("&File"));
  isdnFile->setObjectName(QStringLiteral("isdnFile"));
  isdnFile->addAction(isdnOpen);
  recent_ = new RecentTraces(this);
  isdnRecentMenu = isdnFile->addMenu(tr("Open Rece&nt"));
  isdnRecentMenu->setObjectName(QStringLiteral("isdnRecentMenu"));
  recent_->FillMenu(*isdnRecentMenu);
  connect(recent_, &RecentTraces::Changed, this, [this] { recent_->FillMenu(*isdnRecentMenu); });
  connect(recent_, &RecentTraces::OpenRequested, this,
          [this](const QStringList& fileNames) { OpenTraceFiles(fileNames); });
  isdnFile->addActions({isdnReload, isdnFollow, isdnSave, isdnExportPcap});
  isdnFile->addSeparator();
  isdnFile->addAction(isdnExit);
  QMenu* isdnEdit = menuBar()->addMenu(tr("&Edit"));
  isdnEdit->setObjectName(QStringLiteral("isdnEdit"));
  isdnEdit->addActions({isdnFind, isdnFindAgain, isdnFindBackwards, isdnGoToMessage, isdnGoTo});
  QMenu* isdnFilterMenu = menuBar()->addMenu(tr("Fi&lter"));
  isdnFilterMenu->setObjectName(QStringLiteral("isdnFilterMenu"));
  for (const FilterAction& action : filterActions_) {
    isdnFilterMenu->addAction(action.entry);
  }
  QMenu* isdnCallsMenu = menuBar()->addMenu(tr("&Calls"));
  isdnCallsMenu->setObjectName(QStringLiteral("isdnCallsMenu"));
  isdnCallsMenu->addActions({isdnShowFlow, isdnShowStatistics, isdnSaveCalls});
  QMenu* isdnHelp = menuBar()->addMenu(tr("&Help"));
  isdnHelp->setObjectName(QStringLiteral("isdnHelp"));
  isdnHelp->addActions({isdnReleaseNotes, isdnAbout});
}

void MainWindow::CreateWidgets() {
  model_ = new MessageListModel(this);
  model_->ShowRowsOf(&document_);

  isdnList = new QTreeView;
  isdnList->setObjectName(QStringLiteral("isdnList"));
  isdnList->setModel(model_);
  isdnList->setUniformRowHeights(true);
  isdnList->setRootIsDecorated(false);
  isdnList->setItemsExpandable(false);
  isdnList->setAllColumnsShowFocus(true);
  isdnList->setSelectionBehavior(QAbstractItemView::SelectRows);
  isdnList->header()->setStretchLastSection(true);
  isdnList->header()->setSectionsMovable(false);
  columnWidths_ = SavedColumnWidths();
  SizeColumns();
  connect(isdnList->header(), &QHeaderView::sectionResized, this,
          [this](int column, int, int width) {
            if (!sizingColumns_ && column >= 0) {
              columnWidths_.resize(std::max<qsizetype>(columnWidths_.size(), column + 1));
              columnWidths_[column] = width;
            }
          });
  // The current row, not the selection, is the message: several rows may be selected.
  connect(isdnList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &MainWindow::isdnList_SelectionChanged);

  tesselText = new QTextEdit;
  tesselText->setObjectName(QStringLiteral("tesselText"));
  tesselText->setReadOnly(true);
  tesselText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  tesselText->setLineWrapMode(QTextEdit::NoWrap);

  callsPane_ = new CallsPane;
  callsPane_->setObjectName(QStringLiteral("callsPane"));
  callsPane_->ShowCallsOf(&document_);
  connect(callsPane_, &CallsPane::CallActivated, this, &MainWindow::ShowCall);
  connect(callsPane_, &CallsPane::ExportToPcapRequested, this, &MainWindow::ExportCallsToPcap);

  // Tabs rather than a dock: the calls table needs the list's whole width, and both share the
  // decoded-text pane below.
  isdnTabs = new QTabWidget;
  isdnTabs->setObjectName(QStringLiteral("isdnTabs"));
  whereBar_ = new WhereBar;
  messagesTab_ = new QWidget;
  auto* messagesLayout = new QVBoxLayout(messagesTab_);
  messagesLayout->setContentsMargins(0, 0, 0, 0);
  messagesLayout->setSpacing(2);
  messagesLayout->addWidget(whereBar_);
  messagesLayout->addWidget(isdnList);
  CreateWhereBar();
  isdnTabs->addTab(messagesTab_, tr("&Messages"));
  isdnTabs->addTab(callsPane_, tr("Call&s"));
  tesselFrame = MakeFrame("tesselFrame", tr("Tessel Translation "), tesselText);

  // The list takes 35 % of the height and the pane 65 %, also when the window changes size.
  splitter_ = new QSplitter(Qt::Vertical);
  findAllPanel_ = new FindAllPanel;
  connect(findAllPanel_, &FindAllPanel::MessageChosen, this, &MainWindow::ShowFoundMessage);
  splitter_->addWidget(isdnTabs);
  splitter_->addWidget(findAllPanel_);
  splitter_->addWidget(tesselFrame);
  splitter_->setStretchFactor(0, 35);
  splitter_->setStretchFactor(1, 20);
  splitter_->setStretchFactor(2, 65);
  splitter_->setSizes({350, 200, 650});
  splitter_->setChildrenCollapsible(false);
  setCentralWidget(splitter_);

  messageCountLabel_ = new QLabel;
  messageCountLabel_->setObjectName(QStringLiteral("messageCount"));
  fileNameLabel_ = new QLabel;
  fileNameLabel_->setObjectName(QStringLiteral("fileName"));
  selectedMessageLabel_ = new QLabel;
  selectedMessageLabel_->setObjectName(QStringLiteral("selectedMessage"));
  filterLabel_ = new QLabel;
  filterLabel_->setObjectName(QStringLiteral("filter"));
  filteredCallLabel_ = new QLabel;
  filteredCallLabel_->setObjectName(QStringLiteral("filteredCall"));
  // Apart enough to read as separate fields.
  for (QLabel* label : {fileNameLabel_, filterLabel_, filteredCallLabel_}) {
    label->setContentsMargins(fontMetrics().averageCharWidth() * 2, 0, 0, 0);
  }
  statusBar()->addWidget(messageCountLabel_);
  statusBar()->addWidget(fileNameLabel_);
  statusBar()->addWidget(filterLabel_);
  statusBar()->addWidget(filteredCallLabel_, 1);
  operationBar_ = new OperationBar;
  statusBar()->addPermanentWidget(operationBar_);
  followLabel_ = new QLabel;
  followLabel_->setObjectName(QStringLiteral("followState"));
  statusBar()->addPermanentWidget(followLabel_);
  statusBar()->addPermanentWidget(selectedMessageLabel_);
  connect(operationBar_, &OperationBar::CancelRequested, this, &MainWindow::CancelOperation);
}

void MainWindow::SizeColumns() {
  sizingColumns_ = true;
  // Sized from the fonts, for the heading and the widest text a column usually holds, never by
  // measuring the rows.
  const QFontMetrics metrics(isdnList->font());
  const QFontMetrics headingMetrics(
      model_->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>());
  const char* const kWidest[MessageListModel::Columns] = {
      "01/15/2004 10:23:45.678", "192.168.100.200", "Out",   "H225",
      "UNSUPPORTED MESSAGE",     "0x8000",          "99999", "trace-2004-01-15.txt.gz"};
  for (int column = 0; column < MessageListModel::Columns; ++column) {
    const QString heading = model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int width = std::max(headingMetrics.horizontalAdvance(heading),
                               metrics.horizontalAdvance(QLatin1String(kWidest[column])));
    isdnList->header()->resizeSection(column, width + 3 * metrics.averageCharWidth());
  }
  // Then the widths the user gave, in this run or one before.
  for (int column = 0; column < columnWidths_.size() && column < model_->columnCount(); ++column) {
    if (columnWidths_[column] > 0) {
      isdnList->header()->resizeSection(column, columnWidths_[column]);
    }
  }
  sizingColumns_ = false;
}

void MainWindow::ShowDocument(Changes changes) {
  showingDocument_ = true;
  if (changes.rows) {
    const int columns = model_->columnCount();
    sizingColumns_ = true;  // a reset is no width the user chose
    model_->ShowRowsOf(&document_);
    sizingColumns_ = false;
    // The File column comes and goes with the number of files.
    if (model_->columnCount() != columns) {
      SizeColumns();
    }
  }
  if (changes.calls) {
    callsPane_->ShowCallsOf(&document_);
    ShowCallsInStatistics();
  }
  if (const std::optional<std::size_t> row = document_.RowOfMessage(document_.CurrentMessage())) {
    const QModelIndex index = model_->index(static_cast<int>(*row), 0);
    // Other rows the user selected with it stay selected.
    if (isdnList->currentIndex().row() != index.row() ||
        !isdnList->selectionModel()->hasSelection()) {
      isdnList->setCurrentIndex(index);
    }
    if (changes.rows || changes.pane) {
      isdnList->scrollTo(index);
    }
  } else {
    // The pane may still show a message the filter hides.
    isdnList->selectionModel()->clear();
  }
  showingDocument_ = false;
  if (changes.pane) {
    ShowSelectedMessage();
  }

  ShowEntries();
  setWindowTitle(document_.IsOpen() ? NameOfFiles(DecodedPaths(document_.Paths())) +
                                          QLatin1String(" - ") + QLatin1String(kCaption)
                                    : QLatin1String(kCaption));
  UpdateStatusBar();
  ShowDocumentInFlows(changes.calls);
}

void MainWindow::ShowEntries() {
  // While an operation runs, nothing may start another or change the rows it reads.
  const bool idle = !operations_.Busy();
  for (const auto& [entry, filter] : filterActions_) {
    const EntryState state = document_.FilterEntry(filter);
    entry->setEnabled(idle && state.enabled);
    entry->setChecked(state.checked);
  }
  isdnOpen->setEnabled(idle);
  isdnReload->setEnabled(idle && document_.CanReload());
  // Following reads no store of the document's, so it may start and stop during an operation.
  isdnFollow->setEnabled(document_.IsOpen());
  isdnFollow->setChecked(follow_->Following());
  isdnSave->setEnabled(idle);
  isdnExportPcap->setEnabled(idle && document_.IsOpen());
  isdnFind->setEnabled(document_.CanFind());
  isdnFindAgain->setEnabled(idle && document_.CanFind());
  isdnFindBackwards->setEnabled(idle && document_.CanFind());
  isdnGoToMessage->setEnabled(document_.IsOpen());
  isdnSaveCalls->setEnabled(idle && document_.IsOpen());
  isdnShowStatistics->setEnabled(document_.IsOpen());
  if (findForm_ != nullptr) {
    findForm_->SetSearchEnabled(idle);
  }
}

void MainWindow::ShowSelectedMessage() {
  statusBar()->clearMessage();
  const MessageNumber message = document_.CurrentMessage();
  if (paneWorker_.Busy()) {
    // The newest selection is decoded once the one before has stopped.
    paneWorker_.Cancel();
    panePending_ = true;
    return;
  }
  if (!message) {
    tesselText->clear();
    return;
  }
  StartPaneDecode(message);
}

void MainWindow::StartPaneDecode(MessageNumber message) {
  auto shown = std::make_shared<const MessageToShow>(CopyMessageToShow(document_.Store(), message));
  paneWorker_.Start<ShownMessage>(
      [shown](OperationProgress& progress) {
        return DecodeMessageToShow(*shown, kShownLineLimit,
                                   [&progress] { return !progress.CancelRequested(); });
      },
      [this](std::optional<ShownMessage> decoded) { PaneDecoded(std::move(decoded)); });
}

void MainWindow::PaneDecoded(std::optional<ShownMessage> shown) {
  const MessageNumber message = document_.CurrentMessage();
  if (std::exchange(panePending_, false) || (shown && shown->message != message)) {
    if (message) {
      StartPaneDecode(message);
    } else {
      tesselText->clear();
    }
    return;
  }
  if (!shown) {
    const QString text = tr("This message could not be decoded: %1").arg(tr("not enough memory"));
    tesselText->setPlainText(text);
    statusBar()->showMessage(text);
  } else if (!shown->undecodableReason.empty()) {
    // A message that does not decode is shown as far as it goes: one box per row would stop a
    // user arrowing down the list.
    const QString text = tr("This message could not be decoded: %1")
                             .arg(QString::fromLatin1(shown->undecodableReason.c_str()));
    ShowDecodedMessage(*tesselText, text.toLatin1().toStdString() + "\r\n", shown->text);
    statusBar()->showMessage(text);
  } else {
    const std::string_view text = shown->text;
    ShowDecodedMessage(*tesselText, text.substr(0, shown->dumpStart),
                       text.substr(shown->dumpStart));
  }
  if (shown && shown->hiddenLines > 0) {
    AppendHiddenLinesNote(
        *tesselText,
        tr("… %1 more lines not shown: Export or `sigrune-cli show` gives the whole message")
            .arg(QString::fromStdString(GroupedDigits(shown->hiddenLines))));
  }
  if (message == highlightMessage_) {
    HighlightMatches(*tesselText, highlightText_, QColor(255, 0, 0), true);
  }
}

void MainWindow::UpdateStatusBar() {
  QString count = document_.IsOpen() ? TraceCountText(document_) : tr("No trace open");
  if (document_.IsOpen() && !document_.SkippedLinesNote().empty()) {
    count += QLatin1String("; ") + QString::fromLatin1(document_.SkippedLinesNote().c_str());
  }
  for (const QString& note : loadNotes_) {
    count += QLatin1String("; ") + note;
  }
  messageCountLabel_->setText(count);
  const QStringList paths = DecodedPaths(document_.Paths());
  fileNameLabel_->setText(document_.IsOpen() ? NameOfFiles(paths) : QString());
  fileNameLabel_->setToolTip(paths.join(QLatin1Char('\n')));
  filterLabel_->setText(
      document_.ActiveFilter()
          ? tr("filter: %1").arg(QString::fromLatin1(document_.FilterDescription().c_str()))
          : QString());
  const CallNumber call = document_.FilteredCall();
  filteredCallLabel_->setText(call ? CallHeadline(call, document_.Calls().Record(call))
                                   : QString());
  const MessageNumber selected = document_.CurrentMessage();
  selectedMessageLabel_->setText(selected ? tr("Message %1").arg(GroupedNumber(selected.value))
                                          : QString());
}

void MainWindow::isdnList_SelectionChanged() {
  const QModelIndex current = isdnList->currentIndex();
  // A preview's rows are not the document's messages.
  if (showingDocument_ || !current.isValid() || preview_ != nullptr) {
    return;
  }
  document_.SelectMessage(model_->MessageNumberOfRow(current.row()));
  highlightMessage_ = {};
  ShowDocument({.pane = true});
}

void MainWindow::isdnOpen_Click() {
  // Rotated and compressed traces are not all .txt: the first entry takes them all.
  const QString traces = tr("Traces (*.txt *.log *.xml *.gz)");
  const std::optional<QStringList> fileNames = dialogs_.OpenFileNames(
      this, {traces, tr("All (*)"), tr("Text (*.txt)"), tr("Log (*.log)"), tr("XML (*.xml)")},
      traces);
  if (fileNames && !fileNames->isEmpty()) {
    OpenTraceFiles(*fileNames);
  }
}

bool MainWindow::OpenTraceFiles(const QStringList& fileNames, bool follow) {
  return StartLoad(fileNames, LoadKind::Open, follow);
}

void MainWindow::isdnReload_Click() {
  if (document_.CanReload()) {
    StartLoad(DecodedPaths(document_.Paths()), LoadKind::Reload, false);
  }
}

bool MainWindow::CanStartOperation() {
  if (!operations_.Busy()) {
    return true;
  }
  statusBar()->showMessage(tr("Another operation is running: wait for it, or cancel it."), 5000);
  return false;
}

void MainWindow::OperationStarted(const QString& title) {
  operationBar_->Follow(title, operations_.Progress());
  ShowEntries();
}

void MainWindow::OperationFinished() {
  operationBar_->Stop();
  ShowEntries();
  // Once the result that called this has been taken.
  QTimer::singleShot(0, follow_, &FollowController::ApplyWaiting);
}

void MainWindow::CancelOperation() {
  operations_.Cancel();
}

bool MainWindow::StartLoad(const QStringList& fileNames, LoadKind kind, bool follow) {
  if (!CanStartOperation()) {
    return false;
  }
  const ListView view{static_cast<bool>(document_.CurrentMessage()),
                      isdnList->verticalScrollBar()->value()};
  std::vector<std::string> paths;
  for (const QString& fileName : fileNames) {
    paths.push_back(QFile::encodeName(fileName).toStdString());
  }
  // An open shows the first rows while the rest is read; a reload keeps the view it has.
  std::function<void(MessageStore &&)> firstMessages;
  if (kind == LoadKind::Open) {
    firstMessages = [this, load = ++loadsStarted_](MessageStore&& first) {
      auto shown = std::make_shared<MessageStore>(std::move(first));
      QMetaObject::invokeMethod(
          this, [this, load, shown] { ShowPreview(load, std::move(*shown)); },
          Qt::QueuedConnection);
    };
  } else {
    ++loadsStarted_;
  }
  // The filter bar's rows of the new trace are found on the worker too.
  operations_.Start<LoadedTrace>(
      [paths = std::move(paths), where = document_.Where(), firstMessages,
       lastLine =
           follow ? UnendedLastLine::Held : UnendedLastLine::Whole](OperationProgress& progress) {
        return TraceDocument::ReadTrace(
            paths, where,
            [&progress](std::uint64_t bytes, std::uint64_t size) {
              return progress.Report(bytes, size);
            },
            firstMessages, AcceptedFiles::RegularOnly, lastLine);
      },
      [this, fileNames, kind, view, follow](std::optional<LoadedTrace> loaded) {
        // The store it replaces may still be read by the filter bar's worker.
        auto waiting = std::make_shared<std::optional<LoadedTrace>>(std::move(loaded));
        AfterWhereStops([this, fileNames, kind, view, follow, waiting] {
          LoadFinished(fileNames, kind, view, follow, std::move(*waiting));
        });
      });
  OperationStarted(tr("Reading %1…").arg(NameOfFiles(fileNames)));
  return true;
}

void MainWindow::ShowPreview(std::uint64_t load, MessageStore&& firstMessages) {
  if (load != loadsStarted_ || !operations_.Busy()) {
    return;  // its load is over
  }
  const std::size_t count = firstMessages.msgCount;
  const std::string path = firstMessages.filePaths.empty() ? "" : firstMessages.filePaths.front();
  LoadResult first;
  first.outcome = LoadOutcome::Loaded;
  first.store = std::move(firstMessages);
  auto preview = std::make_unique<TraceDocument>();
  preview->Adopt(path, FileIdentity(), std::move(first), LoadKind::Open);
  showingDocument_ = true;
  model_->ShowRowsOf(preview.get());
  preview_ = std::move(preview);
  isdnList->selectionModel()->clear();
  isdnList->scrollToTop();
  showingDocument_ = false;
  messageCountLabel_->setText(
      tr("Reading: the first %1 shown")
          .arg(QString::fromStdString(CountOf(count, "message", "messages"))));
}

void MainWindow::DropPreview(const ListView* restored) {
  if (preview_ == nullptr) {
    return;
  }
  ShowDocument({.rows = true});
  preview_.reset();
  if (restored != nullptr) {
    isdnList->verticalScrollBar()->setValue(restored->scrolled);
  }
}

void MainWindow::LoadFinished(const QStringList& fileNames, LoadKind kind, ListView view,
                              bool follow, std::optional<LoadedTrace> loaded) {
  OperationFinished();
  if (!loaded || loaded->result.outcome != LoadOutcome::Loaded) {
    DropPreview(&view);
  }
  const bool reload = kind == LoadKind::Reload;
  const QString procedure = reload ? QStringLiteral("isdnReload") : QStringLiteral("isdnOpen");
  // One file by the path it was given, as ever; several by their names.
  const QString named = fileNames.size() == 1 ? fileNames.constFirst() : NameOfFiles(fileNames);
  if (!loaded) {
    ReportError(procedure, kFileAccessErrorNumber,
                tr("cannot open %1: not enough memory").arg(named));
    return;
  }
  switch (loaded->result.outcome) {
    case LoadOutcome::Loaded:
      break;
    case LoadOutcome::NoMessages:
      dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Merrow"),
                           fileNames.size() == 1 ? named + tr(" does not contain Q931 Messages.")
                                                 : named + tr(" do not contain Q931 Messages."));
      return;
    case LoadOutcome::Stopped:
      statusBar()->showMessage(
          tr("Reading %1 cancelled; nothing changed.").arg(NameOfFiles(fileNames)), 5000);
      return;
    case LoadOutcome::Failed:
      ReportError(procedure, kFileAccessErrorNumber,
                  QString::fromLocal8Bit(loaded->result.errorText.c_str()));
      return;
  }
  // The trace read now is followed only when asked again.
  follow_->Stop();
  followStopped_.clear();
  loadNotes_.clear();
  for (const std::string& note : loaded->result.notes) {
    loadNotes_ << QString::fromLocal8Bit(note.c_str());
  }
  document_.Adopt(std::move(*loaded), kind);
  // The messages the results name may be others now.
  findAllPanel_->Clear();
  if (!reload) {
    recent_->Add(fileNames);
    loadNotesShown_ = false;
    highlightMessage_ = {};
    if (findForm_ != nullptr) {
      findForm_->SetFindText(QString::fromLatin1(document_.FindText().c_str()));
    }
  }
  ShowDocument({.rows = true, .pane = true, .calls = true});
  preview_.reset();  // the list shows the document now
  // A reload keeps the view of the trace as read now, unless its selected message is gone.
  if (reload && (document_.CurrentMessage() || !view.hadSelection)) {
    isdnList->verticalScrollBar()->setValue(view.scrolled);
  } else if (follow) {
    isdnList->scrollToBottom();  // to watch, as tail -f shows, the messages as they come
  } else {
    isdnList->scrollToTop();
  }
  // Home, End and the page keys drive the list of a trace just opened.
  if (!reload && isdnTabs->currentWidget() == isdnList) {
    isdnList->setFocus();
  }
  if (follow) {
    isdnFollow_Click(true);
  }
  QStringList notes = loadNotes_;
  if (const std::string& note = document_.SkippedLinesNote(); !note.empty()) {
    notes.prepend(tr("%1: %2").arg(named, QString::fromLatin1(note.c_str())));
  }
  if (!notes.isEmpty() && !loadNotesShown_) {
    loadNotesShown_ = true;
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Sigrune"),
                         notes.join(QLatin1String(".\n")) + QLatin1Char('.'));
  }
}

void MainWindow::FindNext(bool opposite) {
  if (!document_.CanFind() || !CanStartOperation()) {
    return;
  }
  FindForm& form = Find();
  const QString text = form.FindText();
  if (document_.FindsDown() != form.FindsDown()) {
    document_.SetFindDirection(form.FindsDown());
  }
  // The decoded texts are Latin-1: a text with other characters occurs in none of them.
  const QByteArray latin1 = text.toLatin1();
  const bool searchable = QString::fromLatin1(latin1) == text;
  FindQuery prepared = document_.PrepareFind(
      std::string_view(latin1.constData(), static_cast<std::size_t>(latin1.size())));
  prepared.findCase = form.MatchesCase() ? FindCase::Exact : FindCase::Ignore;
  if (opposite) {
    prepared =
        OppositeFindQuery(std::move(prepared), document_.RowOfMessage(document_.CurrentMessage()));
  }
  auto query = std::make_shared<const FindQuery>(std::move(prepared));
  if (!searchable) {
    dialogs_.ShowMessage(this, MessageIcon::None, tr("Sigrune"), tr("Search String Not Found"));
    return;
  }
  // The store stays while the operation runs: nothing that replaces it can start.
  const MessageStore& store = document_.Store();
  operations_.Start<FindResult>(
      [query, &store](OperationProgress& progress) {
        return TraceDocument::RunFind(store, *query,
                                      [&progress](std::size_t done, std::size_t rows) {
                                        return progress.Report(done, rows);
                                      });
      },
      [this, query, text](std::optional<FindResult> found) {
        OperationFinished();
        FindFinished(*query, text, std::move(found));
      });
  OperationStarted(tr("Searching for \"%1\"…").arg(text));
}

void MainWindow::FindFinished(const FindQuery& query, const QString& text,
                              std::optional<FindResult> found) {
  if (!found) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Find"),
                         tr("The search stopped: not enough memory."));
    return;
  }
  const FindResult& result = *found;
  document_.TakeFindResult(query, result);
  switch (result.outcome) {
    case FindResult::Outcome::Cancelled:
      statusBar()->showMessage(tr("Search cancelled."), 5000);
      return;
    case FindResult::Outcome::Found:
      highlightMessage_ = result.message;
      highlightText_ = text;
      ShowDocument({.pane = true});
      break;
    case FindResult::Outcome::NotFound:
      dialogs_.ShowMessage(this, MessageIcon::None, tr("Sigrune"), tr("Search String Not Found"));
      break;
  }
  if (result.undecodableMessages > 0) {
    dialogs_.ShowMessage(
        this, MessageIcon::Exclamation, tr("Sigrune"),
        tr("%1 could not be decoded and %2 skipped; the first is message %3: %4.")
            .arg(QString::fromStdString(CountOf(result.undecodableMessages, "message", "messages")))
            .arg(result.undecodableMessages == 1 ? tr("was") : tr("were"))
            .arg(result.firstUndecodable.value)
            .arg(QString::fromLatin1(result.firstUndecodableReason.c_str())));
  }
}

FindForm& MainWindow::Find() {
  if (findForm_ == nullptr) {
    findForm_ = new FindForm(this);
    connect(findForm_, &FindForm::FindNextRequested, this, [this] { FindNext(); });
    connect(findForm_, &FindForm::FindAllRequested, this, &MainWindow::FindAll);
    // A click on a direction makes the next search include the selected row again.
    connect(findForm_, &FindForm::DirectionClicked, this,
            [this](bool down) { document_.SetFindDirection(down); });
    findForm_->SetSearchEnabled(!operations_.Busy());
  }
  return *findForm_;
}

void MainWindow::ReportError(const QString& procedureName, int errorNumber,
                             const QString& description) {
  if (errorNumber == kDialogCancelNumber) {
    return;
  }
  dialogs_.ShowMessage(this, MessageIcon::Critical, tr("Error!"),
                       QLatin1String("Exception caught! Error in ") + procedureName +
                           QLatin1String(".") + QLatin1String(" Description: ") + description);
}

void MainWindow::isdnAbout_Click() {
  dialogs_.ShowMessage(
      this, MessageIcon::Information, tr("About..."),
      QString::fromUtf8(kDescription) + QLatin1String("\n") +
          tr("Version %1.%2.0.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
}

void MainWindow::isdnReleaseNotes_Click() {
  const QString beside = QCoreApplication::applicationDirPath() + QLatin1String("/relnotes.htm");
  const QString installed = QString::fromUtf8(kDataFolder) + QLatin1String("/relnotes.htm");
  const QString path = QFileInfo::exists(beside) ? beside : installed;
  if (!QFileInfo::exists(path)) {
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Release Notes"),
                         tr("The release notes %1 are missing.").arg(path));
  } else if (!launcher_.OpenDocument(path)) {
    // No program of the desktop's opens them: a window of the program's own does.
    auto* notes = findChild<QTextBrowser*>(QStringLiteral("releaseNotes"));
    if (notes == nullptr) {
      notes = new QTextBrowser(this);
      notes->setObjectName(QStringLiteral("releaseNotes"));
      notes->setWindowFlag(Qt::Window);
      notes->setWindowTitle(tr("Release Notes"));
      notes->setOpenExternalLinks(true);
      notes->resize(notes->fontMetrics().averageCharWidth() * 90, height() * 3 / 4);
    }
    notes->setSource(QUrl::fromLocalFile(path));
    notes->show();
    notes->raise();
    notes->activateWindow();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  SaveMainWindow(*this, *splitter_);
  SaveColumnWidths(columnWidths_);
  QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.constFirst().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  QStringList fileNames;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) {
      fileNames << url.toLocalFile();
    }
  }
  if (!fileNames.isEmpty()) {
    event->acceptProposedAction();
    OpenTraceFiles(fileNames);  // says so while another operation runs
  }
}

}  // namespace sigrune
