#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/frm_folder_selecter.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "platform/controls/directory_list.h"
#include "platform/controls/drive_list.h"
#include "tests/app/fake_file_system.h"
#include "tests/app/ui_driver.h"
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
    test::whenShown(QStringLiteral("frmFolderSelecter"), [act](QWidget*) { act(); });
    return m_dlg.ShowFolderChooser(u"Select the location of the database to change:", defaultFolder, createIfMissing);
  }

  QLineEdit* pathBox() { return m_dlg.findChild<QLineEdit*>(QStringLiteral("txtReportPath")); }
  DirectoryList* dirList() { return m_dlg.findChild<DirectoryList*>(QStringLiteral("dirList")); }
  DriveList* driveList() { return m_dlg.findChild<DriveList*>(QStringLiteral("driveList")); }
  void clickOk() { QTest::mouseClick(m_dlg.findChild<QPushButton*>(QStringLiteral("btnFolderNext")), Qt::LeftButton); }
  void clickCancel() { QTest::mouseClick(m_dlg.findChild<QPushButton*>(QStringLiteral("btnReportPathCancel")), Qt::LeftButton); }
  void type(const std::string& text) {
    pathBox()->clear();
    QTest::keyClicks(pathBox(), QString::fromStdString(text));
  }

  test::TempDir m_dir;
  frmFolderSelecter m_dlg;
};

TEST_F(FolderSelecterTest, DesignTexts) {
  EXPECT_EQ(m_dlg.windowTitle(), QStringLiteral("Select Folder"));
  EXPECT_EQ(m_dlg.findChild<QLabel*>(QStringLiteral("Label3"))->text(), QStringLiteral("Selected Path:"));
  EXPECT_EQ(pathBox()->text(), QStringLiteral("C:\\MyPath"));
  EXPECT_TRUE(m_dlg.SelectedPath.empty());
  Text result = choose([this] {
    EXPECT_EQ(m_dlg.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
              QStringLiteral("Select the location of the database to change:"));
    clickCancel();
  });
  EXPECT_TRUE(result.empty());
}

TEST_F(FolderSelecterTest, ResizingKeepsTheControlsLaidOut) {
  m_dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_dlg));
  QWidget* ok = m_dlg.findChild<QPushButton*>(QStringLiteral("btnFolderNext"));
  QSize listBefore = dirList()->size();
  int okRightGap = m_dlg.width() - ok->geometry().right();
  m_dlg.resize(m_dlg.width() + 200, m_dlg.height() + 150);
  QTest::qWait(20);
  // The list takes the new room; the buttons stay in the bottom right corner.
  EXPECT_EQ(dirList()->size(), listBefore + QSize(200, 150));
  EXPECT_EQ(m_dlg.width() - ok->geometry().right(), okRightGap);
  EXPECT_GT(ok->geometry().top(), pathBox()->geometry().bottom());
  EXPECT_EQ(pathBox()->geometry().right(), dirList()->geometry().right());
  m_dlg.hide();
}

TEST_F(FolderSelecterTest, OkBeforeAnythingIsClickedGivesTheDesignText) {
  EXPECT_EQ(choose([this] { clickOk(); }), u"C:\\MyPath");
}

TEST_F(FolderSelecterTest, CancelGivesEmptyWhateverWasTyped) {
  EXPECT_TRUE(choose([this] {
                type(m_dir.path());
                clickCancel();
              }).empty());
}

TEST_F(FolderSelecterTest, CloseBoxGivesEmpty) {
  EXPECT_TRUE(choose([this] { m_dlg.close(); }).empty());
}

TEST_F(FolderSelecterTest, EnterInThePathBoxConfirms) {
  std::string typed = m_dir.file("course");
  EXPECT_EQ(choose([this, typed] {
              type(typed);
              QTest::keyClick(pathBox(), Qt::Key_Return);
            }),
            fromUtf8(typed));
}

TEST_F(FolderSelecterTest, TypedPathIsReturnedUncheckedWithoutCreate) {
  std::string typed = m_dir.file("nowhere") + "\\deeper";
  EXPECT_EQ(choose([this, typed] {
              type(typed);
              clickOk();
            }),
            fromUtf8(typed));
  EXPECT_FALSE(fs::exists(m_dir.file("nowhere")));
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
}

TEST_F(FolderSelecterTest, ExistingDefaultOpensTheListsThere) {
  Text given = fromUtf8(m_dir.file("course")) + u"\\";
  EXPECT_EQ(choose(
                [this] {
                  EXPECT_EQ(pathBox()->text().toStdU16String(), fromUtf8(m_dir.file("course")) + u"\\");
                  EXPECT_EQ(dirList()->path(), m_dir.file("course"));
                  EXPECT_EQ(driveList()->drive(), DriveList::driveOf(driveList()->drives(), m_dir.path()));
                  clickOk();
                },
                given),
            given);
}

TEST_F(FolderSelecterTest, MissingDefaultLeavesTheDesignText) {
  std::string before = dirList()->path();
  choose(
      [this, before] {
        EXPECT_EQ(pathBox()->text(), QStringLiteral("C:\\MyPath"));
        EXPECT_EQ(dirList()->path(), before);
        clickCancel();
      },
      fromUtf8(m_dir.file("missing")));
}

TEST_F(FolderSelecterTest, ClickingAFolderPutsItsFullPathInTheBox) {
  Text result = choose(
      [this] {
        QTreeWidgetItem* beta = dirList()->entryOf(m_dir.file("course/beta"));
        ASSERT_NE(beta, nullptr);
        dirList()->scrollToItem(beta);
        QTest::mouseClick(dirList()->viewport(), Qt::LeftButton, {}, dirList()->visualItemRect(beta).center());
        EXPECT_EQ(pathBox()->text().toStdString(), m_dir.file("course/beta"));
        clickOk();
      },
      fromUtf8(m_dir.file("course")));
  EXPECT_EQ(result, fromUtf8(m_dir.file("course/beta")));
}

TEST_F(FolderSelecterTest, OpeningAFolderPutsItInTheBox) {
  Text result = choose(
      [this] {
        QTreeWidgetItem* alpha = dirList()->entryOf(m_dir.file("course/Alpha"));
        ASSERT_NE(alpha, nullptr);
        dirList()->scrollToItem(alpha);
        QTest::mouseClick(dirList()->viewport(), Qt::LeftButton, {}, dirList()->visualItemRect(alpha).center());
        QTest::mouseDClick(dirList()->viewport(), Qt::LeftButton, {}, dirList()->visualItemRect(alpha).center());
        EXPECT_EQ(dirList()->path(), m_dir.file("course/Alpha"));
        clickOk();
      },
      fromUtf8(m_dir.file("course")));
  EXPECT_EQ(result, fromUtf8(m_dir.file("course/Alpha")));
}

TEST(FolderSelecterDriveTest, SwitchingTheDriveShowsItsCurrentFolder) {
  test::TempDir volume;
  fs::create_directories(volume.file("inner"));
  test::DelegatingFileSystem fake;
  std::string volumePath = volume.path();
  fake.rootsOverride = [volumePath] { return std::vector<std::string>{"/", volumePath}; };
  frmFolderSelecter dlg;
  auto* drives = dlg.findChild<DriveList*>(QStringLiteral("driveList"));
  auto* dirs = dlg.findChild<DirectoryList*>(QStringLiteral("dirList"));
  auto* box = dlg.findChild<QLineEdit*>(QStringLiteral("txtReportPath"));
  ASSERT_EQ(drives->count(), 2);
  std::string startFolder = dirs->path();
  test::whenShown(QStringLiteral("frmFolderSelecter"), [&](QWidget*) {
    drives->setCurrentIndex(1);
    // A drive not visited yet opens at its root.
    EXPECT_EQ(box->text().toStdString(), volumePath);
    dirs->setPath(volume.file("inner"));
    drives->setCurrentIndex(0);
    EXPECT_EQ(box->text().toStdString(), startFolder);
    // Back on the volume: where the user last was.
    drives->setCurrentIndex(1);
    EXPECT_EQ(box->text().toStdString(), volume.file("inner"));
    dlg.close();
  });
  EXPECT_TRUE(dlg.ShowFolderChooser(u"Pick", {}, false).empty());
  test::cancelWhenShown();
}

class CreateIfMissingTest : public FolderSelecterTest {
protected:
  Text chooseTyped(const std::string& typed) {
    return choose(
        [this, typed] {
          type(typed);
          clickOk();
        },
        {}, true);
  }
};

TEST_F(CreateIfMissingTest, YesCreatesTheFolderWithItsParents) {
  std::string typed = m_dir.file("new/deeper/course");
  setMsgBoxNextAnswer(MsgResult::Yes);
  EXPECT_EQ(chooseTyped(typed), fromUtf8(typed));
  EXPECT_TRUE(fs::is_directory(typed));
  EXPECT_EQ(MsgText, u"The path: \"" + fromUtf8(typed) + u"\" does not exist.\r\n\r\nWould you like to create it?");
  EXPECT_EQ(MsgTitle, u"Create Folder");
  EXPECT_EQ(ButtonCaptions[0], u"&Yes");
  EXPECT_EQ(ButtonCaptions[1], u"&No");
  EXPECT_TRUE(ButtonCaptions[2].empty());
}

TEST_F(CreateIfMissingTest, NoGivesEmptyAndCreatesNothing) {
  std::string typed = m_dir.file("new");
  setMsgBoxNextAnswer(MsgResult::No);
  EXPECT_TRUE(chooseTyped(typed).empty());
  EXPECT_FALSE(fs::exists(typed));
}

TEST_F(CreateIfMissingTest, ClosingTheQuestionKeepsThePath) {
  std::string typed = m_dir.file("new");
  setMsgBoxNextAnswer(MsgResult::None);
  EXPECT_EQ(chooseTyped(typed), fromUtf8(typed));
  EXPECT_FALSE(fs::exists(typed));
}

TEST_F(CreateIfMissingTest, FolderThatCannotBeCreatedGivesEmpty) {
  test::writeWholeFile(m_dir.file("plainfile"), "x");
  setMsgBoxNextAnswer(MsgResult::Yes);
  EXPECT_TRUE(chooseTyped(m_dir.file("plainfile") + "/sub").empty());
}

TEST_F(CreateIfMissingTest, ExistingFolderIsNotQuestioned) {
  setMsgBoxNextAnswer(MsgResult::No);
  EXPECT_EQ(chooseTyped(m_dir.file("course")), fromUtf8(m_dir.file("course")));
  EXPECT_EQ(pendingMsgBoxAnswers(), 1u);
}

TEST_F(CreateIfMissingTest, QuestionIsAskedInTheMessageBox) {
  std::string typed = m_dir.file("asked");
  test::whenShown(QStringLiteral("frmMsgBox"), [](QWidget* box) {
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Create Folder"));
    QTest::keyClick(box, Qt::Key_Y);
  });
  EXPECT_EQ(chooseTyped(typed), fromUtf8(typed));
  EXPECT_TRUE(fs::is_directory(typed));
}

} // namespace
} // namespace pu
