#pragma once
// Start-up: choose the database folder, point the path globals at it, back
// up the standards table, then show the prefix window until it is closed.
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

// Hooks the message box and the table layer call.
void FormHook(QWidget* form);
bool FilterEnabled();
bool FilterAccepts(const QVariant& first, const QVariant& second);

} // namespace pu
