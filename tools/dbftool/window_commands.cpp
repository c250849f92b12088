// The prefix window's two commands, Set Prefix and Replace, on a course
// database folder: run through the window's own functions, each title they
// change (or would change) listed, then the window's report.
#include <algorithm>
#include <functional>
#include <iostream>
#include <vector>

#include "app/prefix_commands.h"
#include "app/table_backup.h"
#include "db/course_index_check.h"
#include "db/standards_table.h"
#include "db/state_prefix.h"
#include "tools/dbftool/commands.h"
#include "tools/dbftool/course_folder.h"

namespace dbftool {
namespace {

using pu::Text;

struct Change {
  std::int32_t node = 0;
  Text before, after;
};

// Checked as start-up checks it: through a damaged index a command would
// miss rows or find the wrong ones.
bool indexIsSound() {
  std::optional<pu::IndexProblem> problem = pu::CheckProductionIndex(pu::toUtf8(standardsFile(u"dbf")));
  if (!problem) return true;
  std::cerr << problem->table << ": " << problem->what << "\nnothing was changed; dbftool reindex rebuilds the index\n";
  return false;
}

// The trees the window offers: every tree with a root but the classification.
bool isStateTree(std::int32_t tree) {
  std::vector<pu::StandardRow> roots = pu::StandardsTable().roots();
  return tree != pu::kCorvaneTree &&
         std::any_of(roots.begin(), roots.end(), [&](const pu::StandardRow& root) { return root.ref.tree == tree; });
}

int refuseTree(std::int32_t tree, const std::string& folder) {
  return badArguments("tree " + std::to_string(tree) + " is not a state tree of " + folder);
}

std::string quoted(const Text& title) { return "\"" + pu::toUtf8(title) + "\""; }

// Start-up's backups first unless it is a dry run; then the command, the
// titles it changed in node order, and its report.
int run(bool dryRun, const std::function<pu::CommandReport(const pu::CommandOptions&)>& command, std::ostream& out) {
  if (!dryRun && !pu::BackUpStandardsTable([](const Text&, const pu::Status& why) {
        std::cerr << "the backup failed, nothing was changed: " << why.message() << "\n";
        return false;
      }))
    return 1;
  std::vector<Change> changes;
  pu::CommandOptions options;
  options.dryRun = dryRun;
  options.onChange = [&](const pu::StandardRow& row, const Text& title) { changes.push_back({row.ref.node, row.title, title}); };
  const pu::CommandReport report = command(options);
  std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.node < b.node; });
  for (const Change& c : changes) out << "node " << c.node << ": " << quoted(c.before) << " -> " << quoted(c.after) << "\n";
  out << report.written << (report.written == 1 ? " title" : " titles") << (dryRun ? " would be changed" : " changed") << "\n";
  const Text message = pu::CommandReportMessage(report);
  if (!message.empty()) out << pu::toUtf8(message) << "\n";
  return message.empty() ? 0 : 1;
}

} // namespace

int prefix(const std::string& folder, const PrefixArguments& arguments, std::ostream& out) {
  if (arguments.identifier.empty()) return badArguments("the identifier is empty");
  if (!useCourseFolder(folder)) return kBadArguments;
  if (!indexIsSound()) return 1;
  const auto tree = static_cast<std::int16_t>(arguments.tree);
  if (!isStateTree(tree)) return refuseTree(tree, folder);
  if (!pu::StandardsTable().find({tree, arguments.standard}))
    return badArguments("standard " + std::to_string(arguments.standard) + " is not in tree " + std::to_string(tree));
  // The example as the window takes it: the text highlighted in the
  // standard's plain title, grown by one character where the window grows it.
  const Text title = pu::StandardDisplayText(tree, arguments.standard, pu::DisplayPlain);
  const Text identifier = pu::fromUtf8(arguments.identifier);
  const std::size_t at = title.find(identifier);
  if (at == Text::npos)
    return badArguments(quoted(identifier) + " is not in the title of standard " + std::to_string(arguments.standard) + ", " +
                        quoted(title));
  int length = static_cast<int>(identifier.size());
  const pu::PrefixExample example = pu::TakePrefixExample(title, static_cast<int>(at), length);
  return run(arguments.dryRun,
             [&](const pu::CommandOptions& options) {
               return pu::SetPrefix(tree, arguments.standard, example, arguments.includeParent, options);
             },
             out);
}

int replaceColons(const std::string& folder, std::int32_t tree, bool dryRun, std::ostream& out) {
  if (!useCourseFolder(folder)) return kBadArguments;
  if (!indexIsSound()) return 1;
  if (!isStateTree(tree)) return refuseTree(tree, folder);
  return run(
      dryRun, [&](const pu::CommandOptions& options) { return pu::ReplaceColons(static_cast<std::int16_t>(tree), options); },
      out);
}

} // namespace dbftool
