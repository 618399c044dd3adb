// Find All, Go to, the list's selection and right-click menu, the status bar, and what the window
// remembers between runs.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/user_settings.h"
#include "window/count_text.h"
#include "window/find_all_panel.h"
#include "window/find_form.h"
#include "window/ladder/lane_names_store.h"
#include "window/recent_traces.h"
#include "window/where_bar.h"
#include "window/window_settings.h"
#include "window_fixture.h"

namespace sigrune {
namespace {

// Eight calls, two failed; call 2 (messages 8 to 12) failed.
const QString kCalls = kExamples + QStringLiteral("calls-trace.txt");

class WindowDesktopTest : public WindowTest {
 protected:
  void FindAll(const QString& text, bool matchCase) {
    window_->Find().findChild<QLineEdit*>(QStringLiteral("findText"))->setText(text);
    window_->Find().findChild<QCheckBox*>(QStringLiteral("MatchCase"))->setChecked(matchCase);
    window_->Find().findChild<QPushButton*>(QStringLiteral("FindAllButton"))->click();
    Settle();
  }
  FindAllPanel* Panel() const { return window_->findChild<FindAllPanel*>(); }
  QString Cell(const QAbstractItemModel* model, int row, int column) const {
    return model->index(row, column).data().toString();
  }
  QString Label(const char* name) const {
    return window_->findChild<QLabel*>(QLatin1String(name))->text();
  }
  std::size_t Current() const { return window_->Document().CurrentMessage().value; }
  // Marked by a find: bold and red.
  bool MarkedAt(qsizetype position) const {
    QTextCursor cursor(Pane()->document());
    cursor.setPosition(static_cast<int>(position) + 1);
    return cursor.charFormat().fontWeight() == QFont::Bold;
  }
  void SelectRows(int first, int last) {
    const QItemSelection rows(List()->model()->index(first, 0), List()->model()->index(last, 0));
    List()->selectionModel()->select(
        rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Settle();
  }
  QMenu* RightClickRow(int row) {
    const QRect cell = List()->visualRect(List()->model()->index(row, 0));
    emit List()->customContextMenuRequested(cell.center());
    Settle();
    return window_->findChild<QMenu*>(QStringLiteral("messageMenu"));
  }
  // The window as the next run makes it, from what this one saved when it closed.
  void Restart() {
    window_->close();
    window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  }
};

TEST_F(WindowDesktopTest, FindAllListsTheMessagesAndShowsTheChosenOneMarked) {
  OpenThroughMenu(kPlain);
  EXPECT_FALSE(Panel()->isVisible());
  window_->show();

  FindAll("a2", true);  // only "0x8090A2" of message 3, and "A2" in dumps
  EXPECT_EQ(Panel()->Title(), "0 messages match");
  FindAll("cause i", false);
  EXPECT_EQ(Panel()->Title(), "3 messages match");
  const QAbstractItemModel* results = Panel()->View()->model();
  ASSERT_EQ(results->rowCount(), 3);
  EXPECT_EQ(Cell(results, 0, 0), "15");
  EXPECT_EQ(Cell(results, 0, 1),
            "01/15/2004 10:24:06.095  192.168.100.200  In  PRI  DISCONNECT  0x8003");
  EXPECT_EQ(Cell(results, 2, 2), "Cause i = 0x8090 - Normal call clearing ");

  FindAll("a2", false);
  ASSERT_EQ(results->rowCount(), 1);
  EXPECT_EQ(Panel()->Title(), "1 message matches");
  EXPECT_EQ(Cell(results, 0, 2),
            QString::fromLatin1("Bearer Capability i = 0x8090A2, ITU-T standard, Speech, Circuit "
                                "mode, 64k, \xb5-law"));
  Panel()->View()->setCurrentIndex(results->index(0, 0));
  Settle();
  EXPECT_EQ(Current(), 3u);
  EXPECT_EQ(List()->currentIndex().row(), 2);
  // Marked in the decoded text and in the dump alike.
  const QString text = Pane()->toPlainText();
  const qsizetype dump = text.indexOf("Entire Message");
  EXPECT_TRUE(MarkedAt(text.indexOf("A2")));
  EXPECT_TRUE(MarkedAt(text.indexOf("A2", dump)));
  EXPECT_FALSE(MarkedAt(text.indexOf("Speech")));

  // Another trace: the results named the old one's messages.
  OpenThroughMenu(kCalls);
  EXPECT_FALSE(Panel()->isVisible());
  EXPECT_EQ(results->rowCount(), 0);
}

TEST_F(WindowDesktopTest, ShiftF3FindsAgainAgainstTheDialogsDirection) {
  OpenThroughMenu(kPlain);
  window_->Find().findChild<QLineEdit*>(QStringLiteral("findText"))->setText("RELEASE");
  SelectRow(0);
  Trigger("isdnFindAgain");  // messages 16, 17, 19, 20, 21 hold it
  Trigger("isdnFindAgain");
  EXPECT_EQ(Current(), 17u);
  Trigger("isdnFindBackwards");
  EXPECT_EQ(Current(), 16u);
  Trigger("isdnFindBackwards");
  EXPECT_EQ(Current(), 16u);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, "Search String Not Found");
  Trigger("isdnFindAgain");
  EXPECT_EQ(Current(), 17u);
  EXPECT_TRUE(window_->Find().FindsDown());
}

TEST_F(WindowDesktopTest, GoToTakesANumberOrATimeAndTheKeysDriveTheList) {
  OpenThroughMenu(kPlain);
  window_->show();
  const auto goTo = [&](const QString& text) {
    Trigger("isdnGoToMessage");
    auto* dialog = window_->findChild<QDialog*>(QStringLiteral("GoToDialog"));
    dialog->findChild<QLineEdit*>(QStringLiteral("goToText"))->setText(text);
    dialog->accept();
    Settle();
    return dialog->isVisible() ? dialog->findChild<QLabel*>(QStringLiteral("goToProblem"))->text()
                               : QString();
  };
  EXPECT_EQ(goTo("12"), "");
  EXPECT_EQ(Current(), 12u);
  EXPECT_EQ(List()->currentIndex().row(), 11);
  EXPECT_EQ(goTo("10:23:47.4"), "");
  EXPECT_EQ(Current(), 7u);
  EXPECT_EQ(goTo("99"), "There is no message 99: the trace has 21 messages.");
  EXPECT_EQ(Current(), 7u);
  window_->findChild<QDialog*>(QStringLiteral("GoToDialog"))->reject();

  QTest::keyClick(List(), Qt::Key_End);
  Settle();
  EXPECT_EQ(Current(), 21u);
  QTest::keyClick(List(), Qt::Key_Home);
  Settle();
  EXPECT_EQ(Current(), 1u);
}

TEST_F(WindowDesktopTest, TheRightClickMenuActsOnTheRowClickedAmongTheSelected) {
  OpenThroughMenu(kPlain);
  window_->show();
  SelectRow(2);
  SelectRows(2, 4);  // messages 3, 4, 5 of call 1
  QMenu* menu = RightClickRow(3);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Current(), 4u);
  EXPECT_EQ(List()->selectionModel()->selectedRows().size(), 3);
  QStringList captions;
  for (const QAction* action : menu->actions()) {
    captions << action->text();
  }
  EXPECT_EQ(captions, QStringList({"&Copy Summary Line", "Copy &Decoded Text", "", "This &Call",
                                   "Show &Flow", "This &Gateway", "", "&Jump to Line"}));
  menu->hide();

  Trigger("isdnCopyLines");
  EXPECT_EQ(QApplication::clipboard()->text(), RowLine(2) + "\n" + RowLine(3) + "\n" + RowLine(4));
  Trigger("isdnCopyDecoded");
  const QString decoded = QApplication::clipboard()->text();
  EXPECT_TRUE(decoded.startsWith("CALL_PROC, pd = 8, callref = 0x8001\n")) << decoded.toStdString();
  EXPECT_TRUE(decoded.endsWith("0010:  08 02 80 01 02 18 03 A9 83 97 ")) << decoded.toStdString();

  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", "/nonexistent");
  launcher_.documentsOpen = false;
  Trigger("isdnJumpToLine");
  qputenv("PATH", path);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.messages[0].text.endsWith(". Message 4 is at line 13."))
      << dialogs_.messages[0].text.toStdString();

  Trigger("isdnFilterCall");
  EXPECT_EQ(List()->model()->rowCount(), 8);  // call 1
  EXPECT_EQ(Label("filter"), "filter: call 1");

  // A row outside the selection is selected alone.
  Trigger("isdnFilterCall");
  SelectRows(0, 1);
  RightClickRow(5)->hide();
  EXPECT_EQ(Current(), 6u);
  EXPECT_EQ(List()->selectionModel()->selectedRows().size(), 1);
}

TEST_F(WindowDesktopTest, TheStatusBarCountsWithTheLocalesSeparatorsAndFailedCallsAreRed) {
  EXPECT_EQ(ListCountText(1, 1), "1 message");
  EXPECT_EQ(ListCountText(1'234'567, 1'234'567), "1,234,567 messages");
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(ListCountText(12'345, 1'000'000), "12.345 of 1.000.000 messages");
  QLocale::setDefault(QLocale::c());

  OpenThroughMenu(kCalls);
  SelectRow(7);
  EXPECT_EQ(StatusCount(), "40 messages \u00b7 8 calls \u00b7 2 failed");
  EXPECT_EQ(Label("fileName"), "calls-trace.txt");
  EXPECT_EQ(Label("selectedMessage"), "Message 8");
  Trigger("isdnFilterPRI");
  EXPECT_EQ(StatusCount(), "33 of 40 messages \u00b7 8 calls \u00b7 2 failed");
  EXPECT_EQ(Label("filter"), "filter: PRI only");

  // Message 8 is of call 2, which failed: red on a light palette, and on a dark one.
  const QAbstractItemModel* model = List()->model();
  const QModelIndex failed = model->index(*window_->Document().RowOfMessage(MessageNumber{8}), 0);
  EXPECT_FALSE(model->index(0, 0).data(Qt::ForegroundRole).isValid());
  const QPalette original = QApplication::palette();
  for (const QColor text : {QColor(Qt::black), QColor(Qt::white)}) {
    QPalette palette = original;
    palette.setColor(QPalette::Text, text);
    QApplication::setPalette(palette);
    const QColor red = failed.data(Qt::ForegroundRole).value<QColor>();
    EXPECT_GT(red.red(), red.green() + 80) << text.name().toStdString();
    EXPECT_EQ(red.green(), red.blue());
    EXPECT_GT(std::abs(red.lightness() - QColor(text).lightness()), 0);
  }
  QApplication::setPalette(original);
}

TEST_F(WindowDesktopTest, TheWindowRemembersItsPlaceColumnsAndRecentTraces) {
  // The first start: 80 % of the screen, centred.
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(window_->geometry(), FirstStartGeometry(available));
  EXPECT_EQ(FirstStartGeometry(QRect(0, 0, 1280, 1024)), QRect(128, 102, 1024, 819));

  window_->setGeometry(100, 60, 900, 700);
  window_->show();
  Settle();
  auto* splitter = window_->findChild<QSplitter*>();
  splitter->setSizes({200, 0, 400});
  const QList<int> sizes = splitter->sizes();
  List()->header()->resizeSection(1, 222);
  OpenThroughMenu(kCalls);
  OpenThroughMenu(QStringList{kPlain, kCalls});
  OpenThroughMenu(kPlain);
  Restart();
  window_->show();
  Settle();
  EXPECT_EQ(window_->geometry(), QRect(100, 60, 900, 700));
  EXPECT_EQ(window_->findChild<QSplitter*>()->sizes(), sizes);
  EXPECT_EQ(List()->header()->sectionSize(1), 222);

  // The latest first, each once; a set of files is one entry.
  auto* recent = window_->findChild<QMenu*>(QStringLiteral("isdnRecentMenu"));
  QStringList entries;
  for (const QAction* action : recent->actions()) {
    entries << action->text();
  }
  EXPECT_EQ(entries, QStringList({"&1 plain-trace.txt", "&2 plain-trace.txt + 1 more",
                                  "&3 calls-trace.txt", "", "&Clear Recent"}));
  recent->actions()[1]->trigger();
  Settle();
  EXPECT_EQ(window_->Document().Paths().size(), 2u);
  EXPECT_EQ(recent->actions()[0]->text(), "&1 plain-trace.txt + 1 more");
  recent->findChild<QAction*>(QStringLiteral("isdnClearRecent"))->trigger();
  EXPECT_EQ(recent->actions().size(), 1);
  RememberFolder("Save As Tessel", "/var/tmp/exports/all.txt");
  EXPECT_EQ(LastFolder("Save As Tessel"), "/var/tmp/exports");
  EXPECT_EQ(LastFolder("Open"), "");

  // A place off every screen (a monitor since unplugged) comes back as on the first start.
  UserSettings()->setValue(QStringLiteral("window/geometry"), QRect(3000, 2500, 800, 600));
  window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  EXPECT_EQ(window_->geometry(), FirstStartGeometry(available));
}

TEST_F(WindowDesktopTest, APlaceShowingTooLittleOnEveryScreenComesBackAsOnTheFirstStart) {
  // As a hand-edited file may have it: the window's middle on the screen, its frame a million
  // pixels wide.
  window_->close();
  WriteFile(UserSettings()->fileName().toStdString(),
            "[window]\ngeometry=@Rect(-500000 10 1000000 500)\n");
  window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  EXPECT_EQ(window_->geometry(),
            FirstStartGeometry(QGuiApplication::primaryScreen()->availableGeometry()));

  const QRect primary(0, 0, 1920, 1080);
  const QList<QRect> screens = {primary, QRect(1920, 0, 1280, 1024)};
  const QRect first = FirstStartGeometry(primary);
  const struct {
    QRect saved;
    QRect placed;
  } cases[] = {
      {QRect(100, 50, 800, 600), QRect(100, 50, 800, 600)},
      {QRect(2000, 100, 800, 600), QRect(2000, 100, 800, 600)},  // on the second screen
      {QRect(1720, 980, 800, 600), QRect(1720, 980, 800, 600)},  // 200 by 100 on the first
      {QRect(1721, 980, 800, 600), first},                       // 199 by 100, 601 by 44
      {QRect(1720, 981, 800, 600), first},                       // 200 by 99, 600 by 43
      {QRect(1000, 1000, 800, 600), first},                      // 800 by 80
      {QRect(-300, -50, 600, 400), QRect(-300, -50, 600, 400)},
      {QRect(-401, 0, 600, 400), first},
      {QRect(100, 50, 5000, 5000), QRect(100, 50, 1920, 1080)},  // capped at the screen
      {QRect(2000, 0, 5000, 300), QRect(2000, 0, 1280, 300)},
      {QRect(-3000, 0, 4000, 600), first},  // capped, it shows nothing
      {QRect(-500000, 10, 1000000, 500), first},
      {QRect(QPoint(2147483000, 0), QPoint(2147483600, 500)), first},
      {QRect(QPoint(-2147483647 - 1, -2147483647 - 1), QPoint(2147483647, 2147483647)), first},
  };
  for (const auto& [saved, placed] : cases) {
    EXPECT_EQ(PlaceOnScreens(saved, screens, primary), placed) << saved.x() << " " << saved.y();
  }
}

TEST_F(WindowDesktopTest, RecentTracesReadTheTenEntriesOfTheMenuWhateverTheFileSays) {
  const OwnSettings own;
  std::string twelve = "[recent]\nsize=2147483647\n";
  QList<QStringList> ten;
  for (int k = 1; k <= 12; ++k) {
    const std::string file = "/t/" + std::to_string(k) + ".txt";
    twelve += std::to_string(k) + "\\files=" + file + "\n";
    if (k <= 10) {
      ten << QStringList(QString::fromStdString(file));
    }
  }
  const struct {
    std::string ini;
    QList<QStringList> traces;
  } cases[] = {
      {"[recent]\nsize=2147483647\n", {}},
      {twelve, ten},
      {"[recent]\nsize=many\n1\\files=/t/1.txt\n", {}},
      {"[recent]\nsize=-1\n1\\files=/t/1.txt\n", {}},
      {"[recent]\nsize=3\n1\\files=/t/1.txt\n2\\files=@Rect(1 2 3 4)\n3\\files=/t/3.txt\n",
       {{"/t/1.txt"}, {"/t/3.txt"}}},
  };
  for (const auto& [ini, traces] : cases) {
    WriteFile(own.File("sigrune.ini"), ini);
    EXPECT_EQ(RecentTraces().Traces(), traces) << ini;
  }
}

// What the window writes to standard error, caught in a file while this lives.
class CaughtStandardError {
 public:
  explicit CaughtStandardError(std::filesystem::path path)
      : path_(std::move(path)), saved_(::dup(STDERR_FILENO)) {
    std::fflush(stderr);
    const int file = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
  }
  ~CaughtStandardError() { Release(); }
  std::string Text() {
    Release();
    return ReadFile(path_);
  }

 private:
  void Release() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
  }
  std::filesystem::path path_;
  int saved_;
};

// Past ten seconds, opens and closes the FIFOs among the files every tenth of a second, so that a
// read or a write blocked on one goes on and the test fails rather than hangs.
class FifoDeadline {
 public:
  explicit FifoDeadline(std::vector<std::filesystem::path> files)
      : watch_([this, files = std::move(files)] {
          for (int tick = 0; !done_; ++tick) {
            for (const std::filesystem::path& file : files) {
              if (tick >= 100 && std::filesystem::is_fifo(file)) {
                passed_ = true;
                ::close(::open(file.c_str(), O_RDWR | O_NONBLOCK));
              }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
          }
        }) {}
  ~FifoDeadline() { Passed(); }
  // Ends the watch; whether a FIFO had to be opened.
  bool Passed() {
    done_ = true;
    if (watch_.joinable()) {
      watch_.join();
    }
    return passed_;
  }

 private:
  std::atomic<bool> done_ = false;
  std::atomic<bool> passed_ = false;
  std::thread watch_;
};

class SettingsFiles : public WindowDesktopTest {
 protected:
  static constexpr const char* kFiles[] = {"sigrune.ini", "lane-names.ini", "filter-bar.ini"};

  // Starts the window with each settings file made by `make`, uses every file, quits and starts
  // again; the files must be neither read nor written, and said once each on standard error.
  void StartUseAndQuit(const OwnSettings& own,
                       const std::function<void(const std::filesystem::path&)>& make) {
    std::vector<std::filesystem::path> files;
    for (const char* name : kFiles) {
      make(files.emplace_back(own.File(name)));
    }
    const QRect first = FirstStartGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    CaughtStandardError said(own.Folder() / "stderr.txt");
    FifoDeadline deadline(files);
    window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
    EXPECT_EQ(window_->geometry(), first);
    window_->show();
    window_->setGeometry(100, 60, 900, 700);
    OpenThroughMenu(kPlain);
    RememberFolder("Open", kPlain);
    auto* bar = window_->findChild<WhereBar*>();
    QTest::keyClicks(bar->lineEdit(), "type:setup");
    QTest::keyClick(bar->lineEdit(), Qt::Key_Return);
    Settle();
    LaneNamesStore names;
    names.SetName("10.1.1.5", "Dallas PRI 1");
    EXPECT_EQ(names.Name("10.1.1.5"), QString());
    window_->close();
    window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
    EXPECT_EQ(window_->geometry(), first);
    EXPECT_EQ(window_->findChild<WhereBar*>()->count(), 0);
    EXPECT_FALSE(deadline.Passed()) << "blocked on a FIFO";
    window_.reset();

    const std::string text = said.Text();
    for (const std::filesystem::path& file : files) {
      const std::string note =
          "sigrune: settings not read: " + file.string() + " is not a regular file\n";
      const std::size_t at = text.find(note);
      EXPECT_TRUE(at != std::string::npos && text.find(note, at + 1) == std::string::npos)
          << note << "in:\n"
          << text;
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(own.File(""))) {
      left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"filter-bar.ini", "lane-names.ini", "sigrune.ini"}));
  }
};

TEST_F(SettingsFiles, AFifoOrAFolderIsNeitherReadNorWritten) {
  {
    const OwnSettings own("fifo");
    StartUseAndQuit(
        own, [](const std::filesystem::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); });
    for (const char* name : kFiles) {
      EXPECT_TRUE(std::filesystem::is_fifo(own.File(name))) << name;
    }
  }
  const OwnSettings own("folder");
  StartUseAndQuit(
      own, [](const std::filesystem::path& file) { std::filesystem::create_directory(file); });
  for (const char* name : kFiles) {
    EXPECT_TRUE(std::filesystem::is_empty(own.File(name))) << name;
  }
}

TEST_F(SettingsFiles, ALinkToADeviceLeavesTheDeviceAsItWas) {
  const OwnSettings own;
  // A node of the test's own with /dev/zero's numbers, never the machine's.
  const std::filesystem::path zero = own.Folder() / "zero";
  if (::mknod(zero.c_str(), S_IFCHR | 0600, ::makedev(1, 5)) != 0) {
    GTEST_SKIP() << "cannot make a device node (needs root): " << std::strerror(errno);
  }
  StartUseAndQuit(
      own, [&](const std::filesystem::path& file) { std::filesystem::create_symlink(zero, file); });
  struct stat node {};
  ASSERT_EQ(::stat(zero.c_str(), &node), 0);
  EXPECT_TRUE(S_ISCHR(node.st_mode));
  EXPECT_EQ(node.st_rdev, ::makedev(1, 5));
  for (const char* name : kFiles) {
    EXPECT_TRUE(std::filesystem::is_symlink(own.File(name))) << name;
  }
}

TEST_F(SettingsFiles, ALinkToARegularFileIsFollowed) {
  const OwnSettings own;
  const std::filesystem::path real = own.Folder() / "real.ini";
  WriteFile(real, "[window]\ngeometry=@Rect(100 60 900 700)\n");
  std::filesystem::create_symlink(real, own.File("sigrune.ini"));
  window_ = std::make_unique<MainWindow>(dialogs_, launcher_);
  EXPECT_EQ(window_->geometry(), QRect(100, 60, 900, 700));
  window_->show();
  window_->setGeometry(120, 80, 800, 600);
  window_->close();
  EXPECT_TRUE(std::filesystem::is_symlink(own.File("sigrune.ini")));
  EXPECT_NE(ReadFile(real).find("@Rect(120 80 800 600)"), std::string::npos) << ReadFile(real);
}

TEST_F(WindowDesktopTest, ReleaseNotesNoProgramOpensShowInAWindowOfTheProgramsOwn) {
  const QString beside = QCoreApplication::applicationDirPath() + "/relnotes.htm";
  const bool copied = QFile::copy(SIGRUNE_SOURCE_DIR "/src/app/relnotes.htm", beside);
  launcher_.documentsOpen = false;
  Trigger("isdnReleaseNotes");
  auto* notes = window_->findChild<QTextBrowser*>(QStringLiteral("releaseNotes"));
  ASSERT_NE(notes, nullptr);
  EXPECT_TRUE(notes->isVisible());
  EXPECT_TRUE(notes->toPlainText().startsWith("Sigrune release notes"));
  EXPECT_TRUE(dialogs_.messages.empty());
  if (copied) {
    QFile::remove(beside);
  }
}

}  // namespace
}  // namespace sigrune
