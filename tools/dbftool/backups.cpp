// The numbered backups of a course database's standards table, newest first.
#include <algorithm>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "app/table_backup.h"
#include "platform/fs/file_system.h"
#include "platform/table/table.h"
#include "tools/dbftool/commands.h"
#include "tools/dbftool/course_folder.h"

namespace dbftool {
namespace {

struct Listed {
  pu::StandardsBackup backup;
  std::int64_t time = 0;
  std::uint64_t bytes = 0;
  std::string records;  // the count, or why the table cannot be read
};

std::uint64_t sizeOf(const pu::Text& path) {
  std::unique_ptr<pu::File> file;
  std::uint64_t bytes = 0;
  if (path.empty() || !pu::FileSystem::instance().openFile(pu::toUtf8(path), false, &file) || !file->size(&bytes)) return 0;
  return bytes;
}

// Local time, as the user's other file listings show it (one thread: the
// shared result of std::localtime is safe here).
std::string localTime(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  const std::tm* local = std::localtime(&t);
  if (!local) return "?";
  std::ostringstream text;
  text << std::put_time(local, "%Y-%m-%d %H:%M:%S");
  return text.str();
}

Listed describe(const pu::StandardsBackup& backup) {
  Listed listed;
  listed.backup = backup;
  const std::string table = pu::toUtf8(backup.table);
  listed.time = pu::FileSystem::instance().modifiedTime(table).value_or(0);
  for (const pu::Text* file : {&backup.table, &backup.memo, &backup.index}) listed.bytes += sizeOf(*file);
  std::unique_ptr<pu::table::Table> t;
  pu::Status s = pu::table::Table::open(table, false, &t);
  if (s) s = countMatchesFile(*t);
  listed.records = s ? std::to_string(t->recordCount()) : "unreadable";
  return listed;
}

std::string fileNames(const pu::StandardsBackup& backup) {
  std::string names;
  for (const pu::Text* file : {&backup.table, &backup.memo, &backup.index}) {
    if (!file->empty()) names += (names.empty() ? "" : " ") + shownName(*file);
  }
  return names;
}

} // namespace

int backups(const std::string& folder, std::ostream& out) {
  if (!useCourseFolder(folder)) return kBadArguments;
  std::vector<pu::StandardsBackup> found;
  if (pu::FileSystem::instance().isDirectory(pu::toUtf8(pu::BackupFolderPath()))) {
    pu::Status s = pu::ListStandardsBackups(&found);
    if (!s) {
      std::cerr << s.message() << "\n";
      return 1;
    }
  }
  if (found.empty()) {
    out << "no backups in " << shown(pu::BackupFolderPath()) << "\n";
    return 0;
  }
  std::vector<Listed> listed;
  for (const pu::StandardsBackup& backup : found) listed.push_back(describe(backup));
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    return a.time != b.time ? a.time > b.time : a.backup.number > b.backup.number;
  });
  out << std::left << std::setw(8) << "backup" << std::setw(21) << "time" << std::setw(12) << "bytes" << std::setw(12)
      << "records" << "files\n";
  for (const Listed& l : listed)
    out << std::setw(8) << l.backup.number << std::setw(21) << localTime(l.time) << std::setw(12) << l.bytes
        << std::setw(12) << l.records << fileNames(l.backup) << "\n";
  return 0;
}

} // namespace dbftool
