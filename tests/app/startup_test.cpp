// Start-up: the folder dialog, the backups, and the index check on sample databases damaged as a killed
// write leaves them (a record written, its index change never made) and with their index files destroyed.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/frm_folder_selecter.h"
#include "app/prefix_main.h"
#include "app/startup_index_check.h"
#include "app/table_backup.h"
#include "db/course_index_check.h"
#include "db/message_hook.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "platform/controls/directory_list.h"
#include "platform/controls/drive_list.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_driver.h"
#include "tools/sample/sample_database.h"
#include "util/general.h"
#include "util/path_globals.h"

namespace pu {
namespace {

namespace fs = std::filesystem;

// Start-up runs from a scratch working folder, so that a path that lands
// "wherever the program was started" would show up there.
class StartupTest : public ::testing::Test {
protected:
  void SetUp() override {
    clearMsgBoxAnswers();
    m_previous = fs::current_path();
    fs::current_path(m_work.path());
    fs::create_directories(m_db.path());
    test::writeWholeFile(m_db.file("standard.dbf"), "table");
    test::writeWholeFile(m_db.file("standard.cdx"), "index");
    DataPath = u"before";
    qApp->installEventFilter(&m_watcher);
  }
  void TearDown() override {
    test::cancelWhenShown();
    qApp->removeEventFilter(&m_watcher);
    fs::current_path(m_previous);
    clearMsgBoxAnswers();
  }

  // Answers the next folder dialog: checks that its box shows `shown`
  // (unless empty), types text (unless empty), presses button, then runs next.
  void answerFolderDialog(const std::string& text, const char* button, std::function<void()> next = {},
                          const std::string& shown = {}) {
    test::whenShown(QStringLiteral("frmFolderSelecter"), [=](QWidget* dlg) {
      auto* box = dlg->findChild<QLineEdit*>(QStringLiteral("txtReportPath"));
      if (!shown.empty()) { EXPECT_EQ(box->text().toStdString(), shown); }
      if (!text.empty()) box->setText(QString::fromStdString(text));
      QTest::mouseClick(dlg->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
      if (next) next();
    });
  }
  test::TempDir m_work;
  test::TempDir m_db;
  fs::path m_previous;
  // Notes whether the prefix window came, then closes it before it reads
  // any table (these folders hold no real tables).
  struct PrefixWindowWatcher : QObject {
    bool shown = false;
    QString title;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Show && watched->objectName() == QStringLiteral("frmPrefixUtil")) {
        shown = true;
        title = static_cast<QWidget*>(watched)->windowTitle();
        QMetaObject::invokeMethod(watched, "reject", Qt::QueuedConnection);
      }
      return false;
    }
  } m_watcher;
};

// OK without choosing gives "C:\MyPath", which names no place on this system: a message, and the dialog
// comes back. Cancel there ends without touching anything.
TEST_F(StartupTest, DesignTextIsNotAFolderHereCancelTouchesNothingAndAChosenFolderIsBackedUpThenShown) {
  bool rootBackupsBefore = fs::exists("/Backups");
  bool cameBack = false;
  answerFolderDialog("", "btnFolderNext", [&] { answerFolderDialog("", "btnReportPathCancel", [&] { cameBack = true; }); });
  setMsgBoxNextAnswer(MsgResult::Ok);
  Main();
  EXPECT_TRUE(cameBack);
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  EXPECT_EQ(MsgTitle, u"Select Folder");
  EXPECT_NE(MsgText.find(u"C:\\MyPath"), Text::npos);
  EXPECT_FALSE(m_watcher.shown);
  EXPECT_TRUE(fs::is_empty(m_work.path()));
  EXPECT_EQ(fs::exists("/Backups"), rootBackupsBefore);
  EXPECT_FALSE(fs::exists(m_db.file("Backups")));
  // The table layer's messages come to the message box.
  setMsgBoxNextAnswer(MsgResult::Retry);
  EXPECT_EQ(showMessage(u"Table could not be opened.", MsgButtons::RetryCancel, Text(u"Error")), MsgResult::Retry);
  EXPECT_EQ(MsgText, u"Table could not be opened.");
  EXPECT_EQ(MsgTitle, u"Error");

  // A missing full path is created with its Backups folder; a folder given
  // to Main is offered and still confirmed, and backed up before it is shown.
  std::string fresh = m_db.file("fresh/course");
  answerFolderDialog(fresh, "btnFolderNext");
  Main();
  EXPECT_TRUE(m_watcher.shown);
  EXPECT_TRUE(fs::is_directory(fresh + "/Backups"));
  EXPECT_TRUE(fs::is_empty(fresh + "/Backups"));
  m_watcher.shown = false;
  answerFolderDialog("", "btnFolderNext", {}, m_db.path());
  Main(fromUtf8(m_db.path()));
  EXPECT_TRUE(m_watcher.shown);
  EXPECT_EQ(m_watcher.title, QStringLiteral("List Prefix"));
  EXPECT_EQ(DataPath, fromUtf8(m_db.path()));
  EXPECT_EQ(CourseTablePath, DataPath);
  EXPECT_EQ(test::readWholeFile(m_db.file("Backups/standard1.dbf")), "table");
  EXPECT_EQ(test::readWholeFile(m_db.file("Backups/standard1.cdx")), "index");
}

// A memo file goes with its table under one number free for both; a name in another case, or a folder,
// counts as taken; folder and tables are found in any letter case; a missing table is skipped without a word.
TEST_F(StartupTest, EachCopyTakesTheFirstFreeNumber) {
  struct Case {
    std::vector<const char*> existing;
    std::vector<std::string> tables;
    std::vector<std::string> made;
    const char* backups = "Backups";
  };
  const Case cases[] = {
      {{}, {"standard.dbf", "standard.cdx"}, {"standard1.cdx", "standard1.dbf"}},
      {{"standard1.dbf", "standard2.dbf", "standard1.cdx"}, {"standard.dbf", "standard.cdx"}, {"standard2.cdx", "standard3.dbf"}},
      {{"standard1.dbf", "standard3.dbf"}, {"standard.dbf", "standard.cdx"}, {"standard1.cdx", "standard2.dbf"}},
      {{"standard1.dbf", "standard2.fpt"}, {"standard.dbf", "standard.cdx", "standard.fpt"}, {"standard1.cdx", "standard3.dbf", "standard3.fpt"}},
      {{"STANDARD1.DBF", "standard2.dbf/"}, {"standard.dbf", "standard.cdx"}, {"standard1.cdx", "standard3.dbf"}},
      {{}, {"STANDARD.DBF"}, {"standard1.dbf"}, "backups"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.made.back());
    test::TempDir dir;
    // Each table holds its extension, so a copy shows which file it came from.
    auto extension = [](const std::string& name) { return toUtf8(UpperAscii(fromUtf8(name.substr(name.size() - 3)))); };
    for (const std::string& table : c.tables) test::writeWholeFile(dir.file(table), extension(table));
    const std::string backups = dir.file(c.backups) + "/";
    fs::create_directories(backups);
    for (std::string name : c.existing) {
      if (name.ends_with("/"))
        fs::create_directories(backups + name);
      else
        test::writeWholeFile(backups + name, "old");
    }
    ASSERT_TRUE(PrepareDatabaseFolder(fromUtf8(dir.path())));
    EXPECT_FALSE(fs::exists(dir.file(c.backups == std::string("Backups") ? "backups" : "Backups")));
    for (const std::string& name : c.made) EXPECT_EQ(test::readWholeFile(backups + name), extension(name)) << name;
    for (std::string name : c.existing)
      if (!name.ends_with("/")) { EXPECT_EQ(test::readWholeFile(backups + name), "old") << name; }
    EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(backups), fs::directory_iterator())),
              c.existing.size() + c.made.size());
  }
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
}

// No free number, a copy the file system refuses or cannot finish: an
// error, and nothing made, not even half a copy.
TEST_F(StartupTest, ACopyThatCannotBeMadeIsAnErrorLeavesNothingAndTheAnswerDecidesWhetherToGoOn) {
  const Text folder = fromUtf8(m_db.path());
  fs::create_directories(m_db.file("Backups"));
  DataPath = folder;
  for (int refusal = 0; refusal < 3; ++refusal) {
    test::ForwardingFileSystem fake;
    if (refusal == 0)
      fake.pretendExists = [](std::string_view path) { return path.find("Backups/standard") != std::string_view::npos; };
    else if (refusal == 1)
      fake.createFileFailure = [](std::string_view) { return Status::ioError("permission denied"); };
    else
      fake.failWrites = [](std::string_view path) { return path.find("Backups/") != std::string_view::npos; };
    Text made = u"unchanged";
    EXPECT_FALSE(BackupTableFile(folder + u"\\standard.dbf", &made).isOk()) << refusal;
    EXPECT_EQ(made, u"unchanged");
    EXPECT_TRUE(fs::is_empty(m_db.file("Backups")));
  }

  // A backup that could not be made is never silently followed by changes:
  // the question names the file; No (the default) and closing it stop before
  // anything else happens, Yes goes on without the backups.
  fs::remove(m_db.file("Backups"));
  test::writeWholeFile(m_db.file("Backups"), "not a folder");
  for (auto [answer, goesOn] : {std::pair{MsgResult::No, false}, {MsgResult::None, false}, {MsgResult::Yes, true}}) {
    clearMsgBoxAnswers();
    setMsgBoxNextAnswer(answer);
    setMsgBoxNextAnswer(answer);
    EXPECT_EQ(PrepareDatabaseFolder(folder), goesOn) << answer;
    EXPECT_EQ(pendingMsgBoxAnswers(), goesOn ? 0u : 1u) << answer;  // asked once per table file
    EXPECT_NE(MsgText.find(goesOn ? u"standard.cdx" : u"standard.dbf"), Text::npos);
  }
  EXPECT_NE(MsgText.find(u"could not be made"), Text::npos);
  EXPECT_EQ(ButtonCaptions[0], u"&Yes");
  EXPECT_EQ(ButtonCaptions[1], u"&No");
  EXPECT_EQ(DefaultButton, 2);
  EXPECT_EQ(test::readWholeFile(m_db.file("Backups")), "not a folder");
}

// Yes while another program has the table open says why; once rebuilt, sound indexes pass without a word.
TEST_F(StartupTest, NoEndsTheProgramYesRebuildsUnlessAnotherProgramHasTheTableAndDestroyedIndexesAreRebuilt) {
  const std::string course = m_db.file("course");
  ASSERT_TRUE(sample::makeSampleDatabase(course, {}));
  auto file = [&](const std::string& name) { return course + "/" + name; };
  auto run = [&] { return CheckCourseIndexesAtStartUp(fromUtf8(course)); };
  MsgText.clear();
  // Record 5 written and its index not told, as when a write is killed between the two.
  std::unique_ptr<table::Table> writer;
  ASSERT_TRUE(table::Table::open(file("standard.dbf"), true, &writer));
  ASSERT_TRUE(writer->go(5));
  ASSERT_TRUE(writer->assignInteger(*writer->schema().find("Order"), 777));
  ASSERT_TRUE(writer->flush());
  writer.reset();
  const std::string dbf = test::readWholeFile(file("standard.dbf")), cdx = test::readWholeFile(file("standard.cdx"));
  setMsgBoxNextAnswer(MsgResult::No);
  EXPECT_FALSE(run());
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  EXPECT_EQ(MsgTitle, u"Damaged Index");
  // One line: the index file, the tag and what is wrong.
  const std::string shown = toUtf8(MsgText);
  EXPECT_NE(shown.find("\r\nstandard.cdx: tag TREEPRNTID "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" record 5"), std::string::npos) << shown;
  EXPECT_EQ(ButtonCaptions[0], u"&Yes");
  EXPECT_EQ(ButtonCaptions[1], u"&No");
  EXPECT_EQ(test::readWholeFile(file("standard.dbf")), dbf);
  EXPECT_EQ(test::readWholeFile(file("standard.cdx")), cdx);

  test::OtherProgram other([&] {
    std::unique_ptr<table::Table> t;
    return table::Table::open(file("standard.dbf"), false, &t) && (t.release(), true);
  });
  ASSERT_TRUE(other.ready());
  setMsgBoxNextAnswer(MsgResult::Yes);
  setMsgBoxNextAnswer(MsgResult::Ok);
  EXPECT_FALSE(run());
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  const std::string refused = toUtf8(MsgText);
  EXPECT_NE(refused.find("The index of standard.dbf could not be rebuilt"), std::string::npos) << refused;
  EXPECT_NE(refused.find("is open in another program"), std::string::npos) << refused;
  EXPECT_EQ(test::readWholeFile(file("standard.cdx")), cdx);
  other.release();

  setMsgBoxNextAnswer(MsgResult::Yes);
  EXPECT_TRUE(run());
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  EXPECT_FALSE(CheckProductionIndex(file("standard.dbf")).has_value());
  // Perl XBase::Index finds record 5 under its new key ("777" closes it), once.
  std::string listing = test::xbaseTagListing(file("standard.cdx"), "TREEPRNTID");
  std::size_t at = listing.find("373737\t5\n");
  ASSERT_NE(at, std::string::npos) << listing.substr(0, 400);
  EXPECT_EQ(listing.find("\t5\n", at + 9), std::string::npos);

  MsgText.clear();
  EXPECT_TRUE(run());
  EXPECT_TRUE(MsgText.empty());

  // A destroyed index is rebuilt from the program's own tag definitions.
  test::writeWholeFile(file("standard.cdx"), "");
  setMsgBoxNextAnswer(MsgResult::Yes);
  EXPECT_TRUE(run());
  const std::string destroyed = toUtf8(MsgText);
  EXPECT_NE(destroyed.find("\r\nstandard.cdx"), std::string::npos) << destroyed;
  EXPECT_NE(destroyed.find("rebuilt from this program's own tag definitions"), std::string::npos) << destroyed;
  EXPECT_FALSE(CheckProductionIndex(file("standard.dbf")));
  for (const char* tag : {"STANDARDID", "TREEPRNTID", "NODE_ID", "TREE_ID"}) {
    const std::string keys = test::xbaseTagListing(file("standard.cdx"), tag);
    EXPECT_EQ(keys.find("XBase::Index failed"), std::string::npos) << tag << ": " << keys.substr(0, 200);
    EXPECT_NE(keys.find("\t1\n"), std::string::npos) << tag;
  }
}

class FolderSelecterTest : public StartupTest {
protected:
  void SetUp() override {
    StartupTest::SetUp();
    fs::create_directories(m_db.file("course/Alpha"));
    fs::create_directories(m_db.file("course/beta"));
  }

  Text choose(std::function<void()> act, const Text& defaultFolder = {}, bool createIfMissing = false) {
    // Acts once the dialog is active, as a user sees it: before that, the
    // focus and so the button Enter presses are not settled.
    test::whenShown(QStringLiteral("frmFolderSelecter"), [act](QWidget* dialog) {
      dialog->activateWindow();  // a display without a window manager activates nothing itself
      if (QTest::qWaitForWindowActive(dialog)) act();
      else dialog->close();
    });
    return dlg().ShowFolderChooser(u"Select the location of the database to change:", defaultFolder, createIfMissing);
  }

  QLineEdit* pathBox() { return dlg().findChild<QLineEdit*>(QStringLiteral("txtReportPath")); }
  DirectoryList* dirList() { return dlg().findChild<DirectoryList*>(QStringLiteral("dirList")); }
  DriveList* driveList() { return dlg().findChild<DriveList*>(QStringLiteral("driveList")); }
  void clickOk() { QTest::mouseClick(dlg().findChild<QPushButton*>(QStringLiteral("btnFolderNext")), Qt::LeftButton); }
  void clickCancel() { QTest::mouseClick(dlg().findChild<QPushButton*>(QStringLiteral("btnReportPathCancel")), Qt::LeftButton); }
  // Clicks into the box, as a user must before typing, and types the text.
  void type(const std::string& text) {
    QTest::mouseClick(pathBox(), Qt::LeftButton);
    pathBox()->clear();
    QTest::keyClicks(pathBox(), QString::fromStdString(text));
  }

  // Made at first use, so a test can give the file system other volumes first.
  frmFolderSelecter& dlg() {
    if (!m_dlg) m_dlg = std::make_unique<frmFolderSelecter>();
    return *m_dlg;
  }

  test::ForwardingFileSystem m_fs;
  std::unique_ptr<frmFolderSelecter> m_dlg;
};

// OK gives the box's text (the design text before anything is chosen), as Enter in the box does, as typed,
// unchecked and uncreated; Cancel and the close box give nothing.
TEST_F(FolderSelecterTest, OkAndEnterGiveTheBoxCancelAndCloseGiveNothingAndTheAnswerDecidesWhatIsCreated) {
  EXPECT_EQ(choose([this] { clickOk(); }), u"C:\\MyPath");
  std::string typed = m_db.file("nowhere") + "\\deeper";
  EXPECT_EQ(choose([this, typed] {
              type(typed);
              QTest::keyClick(pathBox(), Qt::Key_Return);
            }),
            fromUtf8(typed));
  EXPECT_FALSE(fs::exists(m_db.file("nowhere")));
  EXPECT_TRUE(choose([this] {
                type(m_db.path());
                clickCancel();
              }).empty());
  EXPECT_TRUE(choose([this] { dlg().close(); }).empty());

  // With createIfMissing the answer decides: Yes (pressed in the box itself) creates the folder with its
  // parents, No gives nothing, closing keeps the path uncreated; a folder that cannot be made gives nothing;
  // an existing one is not asked about.
  auto chooseTyped = [this](const std::string& text) {
    return choose([this, text] { type(text); clickOk(); }, {}, true);
  };
  const std::string deep = m_db.file("new/deeper/course");
  test::whenShown(QStringLiteral("frmMsgBox"), [](QWidget* box) {
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Create Folder"));
    QTest::keyClick(box, Qt::Key_Y);
  });
  EXPECT_EQ(chooseTyped(deep), fromUtf8(deep));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(MsgText, u"The path: \"" + fromUtf8(deep) + u"\" does not exist.\r\n\r\nWould you like to create it?");
  EXPECT_EQ(ButtonCaptions[0] + u"|" + ButtonCaptions[1] + u"|" + ButtonCaptions[2], u"&Yes|&No|");

  test::writeWholeFile(m_db.file("plainfile"), "x");
  struct Case {
    std::string typed;
    std::int32_t answer;
    bool given, created;
  };
  const Case cases[] = {
      {m_db.file("no"), MsgResult::No, false, false},
      {m_db.file("closed"), MsgResult::None, true, false},
      {m_db.file("plainfile") + "/sub", MsgResult::Yes, false, false},
      {m_db.file("course"), MsgResult::No, true, true},  // exists: no question, the answer stays queued
  };
  for (const Case& c : cases) {
    clearMsgBoxAnswers();
    setMsgBoxNextAnswer(c.answer);
    EXPECT_EQ(chooseTyped(c.typed), c.given ? fromUtf8(c.typed) : Text()) << c.typed;
    EXPECT_EQ(fs::is_directory(c.typed), c.created) << c.typed;
  }
  EXPECT_EQ(pendingMsgBoxAnswers(), 1u);
}

// An existing default opens the lists there; a missing one leaves the design text and the lists where they
// were. A click puts a folder's full path in the box; a double click opens it.
TEST_F(FolderSelecterTest, TheDriveTheDefaultAndAClickOrDoubleClickChooseTheFolder) {
  // A drive not visited yet opens at its root; back on a drive, the folder
  // the user last had there.
  test::TempDir volume;
  fs::create_directories(volume.file("inner"));
  const std::string volumePath = volume.path();
  m_fs.rootsOverride = [volumePath] { return std::vector<std::string>{"/", volumePath}; };
  ASSERT_EQ(driveList()->count(), 2);
  const std::string startFolder = dirList()->path();
  EXPECT_TRUE(choose([&] {
                driveList()->setCurrentIndex(1);
                EXPECT_EQ(pathBox()->text().toStdString(), volumePath);
                dirList()->setPath(volume.file("inner"));
                driveList()->setCurrentIndex(0);
                EXPECT_EQ(pathBox()->text().toStdString(), startFolder);
                driveList()->setCurrentIndex(1);
                EXPECT_EQ(pathBox()->text().toStdString(), volume.file("inner"));
                clickCancel();
              }).empty());
  m_dlg.reset();  // a new dialog, which shows the design text
  std::string before = dirList()->path();
  choose(
      [this, before] {
        EXPECT_EQ(pathBox()->text(), QStringLiteral("C:\\MyPath"));
        EXPECT_EQ(dirList()->path(), before);
        clickCancel();
      },
      fromUtf8(m_db.file("missing")));
  auto click = [this](const char* name, bool twice) {
    QTreeWidgetItem* item = dirList()->entryOf(m_db.file(name));
    ASSERT_NE(item, nullptr);
    dirList()->scrollToItem(item);
    QTest::mouseClick(dirList()->viewport(), Qt::LeftButton, {}, dirList()->visualItemRect(item).center());
    if (twice) QTest::mouseDClick(dirList()->viewport(), Qt::LeftButton, {}, dirList()->visualItemRect(item).center());
  };
  const Text given = fromUtf8(m_db.file("course")) + u"\\";
  Text result = choose(
      [&] {
        EXPECT_EQ(pathBox()->text().toStdU16String(), given);
        EXPECT_EQ(dirList()->path(), m_db.file("course"));
        EXPECT_EQ(driveList()->drive(), DriveList::driveOf(driveList()->drives(), m_db.path()));
        click("course/beta", false);
        EXPECT_EQ(pathBox()->text().toStdString(), m_db.file("course/beta"));
        EXPECT_EQ(dirList()->path(), m_db.file("course"));
        click("course/Alpha", true);
        EXPECT_EQ(dirList()->path(), m_db.file("course/Alpha"));
        clickOk();
      },
      given);
  EXPECT_EQ(result, fromUtf8(m_db.file("course/Alpha")));
}

} // namespace
} // namespace pu
