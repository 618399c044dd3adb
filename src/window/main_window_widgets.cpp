// The main window's menus and widgets, made with their object names, texts and shortcuts, and
// wired to what they do; and the list's columns, sized without measuring the rows.

#include <QAction>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "window/calls/calls_pane.h"
#include "window/filter_bar.h"
#include "window/find_all_panel.h"
#include "window/find_form.h"
#include "window/flat_list_view.h"
#include "window/help_menu.h"
#include "window/main_window.h"
#include "window/message_list_model.h"
#include "window/operation_bar.h"
#include "window/recent_traces.h"
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

void MainWindow::CreateActions() {
  actions_.open = MakeAction(this, "isdnOpen", tr("&Open..."), QKeySequence(tr("Ctrl+O")));
  actions_.reload = MakeAction(this, "isdnReload", tr("&Reload"), QKeySequence(Qt::Key_F5));
  actions_.follow = MakeAction(this, "isdnFollow", tr("&Follow"));
  actions_.follow->setCheckable(true);
  actions_.save =
      MakeAction(this, "isdnSave", tr("&Save As Tessel..."), QKeySequence(tr("Ctrl+S")));
  actions_.exportPcap = MakeAction(this, "isdnExportPcap", tr("Export to &pcap…"));
  actions_.exit = MakeAction(this, "isdnExit", tr("E&xit"), QKeySequence(tr("Ctrl+Q")));
  actions_.find = MakeAction(this, "isdnFind", tr("&Find..."), QKeySequence(tr("Ctrl+F")));
  actions_.findAgain =
      MakeAction(this, "isdnFindAgain", tr("Find Again"), QKeySequence(Qt::Key_F3));
  actions_.findBackwards = MakeAction(this, "isdnFindBackwards", tr("Find Again &Backwards"),
                                      QKeySequence(Qt::SHIFT | Qt::Key_F3));
  actions_.goToMessage =
      MakeAction(this, "isdnGoToMessage", tr("&Go to Message…"), QKeySequence(tr("Ctrl+G")));
  actions_.jumpToLine =
      MakeAction(this, "isdnGoTo", tr("Jump to line number"), QKeySequence(Qt::Key_F4));
  static_assert(std::size(kFilterEntries) == std::tuple_size_v<decltype(actions_.filters)>);
  for (std::size_t index = 0; index < std::size(kFilterEntries); ++index) {
    const FilterMenuEntry& entry = kFilterEntries[index];
    QAction* action = MakeAction(this, entry.objectName, tr(entry.caption),
                                 QKeySequence(QLatin1String(entry.shortcut)));
    action->setCheckable(true);
    actions_.filters[index] = {action, entry.filter};
    connect(action, &QAction::triggered, this,
            [this, filter = entry.filter] { FilterClicked(filter); });
  }
  actions_.showFlow =
      MakeAction(this, "isdnShowFlow", tr("Show &Flow"), QKeySequence(tr("Ctrl+Shift+F")));
  actions_.saveCalls = MakeAction(this, "isdnSaveCalls", tr("Save Calls as CS&V…"));
  actions_.showStatistics = MakeAction(this, "isdnShowStatistics", tr("&Statistics"));
  actions_.releaseNotes = MakeAction(this, "isdnReleaseNotes", tr("&Release Notes"));
  actions_.about = MakeAction(this, "isdnAbout", tr("&About"));

  connect(actions_.open, &QAction::triggered, this, &MainWindow::OpenClicked);
  connect(actions_.reload, &QAction::triggered, this, &MainWindow::ReloadClicked);
  connect(actions_.follow, &QAction::triggered, this, &MainWindow::FollowClicked);
  connect(actions_.save, &QAction::triggered, this, &MainWindow::SaveClicked);
  connect(actions_.exportPcap, &QAction::triggered, this, &MainWindow::ExportPcapClicked);
  connect(actions_.find, &QAction::triggered, this, [this] {
    Find().show();
    Find().raise();
    Find().activateWindow();
  });
  connect(actions_.findAgain, &QAction::triggered, this, [this] { FindNext(); });
  connect(actions_.findBackwards, &QAction::triggered, this, [this] { FindNext(true); });
  connect(actions_.jumpToLine, &QAction::triggered, this, &MainWindow::JumpToLineClicked);
  connect(actions_.goToMessage, &QAction::triggered, this, &MainWindow::GoToMessageClicked);
  connect(actions_.exit, &QAction::triggered, this, &QWidget::close);
  connect(actions_.showFlow, &QAction::triggered, this, &MainWindow::ShowFlowClicked);
  connect(actions_.saveCalls, &QAction::triggered, this, &MainWindow::SaveCallsClicked);
  connect(actions_.showStatistics, &QAction::triggered, this, &MainWindow::ShowStatisticsClicked);
  connect(actions_.about, &QAction::triggered, this, [this] { ShowAbout(dialogs_, this); });
  connect(actions_.releaseNotes, &QAction::triggered, this,
          [this] { ShowReleaseNotes(dialogs_, launcher_, this); });
}

void MainWindow::CreateMenus() {
  QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
  fileMenu->setObjectName(QStringLiteral("isdnFile"));
  fileMenu->addAction(actions_.open);
  recent_ = new RecentTraces(this);
  actions_.recentMenu = fileMenu->addMenu(tr("Open Rece&nt"));
  actions_.recentMenu->setObjectName(QStringLiteral("isdnRecentMenu"));
  recent_->FillMenu(*actions_.recentMenu);
  connect(recent_, &RecentTraces::Changed, this,
          [this] { recent_->FillMenu(*actions_.recentMenu); });
  connect(recent_, &RecentTraces::OpenRequested, this,
          [this](const QStringList& fileNames) { OpenTraceFiles(fileNames); });
  fileMenu->addActions({actions_.reload, actions_.follow, actions_.save, actions_.exportPcap});
  fileMenu->addSeparator();
  fileMenu->addAction(actions_.exit);
  QMenu* editMenu = menuBar()->addMenu(tr("&Edit"));
  editMenu->setObjectName(QStringLiteral("isdnEdit"));
  editMenu->addActions({actions_.find, actions_.findAgain, actions_.findBackwards,
                        actions_.goToMessage, actions_.jumpToLine});
  QMenu* filterMenu = menuBar()->addMenu(tr("Fi&lter"));
  filterMenu->setObjectName(QStringLiteral("isdnFilterMenu"));
  for (const MainWindowActions::Filter& action : actions_.filters) {
    filterMenu->addAction(action.entry);
  }
  QMenu* callsMenu = menuBar()->addMenu(tr("&Calls"));
  callsMenu->setObjectName(QStringLiteral("isdnCallsMenu"));
  callsMenu->addActions({actions_.showFlow, actions_.showStatistics, actions_.saveCalls});
  QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
  helpMenu->setObjectName(QStringLiteral("isdnHelp"));
  helpMenu->addActions({actions_.releaseNotes, actions_.about});
}

void MainWindow::CreateWidgets() {
  widgets_.model = new MessageListModel(this);
  widgets_.model->ShowRowsOf(&document_);

  widgets_.messageList = new FlatListView;
  widgets_.messageList->setObjectName(QStringLiteral("isdnList"));
  widgets_.messageList->setModel(widgets_.model);
  widgets_.messageList->header()->setSectionsMovable(false);
  list_.columnWidths = SavedColumnWidths();
  SizeColumns();
  connect(widgets_.messageList->header(), &QHeaderView::sectionResized, this,
          [this](int column, int, int width) {
            // The last column stretches with the window: no width of the user's, and one that
            // would push the File column out of sight once several files are read.
            if (!list_.sizingColumns && column >= 0 &&
                column < widgets_.messageList->header()->count() - 1) {
              list_.columnWidths.resize(std::max<qsizetype>(list_.columnWidths.size(), column + 1));
              list_.columnWidths[column] = width;
            }
          });
  // The current row, not the selection, is the message: several rows may be selected.
  connect(widgets_.messageList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &MainWindow::CurrentRowChanged);

  widgets_.decodedText = new QTextEdit;
  widgets_.decodedText->setObjectName(QStringLiteral("tesselText"));
  widgets_.decodedText->setReadOnly(true);
  widgets_.decodedText->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                                Qt::TextSelectableByKeyboard);
  widgets_.decodedText->setLineWrapMode(QTextEdit::NoWrap);

  // Tabs rather than a dock: the calls table needs the list's whole width. The Calls tab has its
  // own message pane, under the table.
  widgets_.tabs = new QTabWidget;
  widgets_.tabs->setObjectName(QStringLiteral("isdnTabs"));
  widgets_.filterBar = new FilterBar;
  widgets_.whereBar = widgets_.filterBar->Where();
  widgets_.messagesTab = new QWidget;
  auto* messagesLayout = new QVBoxLayout(widgets_.messagesTab);
  messagesLayout->setContentsMargins(0, 0, 0, 0);
  messagesLayout->addWidget(widgets_.messageList);
  CreateWhereBar();
  widgets_.tabs->addTab(widgets_.messagesTab, tr("&Messages"));
  CreateCallsTab();
  widgets_.tabs->addTab(widgets_.callsTab, tr("Call&s"));
  widgets_.decodedFrame = MakeFrame("tesselFrame", tr("Tessel Translation "), widgets_.decodedText);

  // The list takes 35 % of the height and the pane 65 %, also when the window changes size.
  widgets_.splitter = new QSplitter(Qt::Vertical);
  widgets_.findAllPanel = new FindAllPanel;
  connect(widgets_.findAllPanel, &FindAllPanel::MessageChosen, this, &MainWindow::ShowFoundMessage);
  widgets_.splitter->addWidget(widgets_.tabs);
  widgets_.splitter->addWidget(widgets_.findAllPanel);
  widgets_.splitter->addWidget(widgets_.decodedFrame);
  widgets_.splitter->setStretchFactor(0, 35);
  widgets_.splitter->setStretchFactor(1, 20);
  widgets_.splitter->setStretchFactor(2, 65);
  widgets_.splitter->setSizes({350, 200, 650});
  widgets_.splitter->setChildrenCollapsible(false);
  auto* central = new QWidget;
  auto* centralLayout = new QVBoxLayout(central);
  centralLayout->setContentsMargins(0, 0, 0, 0);
  centralLayout->setSpacing(2);
  centralLayout->addWidget(widgets_.filterBar);
  centralLayout->addWidget(widgets_.splitter, 1);
  setCentralWidget(central);

  widgets_.messageCount = new QLabel;
  widgets_.messageCount->setObjectName(QStringLiteral("messageCount"));
  widgets_.fileName = new QLabel;
  widgets_.fileName->setObjectName(QStringLiteral("fileName"));
  widgets_.selectedMessage = new QLabel;
  widgets_.selectedMessage->setObjectName(QStringLiteral("selectedMessage"));
  widgets_.filter = new QLabel;
  widgets_.filter->setObjectName(QStringLiteral("filter"));
  widgets_.filteredCall = new QLabel;
  widgets_.filteredCall->setObjectName(QStringLiteral("filteredCall"));
  // Apart enough to read as separate fields.
  for (QLabel* label : {widgets_.fileName, widgets_.filter, widgets_.filteredCall}) {
    label->setContentsMargins(fontMetrics().averageCharWidth() * 2, 0, 0, 0);
  }
  statusBar()->addWidget(widgets_.messageCount);
  statusBar()->addWidget(widgets_.fileName);
  statusBar()->addWidget(widgets_.filter);
  statusBar()->addWidget(widgets_.filteredCall, 1);
  widgets_.operationBar = new OperationBar;
  statusBar()->addPermanentWidget(widgets_.operationBar);
  widgets_.followState = new QLabel;
  widgets_.followState->setObjectName(QStringLiteral("followState"));
  statusBar()->addPermanentWidget(widgets_.followState);
  statusBar()->addPermanentWidget(widgets_.selectedMessage);
  connect(widgets_.operationBar, &OperationBar::CancelRequested, this,
          &MainWindow::CancelOperation);
}

// The File column comes and goes with the number of files, also in the preview of a load.
void MainWindow::SizeNewColumns() {
  if (widgets_.model->columnCount() != list_.sizedColumns) {
    SizeColumns();
  }
}

void MainWindow::SizeColumns() {
  list_.sizedColumns = widgets_.model->columnCount();
  list_.sizingColumns = true;
  // Sized from the fonts, for the heading and the widest text a column usually holds, never by
  // measuring the rows.
  const QFontMetrics metrics(widgets_.messageList->font());
  const QFontMetrics headingMetrics(
      widgets_.model->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>());
  const char* const kWidest[MessageListModel::Columns] = {
      "01/15/2004 10:23:45.678", "192.168.100.200", "Out",   "H225",
      "UNSUPPORTED MESSAGE",     "0x8000",          "99999", "trace-2004-01-15.txt.gz"};
  for (int column = 0; column < MessageListModel::Columns; ++column) {
    const QString heading =
        widgets_.model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int width = std::max(headingMetrics.horizontalAdvance(heading),
                               metrics.horizontalAdvance(QLatin1String(kWidest[column])));
    widgets_.messageList->header()->resizeSection(column, width + 3 * metrics.averageCharWidth());
  }
  // Then the widths the user gave, in this run or one before.
  for (int column = 0; column < list_.columnWidths.size() && column < widgets_.model->columnCount();
       ++column) {
    if (list_.columnWidths[column] > 0) {
      widgets_.messageList->header()->resizeSection(column, list_.columnWidths[column]);
    }
  }
  list_.sizingColumns = false;
}

}  // namespace sigrune
