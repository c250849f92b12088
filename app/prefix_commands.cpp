#include "app/prefix_commands.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "app/tree_rows.h"
#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/standards_model.h"
#include "db/state_prefix.h"
#include "util/general.h"
#include "util/stored_text.h"

namespace pu {
namespace {

bool seekStandard(std::int16_t tree, std::int32_t node) {
  return RefFindFirst(standard::StandardID, MakeNodeKey(tree, node));
}

bool isEnciphered(const Text& stored) { return !stored.empty() && stored[0] == kEncipheredMark; }

// 1-based position of part in text, 0 when absent; an empty part is at 1.
std::size_t position(const Text& text, const Text& part) {
  std::size_t at = text.find(part);
  return at == Text::npos ? 0 : at + 1;
}

// Mid$: the text from 1-based position on; empty past its end.
Text from(const Text& text, std::size_t position) { return position > text.size() ? Text() : text.substr(position - 1); }

// The marked form of a plain title (markers already removed).
Text markedTitle(const Text& title, const Text& before, const Text& separator, std::int16_t separatorCount,
                 const Text& parentIdentifier) {
  std::size_t p = before.empty() ? 0 : position(UpperAscii(title), UpperAscii(before));
  std::size_t l = before.empty() ? 1 : before.size();
  Text head = title.substr(0, std::min(title.size(), p + l - 1));
  Text rest = from(title, p + l);
  // The identifier is separatorCount + 1 runs, each ending with the separator.
  std::size_t length = 0;
  Text scan = UpperAscii(rest);
  Text wanted = UpperAscii(separator);
  for (std::int32_t pass = 0; pass <= separatorCount; ++pass) {
    std::size_t q = wanted.empty() ? scan.size() : position(scan, wanted);
    length += q;
    scan = from(scan, q + 1);
  }
  return TrimSpaces(head + u"*" + parentIdentifier + rest.substr(0, length) + u"*" + from(rest, length + 1));
}

class StandardsTable {
public:
  StandardsTable()
      : m_table(OpenTable(standard::descript.table).table),
        m_tree(d4field(m_table, "tree_id")),
        m_node(d4field(m_table, "node_id")),
        m_descript(d4field(m_table, "descript")) {}

  // Makes the row current, checking that it still holds the standard.
  bool go(std::int16_t tree, const TreeRow& row) {
    LastResult = d4go(m_table, row.recno);
    return LastResult == kResultSuccess && f4long(m_tree) == tree && f4long(m_node) == row.node;
  }

  Text storedTitle() const { return TrimSpaces(FieldStr(m_descript)); }
  // Without converting the title: whether it may hold the text (blanks that
  // only pad the field count too).
  bool mayHold(std::string_view ansi) const {
    const char* bytes = f4ptr(m_descript);
    return bytes && std::string_view(bytes, static_cast<std::size_t>(f4len_v(m_descript))).find(ansi) != std::string_view::npos;
  }

  // Writes the current row's title; false when it is not in the table
  // afterwards: the record lock was refused, the write failed, or the title
  // would not fit the field and would lose its end.
  bool write(const Text& title) {
    if (static_cast<std::int64_t>(title.size()) > f4len_v(m_descript)) return false;
    LastResult = kResultSuccess;
    LockRecord(m_table);  // so that no write happens without the lock
    if (LastResult != kResultSuccess) return false;
    (void)code4errorCode(CodeBaseHandle, 0);
    DbHelper().SetFieldStr(standard::descript.field, standard::descript.table, title);
    if (LastResult != kResultSuccess || code4errorCode(CodeBaseHandle, 0) != 0) return false;
    return storedTitle() == title;
  }

  // Others may lock the last row written again.
  void release() { (void)d4unlock(m_table); }

private:
  std::int32_t m_table;
  std::int32_t m_tree, m_node, m_descript;
};

// Writes a changed title and counts the outcome.
void rewrite(StandardsTable& table, const Text& stored, const Text& title, CommandReport& report) {
  if (title == stored) return;
  if (table.write(title)) {
    ++report.written;
  } else {
    ++report.failed;
  }
}

// The parent's short title; nothing when it is enciphered (its decoding by
// the stand-in cipher is no identifier); empty when the parent is not in the tree.
std::optional<Text> parentIdentifier(StandardsTable& table, std::int16_t tree, const TreeDepths& rows, std::int32_t parent) {
  const TreeRow* row = rows.find(parent);
  if (!row || !table.go(tree, *row)) return Text();
  Text stored = table.storedTitle();
  if (isEnciphered(stored)) return std::nullopt;
  return DisplayTextOfTitle(stored, DisplayShort);
}

// The rows from the last record to the first. Each move is then a jump,
// which reads one small page; a step to the next record would read ahead
// as for a scan, which the record lock of each write cuts short.
std::vector<TreeRow> lastFirst(std::vector<TreeRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const TreeRow& a, const TreeRow& b) { return a.recno > b.recno; });
  return rows;
}

// The standards of the tree whose stored title may hold ": ".
std::vector<TreeRow> rowsWithColons(StandardsTable& table, std::int16_t tree) {
  std::vector<TreeRow> rows;
  std::unordered_set<std::int32_t> seen;
  ForEachTreeRow(tree, [&](const TreeRow& row) {
    if (seen.insert(row.node).second && table.mayHold(": ")) rows.push_back(row);
  });
  return rows;
}

Text countOf(std::int32_t n, const char* one, const char* many) {
  return fromUtf8(std::to_string(n)) + fromUtf8(n == 1 ? one : many);
}

} // namespace

std::int16_t GetPathLength(std::int16_t tree, std::int32_t standard) {
  if (!seekStandard(tree, standard)) return -1;
  std::unordered_set<std::int32_t> passed{standard};
  std::int32_t depth = 0;
  for (std::int32_t parent = RefValLng(standard::parent_id); !passed.count(parent) && seekStandard(tree, parent);
       parent = RefValLng(standard::parent_id)) {
    passed.insert(parent);
    ++depth;
  }
  return static_cast<std::int16_t>(std::min<std::int32_t>(depth, std::numeric_limits<std::int16_t>::max()));
}

PrefixExample TakePrefixExample(const Text& boxText, int selectionStart, int& selectionLength) {
  const int length = static_cast<int>(boxText.size());
  const int start = std::clamp(selectionStart, 0, length);
  selectionLength = std::clamp(selectionLength, 0, length - start);
  Text selected = boxText.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(selectionLength));
  // The character after an identifier such as 1.2 becomes its separator.
  if (!selected.empty() && IsAlphanumericChar(selected.substr(selected.size() - 1)) && start + selectionLength < length) {
    ++selectionLength;
    selected = boxText.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(selectionLength));
  }
  PrefixExample example;
  example.before = boxText.substr(0, static_cast<std::size_t>(start));
  example.identifier = selected;
  if (!selected.empty()) example.separator = selected.substr(selected.size() - 1);
  example.separatorCount = static_cast<std::int16_t>(
      example.separator.empty() ? -1 : std::count(selected.begin(), selected.end(), example.separator[0]) - 1);
  return example;
}

Text MarkIdentifier(const Text& before, const Text& separator, std::int16_t separatorCount, const Text& parentIdentifier) {
  Text title = RemoveAll(DecodeStoredText(DbHelper().FieldValStr(standard::descript.field, standard::descript.table)), u"*");
  return markedTitle(title, before, separator, separatorCount, parentIdentifier);
}

CommandReport SetPrefix(std::int16_t tree, std::int32_t selectedNode, const PrefixExample& example, bool includeParent) {
  CommandReport report;
  TreeDepths rows = TreeDepths::read(tree);
  const std::int16_t depth = rows.depthOf(selectedNode);
  if (depth < 0) return report;
  StandardsTable table;
  for (const TreeRow& row : lastFirst(rows.rows())) {
    if (row.depth != depth) continue;
    std::optional<Text> parent = Text();
    if (includeParent) parent = parentIdentifier(table, tree, rows, row.parent);
    if (!table.go(tree, row)) {
      ++report.failed;
      continue;
    }
    Text stored = table.storedTitle();
    if (isEnciphered(stored) || !parent) {
      ++report.leftEnciphered;
      continue;
    }
    rewrite(table, stored, markedTitle(RemoveAll(stored, u"*"), example.before, example.separator,
                                       example.separatorCount, *parent), report);
  }
  table.release();
  return report;
}

CommandReport ReplaceColons(std::int16_t tree) {
  CommandReport report;
  StandardsTable table;
  for (const TreeRow& row : lastFirst(rowsWithColons(table, tree))) {
    if (!table.go(tree, row)) {
      ++report.failed;
      continue;
    }
    // The stored form is kept: an enciphered title is not searched, since
    // a ": " in its enciphered form is no colon of the title.
    Text stored = table.storedTitle();
    Text replaced = ReplaceAll(stored, u": ", u":*");
    if (replaced != stored && isEnciphered(stored)) {
      ++report.leftEnciphered;
      continue;
    }
    rewrite(table, stored, replaced, report);
  }
  table.release();
  return report;
}

Text CommandReportMessage(const CommandReport& report) {
  Text message;
  if (report.leftEnciphered > 0)
    message += countOf(report.leftEnciphered, " title was left unchanged", " titles were left unchanged") +
               u": enciphered titles cannot be deciphered here.";
  if (report.failed > 0) {
    if (!message.empty()) message += u"\n";
    message += countOf(report.failed, " title could not be written", " titles could not be written") +
               u": the record was locked by another program, or the new title was too long.";
  }
  return message;
}

} // namespace pu
