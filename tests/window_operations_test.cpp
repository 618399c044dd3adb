#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <cstdio>

#include "window/find_form.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

// Calls 0x0005/0x8005 (also as 0x05), 0x85 and 0x0085, 0x8a0c and 0x0A0C, on gateways 10.1.1.1
// and 10.1.1.10, PRI and H.225.
const QString kCalls = QStringLiteral(SIGRUNE_SOURCE_DIR "/tests/data/calls-trace.txt");

using Rows = std::vector<std::size_t>;

class WindowOperationsTest : public WindowTest {
 protected:
  Rows ListedMessages() const {
    Rows messages;
    for (int row = 0; row < List()->model()->rowCount(); ++row) {
      messages.push_back(
          List()->model()->index(row, 0).data(MessageListModel::MessageNumberRole).toULongLong());
    }
    return messages;
  }
  int Selected() const { return window_->SelectedRow(); }
  QString Status() const {
    return window_->findChild<QStatusBar*>()->findChildren<QLabel*>().constFirst()->text();
  }
  FindForm& Find() { return window_->Find(); }
  void SetFindText(const QString& text) {
    Find().findChild<QLineEdit*>(QStringLiteral("findText"))->setText(text);
  }
  void ClickDirection(const char* name) {
    Find().findChild<QRadioButton*>(QLatin1String(name))->click();
  }
};

TEST_F(WindowOperationsTest, FiltersKeepTheirLinesAndSwitchTheOtherEntries) {
  OpenThroughMenu(kCalls);
  QAction* selectedCall = Action("isdnFilter");
  QAction* gateway = Action("isdnFilterGW");
  QAction* pri = Action("isdnFilterPRI");
  QAction* h225 = Action("isdnFilterH225");

  pri->trigger();
  EXPECT_EQ(ListedMessages(), (Rows{1, 2, 5, 6, 7}));
  EXPECT_EQ(window_->FilteredIndexMap(), (Rows{1, 2, 5, 6, 7}));
  EXPECT_TRUE(pri->isChecked());
  EXPECT_TRUE(pri->isEnabled());
  for (QAction* other : {selectedCall, gateway, h225}) {
    EXPECT_FALSE(other->isEnabled());
  }
  EXPECT_EQ(Status(), "5 of 7 messages, filter: PRI only");
  pri->trigger();
  EXPECT_FALSE(pri->isChecked());
  EXPECT_EQ(ListedMessages().size(), 7u);
  for (QAction* entry : {selectedCall, gateway, pri, h225}) {
    EXPECT_TRUE(entry->isEnabled());
  }

  // Both sides of a call, whatever the number of digits and their case.
  const std::pair<int, Rows> calls[] = {{0, {1, 2, 4}}, {2, {1, 3, 4, 5}}, {6, {6, 7}}};
  for (const auto& [row, kept] : calls) {
    SelectRow(row);
    selectedCall->trigger();
    EXPECT_EQ(ListedMessages(), kept) << row;
    selectedCall->trigger();
  }

  // The gateway itself, not every gateway whose address begins like it.
  SelectRow(0);
  gateway->trigger();
  EXPECT_EQ(ListedMessages(), (Rows{1, 3, 4, 7}));
  EXPECT_EQ(Status(), "4 of 7 messages, filter: gateway 10.1.1.1");

  // A click on the k-th filtered line shows message filteredIndexMap(k).
  SelectRow(2);
  EXPECT_EQ(window_->CurrentMessageNumber(), 4u);
  EXPECT_TRUE(Pane()->toPlainText().startsWith("CALL_PROC, pd = 8, callref = 0x05\n"));
  gateway->trigger();
  EXPECT_EQ(Selected(), 3);  // message 4 again, in the full list
}

TEST_F(WindowOperationsTest, SwitchingOnKeepsThePaneAndSelectsItsMessageWhenKept) {
  OpenThroughMenu(kCalls);
  SelectRow(4);  // message 5, PRI
  const QString pane = Pane()->toPlainText();
  Action("isdnFilterPRI")->trigger();
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(Pane()->toPlainText(), pane);
  Action("isdnFilterPRI")->trigger();
  Action("isdnFilterH225")->trigger();
  EXPECT_EQ(Selected(), -1);
  EXPECT_EQ(Pane()->toPlainText(), pane);
}

TEST_F(WindowOperationsTest, FiltersNeedingASelectedLineStayOffWithoutOne) {
  OpenThroughMenu(kCalls);
  Action("isdnFilter")->trigger();
  EXPECT_FALSE(Action("isdnFilter")->isChecked());
  EXPECT_EQ(ListedMessages().size(), 7u);
  EXPECT_TRUE(Action("isdnFilterGW")->isEnabled());
  EXPECT_TRUE(window_->statusBar()->currentMessage().contains("Select a message first"));
  Action("isdnFilterGW")->trigger();
  EXPECT_FALSE(Action("isdnFilterGW")->isChecked());
}

TEST_F(WindowOperationsTest, PriOnlyOnATraceWithoutPriLeavesTheListEmpty) {
  OpenThroughMenu(WriteTrace("h225.txt", "In  Message -- H225\nIsdnMsgData=08 01 01 05\n"));
  Action("isdnFilterPRI")->trigger();
  EXPECT_TRUE(Action("isdnFilterPRI")->isChecked());
  EXPECT_EQ(ListedMessages(), Rows{});
  Action("isdnFilterPRI")->trigger();
  EXPECT_EQ(ListedMessages(), Rows{1});
}

TEST_F(WindowOperationsTest, OpenEndsAFilterOnlyWhenItSucceeds) {
  OpenThroughMenu(kCalls);
  Action("isdnFilterH225")->trigger();
  OpenThroughMenu(std::nullopt);
  OpenThroughMenu(QStringLiteral("/nonexistent/trace.txt"));
  EXPECT_TRUE(Action("isdnFilterH225")->isChecked());
  EXPECT_FALSE(Action("isdnFilterPRI")->isEnabled());
  EXPECT_EQ(ListedMessages(), (Rows{3, 4}));

  OpenThroughMenu(kPlain);
  EXPECT_FALSE(Action("isdnFilterH225")->isChecked());
  EXPECT_TRUE(Action("isdnFilterPRI")->isEnabled());
  EXPECT_EQ(ListedMessages().size(), 21u);
}

TEST_F(WindowOperationsTest, ExportWritesEveryMessageWhateverTheFilter) {
  OpenThroughMenu(kPlain);
  Action("isdnFilterH225")->trigger();
  const std::string path = ::testing::TempDir() + "window-export.txt";
  dialogs_.saveAnswers.push_back(QString::fromStdString(path));
  Action("isdnSave")->trigger();
  EXPECT_EQ(ReadFile(path), ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace.export"));
  std::remove(path.c_str());

  dialogs_.saveAnswers.push_back(std::nullopt);
  Action("isdnSave")->trigger();
  dialogs_.saveAnswers.push_back(QStringLiteral("/nonexistent/export.txt"));
  Action("isdnSave")->trigger();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            "Exception caught! Error in isdnSave. Description: cannot create "
            "/nonexistent/export.txt: No such file or directory");
}

TEST_F(WindowOperationsTest, ExportBeforeAnyTraceCreatesAnEmptyFile) {
  const std::string path = ::testing::TempDir() + "window-empty-export.txt";
  std::ofstream(path) << "old contents";
  dialogs_.saveAnswers.push_back(QString::fromStdString(path));
  Action("isdnSave")->trigger();
  EXPECT_EQ(ReadFile(path), "");
  std::remove(path.c_str());
}

TEST_F(WindowOperationsTest, ExportReportsUndecodableMessagesAndRefusesTheTrace) {
  const QString trace = WriteTrace("undecodable.txt", "IsdnMsgData=8\nIsdnMsgData=08 01 81 45\n");
  OpenThroughMenu(trace);
  const std::string path = ::testing::TempDir() + "window-undecodable.export";
  dialogs_.saveAnswers.push_back(QString::fromStdString(path));
  Action("isdnSave")->trigger();
  EXPECT_NE(ReadFile(path).find("DISCONNECT"), std::string::npos);
  std::remove(path.c_str());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            QString::fromStdString("2 messages written to " + path +
                                   ". 1 message could not be decoded (message 1: Subscript out "
                                   "of range); its record says \"Undecodable message\" and why."));

  dialogs_.saveAnswers.push_back(QDir(QFileInfo(trace).path()).filePath("./undecodable.txt"));
  Action("isdnSave")->trigger();
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_TRUE(dialogs_.messages[1].text.endsWith("it is the trace being exported"));
  EXPECT_EQ(ReadFile(trace.toStdString()), "IsdnMsgData=8\nIsdnMsgData=08 01 81 45\n");
}

TEST_F(WindowOperationsTest, ACancelledExportLeavesTheOldFileAndNoOther) {
  OpenThroughMenu(kPlain);
  const QString folder = QString::fromStdString(::testing::TempDir()) + "cancelled export";
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  const std::string path = (folder + "/old.txt").toStdString();
  std::ofstream(path) << "old contents";
  // Pressing Cancel as soon as the export looks at its dialog.
  QTimer::singleShot(0, window_.get(), [this] {
    for (QProgressDialog* progress : window_->findChildren<QProgressDialog*>()) {
      progress->cancel();
    }
  });
  dialogs_.saveAnswers.push_back(QString::fromStdString(path));
  Action("isdnSave")->trigger();
  EXPECT_EQ(ReadFile(path), "old contents");
  EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"old.txt"});
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            QString::fromStdString("Export cancelled; nothing was written to " + path + "."));
  QDir(folder).removeRecursively();
}

TEST_F(WindowOperationsTest, FindWalksDownOrUpFromTheSelectedRowWithoutWrapping) {
  OpenThroughMenu(kPlain);
  SetFindText("RELEASE");  // messages 16, 17, 19, 20 and 21

  // Down from nothing selected starts at row 0; again goes on after the hit.
  Find().doFind();
  EXPECT_EQ(Selected(), 15);
  Action("isdnFindAgain")->trigger();
  EXPECT_EQ(Selected(), 16);
  Find().doFind();
  Find().doFind();
  Find().doFind();
  EXPECT_EQ(Selected(), 20);
  Find().doFind();  // no wrap at the end
  EXPECT_EQ(Selected(), 20);
  EXPECT_EQ(dialogs_.messages.back().text, "Search String Not Found");
  EXPECT_EQ(dialogs_.messages.back().title, "Sigrune");
  EXPECT_EQ(window_->CurrentMessageNumber(), 21u);

  // Up continues before the hit; after a direction click the selected row counts again.
  ClickDirection("DirUp");
  Find().doFind();
  EXPECT_EQ(Selected(), 20);
  Find().doFind();
  EXPECT_EQ(Selected(), 19);
  SelectRow(2);
  Find().doFind();  // up from row 2: no hit before it, no wrap
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(dialogs_.messages.size(), 2u);

  // Case-sensitive: the decoded text says "SETUP", never "Setup".
  ClickDirection("DirDown");
  SetFindText("Setup");
  Find().doFind();
  EXPECT_EQ(dialogs_.messages.size(), 3u);
}

TEST_F(WindowOperationsTest, AnEmptyTextHitsTheStartRowAndMovesOnWhenRepeated) {
  OpenThroughMenu(kPlain);
  SelectRow(0);
  Action("isdnFindAgain")->trigger();  // the dialog made unseen: empty text, down
  EXPECT_FALSE(Find().isVisible());
  EXPECT_EQ(Selected(), 1);
  Action("isdnFindAgain")->trigger();
  EXPECT_EQ(Selected(), 2);
  ClickDirection("DirDown");
  Find().doFind();
  EXPECT_EQ(Selected(), 2);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(WindowOperationsTest, FindSearchesTheFilteredRowsAndAFailedSearchChangesNothing) {
  window_->show();
  OpenThroughMenu(kPlain);
  Action("isdnFilterH225")->trigger();
  SetFindText("Cause");
  Find().doFind();
  EXPECT_EQ(Selected(), 4);
  EXPECT_EQ(window_->CurrentMessageNumber(), 21u);
  SelectRow(0);
  const QString pane = Pane()->toPlainText();
  const int scrolled = List()->verticalScrollBar()->value();
  SetFindText("no such text");
  ClickDirection("DirDown");
  Find().doFind();
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(Pane()->toPlainText(), pane);
  EXPECT_EQ(List()->verticalScrollBar()->value(), scrolled);
  EXPECT_EQ(window_->CurrentMessageNumber(), 6u);  // the message shown, not the last tested
  Action("isdnFilterH225")->trigger();
  EXPECT_EQ(Selected(), 5);
}

TEST_F(WindowOperationsTest, HitsAreMarkedWhateverTheirCaseAndThePaneSelectionStays) {
  OpenThroughMenu(kPlain);
  SetFindText("Ca");
  Find().doFind();  // "Bearer Capability" in message 3
  ASSERT_EQ(Selected(), 2);
  const QString text = Pane()->toPlainText();
  const auto formatAt = [&](int position) {
    QTextCursor cursor(Pane()->document());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
  };
  int marked = 0;
  for (int position = text.indexOf("ca", 0, Qt::CaseInsensitive); position >= 0;
       position = text.indexOf("ca", position + 2, Qt::CaseInsensitive)) {
    EXPECT_EQ(formatAt(position).foreground().color(), QColor(255, 0, 0)) << position;
    EXPECT_EQ(formatAt(position).fontWeight(), QFont::Bold) << position;
    ++marked;
  }
  EXPECT_EQ(marked, 4);  // callref, Capability, Calling and Called
  EXPECT_FALSE(formatAt(static_cast<int>(text.indexOf("SETUP"))).fontWeight() == QFont::Bold);
  EXPECT_FALSE(Pane()->textCursor().hasSelection());

  // The dump is marked too.
  QTextCursor selection(Pane()->document());
  selection.setPosition(2);
  selection.setPosition(6, QTextCursor::KeepAnchor);
  Pane()->setTextCursor(selection);
  HighlightMatches(*Pane(), "a9 83", QColor(255, 0, 0), true);
  const int inDump = static_cast<int>(text.indexOf("A9 83 97 6C"));
  EXPECT_EQ(formatAt(inDump).foreground().color(), QColor(255, 0, 0));
  EXPECT_EQ(Pane()->textCursor().selectionStart(), 2);
  EXPECT_EQ(Pane()->textCursor().selectionEnd(), 6);
}

TEST_F(WindowOperationsTest, MessagesThatFailDuringASearchAreCountedInOneBox) {
  OpenThroughMenu(WriteTrace(
      "failing.txt",
      "IsdnMsgData=8\nIsdnMsgData=08 01 81 45\nIsdnMsgData=0\nIsdnMsgData=08 01 01 4d\n"));
  SetFindText("RELEASE");
  Find().doFind();
  EXPECT_EQ(Selected(), 3);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            "2 messages could not be decoded and were skipped; the first is message 1: "
            "Subscript out of range.");
}

TEST_F(WindowOperationsTest, JumpToLineStartsTheFirstEditorFoundWithTheLine) {
  const QString folder = QString::fromStdString(::testing::TempDir()) + "editor bin";
  QDir().mkpath(folder);
  const QString editor = folder + "/gnome-text-editor";
  std::ofstream(editor.toStdString()) << "#!/bin/sh\n";
  QFile::setPermissions(editor, QFile::ReadOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", folder.toLocal8Bit() + ":" + path);

  Action("isdnGoTo")->trigger();  // nothing open: nothing started
  EXPECT_TRUE(launcher_.programs.isEmpty());

  const QString trace = WriteTrace("trace with blanks.txt", ReadFile(kPlain.toStdString()));
  OpenThroughMenu(trace);
  Action("isdnFilterH225")->trigger();
  SelectRow(1);  // message 7, its header on line 22
  Action("isdnGoTo")->trigger();
  ASSERT_EQ(launcher_.programs.size(), 1);
  EXPECT_EQ(launcher_.programs[0], editor);
  EXPECT_EQ(launcher_.programArguments[0], QStringList({"+22", trace}));

  // A message without a header line opens at line 1.
  OpenThroughMenu(WriteTrace("headerless.txt", "x\nIsdnMsgData=08 01 01 05\n"));
  SelectRow(0);
  Action("isdnGoTo")->trigger();
  EXPECT_EQ(launcher_.programArguments[1][0], "+1");
  EXPECT_TRUE(window_->statusBar()->currentMessage().contains("no header line"));

  // Neither an editor nor the desktop's program: the line is named to the user.
  qputenv("PATH", "/nonexistent");
  launcher_.documentsOpen = false;
  OpenThroughMenu(trace);
  SelectRow(6);
  Action("isdnGoTo")->trigger();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            "No text editor could open " + trace + ". Message 7 is at line 22.");
  qputenv("PATH", path);
  QFile::remove(editor);
}

TEST_F(WindowOperationsTest, ReloadReadsTheTraceAgainKeepingWhatTheUserSaw) {
  std::string messages;
  for (int message = 0; message < 150; ++message) {
    messages +=
        "In  Message -- PriSetupMsg\nIsdnMsgData=08 01 01 05\n"
        "In  Message -- H225SetupMsg\nIsdnMsgData=08 01 01 05\n";
  }
  const QString trace = WriteTrace("reload.txt", messages);
  window_->show();
  OpenThroughMenu(trace);
  Action("isdnFilterH225")->trigger();
  SelectRow(100);  // message 202
  List()->scrollToTop();
  List()->verticalScrollBar()->setValue(60);
  std::ofstream(trace.toStdString(), std::ios::app)
      << "In  Message -- H225\nIsdnMsgData=08 01 01 4d\n";
  QString title;
  QTimer::singleShot(0, [&] { title = window_->findChild<QProgressDialog*>()->windowTitle(); });
  Action("isdnReload")->trigger();
  EXPECT_EQ(title, "Reload");
  EXPECT_EQ(ListedMessages().size(), 151u);
  EXPECT_TRUE(Action("isdnFilterH225")->isChecked());
  EXPECT_EQ(Selected(), 100);
  EXPECT_EQ(window_->CurrentMessageNumber(), 202u);
  EXPECT_EQ(List()->verticalScrollBar()->value(), 60);

  // Once the selected message is gone the list starts at its top, as with another trace.
  std::ofstream(trace.toStdString()) << messages.substr(0, messages.size() / 2);
  Action("isdnReload")->trigger();
  EXPECT_EQ(ListedMessages().size(), 75u);
  EXPECT_EQ(Selected(), -1);
  EXPECT_EQ(List()->verticalScrollBar()->value(), 0);
  List()->scrollToBottom();
  OpenThroughMenu(WriteTrace("other.txt", messages));
  EXPECT_EQ(List()->verticalScrollBar()->value(), 0);
}

}  // namespace
}  // namespace sigrune
