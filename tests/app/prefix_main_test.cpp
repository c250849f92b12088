#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "app/prefix_main.h"
#include "db/message_hook.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "tests/support/ui_driver.h"
#include "tests/support/temp_dir.h"
#include "util/path_globals.h"

namespace pu {
namespace {

namespace fs = std::filesystem;

// Main runs from a scratch working folder, so that a path that lands
// "wherever the program was started" would show up there.
class MainTest : public ::testing::Test {
protected:
  void SetUp() override {
    clearMsgBoxAnswers();
    m_previous = fs::current_path();
    fs::current_path(m_work.path());
    fs::create_directories(m_db.path());
    test::writeWholeFile(m_db.file("standard.dbf"), "table");
    test::writeWholeFile(m_db.file("standard.cdx"), "index");
    DataPath = u"before";
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
      if (!shown.empty()) {
        EXPECT_EQ(box->text().toStdString(), shown);
      }
      if (!text.empty()) box->setText(QString::fromStdString(text));
      QTest::mouseClick(dlg->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
      if (next) next();
    });
  }
  // Notes whether the prefix window came, then closes it before it reads
  // any table (these folders hold no real tables).
  void watchPrefixWindow() { qApp->installEventFilter(&m_watcher); }

  test::TempDir m_work;
  test::TempDir m_db;
  fs::path m_previous;
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
  bool& m_prefixWindowShown = m_watcher.shown;
};

// OK without choosing gives "C:\MyPath", which names no place on this
// system: a message, and the dialog comes back. Cancel there ends without
// touching anything.
TEST_F(MainTest, DesignTextIsNotAFolderHereCancelTouchesNothingAndAChosenFolderIsBackedUpThenShown) {
  bool rootBackupsBefore = fs::exists("/Backups");
  bool cameBack = false;
  answerFolderDialog("", "btnFolderNext", [&] { answerFolderDialog("", "btnReportPathCancel", [&] { cameBack = true; }); });
  watchPrefixWindow();
  setMsgBoxNextAnswer(MsgResult::Ok);
  Main();
  EXPECT_TRUE(cameBack);
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  EXPECT_EQ(MsgTitle, u"Select Folder");
  EXPECT_NE(MsgText.find(u"C:\\MyPath"), Text::npos);
  EXPECT_FALSE(m_prefixWindowShown);
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
  EXPECT_TRUE(m_prefixWindowShown);
  EXPECT_TRUE(fs::is_directory(fresh + "/Backups"));
  EXPECT_TRUE(fs::is_empty(fresh + "/Backups"));
  m_prefixWindowShown = false;
  answerFolderDialog("", "btnFolderNext", {}, m_db.path());
  Main(fromUtf8(m_db.path()));
  EXPECT_TRUE(m_prefixWindowShown);
  EXPECT_EQ(m_watcher.title, QStringLiteral("List Prefix"));
  EXPECT_EQ(DataPath, fromUtf8(m_db.path()));
  EXPECT_EQ(CourseTablePath, DataPath);
  EXPECT_EQ(test::readWholeFile(m_db.file("Backups/standard1.dbf")), "table");
  EXPECT_EQ(test::readWholeFile(m_db.file("Backups/standard1.cdx")), "index");
}

} // namespace
} // namespace pu
