#include "app/startup_index_check.h"

#include <string>
#include <vector>

#include "db/course_index_check.h"
#include "msgbox/msg_box.h"

namespace pu {
namespace {

const Text kTitle = u"Damaged Index";

std::string tablePath(const Text& folder, const std::string& table) { return toUtf8(folder) + "/" + table + ".dbf"; }

bool askToRebuild(const std::vector<IndexProblem>& problems) {
  Text lines;
  bool unreadable = false;
  for (const IndexProblem& p : problems) {
    lines += fromUtf8(p.what) + u"\r\n";
    unreadable = unreadable || p.unreadable;
  }
  Text message = u"An index of the database does not match its table:\r\n\r\n" + lines + u"\r\n";
  if (unreadable) message += u"An index that cannot be read is rebuilt from this program's own tag definitions.\r\n";
  message += u"Rebuild now? The backup just made holds the original files. No ends the program without changing anything.";
  return MsgBoxEx(message, MsgButtons::YesNo | MsgIcons::Exclamation, kTitle) == MsgResult::Yes;
}

bool rebuild(const Text& folder, const IndexProblem& problem) {
  std::string table = problem.table.substr(0, problem.table.find_last_of('.'));
  bool fromRegistry = false;
  Status s = RebuildProductionIndex(tablePath(folder, table), &fromRegistry);
  if (s) return true;
  MsgBoxEx(u"The index of " + fromUtf8(problem.table) + u" could not be rebuilt:\r\n\r\n" + fromUtf8(s.message()),
           MsgButtons::OkOnly | MsgIcons::Critical, kTitle);
  return false;
}

} // namespace

bool CheckCourseIndexesAtStartUp(const Text& folder) {
  for (;;) {
    std::vector<IndexProblem> problems;
    for (const std::string& table : CheckedCourseTables())
      if (auto problem = CheckProductionIndex(tablePath(folder, table))) problems.push_back(*problem);
    if (problems.empty()) return true;
    if (!askToRebuild(problems)) return false;
    for (const IndexProblem& problem : problems)
      if (!rebuild(folder, problem)) return false;
  }
}

} // namespace pu
