#pragma once
// Numbered backup copies of the standards table in the database's Backups
// folder: name, a number from 1, a point and the extension
// (Backups/standard3.dbf). Start-up takes them before anything is changed,
// and so do dbftool's commands that change the table. Plain C++.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/status.h"
#include "platform/text/ansi.h"

namespace pu {

// DataPath's Backups folder.
Text BackupFolderPath();

// Copies one file into the Backups folder under DataPath, as name, the first
// free number from 1, a point and the extension; a table (.dbf) with a memo
// file beside it takes the first number free for both, and its memo file is
// copied under that number too. A source that does not exist is not an
// error (nothing to back up). An error when no number up to 32767 is free or
// a copy is not there afterwards; each copy is complete or absent.
// backupPath receives the copy's path when one was made.
Status BackupTableFile(const Text& sourcePath, Text* backupPath = nullptr);

// Start-up's backups: the Backups folder made, then standard.dbf (with its
// memo file) and standard.cdx of DataPath copied, each by BackupTableFile.
// A copy that could not be made goes to goOnWithout, which answers whether
// to go on without it; false when it said no. copies receives each copy made.
bool BackUpStandardsTable(const std::function<bool(const Text& source, const Status& why)>& goOnWithout,
                          std::vector<Text>* copies = nullptr);

// One numbered backup of the standards table: the number's table copy,
// with the memo file and index of the same number where they exist (empty
// paths otherwise).
struct StandardsBackup {
  std::int32_t number = 0;
  Text table, memo, index;
};

// Every number in the Backups folder that has a copy of standard.dbf, the
// names matched without regard to case, in no particular order.
Status ListStandardsBackups(std::vector<StandardsBackup>* backups);

} // namespace pu
