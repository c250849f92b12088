#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>
#include <gtest/gtest.h>

#include "app/frm_folder_selecter.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "platform/controls/directory_list.h"
#include "platform/controls/drive_list.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/ui_driver.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

namespace fs = std::filesystem;

class FolderSelecterTest : public ::testing::Test {
protected:
  void SetUp() override {
    clearMsgBoxAnswers();
    fs::create_directories(m_dir.file("course/Alpha"));
    fs::create_directories(m_dir.file("course/beta"));
  }
  void TearDown() override {
    test::cancelWhenShown();
    clearMsgBoxAnswers();
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

  test::TempDir m_dir;
  test::ForwardingFileSystem m_fs;
  std::unique_ptr<frmFolderSelecter> m_dlg;
};

// OK gives the box's text (the design text before anything is chosen), as
// Enter in the box does, as typed, unchecked and uncreated; Cancel and the
// close box give nothing.
TEST_F(FolderSelecterTest, OkAndEnterGiveTheBoxCancelAndCloseGiveNothing) {
  EXPECT_EQ(choose([this] { clickOk(); }), u"C:\\MyPath");
  std::string typed = m_dir.file("nowhere") + "\\deeper";
  EXPECT_EQ(choose([this, typed] {
              type(typed);
              QTest::keyClick(pathBox(), Qt::Key_Return);
            }),
            fromUtf8(typed));
  EXPECT_FALSE(fs::exists(m_dir.file("nowhere")));
  EXPECT_TRUE(choose([this] {
                type(m_dir.path());
                clickCancel();
              }).empty());
  EXPECT_TRUE(choose([this] { dlg().close(); }).empty());
}

// An existing default opens the lists there; a missing one leaves the
// design text and the lists where they were. A click puts a folder's full
// path in the box; a double click opens it.
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
      fromUtf8(m_dir.file("missing")));
  auto click = [this](const char* name, bool twice) {
    QTreeWidgetItem* item = dirList()->entryOf(m_dir.file(name));
    ASSERT_NE(item, nullptr);
    dirList()->scrollToItem(item);
    QTest::mouseClick(dirList()->viewport(), Qt::LeftButton, {}, dirList()->visualItemRect(item).center());
    if (twice) QTest::mouseDClick(dirList()->viewport(), Qt::LeftButton, {}, dirList()->visualItemRect(item).center());
  };
  const Text given = fromUtf8(m_dir.file("course")) + u"\\";
  Text result = choose(
      [&] {
        EXPECT_EQ(pathBox()->text().toStdU16String(), given);
        EXPECT_EQ(dirList()->path(), m_dir.file("course"));
        EXPECT_EQ(driveList()->drive(), DriveList::driveOf(driveList()->drives(), m_dir.path()));
        click("course/beta", false);
        EXPECT_EQ(pathBox()->text().toStdString(), m_dir.file("course/beta"));
        EXPECT_EQ(dirList()->path(), m_dir.file("course"));
        click("course/Alpha", true);
        EXPECT_EQ(dirList()->path(), m_dir.file("course/Alpha"));
        clickOk();
      },
      given);
  EXPECT_EQ(result, fromUtf8(m_dir.file("course/Alpha")));
}

// With createIfMissing the answer to the question decides: Yes (here
// pressed in the box itself) creates the folder with its parents, No gives
// nothing, closing the box keeps the path uncreated; a folder that cannot
// be made gives nothing; an existing one is not asked about.
TEST_F(FolderSelecterTest, CreateIfMissingTheAnswerDecidesWhatIsCreatedAndGiven) {
  auto chooseTyped = [this](const std::string& typed) {
    return choose([this, typed] { type(typed); clickOk(); }, {}, true);
  };
  const std::string deep = m_dir.file("new/deeper/course");
  test::whenShown(QStringLiteral("frmMsgBox"), [](QWidget* box) {
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Create Folder"));
    QTest::keyClick(box, Qt::Key_Y);
  });
  EXPECT_EQ(chooseTyped(deep), fromUtf8(deep));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(MsgText, u"The path: \"" + fromUtf8(deep) + u"\" does not exist.\r\n\r\nWould you like to create it?");
  EXPECT_EQ(ButtonCaptions[0] + u"|" + ButtonCaptions[1] + u"|" + ButtonCaptions[2], u"&Yes|&No|");

  test::writeWholeFile(m_dir.file("plainfile"), "x");
  struct Case {
    std::string typed;
    std::int32_t answer;
    bool given, created;
  };
  const Case cases[] = {
      {m_dir.file("no"), MsgResult::No, false, false},
      {m_dir.file("closed"), MsgResult::None, true, false},
      {m_dir.file("plainfile") + "/sub", MsgResult::Yes, false, false},
      {m_dir.file("course"), MsgResult::No, true, true},  // exists: no question, the answer stays queued
  };
  for (const Case& c : cases) {
    clearMsgBoxAnswers();
    setMsgBoxNextAnswer(c.answer);
    EXPECT_EQ(chooseTyped(c.typed), c.given ? fromUtf8(c.typed) : Text()) << c.typed;
    EXPECT_EQ(fs::is_directory(c.typed), c.created) << c.typed;
  }
  EXPECT_EQ(pendingMsgBoxAnswers(), 1u);
}

} // namespace
} // namespace pu
