#pragma once
// Start-up: choose the database folder, point the path globals at it, back
// up the standards table, then show the prefix window until it is closed.
#include "platform/status.h"
#include "platform/text/ansi.h"

class QVariant;
class QWidget;

namespace pu {

// The program's entry. preselectedFolder opens the folder dialog at that
// folder (the user still confirms); empty opens it at the working folder.
void Main(const Text& preselectedFolder = {});

// Everything start-up does between the folder dialog and the prefix window:
// sets the path globals to folder, creates the Backups folder, backs up
// standard.dbf (with standard.fpt) and standard.cdx, and checks the course
// tables' indexes (app/startup_index_check.h). A backup that could not be
// made is shown with MsgBoxEx and the user chooses whether to go on without
// it. False when the program should end before any table is touched.
bool PrepareDatabaseFolder(const Text& folder);

// Copies one file into the Backups folder under DataPath, as name, the first
// free number from 1, a point and the extension; a table (.dbf) with a memo
// file beside it takes the first number free for both, and its memo file is
// copied under that number too. A source that does not exist is not an
// error (nothing to back up). An error when no number up to 32767 is free or
// a copy is not there afterwards; each copy is complete or absent.
// backupPath receives the copy's path when one was made.
Status BackupTableFile(const Text& sourcePath, Text* backupPath = nullptr);

// Hooks the message box and the table layer call.
void FormHook(QWidget* form);
bool FilterEnabled();
bool FilterAccepts(const QVariant& first, const QVariant& second);

} // namespace pu
