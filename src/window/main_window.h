#pragma once

// The main window (isdnForm): the message list over the decoded-text pane, with the menus that
// open a trace, filter the list, find a text, jump to a message's line and export.

#include <QMainWindow>
#include <QString>
#include <cstddef>
#include <vector>

#include "platform/platform.h"
#include "q931/payload_bytes.h"
#include "trace/list_filters.h"
#include "trace/message_store.h"

class QAction;
class QGroupBox;
class QLabel;
class QSplitter;
class QTextEdit;
class QTreeView;

namespace sigrune {

class FindForm;
class MessageListModel;

// Failure numbers handed to ReportError; the dialogs' cancel is passed over in silence.
inline constexpr int kSubscriptOutOfRangeNumber = 9;
inline constexpr int kFileAccessErrorNumber = 75;
inline constexpr int kDialogCancelNumber = 32755;

inline constexpr const char* kCaption = "Calyxo (Marovia 3.X)";

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(Dialogs& dialogs, Launcher& launcher, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Opens a trace as File > Open does once its dialog has given the path. Nothing changes unless
  // the load succeeds; returns whether it did.
  bool OpenTraceFile(const QString& fileName);

  // The 1-based number of the message a list row shows: through filteredIndexMap while a filter
  // is checked, otherwise row + 1; 0 for a row that does not exist.
  std::size_t MessageNumberOfRow(int row) const;

  // Decodes the message of a row without showing it; the 1-based position of the text in the
  // decoded text, 0 when it does not occur or the message fails to decode (which is reported).
  // The window is left as it was: only a hit, once selected, changes what the filters take.
  std::size_t isdnList_Find_next(int row, std::string_view findText);

  // The search test of one row, as isdnList_Find_next but leaving a failure to the caller.
  struct FindStep {
    std::size_t position = 0;
    bool failed = false;
    std::size_t messageNumber = 0;
    QString description;
  };
  FindStep FindInRow(int row, std::string_view findText) const;

  int SelectedRow() const;
  int RowCount() const;
  // Selects the row, which shows its message.
  void SelectRow(int row);
  QTextEdit& Pane() { return *tesselText; }
  void ShowMessage(MessageIcon icon, const QString& title, const QString& text);
  FindForm& Find();

  // The one message box through which operations report a failure.
  void ReportError(const QString& procedureName, int errorNumber, const QString& description);

  const MessageStore& Store() const { return store_; }
  const QString& FileName() const { return myFileName; }
  std::size_t CurrentMessageNumber() const { return currentMessageNumber; }
  const std::vector<std::size_t>& FilteredIndexMap() const { return filteredIndexMap; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateWidgets();
  void SizeColumns();
  void UpdateStatusBar();

  enum class LoadKind { Open, Reload };
  bool LoadTrace(const QString& fileName, LoadKind kind);
  void ShowUndecodableMessage(const QString& reason, const PayloadBytes& readable);

  void isdnOpen_Click();
  void isdnReload_Click();
  void isdnSave_Click();
  void isdnGoTo_Click();
  void isdnFilter_Toggled(QAction* entry, ListFilter filter, bool checked);
  void SwitchFilterOn(QAction* entry, ListFilter filter);
  void SwitchFilterOff(QAction* entry);
  QAction* CheckedFilter() const;
  void isdnAbout_Click();
  void isdnReleaseNotes_Click();
  void isdnList_SelectionChanged();
  void CopySelectedLine();

  Dialogs& dialogs_;
  Launcher& launcher_;

  QString myFileName;
  MessageStore store_;
  std::vector<std::size_t> filteredIndexMap;
  std::size_t currentMessageNumber = 0;
  // The message the pane shows, which a search does not change until it hits.
  std::size_t shownMessageNumber_ = 0;
  // Selecting the row of the shown message after a filter must not decode it again.
  bool showingSelection_ = true;
  QString filterDescription_;
  // Says which overlong lines the load skipped; the note about them is shown once per opened file.
  QString skippedLinesNote_;
  bool skippedLinesNoteShown_ = false;
  FindForm* findForm_ = nullptr;

  QAction* isdnOpen = nullptr;
  QAction* isdnReload = nullptr;
  QAction* isdnSave = nullptr;
  QAction* isdnExit = nullptr;
  QAction* isdnFind = nullptr;
  QAction* isdnFindAgain = nullptr;
  QAction* isdnGoTo = nullptr;
  QAction* isdnFilter = nullptr;
  QAction* isdnFilterGW = nullptr;
  QAction* isdnFilterPRI = nullptr;
  QAction* isdnFilterH225 = nullptr;
  QAction* isdnReleaseNotes = nullptr;
  QAction* isdnAbout = nullptr;

  QSplitter* splitter_ = nullptr;
  QGroupBox* isdnMessageFrame = nullptr;
  QGroupBox* tesselFrame = nullptr;
  QTreeView* isdnList = nullptr;
  MessageListModel* model_ = nullptr;
  QTextEdit* tesselText = nullptr;
  QLabel* messageCountLabel_ = nullptr;
  QLabel* selectedMessageLabel_ = nullptr;
};

}  // namespace sigrune
