#include "app/table_backup.h"

#include <string>

#include "platform/fs/file_system.h"
#include "util/general.h"
#include "util/path_globals.h"

namespace pu {
namespace {

constexpr std::int32_t kLastBackupNumber = 32767;
const Text kBackupFolder = u"\\Backups\\";
const Text kStandardsTableName = u"standard";

bool isTableExtension(const Text& ext) { return UpperAscii(ext) == u"DBF"; }

// The memo file's extension in the letter case of the table's.
Text memoExtensionFor(const Text& tableExt) { return tableExt == UpperAscii(tableExt) ? Text(u"FPT") : Text(u"fpt"); }

// Names on disk are matched without regard to case, so one folder named
// Backups serves every spelling; the copies use the one spelling.
Text numberedPath(const Text& name, std::int32_t number, const Text& ext) {
  return BackupFolderPath() + name + fromUtf8(std::to_string(number)) + u"." + ext;
}

// The copy is whole or missing; a missing one is the only failure sign.
Status copyWhole(const Text& source, const Text& destination) {
  CopyFile(source, destination);
  if (FileExists(destination)) return Status::ok();
  return Status::ioError("cannot copy '" + toUtf8(source) + "' to '" + toUtf8(destination) + "'");
}

// The number of a standards table copy named "standard", digits without a
// leading zero, ".dbf" (any letter case); 0 for any other name.
std::int32_t backupNumberOf(const Text& fileName) {
  const Text upper = UpperAscii(fileName), head = UpperAscii(kStandardsTableName), tail = u".DBF";
  if (upper.size() <= head.size() + tail.size() || !upper.starts_with(head) || !upper.ends_with(tail)) return 0;
  const Text digits = upper.substr(head.size(), upper.size() - head.size() - tail.size());
  if (digits.size() > 5 || digits[0] == u'0' || digits.find_first_not_of(u"0123456789") != Text::npos) return 0;
  std::int32_t number = std::stoi(toUtf8(digits));
  return number <= kLastBackupNumber ? number : 0;
}

} // namespace

Text BackupFolderPath() { return DataPath + kBackupFolder; }

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
    Text candidate = numberedPath(name, n, ext), memoCandidate = numberedPath(name, n, memoExt);
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

bool BackUpStandardsTable(const std::function<bool(const Text& source, const Status& why)>& goOnWithout,
                          std::vector<Text>* copies) {
  // A folder that cannot be created shows up below as copies that could not be made.
  (void)MakeDirectory(BackupFolderPath());
  for (const Text& ext : {Text(u"dbf"), Text(u"cdx")}) {
    Text source = DataPath + u"\\" + kStandardsTableName + u"." + ext, copy;
    Status s = BackupTableFile(source, &copy);
    if (!s && !goOnWithout(source, s)) return false;
    if (s && copies && !copy.empty()) copies->push_back(copy);
  }
  return true;
}

Status ListStandardsBackups(std::vector<StandardsBackup>* backups) {
  backups->clear();
  std::vector<std::string> names;
  Status s = FileSystem::instance().listFiles(toUtf8(BackupFolderPath()), &names);
  if (!s) return s;
  for (const std::string& name : names) {
    const Text file = fromUtf8(name), ext = FileExtension(file), base = FileBaseName(file);
    StandardsBackup backup;
    backup.number = backupNumberOf(file);
    if (backup.number == 0) continue;
    backup.table = BackupFolderPath() + file;
    const Text memo = BackupFolderPath() + base + u"." + memoExtensionFor(ext);
    const Text index = BackupFolderPath() + base + u"." + (ext == UpperAscii(ext) ? u"CDX" : u"cdx");
    if (FileExists(memo)) backup.memo = memo;
    if (FileExists(index)) backup.index = index;
    backups->push_back(backup);
  }
  return Status::ok();
}

} // namespace pu
