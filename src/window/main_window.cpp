#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTextEdit>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

#include "q931/decoder.h"
#include "q931/message_search.h"
#include "trace/text_utilities.h"
#include "version.h"
#include "window/decoded_text_pane.h"
#include "window/find_form.h"
#include "window/load_progress.h"
#include "window/message_list_model.h"

namespace sigrune {

namespace {

// The window's first client size: 11055 x 8115 twips, at 15 twips to a pixel on a 96 dpi screen.
constexpr int kStartWidth = 11055 / 15;
constexpr int kStartHeight = 8115 / 15;

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

MainWindow::MainWindow(Dialogs& dialogs, Launcher& launcher, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), launcher_(launcher) {
  setObjectName(QStringLiteral("isdnForm"));
  setWindowTitle(QLatin1String(kCaption));
  setAcceptDrops(true);
  CreateActions();
  CreateMenus();
  CreateWidgets();
  const qreal scale = screen() != nullptr ? screen()->logicalDotsPerInch() / 96.0 : 1.0;
  resize(qRound(kStartWidth * scale), qRound(kStartHeight * scale));
  UpdateStatusBar();
}

MainWindow::~MainWindow() {
  // The list outlives the store while QWidget's destructor hides a window still shown.
  model_->SetRows(nullptr, nullptr);
}

void MainWindow::CreateActions() {
  isdnOpen = MakeAction(this, "isdnOpen", tr("&Open..."), QKeySequence(tr("Ctrl+O")));
  isdnReload = MakeAction(this, "isdnReload", tr("&Reload"), QKeySequence(Qt::Key_F5));
  isdnSave = MakeAction(this, "isdnSave", tr("&Save As Tessel..."), QKeySequence(tr("Ctrl+S")));
  isdnExit = MakeAction(this, "isdnExit", tr("E&xit"));
  isdnFind = MakeAction(this, "isdnFind", tr("&Find..."), QKeySequence(tr("Ctrl+F")));
  isdnFindAgain = MakeAction(this, "isdnFindAgain", tr("Find Again"), QKeySequence(Qt::Key_F3));
  isdnGoTo = MakeAction(this, "isdnGoTo", tr("Jump to line number"), QKeySequence(Qt::Key_F4));
  isdnFilter = MakeAction(this, "isdnFilter", tr("&Selected Call"), QKeySequence(tr("Ctrl+L")));
  isdnFilterGW = MakeAction(this, "isdnFilterGW", tr("This &Gateway"));
  isdnFilterPRI = MakeAction(this, "isdnFilterPRI", tr("&PRI Only"));
  isdnFilterH225 = MakeAction(this, "isdnFilterH225", tr("&H225 Only"));
  isdnReleaseNotes = MakeAction(this, "isdnReleaseNotes", tr("&Release Notes"));
  isdnAbout = MakeAction(this, "isdnAbout", tr("&About"));

  for (QAction* action : {isdnReload, isdnFind, isdnFindAgain}) {
    action->setEnabled(false);
  }
  for (QAction* action : {isdnFilter, isdnFilterGW, isdnFilterPRI, isdnFilterH225}) {
    action->setCheckable(true);
    action->setEnabled(false);
  }

  connect(isdnOpen, &QAction::triggered, this, &MainWindow::isdnOpen_Click);
  connect(isdnReload, &QAction::triggered, this, &MainWindow::isdnReload_Click);
  connect(isdnSave, &QAction::triggered, this, &MainWindow::isdnSave_Click);
  connect(isdnFind, &QAction::triggered, this, [this] {
    Find().show();
    Find().raise();
    Find().activateWindow();
  });
  connect(isdnFindAgain, &QAction::triggered, this, [this] { Find().doFind(); });
  connect(isdnGoTo, &QAction::triggered, this, &MainWindow::isdnGoTo_Click);
  const std::pair<QAction*, ListFilter> filters[] = {{isdnFilter, ListFilter::SelectedCall},
                                                     {isdnFilterGW, ListFilter::ThisGateway},
                                                     {isdnFilterPRI, ListFilter::PriOnly},
                                                     {isdnFilterH225, ListFilter::H225Only}};
  for (const auto& [entry, filter] : filters) {
    entry->setData(static_cast<int>(filter));  // for Reload, which switches it on again
    connect(entry, &QAction::triggered, this, [this, entry = entry, filter = filter](bool checked) {
      isdnFilter_Toggled(entry, filter, checked);
    });
  }
  connect(isdnExit, &QAction::triggered, this, &QWidget::close);
  connect(isdnAbout, &QAction::triggered, this, &MainWindow::isdnAbout_Click);
  connect(isdnReleaseNotes, &QAction::triggered, this, &MainWindow::isdnReleaseNotes_Click);
}

void MainWindow::CreateMenus() {
  QMenu* isdnFile = menuBar()->addMenu(tr("&File"));
  isdnFile->setObjectName(QStringLiteral("isdnFile"));
  isdnFile->addActions({isdnOpen, isdnReload, isdnSave, isdnExit});
  QMenu* isdnEdit = menuBar()->addMenu(tr("&Edit"));
  isdnEdit->setObjectName(QStringLiteral("isdnEdit"));
  isdnEdit->addActions({isdnFind, isdnFindAgain, isdnGoTo});
  QMenu* isdnFilterMenu = menuBar()->addMenu(tr("Fi&lter"));
  isdnFilterMenu->setObjectName(QStringLiteral("isdnFilterMenu"));
  isdnFilterMenu->addActions({isdnFilter, isdnFilterGW, isdnFilterPRI, isdnFilterH225});
  QMenu* isdnHelp = menuBar()->addMenu(tr("&Help"));
  isdnHelp->setObjectName(QStringLiteral("isdnHelp"));
  isdnHelp->addActions({isdnReleaseNotes, isdnAbout});
}

void MainWindow::CreateWidgets() {
  model_ = new MessageListModel(this);
  model_->SetRows(&store_, nullptr);

  isdnList = new QTreeView;
  isdnList->setObjectName(QStringLiteral("isdnList"));
  isdnList->setModel(model_);
  isdnList->setUniformRowHeights(true);
  isdnList->setRootIsDecorated(false);
  isdnList->setItemsExpandable(false);
  isdnList->setAllColumnsShowFocus(true);
  isdnList->setSelectionMode(QAbstractItemView::SingleSelection);
  isdnList->setSelectionBehavior(QAbstractItemView::SelectRows);
  isdnList->header()->setStretchLastSection(true);
  isdnList->header()->setSectionsMovable(false);
  SizeColumns();
  connect(isdnList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &MainWindow::isdnList_SelectionChanged);
  auto* copy = new QShortcut(QKeySequence::Copy, isdnList, nullptr, nullptr, Qt::WidgetShortcut);
  connect(copy, &QShortcut::activated, this, &MainWindow::CopySelectedLine);

  tesselText = new QTextEdit;
  tesselText->setObjectName(QStringLiteral("tesselText"));
  tesselText->setReadOnly(true);
  tesselText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  tesselText->setLineWrapMode(QTextEdit::NoWrap);

  isdnMessageFrame = MakeFrame("isdnMessageFrame", tr("ISDN Message Text "), isdnList);
  tesselFrame = MakeFrame("tesselFrame", tr("Tessel Translation "), tesselText);

  // The list takes 35 % of the height and the pane 65 %, also when the window changes size.
  splitter_ = new QSplitter(Qt::Vertical);
  splitter_->addWidget(isdnMessageFrame);
  splitter_->addWidget(tesselFrame);
  splitter_->setStretchFactor(0, 35);
  splitter_->setStretchFactor(1, 65);
  splitter_->setSizes({350, 650});
  splitter_->setChildrenCollapsible(false);
  setCentralWidget(splitter_);

  messageCountLabel_ = new QLabel;
  selectedMessageLabel_ = new QLabel;
  statusBar()->addWidget(messageCountLabel_);
  statusBar()->addPermanentWidget(selectedMessageLabel_);
}

void MainWindow::SizeColumns() {
  // Sized from the fonts, for the heading and the widest text a column usually holds, never by
  // measuring the rows.
  const QFontMetrics metrics(isdnList->font());
  const QFontMetrics headingMetrics(
      model_->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>());
  const char* const kWidest[MessageListModel::Columns] = {
      "01/15/2004 10:23:45.678", "192.168.100.200", "Out", "H225", "UNSUPPORTED MESSAGE", "0x8000"};
  for (int column = 0; column < MessageListModel::Columns; ++column) {
    const QString heading = model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int width = std::max(headingMetrics.horizontalAdvance(heading),
                               metrics.horizontalAdvance(QLatin1String(kWidest[column])));
    isdnList->header()->resizeSection(column, width + 3 * metrics.averageCharWidth());
  }
}

void MainWindow::UpdateStatusBar() {
  if (store_.msgCount == 0) {
    messageCountLabel_->setText(tr("No trace open"));
  } else if (CheckedFilter() != nullptr) {
    messageCountLabel_->setText(
        tr("%1 of %2, filter: %3")
            .arg(QString::fromStdString(GroupedDigits(filteredIndexMap.size())))
            .arg(QString::fromStdString(CountOf(store_.msgCount, "message", "messages")))
            .arg(filterDescription_));
  } else {
    messageCountLabel_->setText(
        QString::fromStdString(CountOf(store_.msgCount, "message", "messages")));
  }
  if (store_.msgCount > 0 && !skippedLinesNote_.isEmpty()) {
    messageCountLabel_->setText(messageCountLabel_->text() + QLatin1String("; ") +
                                skippedLinesNote_);
  }
  selectedMessageLabel_->setText(
      currentMessageNumber > 0 ? tr("Message %1").arg(currentMessageNumber) : QString());
}

std::size_t MainWindow::MessageNumberOfRow(int row) const {
  // The list is given filteredIndexMap exactly while a filter entry is checked.
  return model_->MessageNumberOfRow(row);
}

void MainWindow::isdnReload_Click() {
  if (myFileName.isEmpty()) {
    return;
  }
  const std::size_t selected = MessageNumberOfRow(SelectedRow());
  const int scrolled = isdnList->verticalScrollBar()->value();
  QAction* filter = CheckedFilter();
  if (!LoadTrace(myFileName, LoadKind::Reload)) {
    return;
  }
  // The same view of the trace as read now, unless its selected message is gone.
  const bool kept = selected > 0 && selected <= store_.msgCount;
  if (kept) {
    SelectRow(static_cast<int>(selected - 1));
  }
  if (filter != nullptr) {
    filter->setChecked(true);
    SwitchFilterOn(filter, static_cast<ListFilter>(filter->data().toInt()));
  }
  if (kept || selected == 0) {
    isdnList->verticalScrollBar()->setValue(scrolled);
  } else {
    isdnList->scrollToTop();
  }
}

void MainWindow::isdnOpen_Click() {
  const std::optional<QString> fileName = dialogs_.OpenFileName(
      this, {tr("All (*)"), tr("Text (*.txt)"), tr("Log (*.log)"), tr("XML (*.xml)")},
      tr("Text (*.txt)"));
  if (fileName) {
    OpenTraceFile(*fileName);
  }
}

bool MainWindow::OpenTraceFile(const QString& fileName) {
  return LoadTrace(fileName, LoadKind::Open);
}

bool MainWindow::LoadTrace(const QString& fileName, LoadKind kind) {
  const bool reload = kind == LoadKind::Reload;
  LoadResult loaded = LoadTraceWithProgress(this, fileName, reload ? tr("Reload") : tr("Open"));
  switch (loaded.outcome) {
    case LoadOutcome::Loaded:
      break;
    case LoadOutcome::NoMessages:
      dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Merrow"),
                           fileName + tr(" does not contain Q931 Messages."));
      return false;
    case LoadOutcome::Stopped:
      return false;
    case LoadOutcome::Failed:
      ReportError(reload ? QStringLiteral("isdnReload") : QStringLiteral("isdnOpen"),
                  kFileAccessErrorNumber, QString::fromLocal8Bit(loaded.errorText.c_str()));
      return false;
  }

  for (QAction* filter : {isdnFilter, isdnFilterH225, isdnFilterPRI, isdnFilterGW}) {
    filter->setChecked(false);
  }
  myFileName = fileName;
  model_->SetRows(nullptr, nullptr);
  store_ = std::move(loaded.store);
  filteredIndexMap.clear();
  currentMessageNumber = 0;
  shownMessageNumber_ = 0;
  model_->SetRows(&store_, nullptr);
  tesselText->clear();
  statusBar()->clearMessage();
  if (!reload) {
    isdnList->scrollToTop();
    if (findForm_ != nullptr) {
      findForm_->ClearFindText();
    }
    skippedLinesNoteShown_ = false;
  }
  for (QAction* action : {isdnReload, isdnFind, isdnFindAgain, isdnFilter, isdnFilterH225,
                          isdnFilterPRI, isdnFilterGW}) {
    action->setEnabled(true);
  }
  setWindowTitle(QFileInfo(fileName).fileName() + QLatin1String(" - ") + QLatin1String(kCaption));
  skippedLinesNote_ = QString::fromLatin1(SkippedLinesNote(loaded).c_str());
  UpdateStatusBar();
  if (!skippedLinesNote_.isEmpty() && !skippedLinesNoteShown_) {
    skippedLinesNoteShown_ = true;
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Sigrune"),
                         tr("%1: %2.").arg(fileName, skippedLinesNote_));
  }
  return true;
}

void MainWindow::isdnList_SelectionChanged() {
  const QModelIndexList selected = isdnList->selectionModel()->selectedRows();
  if (selected.isEmpty() || !showingSelection_) {
    return;
  }
  tesselText->clear();
  statusBar()->clearMessage();
  const std::size_t number = MessageNumberOfRow(selected.constFirst().row());
  currentMessageNumber = number;
  shownMessageNumber_ = number;
  UpdateStatusBar();
  // A message that does not decode is shown as far as it goes: one box per row would stop a
  // user arrowing down the list.
  PayloadBytes bytes;
  try {
    if (number == 0) {
      throw SubscriptOutOfRange();
    }
    bytes = PayloadBytesOfMessage(store_, number - 1);
    ShowDecodedMessage(*tesselText, DecodeMessage(bytes), DumpMessageHex(bytes));
  } catch (const SubscriptOutOfRange& failure) {
    ShowUndecodableMessage(QString::fromLatin1(failure.what()), bytes);
  } catch (const std::bad_alloc&) {
    ShowUndecodableMessage(tr("not enough memory"), bytes);
  }
}

void MainWindow::ShowUndecodableMessage(const QString& reason, const PayloadBytes& readable) {
  const QString text = tr("This message could not be decoded: %1").arg(reason);
  ShowDecodedMessage(*tesselText, text.toLatin1().toStdString() + "\r\n", DumpMessageHex(readable));
  statusBar()->showMessage(text);
}

MainWindow::FindStep MainWindow::FindInRow(int row, std::string_view findText) const {
  FindStep step;
  step.messageNumber = MessageNumberOfRow(row);
  try {
    if (step.messageNumber == 0) {
      throw SubscriptOutOfRange();
    }
    step.position = FindInDecodedMessage(store_, step.messageNumber - 1, findText);
  } catch (const SubscriptOutOfRange& failure) {
    step.failed = true;
    step.description = QString::fromLatin1(failure.what());
  }
  return step;
}

std::size_t MainWindow::isdnList_Find_next(int row, std::string_view findText) {
  const FindStep step = FindInRow(row, findText);
  if (step.failed) {
    ReportError(QStringLiteral("isdnList"), kSubscriptOutOfRangeNumber, step.description);
  }
  return step.position;
}

int MainWindow::SelectedRow() const {
  const QModelIndexList selected = isdnList->selectionModel()->selectedRows();
  return selected.isEmpty() ? -1 : selected.constFirst().row();
}

int MainWindow::RowCount() const {
  return model_->rowCount();
}

void MainWindow::SelectRow(int row) {
  const QModelIndex index = model_->index(row, 0);
  isdnList->setCurrentIndex(index);
  isdnList->scrollTo(index);
}

void MainWindow::ShowMessage(MessageIcon icon, const QString& title, const QString& text) {
  dialogs_.ShowMessage(this, icon, title, text);
}

FindForm& MainWindow::Find() {
  if (findForm_ == nullptr) {
    findForm_ = new FindForm(*this);
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
    dialogs_.ShowMessage(this, MessageIcon::Exclamation, tr("Release Notes"),
                         tr("The release notes %1 could not be opened.").arg(path));
  }
}

void MainWindow::CopySelectedLine() {
  const QModelIndex current = isdnList->currentIndex();
  if (current.isValid()) {
    QGuiApplication::clipboard()->setText(
        current.siblingAtColumn(0).data(MessageListModel::SummaryLineRole).toString());
  }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.constFirst().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.constFirst().isLocalFile()) {
    event->acceptProposedAction();
    OpenTraceFile(urls.constFirst().toLocalFile());
  }
}

}  // namespace sigrune
