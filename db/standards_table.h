#pragma once
// The one owner of the standards table: every read and write of
// standard.dbf in the program goes through here. Rows are addressed by
// (tree, node) or by record number, never by wherever the table happens to
// stand. A write locks the record it means, puts the table back on it after
// any wait for another program, checks that the row still holds the
// standard it was read as, writes only the values that differ and gives the
// lock back. Rows marked deleted (a pack another program prevented) are
// passed over by every read but the node-number scan.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/node_key.h"
#include "platform/text/ansi.h"

namespace pu {

struct StandardRow {
  std::int32_t recno = 0;  // where the row stands; only a pack moves it
  NodeRef ref;
  std::int32_t parent = 0;
  std::int16_t order = 0;
  Text title;  // as stored (perhaps enciphered), blanks trimmed
};

// Where a row stands and what it hangs from: a tree's shape, read without titles.
struct TreeLink {
  std::int32_t recno = 0;
  std::int32_t node = 0;
  std::int32_t parent = 0;
};

// What a write did; only Written changed the file.
enum class WriteResult {
  Written,
  Unchanged,  // every value was stored already: nothing locked or written
  Missing,    // the record no longer holds that standard (deleted, packed away)
  InUse,      // another program holds the record and the user gave up waiting
  TooLong,    // the title does not fit the field and would lose its end
  Failed,     // the table could not be written
};

// Values to store in a row; those left empty keep what is stored.
struct RowChanges {
  std::optional<Text> title = {};
  std::optional<std::int16_t> order = {};
  std::optional<std::int32_t> parent = {};
};

// How a walk up the parent links ended.
enum class ChainEnd {
  MissingParent,  // a parent that is 0 or not in the tree
  OwnParent,      // a root that is its own parent
  Cycle,          // the next parent is a row the walk has already passed
};

struct Lineage {
  std::vector<StandardRow> rows;  // the standard first, then its parent, ...; empty when it is missing
  ChainEnd end = ChainEnd::MissingParent;
};

class StandardsTable {
public:
  // The course database's standards table, opened through the registry on first use.
  StandardsTable();

  bool isOpen() const { return m_table != 0; }

  // A live standard, found on "StandardID".
  std::optional<StandardRow> find(const NodeRef& node);
  // The row at link.recno, when it still holds that node of the tree.
  std::optional<StandardRow> read(std::int16_t tree, const TreeLink& link);
  // The standard and its ancestors: the one walk up the parent links, which
  // ends at a missing parent, at a root that is its own parent, or where the
  // links close on themselves (parent chains come from other programs).
  Lineage lineage(const NodeRef& node);

  // The live children of a node in "Order" (the "treeprntid" tag); a root
  // that is its own parent is no child of itself.
  std::vector<StandardRow> children(const NodeRef& parent);
  bool hasChildren(const NodeRef& parent);
  // The children whose "Order" is first or more, in "Order".
  std::vector<StandardRow> childrenFrom(const NodeRef& parent, std::int16_t first);
  // The live child with the highest "Order" below `before`.
  std::optional<StandardRow> lastChildBefore(const NodeRef& parent, std::int16_t before);
  // The next (step 1) or previous (step -1) live sibling in "Order".
  std::optional<StandardRow> sibling(const StandardRow& row, int step);

  // Every live row of the tree in node order (rows that repeat a node number
  // in record order after it).
  std::vector<TreeLink> treeLinks(std::int16_t tree);
  // Node 1 of every tree numbered 1 to 32767, on the "node_id" tag.
  std::vector<StandardRow> roots();
  // The highest node number of the tree below `limit`, over every row in the
  // file, rows marked deleted too (their numbers are not free while they stay).
  std::int32_t highestNodeBelow(std::int16_t tree, std::int32_t limit);

  // Width of the title field in characters.
  int titleWidth();

  // Locks row.recno, checks it still holds row.ref and stores the changes
  // that differ from what is stored there now. Changes that do not differ
  // from row (the caller's read) lock nothing.
  [[nodiscard]] WriteResult write(const StandardRow& row, const RowChanges& changes);
  // What write() would answer before it locks, found without locking or
  // writing: Written when the row still holds row.ref and a change differs.
  // Another program may still hold or change the record when write() comes.
  [[nodiscard]] WriteResult preview(const StandardRow& row, const RowChanges& changes);
  // Marks the row deleted; it stays in the file until a pack.
  [[nodiscard]] WriteResult markDeleted(const StandardRow& row);
  // Appends a row; its record number goes into row.recno.
  [[nodiscard]] WriteResult append(StandardRow& row);
  // Removes the rows marked deleted; record numbers change. False when it
  // could not run (another program has the table open): the rows stay marked.
  [[nodiscard]] bool pack();

private:
  StandardRow current() const;
  bool holds(const NodeRef& ref) const;
  bool hangsFrom(const NodeRef& parent) const;
  bool titleFits(const RowChanges& changes);
  std::vector<StandardRow> childrenFromKey(const NodeRef& parent, const std::string& key);
  WriteResult lockRow(const StandardRow& row);
  WriteResult release(WriteResult result);

  std::int32_t m_table = 0;
  std::int32_t m_tree = 0, m_node = 0, m_parent = 0, m_order = 0, m_title = 0;
  std::int32_t m_byNode = 0, m_byParent = 0, m_byNumber = 0;  // "StandardID", "treeprntid", "node_id"
};

} // namespace pu
