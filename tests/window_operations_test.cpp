#include <unistd.h>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "cli/command_line.h"
#include "window/calls/call_rows.h"
#include "window/calls/outcome_colours.h"
#include "window/find_form.h"
#include "window/where_bar.h"
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
  int Selected() const {
    const QModelIndexList rows = List()->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
  }
  FindForm& Find() { return window_->Find(); }
  void SetFindText(const QString& text) {
    Find().findChild<QLineEdit*>(QStringLiteral("findText"))->setText(text);
  }
};

struct FilterCase {
  const char* entry;
  Rows kept;
  const char* description;
};

TEST_F(WindowOperationsTest, EachFilterEntrySwitchesTheRowsAndTheEntries) {
  OpenThroughMenu(kCalls);
  // The filters that take their key from the selected message stay off without one.
  Trigger("isdnFilter");
  EXPECT_FALSE(Action("isdnFilter")->isChecked());
  EXPECT_EQ(ListedMessages().size(), 7u);
  EXPECT_TRUE(window_->statusBar()->currentMessage().startsWith("Select a message first"));

  const FilterCase cases[] = {
      {"isdnFilter", {1, 2, 4}, "call 0x0005"},
      {"isdnFilterGW", {1, 3, 4, 7}, "gateway 10.1.1.1"},
      {"isdnFilterPRI", {1, 2, 5, 6, 7}, "PRI only"},
      {"isdnFilterH225", {3, 4}, "H225 only"},
  };
  const char* const entries[] = {"isdnFilter", "isdnFilterGW", "isdnFilterPRI", "isdnFilterH225"};
  SelectRow(0);
  const QString pane = Pane()->toPlainText();
  for (const FilterCase& filter : cases) {
    Trigger(filter.entry);
    EXPECT_EQ(ListedMessages(), filter.kept) << filter.entry;
    for (const char* entry : entries) {
      const bool same = std::string_view(entry) == filter.entry;
      EXPECT_EQ(Action(entry)->isChecked(), same) << filter.entry << " " << entry;
      EXPECT_EQ(Action(entry)->isEnabled(), same) << filter.entry << " " << entry;
    }
    EXPECT_EQ(StatusCount(),
              QString("%1 of 7 messages \u00b7 6 calls \u00b7 0 failed").arg(filter.kept.size()));
    EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("filter"))->text(),
              QString("filter: %1").arg(filter.description));
    // The pane keeps its message, selected when the filter keeps it.
    EXPECT_EQ(Selected(), filter.kept[0] == 1 ? 0 : -1) << filter.entry;
    EXPECT_EQ(Pane()->toPlainText(), pane) << filter.entry;

    Trigger(filter.entry);
    EXPECT_EQ(ListedMessages().size(), 7u) << filter.entry;
    for (const char* entry : entries) {
      EXPECT_FALSE(Action(entry)->isChecked()) << filter.entry << " " << entry;
      EXPECT_TRUE(Action(entry)->isEnabled()) << filter.entry << " " << entry;
    }
    EXPECT_EQ(Selected(), 0) << filter.entry;
  }

  // A click on the k-th filtered row shows its message.
  Trigger("isdnFilterH225");
  SelectRow(1);
  EXPECT_EQ(window_->Document().CurrentMessage(), MessageNumber{4});
  EXPECT_TRUE(Pane()->toPlainText().startsWith("CALL_PROC, pd = 8, callref = 0x05\n"));
}

// Eight calls, two failed: call 2 (messages 8 to 12) is 2145550100 -> 1001, cause 34.
TEST_F(WindowOperationsTest, TheCallsTableFiltersSortsSavesAndShowsACallsMessages) {
  auto* calls = window_->findChild<QTreeView*>(QStringLiteral("callList"));
  const auto* count = window_->findChild<QLabel*>(QStringLiteral("callCount"));
  const auto shownCalls = [&] {
    QStringList numbers;
    for (int row = 0; row < calls->model()->rowCount(); ++row) {
      numbers << calls->model()->index(row, 0).data().toString();
    }
    return numbers.join(QLatin1Char(' '));
  };
  OpenThroughMenu(WriteTrace("restarts.txt", "IsdnMsgData=08 02 00 00 46\n"));
  EXPECT_EQ(count->text(), "No calls in this trace");
  OpenThroughMenu(kExamples + "calls-trace.txt");
  EXPECT_EQ(count->text(), "8 calls, 2 failed");
  // The message list's call column, empty for the RESTART.
  EXPECT_EQ(List()->model()->index(0, MessageListModel::Call).data(), "");
  EXPECT_EQ(List()->model()->index(7, MessageListModel::Call).data(), "2");

  // Durations sort as durations: 146.329 s first, not 4.028 s.
  calls->sortByColumn(2, Qt::DescendingOrder);
  EXPECT_EQ(shownCalls(), "1 4 5 8 3 2 7 6");
  calls->sortByColumn(0, Qt::AscendingOrder);
  const QAbstractItemModel* table = calls->model();
  EXPECT_EQ(table->index(1, static_cast<int>(CallColumn::Cause)).data(), "34 No channel available");
  EXPECT_EQ(table->index(1, 0).data(Qt::ForegroundRole).value<QColor>(),
            OutcomeTextColour(CallOutcome::Failed, QGuiApplication::palette()));
  EXPECT_FALSE(table->index(0, 0).data(Qt::ForegroundRole).isValid());
  EXPECT_TRUE(table->index(7, 0).data(Qt::FontRole).value<QFont>().italic());

  auto* outcome = window_->findChild<QComboBox*>(QStringLiteral("callOutcome"));
  auto* text = window_->findChild<QLineEdit*>(QStringLiteral("callFilterText"));
  outcome->setCurrentText("Not answered");
  EXPECT_EQ(shownCalls(), "2 3 4 5 6 7");
  text->setText("2145550");
  EXPECT_EQ(shownCalls(), "2 7");
  EXPECT_EQ(count->text(), "2 of 8 calls, 2 failed");
  outcome->setCurrentText("All calls");
  text->setText("172.16");
  EXPECT_EQ(shownCalls(), "4 7");

  // Calls > Save Calls as CSV writes the calls shown, in the table's order.
  calls->sortByColumn(0, Qt::DescendingOrder);
  const std::string csv = TemporaryPath("window-calls.csv");
  dialogs_.saveAnswers.push_back(QString::fromStdString(csv));
  Trigger("isdnSaveCalls");
  EXPECT_EQ(dialogs_.lastSaveTitle, "Save Calls as CSV");
  const std::string csvText = ReadFile(csv);
  EXPECT_EQ(
      csvText.substr(csvText.find('\n') + 1),
      "7,30,32,3,01/15/2004 10:44:20.640,01/15/2004 10:44:20.655,0.015,172.16.20.33,H225,in,"
      "0x0d30,2145550177,1999,failed,1,Unallocated/unassigned number,server,setup,released\n"
      "4,18,24,4,01/15/2004 10:43:20.310,01/15/2004 10:43:51.120,30.810,172.16.20.33,H225,out,"
      "0x0d2a,1001,9145550199,no answer,19,No answer from user,gateway,setup,released\n");
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            QString::fromStdString("2 calls written to " + csv + "."));
  std::remove(csv.c_str());
  dialogs_.saveAnswers.push_back(QStringLiteral("/nonexistent/calls.csv"));
  Trigger("isdnSaveCalls");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            "Exception caught! Error in isdnSaveCalls. Description: cannot create "
            "/nonexistent/calls.csv: No such file or directory");

  // Activating a call (Enter) shows its messages under This Call, the first one selected, even
  // while another filter is on.
  text->clear();
  Trigger("isdnFilterPRI");
  auto* tabs = window_->findChild<QTabWidget*>(QStringLiteral("isdnTabs"));
  tabs->setCurrentIndex(1);
  calls->setCurrentIndex(table->index(6, 0));  // call 2
  QTest::keyClick(calls->viewport(), Qt::Key_Return);
  Settle();
  EXPECT_EQ(ListedMessages(), Rows({8, 9, 10, 11, 12}));
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_TRUE(Action("isdnFilterCall")->isChecked());
  EXPECT_FALSE(Action("isdnFilterPRI")->isEnabled());
  EXPECT_EQ(StatusCount(), "5 of 40 messages \u00b7 8 calls \u00b7 2 failed");
  EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("filter"))->text(), "filter: call 2");
  const auto* named = window_->findChild<QLabel*>(QStringLiteral("filteredCall"));
  EXPECT_EQ(
      named->text(),
      QString::fromUtf8("Call 2: 2145550100 \u2192 1001, failed, cause 34 No channel available"));

  // Switched off, the whole list returns with the message selected; from the menu it takes the
  // selected message's call.
  Trigger("isdnFilterCall");
  EXPECT_EQ(ListedMessages().size(), 40u);
  EXPECT_EQ(Selected(), 7);
  EXPECT_EQ(named->text(), "");
  SelectRow(0);
  Trigger("isdnFilterCall");
  EXPECT_FALSE(Action("isdnFilterCall")->isChecked());
  EXPECT_EQ(window_->statusBar()->currentMessage(), "Message 1 belongs to no call.");
  SelectRow(39);
  Trigger("isdnFilterCall");
  EXPECT_EQ(ListedMessages(), Rows({36, 37, 38, 39, 40}));
}

TEST_F(WindowOperationsTest, FindThroughTheDialogSelectsAndMarksTheHit) {
  OpenThroughMenu(kPlain);
  SetFindText("Ca");
  Find().doFind();  // "Bearer Capability" in message 3
  Settle();
  ASSERT_EQ(Selected(), 2);
  const QString text = Pane()->toPlainText();
  EXPECT_TRUE(text.startsWith("SETUP"));
  const auto formatAt = [&](qsizetype position) {
    QTextCursor cursor(Pane()->document());
    cursor.setPosition(static_cast<int>(position) + 1);
    return cursor.charFormat();
  };
  int marked = 0;
  for (qsizetype position = text.indexOf("ca", 0, Qt::CaseInsensitive); position >= 0;
       position = text.indexOf("ca", position + 2, Qt::CaseInsensitive)) {
    EXPECT_EQ(formatAt(position).foreground().color(), QColor(255, 0, 0)) << position;
    EXPECT_EQ(formatAt(position).fontWeight(), QFont::Bold) << position;
    ++marked;
  }
  EXPECT_EQ(marked, 4);  // callref, Capability, Calling and Called
  EXPECT_FALSE(Pane()->textCursor().hasSelection());

  // Find Again goes on from the hit; the dialog's direction reaches the search.
  SetFindText("RELEASE");  // messages 16, 17, 19, 20 and 21
  Trigger("isdnFindAgain");
  EXPECT_EQ(Selected(), 15);
  Trigger("isdnFindAgain");
  EXPECT_EQ(Selected(), 16);
  Find().findChild<QRadioButton*>(QStringLiteral("DirUp"))->click();
  EXPECT_FALSE(window_->Document().FindsDown());
  SelectRow(18);
  Find().doFind();
  Settle();
  EXPECT_EQ(Selected(), 18);
  Find().doFind();
  Settle();
  EXPECT_EQ(Selected(), 16);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(WindowOperationsTest, AFailedFindLeavesTheWidgetsAsTheyWere) {
  window_->show();
  OpenThroughMenu(kPlain);
  SelectRow(0);
  List()->scrollToBottom();
  const QString pane = Pane()->toPlainText();
  const int scrolled = List()->verticalScrollBar()->value();
  ASSERT_GT(scrolled, 0);
  SetFindText("no such text");
  Find().doFind();
  Settle();
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(Pane()->toPlainText(), pane);
  EXPECT_EQ(List()->verticalScrollBar()->value(), scrolled);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].title, "Sigrune");
  EXPECT_EQ(dialogs_.messages[0].text, "Search String Not Found");

  // Messages that fail to decode on the way are counted in one box.
  OpenThroughMenu(WriteTrace(
      "failing.txt",
      "IsdnMsgData=8\nIsdnMsgData=08 01 81 45\nIsdnMsgData=0\nIsdnMsgData=08 01 01 4d\n"));
  SetFindText("RELEASE");
  Find().doFind();
  Settle();
  EXPECT_EQ(Selected(), 3);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[1].text,
            "2 messages could not be decoded and were skipped; the first is message 1: "
            "Subscript out of range.");
}

TEST_F(WindowOperationsTest, ExportWritesEveryMessageAndACancelledOneNothing) {
  OpenThroughMenu(kPlain);
  Trigger("isdnFilterH225");
  const QString folder = QString::fromStdString(TemporaryPath("window export"));
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  const std::string path = (folder + "/plain.export").toStdString();
  dialogs_.saveAnswers.push_back(QString::fromStdString(path));
  Trigger("isdnSave");
  EXPECT_EQ(ReadFile(path), ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace.export"));
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            QString::fromStdString("21 messages written to " + path + "."));

  // Cancel pressed at once, on a trace long enough for the worker to hear it whatever else the
  // machine does: messages of 40,000 elements, each a few megabytes of decoded text.
  std::string many;
  for (int message = 0; message < 100; ++message) {
    many += "IsdnMsgData=08 01 01 05 " + std::string(80'000, '9') + "\n";
  }
  OpenThroughMenu(WriteTrace("many.txt", many));
  WriteFile(path, "old contents");
  dialogs_.saveAnswers.push_back(QString::fromStdString(path));
  Action("isdnSave")->trigger();
  window_->CancelOperation();
  Settle();
  EXPECT_EQ(ReadFile(path), "old contents");
  EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"plain.export"});
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            QString::fromStdString("Export cancelled; nothing was written to " + path + "."));
  QDir(folder).removeRecursively();

  dialogs_.saveAnswers.push_back(QStringLiteral("/nonexistent/export.txt"));
  Trigger("isdnSave");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            "Exception caught! Error in isdnSave. Description: cannot create "
            "/nonexistent/export.txt: No such file or directory");

  // The messages the list shows, or the calls selected in the calls table, as a capture.
  OpenThroughMenu(kPlain);
  Trigger("isdnFilterH225");
  const std::string capture = TemporaryPath("window.pcap");
  dialogs_.saveAnswers.push_back(QString::fromStdString(capture));
  Trigger("isdnExportPcap");
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            QString::fromStdString("5 messages written to " + capture + "."));
  auto* calls = window_->findChild<QTreeView*>(QStringLiteral("callList"));
  calls->selectionModel()->select(calls->model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  dialogs_.saveAnswers.push_back(QString::fromStdString(capture));
  calls->findChild<QAction*>(QStringLiteral("exportCallsPcap"))->trigger();
  Settle();
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            QString::fromStdString("8 messages written to " + capture + "."));
  EXPECT_EQ(ReadFile(capture).substr(0, 4), "\x4d\x3c\xb2\xa1");
  std::remove(capture.c_str());

  OpenThroughMenu(WriteTrace("undecodable.txt", "IsdnMsgData=8\nIsdnMsgData=08 01 81 45\n"));
  const std::string undecodable = TemporaryPath("window-undecodable.export");
  dialogs_.saveAnswers.push_back(QString::fromStdString(undecodable));
  Trigger("isdnSave");
  std::remove(undecodable.c_str());
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[1].text,
            QString::fromStdString("2 messages written to " + undecodable +
                                   ". 1 message could not be decoded (message 1: Subscript out "
                                   "of range); its record says \"Undecodable message\" and why."));
}

TEST_F(WindowOperationsTest, JumpToLineStartsTheFirstEditorFoundWithTheLine) {
  const QString folder = QString::fromStdString(TemporaryPath("editor bin"));
  QDir().mkpath(folder);
  const QString editor = folder + "/gnome-text-editor";
  WriteFile(editor.toStdString(), "#!/bin/sh\n");
  QFile::setPermissions(editor, QFile::ReadOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", folder.toLocal8Bit() + ":" + path);

  Trigger("isdnGoTo");  // nothing open: nothing started
  EXPECT_TRUE(launcher_.programs.isEmpty());

  const QString trace = WriteTrace("trace with blanks.txt", ReadFile(kPlain.toStdString()));
  OpenThroughMenu(trace);
  Trigger("isdnFilterH225");
  SelectRow(1);  // message 7, its header on line 22
  Trigger("isdnGoTo");
  ASSERT_EQ(launcher_.programs.size(), 1);
  EXPECT_EQ(launcher_.programs[0], editor);
  EXPECT_EQ(launcher_.programArguments[0], QStringList({"+22", trace}));

  // Neither an editor nor the desktop's program: the line is named to the user.
  qputenv("PATH", "/nonexistent");
  launcher_.documentsOpen = false;
  OpenThroughMenu(trace);
  SelectRow(6);
  Trigger("isdnGoTo");
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
  Trigger("isdnFilterH225");
  SelectRow(100);  // message 202
  List()->scrollToTop();
  List()->verticalScrollBar()->setValue(60);
  std::ofstream(trace.toStdString(), std::ios::app)
      << "In  Message -- H225\nIsdnMsgData=08 01 01 4d\n";
  Trigger("isdnReload");
  EXPECT_EQ(ListedMessages().size(), 151u);
  EXPECT_TRUE(Action("isdnFilterH225")->isChecked());
  EXPECT_EQ(Selected(), 100);
  EXPECT_EQ(window_->Document().CurrentMessage(), MessageNumber{202});
  EXPECT_TRUE(Pane()->toPlainText().startsWith("SETUP"));
  EXPECT_EQ(List()->verticalScrollBar()->value(), 60);

  // Once the selected message is gone the list starts at its top, as with another trace.
  WriteFile(trace.toStdString(), messages.substr(0, messages.size() / 2));
  Trigger("isdnReload");
  EXPECT_EQ(ListedMessages().size(), 75u);
  EXPECT_EQ(Selected(), -1);
  EXPECT_EQ(List()->verticalScrollBar()->value(), 0);
  List()->scrollToBottom();
  SelectRow(70);
  OpenThroughMenu(WriteTrace("other.txt", messages));
  EXPECT_EQ(List()->verticalScrollBar()->value(), 0);
  EXPECT_EQ(Selected(), -1);
  EXPECT_EQ(Pane()->toPlainText(), "");
}

// The filter bar as a user drives it: Ctrl+/, keys, Esc, the menu filters beside it.
const std::string kWhereTrace = SourceFile("tests/data/where-trace.txt");

class FilterBar : public WindowTest {
 protected:
  WhereBar* Bar() const { return window_->findChild<WhereBar*>(); }
  void Type(const QString& keys) {
    QTest::keyClicks(Bar()->lineEdit(), keys);
    Settle();
  }
  QString Rows() const {
    QString lines;
    for (int row = 0; row < List()->model()->rowCount(); ++row) {
      lines += RowLine(row) + QLatin1Char('\n');
    }
    return lines;
  }
  static QString CliRows(std::vector<std::string_view> arguments) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    arguments.insert(arguments.begin(), {"list", kWhereTrace});
    EXPECT_EQ(RunCommandLine(arguments, nullptr, out, err), 0);
    ReadBack(err);
    return QString::fromLatin1(ReadBack(out));
  }
};

TEST_F(FilterBar, ShowsTheCommandLinesRowsBesideEachMenuFilterAndKeepsThemOnAnError) {
  window_->show();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  ASSERT_TRUE(window_->OpenTraceFile(QString::fromStdString(kWhereTrace)));
  Settle();
  QTest::keyClick(window_.get(), Qt::Key_Slash, Qt::ControlModifier);
  ASSERT_TRUE(Bar()->lineEdit()->hasFocus());
  Type(QStringLiteral("-type:setup from:10:40"));
  EXPECT_EQ(Rows(), CliRows({"--where", "-type:setup from:10:40"}));
  EXPECT_EQ(StatusCount(),
            QString::fromUtf8("6 of 10 messages \u00b7 3 calls \u00b7 0 failed \u00b7 "
                              "-type:setup from:10:40"));

  Trigger("isdnFilterPRI");
  const QString both = CliRows({"--pri", "--where", "-type:setup from:10:40"});
  EXPECT_EQ(Rows(), both);
  EXPECT_EQ(StatusCount(),
            QString::fromUtf8("5 of 10 messages \u00b7 3 calls \u00b7 0 failed \u00b7 "
                              "-type:setup from:10:40"));
  EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("filter"))->text(), "filter: PRI only");

  const QColor base = Bar()->lineEdit()->palette().color(QPalette::Base);
  Type(QStringLiteral(" tpye:x"));
  EXPECT_EQ(Rows(), both);
  EXPECT_EQ(Bar()->lineEdit()->toolTip(), QStringLiteral("\"tpye:x\": unknown field \"tpye\""));
  EXPECT_NE(Bar()->lineEdit()->palette().color(QPalette::Base), base);

  QTest::keyClick(Bar()->lineEdit(), Qt::Key_Escape);
  Settle();
  EXPECT_EQ(Bar()->Text(), QString());
  EXPECT_EQ(Bar()->lineEdit()->toolTip(), QString());
  EXPECT_EQ(Rows(), CliRows({"--pri"}));
  Trigger("isdnFilterPRI");
  EXPECT_EQ(StatusCount(), QString::fromUtf8("10 messages \u00b7 3 calls \u00b7 0 failed"));
}

// A read that fails after some of its messages were read, or after its first files were, leaves
// the trace that was open as it was shown: rows, filters, selection and message.
TEST_F(FilterBar, AReadThatFailsPartWayKeepsTheOpenTraceWithItsFilters) {
  ASSERT_TRUE(window_->OpenTraceFile(QString::fromStdString(kWhereTrace)));
  Settle();
  Type(QStringLiteral("-type:setup"));
  Trigger("isdnFilterPRI");
  SelectRow(1);
  const auto view = [this] {
    return QStringList{window_->windowTitle(), Rows(),
                       StatusCount(),          QString::number(List()->currentIndex().row()),
                       Pane()->toPlainText(),  Bar()->Text()};
  };
  const QStringList before = view();
  ASSERT_EQ(before[3], "1");

  std::string text;
  for (int copy = 0; copy < 200; ++copy) {
    text += ReadFile(kWhereTrace);
  }
  const std::string cut = WriteTrace("cut.txt", text).toStdString();
  ASSERT_EQ(std::system(("gzip -f '" + cut + "'").c_str()), 0);
  const std::string gzip = cut + ".gz";
  ASSERT_EQ(::truncate(gzip.c_str(), std::filesystem::file_size(gzip) - 8), 0);
  const QString first = WriteTrace("first.txt", ReadFile(kWhereTrace));
  const QString folder = QString::fromStdString(TemporaryPath("folder"));
  QDir().mkpath(folder);
  OpenThroughMenu(QString::fromStdString(gzip));
  OpenThroughMenu(QStringList{first, folder});
  EXPECT_EQ(view(), before);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(
      dialogs_.messages[0].text,
      QString::fromStdString("Exception caught! Error in isdnOpen. Description: cannot read " +
                             gzip + ": damaged gzip data at offset " +
                             std::to_string(std::filesystem::file_size(gzip)) +
                             " (the data ends within a member)"));
  EXPECT_EQ(dialogs_.messages[1].text, "Exception caught! Error in isdnOpen. Description: " +
                                           folder + " is not a regular file");
}

TEST_F(FilterBar, OffersTheLastTwentyExpressionsEnteredNewestFirst) {
  for (int k = 1; k <= 22; ++k) {
    Bar()->lineEdit()->clear();
    QTest::keyClicks(Bar()->lineEdit(), QStringLiteral("call:%1").arg(k % 21 + 1));  // 2 twice
    QTest::keyClick(Bar()->lineEdit(), Qt::Key_Return);
  }
  QTest::keyClicks(Bar()->lineEdit(), QStringLiteral(" \"unclosed"));
  QTest::keyClick(Bar()->lineEdit(), Qt::Key_Return);  // not an expression: not offered
  Settle();
  const WhereBar another;
  ASSERT_EQ(another.count(), 20);
  EXPECT_EQ(another.itemText(0), QStringLiteral("call:2"));
  EXPECT_EQ(another.itemText(1), QStringLiteral("call:1"));
  EXPECT_EQ(another.itemText(2), QStringLiteral("call:21"));
  EXPECT_EQ(another.itemText(19), QStringLiteral("call:4"));
  EXPECT_EQ(another.Text(), QString());
}

// Quitting while an export runs stops it on its way out: the old file stays, and no temporary
// file is left beside it.
TEST_F(WindowOperationsTest, QuittingDuringAnExportLeavesTheTargetAsItWas) {
  QDir folder(QString::fromStdString(::testing::TempDir()) +
              QStringLiteral("sigrune-%1-quit-export").arg(QCoreApplication::applicationPid()));
  folder.removeRecursively();
  QDir().mkpath(folder.path());
  std::string many;
  for (int message = 0; message < 100; ++message) {
    many += "IsdnMsgData=08 01 01 05 " + std::string(80'000, '9') + "\n";
  }
  OpenThroughMenu(
      QString::fromStdString(WriteFile(folder.filePath("many.txt").toStdString(), many)));
  const std::string path = WriteFile(folder.filePath("out.txt").toStdString(), "old contents");
  dialogs_.saveAnswers.push_back(QString::fromStdString(path));
  Action("isdnSave")->trigger();
  const auto entries = [&] {
    return folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  };
  QElapsedTimer waited;
  waited.start();
  while (entries().size() < 3 && waited.elapsed() < 60'000) {
    QThread::msleep(1);
  }
  ASSERT_EQ(entries().size(), 3) << "no temporary file within 60 s";
  window_.reset();
  EXPECT_EQ(entries(), (QStringList{"many.txt", "out.txt"}));
  const std::string kept = ReadFile(path);
  EXPECT_TRUE(kept == "old contents") << kept.size() << " bytes";  // not megabytes of text
  folder.removeRecursively();
}

}  // namespace
}  // namespace sigrune
