#include "app/prefix_main.h"

#include <QCoreApplication>
#include <QVariant>
#include <cstdint>

#include "app/frm_folder_selecter.h"
#include "app/frm_prefix_util.h"
#include "app/startup_index_check.h"
#include "app/table_backup.h"
#include "db/database_helper.h"
#include "db/message_hook.h"
#include "msgbox/frm_msg_box.h"
#include "msgbox/msg_box.h"
#include "platform/fs/file_system.h"
#include "util/path_globals.h"

namespace pu {
namespace {

// A path that names no place on its own (the dialog's design text
// "C:\MyPath", or a typed "data") would land wherever the program was started.
bool isFullPath(const Text& folder) {
  std::string resolved = FileSystem::instance().resolve(toUtf8(folder));
  return !resolved.empty() && resolved.front() == '/';
}

// Paths as the file system names them, so the user can find them.
Text shownPath(const Text& path) { return fromUtf8(FileSystem::instance().resolve(toUtf8(path))); }

bool goOnWithoutBackup(const Text& source) {
  Text message = u"The backup copy of \"" + shownPath(source) + u"\" could not be made in \"" + shownPath(BackupFolderPath()) +
                 u"\".\r\n\r\nWould you like to go on without it?";
  return MsgBoxEx(message, MsgButtons::YesNo | MsgIcons::Exclamation | MsgDefault::Button2, Text(u"Backup")) ==
         MsgResult::Yes;
}

} // namespace

bool PrepareDatabaseFolder(const Text& folder) {
  SetDatabaseFolder(folder);
  if (!BackUpStandardsTable([](const Text& source, const Status&) { return goOnWithoutBackup(source); })) return false;
  return CheckCourseIndexesAtStartUp(folder);
}

void Main(const Text& preselectedFolder) {
  setMsgBoxFormHook(FormHook);
  // The table layer has no windows of its own: its messages come to our box,
  // and while it waits for a record lock the windows go on being served.
  setMessageHook([](const Text& message, std::int32_t options, const std::optional<Text>& title) {
    return MsgBoxEx(message, options, title);
  });
  setEventHook([] { QCoreApplication::processEvents(); });
  Text folder = preselectedFolder;
  for (;;) {
    {
      frmFolderSelecter dialog;
      folder = dialog.ShowFolderChooser(u"Select the location of the database to change:", folder, false);
    }
    // Cancel ends the program: an empty folder would put the Backups folder
    // at the root of the file system and open no database.
    if (folder.empty()) return;
    if (isFullPath(folder)) break;
    // The message asks the user to choose again, so the dialog comes back.
    MsgBoxEx(u"The path: \"" + folder + u"\" is not the full path of a folder.\r\n\r\nPlease choose the database folder in the list or type its full path.",
             MsgButtons::OkOnly | MsgIcons::Exclamation, Text(u"Select Folder"));
    folder.clear();
  }
  if (!PrepareDatabaseFolder(folder)) return;

  // The one DatabaseHelper, made after the backups; it opens no table yet.
  (void)DbHelper();

  ShowPrefixWindow();
}

void FormHook(QWidget* /*form*/) {}

bool FilterEnabled() { return true; }

bool FilterAccepts(const QVariant& /*first*/, const QVariant& /*second*/) { return true; }

} // namespace pu
