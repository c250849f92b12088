#include "app/prefix_main.h"

#include <QCoreApplication>
#include <QVariant>
#include <cstdint>

#include "app/frm_folder_selecter.h"
#include "app/frm_prefix_util.h"
#include "app/startup_index_check.h"
#include "db/database_helper.h"
#include "db/message_hook.h"
#include "msgbox/frm_msg_box.h"
#include "msgbox/msg_box.h"
#include "platform/fs/file_system.h"
#include "util/general.h"
#include "util/path_globals.h"

namespace pu {
namespace {

constexpr std::int32_t kLastBackupNumber = 32767;
const Text kBackupFolder = u"\\Backups\\";

// Names on disk are matched without regard to case, so one folder named
// Backups serves both spellings; the copies use that one spelling.
Text backupFolderPath() { return DataPath + kBackupFolder; }

// A path that names no place on its own (the dialog's design text
// "C:\MyPath", or a typed "data") would land wherever the program was started.
bool isFullPath(const Text& folder) {
  std::string resolved = FileSystem::instance().resolve(toUtf8(folder));
  return !resolved.empty() && resolved.front() == '/';
}

// Paths as the file system names them, so the user can find them.
Text shownPath(const Text& path) { return fromUtf8(FileSystem::instance().resolve(toUtf8(path))); }

bool isTableExtension(const Text& ext) { return UpperAscii(ext) == u"DBF"; }

// The memo file's extension in the letter case of the table's.
Text memoExtensionFor(const Text& tableExt) { return tableExt == UpperAscii(tableExt) ? Text(u"FPT") : Text(u"fpt"); }

// The copy is whole or missing; a missing one is the only failure sign.
Status copyWhole(const Text& source, const Text& destination) {
  CopyFile(source, destination);
  if (FileExists(destination)) return Status::ok();
  return Status::ioError("cannot copy '" + toUtf8(source) + "' to '" + toUtf8(destination) + "'");
}

bool goOnWithoutBackup(const Text& source) {
  Text message = u"The backup copy of \"" + shownPath(source) + u"\" could not be made in \"" + shownPath(backupFolderPath()) +
                 u"\".\r\n\r\nWould you like to go on without it?";
  return MsgBoxEx(message, MsgButtons::YesNo | MsgIcons::Exclamation | MsgDefault::Button2, Text(u"Backup")) ==
         MsgResult::Yes;
}

} // namespace

Status BackupTableFile(const Text& sourcePath, Text* backupPath) {
  if (!FileExists(sourcePath)) return Status::ok();
  Text name = FileBaseName(sourcePath);
  Text ext = FileExtension(sourcePath);
  // A table's memo file goes with it under the same number: a copy without
  // it cannot be opened.
  Text memoExt = isTableExtension(ext) ? memoExtensionFor(ext) : Text();
  Text memoSource = sourcePath.substr(0, sourcePath.size() - ext.size()) + memoExt;
  bool withMemo = !memoExt.empty() && FileExists(memoSource);
  for (std::int32_t n = 1; n <= kLastBackupNumber; ++n) {
    Text numbered = backupFolderPath() + name + fromUtf8(std::to_string(n)) + u".";
    Text candidate = numbered + ext, memoCandidate = numbered + memoExt;
    if (FileExists(candidate) || (withMemo && FileExists(memoCandidate))) continue;
    if (withMemo) {
      Status s = copyWhole(memoSource, memoCandidate);
      if (!s) return s;
    }
    Status s = copyWhole(sourcePath, candidate);
    if (!s) return s;
    if (backupPath) *backupPath = candidate;
    return Status::ok();
  }
  return Status::exists("no free backup number for '" + toUtf8(sourcePath) + "'");
}

bool PrepareDatabaseFolder(const Text& folder) {
  SetDatabaseFolder(folder);
  // A folder that cannot be created shows up below as backups that could not be made.
  (void)MakeDirectory(backupFolderPath());
  for (const char16_t* file : {u"\\standard.dbf", u"\\standard.cdx"}) {
    Text source = DataPath + file;
    if (!BackupTableFile(source) && !goOnWithoutBackup(source)) return false;
  }
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
