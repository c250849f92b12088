#include "app/prefix_commands.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "db/tree_shape.h"
#include "util/general.h"
#include "util/stored_text.h"

namespace pu {
namespace {

bool isEnciphered(const Text& stored) { return !stored.empty() && stored[0] == kEncipheredMark; }

void count(WriteResult result, CommandReport& report) {
  switch (result) {
    case WriteResult::Written: ++report.written; break;
    case WriteResult::Unchanged: break;
    case WriteResult::InUse: ++report.inUse; break;
    case WriteResult::TooLong: ++report.tooLong; break;
    case WriteResult::Missing:
    case WriteResult::Failed: ++report.failed; break;
  }
}

// The one write of a command: the row's new title stored, or in a dry run
// only looked at, and counted.
void apply(StandardsTable& standards, const StandardRow& row, const Text& title, const CommandOptions& options,
           CommandReport& report) {
  const RowChanges changes{.title = title};
  WriteResult result = options.dryRun ? standards.preview(row, changes) : standards.write(row, changes);
  count(result, report);
  if (result == WriteResult::Written && options.onChange) options.onChange(row, title);
}

// The rows from the last record to the first. Each move is then a jump,
// which reads one small page; a step to the next record would read ahead
// as for a scan, which the record lock of each write cuts short.
std::vector<ShapedRow> lastFirst(const TreeShape& shape) {
  std::vector<ShapedRow> rows = shape.rows();
  std::reverse(rows.begin(), rows.end());
  return rows;
}

// The parent's short title: empty when the parent is not in the tree,
// nothing when it is enciphered (its decoding by the stand-in cipher is no identifier).
std::optional<Text> parentIdentifier(StandardsTable& standards, std::int16_t tree, const TreeShape& shape,
                                     std::int32_t parent) {
  const ShapedRow* row = shape.find(parent);
  std::optional<StandardRow> read = row ? standards.read(tree, row->link) : std::nullopt;
  if (!read) return Text();
  if (isEnciphered(read->title)) return std::nullopt;
  return DisplayTextOfTitle(read->title, DisplayShort);
}

Text countOf(std::int32_t n, const char* one, const char* many) {
  return fromUtf8(std::to_string(n)) + fromUtf8(n == 1 ? one : many);
}

void addLine(Text& message, std::int32_t n, const char* one, const char* many) {
  if (n <= 0) return;
  if (!message.empty()) message += u"\n";
  message += countOf(n, one, many);
}

} // namespace

std::int16_t GetPathLength(std::int16_t tree, std::int32_t standard) {
  Lineage up = StandardsTable().lineage({tree, standard});
  if (up.rows.empty()) return -1;
  return static_cast<std::int16_t>(
      std::min<std::size_t>(up.rows.size() - 1, static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())));
}

CommandReport SetPrefix(std::int16_t tree, std::int32_t selectedNode, const PrefixExample& example, bool includeParent,
                        const CommandOptions& options) {
  CommandReport report;
  StandardsTable standards;
  TreeShape shape = TreeShape::read(standards, tree);
  const std::int16_t depth = shape.depthOf(selectedNode);
  if (depth < 0) return report;
  for (const ShapedRow& row : lastFirst(shape)) {
    if (row.depth != depth) continue;
    std::optional<Text> parent = Text();
    if (includeParent) parent = parentIdentifier(standards, tree, shape, row.link.parent);
    std::optional<StandardRow> own = standards.read(tree, row.link);
    if (!own) {
      ++report.failed;
      continue;
    }
    if (isEnciphered(own->title)) {
      ++report.leftEnciphered;
      continue;
    }
    if (!parent) {
      ++report.leftParentEnciphered;
      continue;
    }
    apply(standards, *own, MarkIdentifier(own->title, example, *parent), options, report);
  }
  return report;
}

CommandReport ReplaceColons(std::int16_t tree, const CommandOptions& options) {
  CommandReport report;
  StandardsTable standards;
  for (const ShapedRow& row : lastFirst(TreeShape::read(standards, tree))) {
    std::optional<StandardRow> own = standards.read(tree, row.link);
    if (!own) {
      ++report.failed;
      continue;
    }
    // The stored form is kept: an enciphered title is not searched, since
    // a ": " in its enciphered form is no colon of the title.
    Text replaced = ReplaceAll(own->title, u": ", u":*");
    if (replaced == own->title) continue;
    if (isEnciphered(own->title)) {
      ++report.leftEnciphered;
      continue;
    }
    apply(standards, *own, replaced, options, report);
  }
  return report;
}

Text CommandReportMessage(const CommandReport& report) {
  Text message;
  addLine(message, report.leftEnciphered, " title was left unchanged: it is stored enciphered and cannot be deciphered here.",
          " titles were left unchanged: they are stored enciphered and cannot be deciphered here.");
  addLine(message, report.leftParentEnciphered,
          " title was left unchanged: the identifier of its parent is stored enciphered and cannot be deciphered here.",
          " titles were left unchanged: the identifier of their parent is stored enciphered and cannot be deciphered here.");
  addLine(message, report.inUse, " title was left unchanged: another program was changing it and the wait for it was cancelled.",
          " titles were left unchanged: another program was changing them and the wait for them was cancelled.");
  addLine(message, report.tooLong, " title was left unchanged: the new title would be too long for the title field.",
          " titles were left unchanged: the new titles would be too long for the title field.");
  addLine(message, report.failed, " title could not be written: the standards table could not be changed.",
          " titles could not be written: the standards table could not be changed.");
  return message;
}

} // namespace pu
