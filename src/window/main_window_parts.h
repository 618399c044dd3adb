#pragma once

// The main window's actions and widgets, and the state of its list, held apart so that the
// window's class shows what it does. The window makes them (main_window_widgets.cpp); their
// object names are the ones the tests and the user-visible texts use.

#include <QList>
#include <QPointer>
#include <QString>
#include <array>

#include "trace/list_filters.h"
#include "trace/message_number.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QTextEdit;
class QWidget;

namespace sigrune {

class CallTriage;
class CallsPane;
class FilterBar;
class FindAllPanel;
class FlatListView;
class FindForm;
class GoToDialog;
class MessageListModel;
class OperationBar;
class StatisticsWindow;
class WhereBar;

struct MainWindowActions {
  // File
  QAction* open = nullptr;
  QMenu* recentMenu = nullptr;
  QAction* reload = nullptr;
  QAction* follow = nullptr;
  QAction* save = nullptr;  // Save As Tessel: every message
  QAction* exportPcap = nullptr;
  QAction* exit = nullptr;
  // Edit
  QAction* find = nullptr;
  QAction* findAgain = nullptr;
  QAction* findBackwards = nullptr;
  QAction* goToMessage = nullptr;
  QAction* jumpToLine = nullptr;
  // The Filter menu, in its order: Selected Call, This Call, This Gateway, PRI Only, H225 Only.
  struct Filter {
    QAction* entry = nullptr;
    ListFilter filter = ListFilter::SelectedCall;
  };
  std::array<Filter, 5> filters;
  // Calls
  QAction* showFlow = nullptr;
  QAction* showStatistics = nullptr;
  QAction* saveCalls = nullptr;
  // Help
  QAction* releaseNotes = nullptr;
  QAction* about = nullptr;
  // The message list's right-click menu, besides entries of the menus above.
  QMenu* messageMenu = nullptr;
  QAction* copyLines = nullptr;
  QAction* copyDecoded = nullptr;
  QAction* jumpToLineOfRow = nullptr;
};

struct MainWindowWidgets {
  QSplitter* splitter = nullptr;   // the tabs, the results of Find All, the decoded text
  FilterBar* filterBar = nullptr;  // over the splitter: it filters what every tab shows
  WhereBar* whereBar = nullptr;    // its field
  QTabWidget* tabs = nullptr;      // Messages, Calls
  QWidget* messagesTab = nullptr;  // the list
  FlatListView* messageList = nullptr;
  MessageListModel* model = nullptr;
  QWidget* callsTab = nullptr;         // the calls table over the selected call's triage
  QSplitter* callsSplitter = nullptr;  // between the two
  CallsPane* callsPane = nullptr;
  CallTriage* triage = nullptr;
  // The splitter's sizes on the Messages tab, kept while the Calls tab hides its panes.
  QList<int> paneSizes;
  FindAllPanel* findAllPanel = nullptr;
  QGroupBox* decodedFrame = nullptr;
  QTextEdit* decodedText = nullptr;
  // The status bar
  QLabel* messageCount = nullptr;
  QLabel* fileName = nullptr;
  QLabel* filter = nullptr;        // "filter: call 0x0005"
  QLabel* filteredCall = nullptr;  // names the call This Call shows
  OperationBar* operationBar = nullptr;
  QLabel* followState = nullptr;
  QLabel* selectedMessage = nullptr;
  // Made when first asked for.
  FindForm* findForm = nullptr;
  GoToDialog* goToDialog = nullptr;
  QPointer<StatisticsWindow> statistics;
};

// What the message list shows besides the document's rows.
struct MainWindowListState {
  // The text a find found in this message, marked when the pane shows it.
  MessageNumber highlightMessage;
  QString highlightText;
  // Selections the window makes itself show the document; only the user's go to it.
  bool showingDocument = false;
  // The column widths the user chose (0: none), this run or before; SizeColumns is at work while
  // sizingColumns.
  QList<int> columnWidths;
  bool sizingColumns = false;
  // The list's vertical scroll range as it last was, to tell whether it was at its bottom.
  int scrollMaximum = 0;
  int sizedColumns = 0;  // the columns the list had when SizeColumns last sized them
};

}  // namespace sigrune
