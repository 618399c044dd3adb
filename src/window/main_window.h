#pragma once

// The main window (isdnForm): the message list, and the calls table in a tab beside it, over the
// decoded-text pane, with the menus that open a trace, filter the list, find a text, jump to a
// message's line, export the messages and save the calls. It keeps widgets and their wiring: each
// action goes to the trace document, or to the scheduler when it runs long, and the widgets then
// show the document as the action left it. Each group of actions has a file of its own.

#include <QMainWindow>
#include <QString>
#include <memory>

#include "document/find_all.h"
#include "document/operation_scheduler.h"
#include "document/shown_message.h"
#include "document/trace_document.h"
#include "platform/platform.h"
#include "window/main_window_parts.h"

namespace sigrune {

class FollowController;
class LaneNamesStore;
class RecentTraces;
struct StatisticsGroup;

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
  // What an action changed besides the entries, the selected row, the status bar and the
  // caption, which are always shown afresh.
  struct Changes {
    bool rows = false;   // the list's rows: the model resets
    bool pane = false;   // the selected message, or its text: the pane shows it again
    bool calls = false;  // the calls (a load): the calls table resets
    bool where = false;  // the filter bar's calls: the calls table and statistics show them
  };
  // The one way the widgets learn what the document holds now.
  void ShowDocument(Changes changes);
  void ShowEntries();
  void UpdateStatusBar();
  void CurrentRowChanged();
  bool CanStartOperation(OperationKind kind);
  void OperationStarted(const QString& title);
  void OperationFinished();

  void CreateActions();  // main_window_widgets.cpp
  void CreateMenus();
  void CreateWidgets();
  void CreateCallsTab();  // calls_tab.cpp
  void ShowPanesOfTab();
  void CreateMessageMenu();  // message_context_menu.cpp
  void SizeColumns();
  void SizeNewColumns();
  void ShowMessageMenu(const QPoint& position);
  void CopySelectedLines();
  void CopyDecodedText();
  void ShowSelectedMessage();  // selected_message.cpp
  void DecodeSelectedMessage();
  void PaneDecoded(bool triage, std::optional<ShownMessage> shown);
  struct ListView;
  void OpenClicked();  // loading.cpp
  void ReloadClicked();
  bool StartLoad(const QStringList& fileNames, LoadKind kind, bool follow);
  void ShowPreview(MessageStore&& firstMessages);
  void DropPreview(const ListView* restored);
  void LoadFinished(const QStringList& fileNames, LoadKind kind, ListView view, bool follow,
                    std::optional<LoadedTrace> loaded);
  void CreateFollowing();  // following.cpp
  void FollowClicked(bool follow);
  void FollowTrace(bool follow);
  void ApplyFollowed(TraceFollower::Batch&& batch);
  void ShowFollowState();
  void FilterClicked(ListFilter filter);  // list_filtering.cpp
  void ShowCall(CallNumber call);
  void CreateWhereBar();  // where_filtering.cpp
  void WhereChanged(const QString& text);
  void StartWhere(const WhereExpression& expression);
  void WhereFiltered(WhereExpression expression, std::optional<WhereFound> found);
  void FindNext(bool opposite = false);  // finding.cpp
  void FindFinished(const FindQuery& query, const QString& text, std::optional<FindResult> found);
  void FindAll();
  void FindAllFinished(std::optional<FindAllResult> found, const QString& text);
  void ShowFoundMessage(MessageNumber message);
  void GoToMessageClicked();
  QString GoToMessage(const QString& text);
  void SaveClicked();  // export_and_jump.cpp
  void ExportFinished(const QString& path, std::optional<ExportResult> result);
  bool ExportWritten(const QString& procedure, const QString& path,
                     std::optional<OperationOutcome> outcome, const std::string& errorText);
  void JumpToLineClicked();
  void ExportPcapClicked();  // export_pcap.cpp
  void ExportCallsToPcap(const std::vector<CallNumber>& calls);
  void ExportPcap(RowMap messages, const QString& title);
  void PcapExported(const QString& path, std::optional<PcapResult> exported);
  void SaveCallsClicked();  // save_calls.cpp
  void ShowFlowClicked();   // show_flow.cpp
  void ChooseMessageFromFlow(MessageNumber message);
  void ShowDocumentInFlows(bool newTrace);
  void ShowStatisticsClicked();  // show_statistics.cpp
  void ShowCallGroup(const StatisticsGroup& group, const QString& description);
  void ShowCallsInStatistics();

  Dialogs& dialogs_;
  Launcher& launcher_;
  TraceDocument document_;
  // After the document: its workers stop before it goes, since an operation may read its store.
  OperationScheduler scheduler_;
  MainWindowActions actions_;
  MainWindowWidgets widgets_;
  MainWindowListState list_;
  // The trace being opened, as far as its first piece, while the list shows it.
  std::unique_ptr<TraceDocument> preview_;
  // The last load's notes besides its skipped lines, shown in a box once per open.
  QStringList loadNotes_;
  bool loadNotesShown_ = false;
  RecentTraces* recent_ = nullptr;
  LaneNamesStore* laneNames_ = nullptr;
  FollowController* follow_ = nullptr;
  // Why following stopped by itself (the file went), until it starts again or a trace is read.
  QString followStopped_;
};

}  // namespace sigrune
