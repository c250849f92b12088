// Puts a numbered backup back as the course database's standards table.
#include <algorithm>
#include <iostream>
#include <utility>
#include <vector>

#include "app/table_backup.h"
#include "platform/fs/file_system.h"
#include "tools/dbftool/commands.h"
#include "tools/dbftool/course_folder.h"

namespace dbftool {
namespace {

using pu::Text;

// The backup's files and the files they replace, the table last: until it
// is replaced, the old table, marked ours alone, keeps every program that
// honours the marks away from the new memo and index beside it.
std::vector<std::pair<Text, Text>> replacements(const pu::StandardsBackup& backup) {
  std::vector<std::pair<Text, Text>> files;
  if (!backup.memo.empty()) files.emplace_back(backup.memo, standardsFile(u"fpt"));
  files.emplace_back(backup.index, standardsFile(u"cdx"));
  files.emplace_back(backup.table, standardsFile(u"dbf"));
  return files;
}

// The whole backup, read as `dbftool check` reads a table.
pu::Status checkBackup(const pu::StandardsBackup& backup) {
  if (backup.index.empty()) return pu::Status::notFound("'" + shown(backup.table) + "' has no index copy beside it");
  TableCheck checked;
  return checkTable(pu::toUtf8(backup.table), &checked);
}

} // namespace

int restore(const std::string& folder, std::int32_t number, std::ostream& out) {
  if (!useCourseFolder(folder)) return kBadArguments;
  std::vector<pu::StandardsBackup> backups;
  (void)pu::ListStandardsBackups(&backups);  // a Backups folder that cannot be listed holds no backup to put back
  auto backup = std::find_if(backups.begin(), backups.end(), [&](const pu::StandardsBackup& b) { return b.number == number; });
  if (backup == backups.end())
    return badArguments("there is no backup " + std::to_string(number) + " in " + shown(pu::BackupFolderPath()));
  pu::Status s = checkBackup(*backup);
  if (!s) {
    std::cerr << "backup " << number << " is damaged, nothing was changed: " << s.message() << "\n";
    return 1;
  }

  // Ours alone while the files change; refused while any other program has
  // the table open.
  const Text table = standardsFile(u"dbf");
  std::unique_ptr<pu::File> held;
  s = pu::FileSystem::instance().openFile(pu::toUtf8(table), false, &held);
  if (s) s = held->share(pu::File::Share::Exclusive);
  if (!s) {
    if (s.code() == pu::Status::Code::Locked)
      std::cerr << shown(table) << " is open in another program, nothing was changed: close it there first\n";
    else
      std::cerr << s.message() << "\n";
    return 1;
  }
  // The files replaced are kept as a new backup, so the restore can itself be undone.
  const bool withMemo = pu::FileSystem::instance().modifiedTime(pu::toUtf8(standardsFile(u"fpt"))).has_value();
  std::vector<Text> copies;
  if (!pu::BackUpStandardsTable(
          [](const Text&, const pu::Status& why) {
            std::cerr << "the backup of the current files failed, nothing was changed: " << why.message() << "\n";
            return false;
          },
          &copies))
    return 1;
  std::string kept;
  for (const Text& copy : copies)
    kept += (kept.empty() ? " " : ", ") + shownName(copy) + (withMemo && copy.ends_with(u"dbf") ? " with its memo file" : "");
  std::string put;
  for (const auto& [from, to] : replacements(*backup)) {
    s = pu::copyIntoPlace(pu::toUtf8(from), pu::toUtf8(to));
    if (!s) {
      std::cerr << s.message() << "\nthe restore stopped; the files as they were are kept as" << kept << "\n";
      return 1;
    }
    put += (put.empty() ? "" : ", ") + shownName(from) + " as " + shownName(to);
  }
  held.reset();

  out << "backup " << number << " put back: " << put << "\n";
  out << "the files it replaced are kept as" << kept << "\n";
  TableCheck restored;
  s = checkTable(pu::toUtf8(table), &restored);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  out << shown(table) << ": ok, " << restored.records << " records, " << restored.tags << " tags\n";
  return 0;
}

} // namespace dbftool
