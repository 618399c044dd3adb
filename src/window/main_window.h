#pragma once

// The main window (isdnForm): the message list, and the calls table in a tab beside it, over the
// decoded-text pane, with the menus that open a trace, filter the list, find a text, jump to a
// message's line, export the messages and save the calls. It keeps
// widgets only: each menu action goes to the trace document, and the widgets then show the
// document as the action left it.

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "document/find_all.h"
#include "document/shown_message.h"
#include "document/trace_document.h"
#include "document/worker.h"
#include "platform/platform.h"
#include "q931/payload_bytes.h"
#include "trace/list_filters.h"
#include "trace/trace_follower.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QTextEdit;
class QTreeView;

namespace sigrune {

class CallsPane;
class FindAllPanel;
class FindForm;
class GoToDialog;
class FollowController;
class LaneNamesStore;
class OperationBar;
class RecentTraces;
class MessageListModel;
class StatisticsWindow;
struct StatisticsGroup;
class WhereBar;

// Failure numbers handed to ReportError; the dialogs' cancel is passed over in silence.
inline constexpr int kFileAccessErrorNumber = 75;
inline constexpr int kOutOfMemoryNumber = 7;
inline constexpr int kDialogCancelNumber = 32755;

inline constexpr const char* kCaption = "Calyxo (Marovia 3.X)";

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(Dialogs& dialogs, Launcher& launcher, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Starts opening traces as File > Open does once its dialog has given the paths, read as one
  // trace; false when another operation still runs. Nothing changes unless the load succeeds.
  // With `follow`, what is appended to the trace's last file is read on after the load.
  bool OpenTraceFiles(const QStringList& fileNames, bool follow = false);
  bool OpenTraceFile(const QString& fileName) { return OpenTraceFiles({fileName}); }

  const TraceDocument& Document() const { return document_; }
  FindForm& Find();

  // An operation (load, find, export) or the decode for the pane runs on a worker.
  // The filter bar's rows are found on a worker too, after its edits' quiet.
  bool Busy() const;
  // Asks the running operation to stop, as its Cancel button does.
  void CancelOperation();

 protected:
  // Remembers the window's place, splitter and columns for the next run.
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // What an operation changed besides the entries, the selected row, the status bar and the
  // caption, which are always shown afresh.
  struct Changes {
    bool rows = false;   // the list's rows: the model resets
    bool pane = false;   // the selected message, or its text: the pane shows it again
    bool calls = false;  // the calls (a load): the calls table resets
  };
  // The one way the widgets learn what the document holds now.
  void ShowDocument(Changes changes);
  void ShowSelectedMessage();
  void StartPaneDecode(MessageNumber message);
  void PaneDecoded(std::optional<ShownMessage> shown);
  void ShowEntries();
  void UpdateStatusBar();
  // Whether an operation may start now; says why not in the status bar.
  bool CanStartOperation();
  // The operation just started on the worker: its progress shows, the entries go off.
  void OperationStarted(const QString& title);
  // First thing every operation's result does.
  void OperationFinished();
  // The one message box through which operations report a failure.
  void ReportError(const QString& procedureName, int errorNumber, const QString& description);

  void CreateActions();
  void CreateMenus();
  void CreateWidgets();
  void CreateFollowing();
  void SizeColumns();

  // The state of the list that a reload keeps.
  struct ListView {
    bool hadSelection = false;
    int scrolled = 0;
  };
  bool StartLoad(const QStringList& fileNames, LoadKind kind, bool follow);
  // The first messages of the trace being opened, shown read-only until the whole is read.
  void ShowPreview(std::uint64_t load, MessageStore&& firstMessages);
  // The list shows the document again, the preview gone; after a load that changed nothing, as
  // the view was.
  void DropPreview(const ListView* restored);
  void LoadFinished(const QStringList& fileNames, LoadKind kind, ListView view, bool follow,
                    std::optional<LoadedTrace> loaded);
  void FindFinished(const FindQuery& query, const QString& text, std::optional<FindResult> found);
  void ExportFinished(const QString& path, std::optional<ExportResult> result);
  // Tells of an export that wrote nothing (cancelled, failed, out of memory on the worker: no
  // outcome) and returns false; true when it was written.
  bool ExportWritten(const QString& procedure, const QString& path,
                     std::optional<ExportOutcome> outcome, const std::string& errorText);
  void isdnExportPcap_Click();
  void ExportCallsToPcap(const std::vector<CallNumber>& calls);
  void ExportPcap(RowMap messages, const QString& title);
  void PcapExported(const QString& path, std::optional<PcapResult> exported);

  void isdnOpen_Click();
  void isdnReload_Click();
  // File > Follow: reads on at the end of the last file, after reading the trace again when its
  // load took the unended last line for a whole one.
  void isdnFollow_Click(bool follow);
  // The same without reading again, also after a load asked to follow.
  void FollowTrace(bool follow);
  // A follower's read, taken while no operation reads the store.
  void ApplyFollowed(TraceFollower::Batch&& batch);
  void ShowFollowState();
  void isdnSave_Click();
  void isdnGoTo_Click();
  void isdnFilter_Click(ListFilter filter);
  void ShowCall(CallNumber call);
  void isdnSaveCalls_Click();
  // Calls > Show Flow: the ladder of the calls selected in the calls table, or of the selected
  // message's call.
  void isdnShowFlow_Click();
  // An arrow clicked in a ladder: its message is shown as if chosen in the list.
  void ChooseMessageFromFlow(MessageNumber message);
  // The ladders open mark the selected message; a new trace closes them.
  void ShowDocumentInFlows(bool newTrace);
  // Calls > Statistics: the window of counts, opened once and brought forward after.
  void isdnShowStatistics_Click();
  // A bar or row chosen in the statistics: its calls in the calls table.
  void ShowCallGroup(const StatisticsGroup& group, const QString& description);
  // The statistics count the calls again when they changed.
  void ShowCallsInStatistics();
  // The filter bar: an expression read on the window's thread, its rows found on a worker; a
  // newer one supersedes the one being filtered.
  void CreateWhereBar();
  void WhereChanged(const QString& text);
  void StartWhere(WhereExpression expression);
  void WhereFiltered(std::uint64_t generation, WhereExpression expression,
                     std::optional<RowMap> rows);
  // Runs `step` now, or once the filter bar's worker, which reads the store, has stopped.
  void AfterWhereStops(std::function<void()> step);
  // Find Again, or with `opposite` Find Again Backwards: one step against the dialog's direction.
  void FindNext(bool opposite = false);
  // Find All, on the list's rows, into the results panel.
  void FindAll();
  void FindAllFinished(std::optional<FindAllResult> found, const QString& text);
  // A result of Find All chosen: its message shows, the text marked.
  void ShowFoundMessage(MessageNumber message);
  // Edit > Go to Message: a message number or a time.
  void isdnGoToMessage_Click();
  // Goes to the message the text names; empty, or why not.
  QString GoToMessage(const QString& text);
  void isdnAbout_Click();
  void isdnReleaseNotes_Click();
  void isdnList_SelectionChanged();
  // The message list's right-click menu, Ctrl+C and its several selected rows.
  void CreateMessageMenu();
  void ShowMessageMenu(const QPoint& position);
  // The summary lines of the selected rows, in list order, a line each.
  void CopySelectedLines();
  // The current message's decoded text and dump, as the pane shows them but whole.
  void CopyDecodedText();

  Dialogs& dialogs_;
  Launcher& launcher_;
  TraceDocument document_;
  // After the document: they stop before it goes, since an operation may read its store.
  Worker operations_;
  Worker paneWorker_;
  Worker whereWorker_;
  // Counts the expressions asked for; a result of an older one is dropped.
  std::uint64_t whereGeneration_ = 0;
  // The expression to filter by once the superseded one has stopped.
  std::optional<WhereExpression> pendingWhere_;
  // What waits for the filter bar's worker to stop (a load to adopt).
  std::function<void()> afterWhere_;
  // The pane waits for a decode that a newer selection cancelled.
  bool panePending_ = false;
  // The text a find found in this message, marked when the pane shows it.
  MessageNumber highlightMessage_;
  QString highlightText_;

  // Selections the window makes itself show the document; only the user's go to it.
  bool showingDocument_ = false;
  // The trace being opened, as far as its first piece, while the list shows it.
  std::unique_ptr<TraceDocument> preview_;
  // Counts the loads started, so that a preview posted for one gone is dropped.
  std::uint64_t loadsStarted_ = 0;
  // The notes of a load (lines skipped, a file given twice) are shown in a box once per open.
  bool loadNotesShown_ = false;
  // The notes of the last load besides the skipped lines ("b.txt was given twice and read once").
  QStringList loadNotes_;
  // The list's column widths the user chose (0: none), this run or before; SizeColumns is at
  // work while sizingColumns_.
  QList<int> columnWidths_;
  bool sizingColumns_ = false;
  FindForm* findForm_ = nullptr;
  LaneNamesStore* laneNames_ = nullptr;
  QPointer<StatisticsWindow> statistics_;
  FollowController* follow_ = nullptr;
  // Why following stopped by itself (the file disappeared), until it starts again or another
  // trace is read.
  QString followStopped_;

  QAction* isdnOpen = nullptr;
  QAction* isdnReload = nullptr;
  QAction* isdnFollow = nullptr;
  QAction* isdnSave = nullptr;
  QAction* isdnExportPcap = nullptr;
  QAction* isdnExit = nullptr;
  QAction* isdnFind = nullptr;
  QAction* isdnFindAgain = nullptr;
  QAction* isdnFindBackwards = nullptr;
  QAction* isdnGoToMessage = nullptr;
  QAction* isdnGoTo = nullptr;
  struct FilterAction {
    QAction* entry = nullptr;
    ListFilter filter = ListFilter::SelectedCall;
  };
  // The Filter menu, in its order: Selected Call, This Call, This Gateway, PRI Only, H225 Only.
  std::array<FilterAction, 5> filterActions_;
  QAction* isdnShowFlow = nullptr;
  QAction* isdnSaveCalls = nullptr;
  QAction* isdnShowStatistics = nullptr;
  QAction* isdnCopyLines = nullptr;
  QAction* isdnCopyDecoded = nullptr;
  QAction* isdnJumpToLine = nullptr;
  QMenu* messageMenu_ = nullptr;
  QMenu* isdnRecentMenu = nullptr;
  RecentTraces* recent_ = nullptr;
  QAction* isdnReleaseNotes = nullptr;
  QAction* isdnAbout = nullptr;

  QSplitter* splitter_ = nullptr;
  QTabWidget* isdnTabs = nullptr;  // Messages, Calls
  QGroupBox* tesselFrame = nullptr;
  QTreeView* isdnList = nullptr;
  QWidget* messagesTab_ = nullptr;  // the filter bar over the list
  WhereBar* whereBar_ = nullptr;
  CallsPane* callsPane_ = nullptr;
  MessageListModel* model_ = nullptr;
  QTextEdit* tesselText = nullptr;
  QLabel* messageCountLabel_ = nullptr;
  QLabel* fileNameLabel_ = nullptr;
  QLabel* selectedMessageLabel_ = nullptr;
  QLabel* followLabel_ = nullptr;
  QLabel* filterLabel_ = nullptr;        // "filter: call 0x0005"
  QLabel* filteredCallLabel_ = nullptr;  // names the call This Call shows
  OperationBar* operationBar_ = nullptr;
  FindAllPanel* findAllPanel_ = nullptr;
  GoToDialog* goToDialog_ = nullptr;
};

}  // namespace sigrune
