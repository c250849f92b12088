#include "db/standards_table.h"

#include <algorithm>
#include <set>
#include <string>

#include "db/codebase.h"
#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "util/general.h"

namespace pu {
namespace {

// The roots are sought on the "node_id" tag, whose keys are the node number
// as plain digits padded to 7 characters.
constexpr const char* kRootNumberKey = "1      ";

std::string orderKey(std::int16_t order) {
  std::string digits = std::to_string(order);
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits;
}

bool differs(const StandardRow& now, const RowChanges& changes) {
  return (changes.title && *changes.title != now.title) || (changes.order && *changes.order != now.order) ||
         (changes.parent && *changes.parent != now.parent);
}

} // namespace

StandardsTable::StandardsTable() {
  m_table = OpenTable(u"standard").table;
  if (m_table == 0) return;
  m_tree = d4field(m_table, "tree_id");
  m_node = d4field(m_table, "node_id");
  m_parent = d4field(m_table, "parent_id");
  m_order = d4field(m_table, "Order");
  m_title = d4field(m_table, "descript");
  m_byNode = d4tag(m_table, "StandardID");
  m_byParent = d4tag(m_table, "treeprntid");
  m_byNumber = d4tag(m_table, "node_id");
}

StandardRow StandardsTable::current() const {
  return {d4recNo(m_table),
          {f4int(m_tree), f4long(m_node)},
          f4long(m_parent),
          f4int(m_order),
          TrimSpaces(FieldStr(m_title))};
}

bool StandardsTable::holds(const NodeRef& ref) const {
  return f4int(m_tree) == ref.tree && f4long(m_node) == ref.node && d4deleted(m_table) == 0;
}

std::optional<StandardRow> StandardsTable::find(const NodeRef& node) {
  if (m_byNode == 0) return std::nullopt;
  std::string key = toAnsi(NodeRefKey(node));
  d4tagSelect(m_table, m_byNode);
  for (std::int16_t r = d4seek(m_table, key.c_str()); r == kResultSuccess; r = d4seekNext(m_table, key.c_str()))
    if (holds(node)) return current();
  return std::nullopt;
}

std::optional<StandardRow> StandardsTable::read(std::int16_t tree, const TreeLink& link) {
  if (m_table == 0 || d4go(m_table, link.recno) != kResultSuccess || !holds({tree, link.node})) return std::nullopt;
  return current();
}

Lineage StandardsTable::lineage(const NodeRef& node) {
  Lineage out;
  std::optional<StandardRow> row = find(node);
  if (!row) return out;
  std::set<std::int32_t> passed{node.node};
  for (;;) {
    out.rows.push_back(*row);
    std::int32_t parent = row->parent;
    if (parent == row->ref.node) {
      out.end = ChainEnd::OwnParent;
      break;
    }
    if (!passed.insert(parent).second) {
      out.end = ChainEnd::Cycle;
      break;
    }
    row = parent == 0 ? std::nullopt : find({node.tree, parent});
    if (!row) break;
  }
  return out;
}

bool StandardsTable::hangsFrom(const NodeRef& parent) const {
  return f4int(m_tree) == parent.tree && f4long(m_parent) == parent.node && f4long(m_node) != parent.node &&
         d4deleted(m_table) == 0;
}

// The children the "treeprntid" tag lists from the key on (the parent's node
// key, perhaps followed by an "Order").
std::vector<StandardRow> StandardsTable::childrenFromKey(const NodeRef& parent, const std::string& key) {
  std::vector<StandardRow> rows;
  if (m_byParent == 0) return rows;
  std::string parentKey = toAnsi(NodeRefKey(parent));
  d4tagSelect(m_table, m_byParent);
  std::int16_t r = d4seek(m_table, key.c_str());
  // A key with an "Order" lands on the first row at or after it, which may
  // be no child at all.
  if (r == kResultAfter && key.size() > parentKey.size() && f4int(m_tree) == parent.tree &&
      f4long(m_parent) == parent.node)
    r = kResultSuccess;
  for (; r == kResultSuccess; r = d4seekNext(m_table, parentKey.c_str()))
    if (hangsFrom(parent)) rows.push_back(current());
  return rows;
}

std::vector<StandardRow> StandardsTable::children(const NodeRef& parent) {
  return childrenFromKey(parent, toAnsi(NodeRefKey(parent)));
}

std::vector<StandardRow> StandardsTable::childrenFrom(const NodeRef& parent, std::int16_t first) {
  return childrenFromKey(parent, toAnsi(NodeRefKey(parent)) + orderKey(first));
}

bool StandardsTable::hasChildren(const NodeRef& parent) {
  if (m_byParent == 0) return false;
  std::string key = toAnsi(NodeRefKey(parent));
  d4tagSelect(m_table, m_byParent);
  for (std::int16_t r = d4seek(m_table, key.c_str()); r == kResultSuccess; r = d4seekNext(m_table, key.c_str()))
    if (hangsFrom(parent)) return true;
  return false;
}

std::optional<StandardRow> StandardsTable::lastChildBefore(const NodeRef& parent, std::int16_t before) {
  if (m_byParent == 0) return std::nullopt;
  d4tagSelect(m_table, m_byParent);
  std::int16_t r = d4seek(m_table, (toAnsi(NodeRefKey(parent)) + orderKey(before)).c_str());
  if (r != kResultSuccess && r != kResultAfter && r != kResultEof) return std::nullopt;
  while (d4skip(m_table, -1) == kResultSuccess) {
    if (f4int(m_tree) != parent.tree || f4long(m_parent) != parent.node) return std::nullopt;
    if (hangsFrom(parent)) return current();
  }
  return std::nullopt;
}

std::optional<StandardRow> StandardsTable::sibling(const StandardRow& row, int step) {
  if (m_byParent == 0 || d4go(m_table, row.recno) != kResultSuccess || !holds(row.ref)) return std::nullopt;
  const NodeRef parent{row.ref.tree, row.parent};
  d4tagSelect(m_table, m_byParent);
  while (d4skip(m_table, step) == kResultSuccess) {
    if (f4int(m_tree) != parent.tree || f4long(m_parent) != parent.node) return std::nullopt;
    if (hangsFrom(parent)) return current();
  }
  return std::nullopt;
}

// One seek, then steps along the tag: cheaper than a seek to the next match
// at every row.
std::vector<TreeLink> StandardsTable::treeLinks(std::int16_t tree) {
  std::vector<TreeLink> links;
  if (m_byNode == 0) return links;
  d4tagSelect(m_table, m_byNode);
  for (std::int16_t r = d4seek(m_table, toAnsi(TreeKey(tree)).c_str()); r == kResultSuccess && f4int(m_tree) == tree;
       r = d4skip(m_table, 1))
    if (d4deleted(m_table) == 0) links.push_back({d4recNo(m_table), f4long(m_node), f4long(m_parent)});
  return links;
}

std::vector<StandardRow> StandardsTable::roots() {
  std::vector<StandardRow> rows;
  if (m_byNumber == 0) return rows;
  d4tagSelect(m_table, m_byNumber);
  for (std::int16_t r = d4seek(m_table, kRootNumberKey); r == kResultSuccess; r = d4seekNext(m_table, kRootNumberKey))
    // Tree numbers are 16-bit everywhere else, and 0 is no tree.
    if (f4long(m_node) == 1 && f4long(m_tree) > 0 && f4long(m_tree) <= 32767 && d4deleted(m_table) == 0)
      rows.push_back(current());
  return rows;
}

std::int32_t StandardsTable::highestNodeBelow(std::int16_t tree, std::int32_t limit) {
  std::int32_t highest = 0;
  if (m_table == 0) return highest;
  d4tagSelect(m_table, 0);
  for (std::int16_t r = d4top(m_table); r == kResultSuccess; r = d4skip(m_table, 1)) {
    std::int32_t node = f4long(m_node);
    if (f4int(m_tree) == tree && node < limit) highest = std::max(highest, node);
  }
  return highest;
}

int StandardsTable::titleWidth() { return m_title ? f4len_v(m_title) : 0; }

// On the row's record and locked, with the record read afresh; Written
// when the caller may now change it. The lock is given back by release().
WriteResult StandardsTable::lockRow(const StandardRow& row) {
  if (m_table == 0) return WriteResult::Failed;
  if (d4go(m_table, row.recno) != kResultSuccess || !holds(row.ref)) return WriteResult::Missing;
  std::int16_t lock = LockRecord(m_table);
  if (lock == kResultLocked) return WriteResult::InUse;
  if (lock != kResultSuccess) return WriteResult::Failed;
  // Another program may have changed the row before we had the lock.
  if (!holds(row.ref)) return release(WriteResult::Missing);
  return WriteResult::Written;
}

WriteResult StandardsTable::release(WriteResult result) {
  if (d4unlock(m_table) != kResultSuccess && result == WriteResult::Written) return WriteResult::Failed;
  return result;
}

bool StandardsTable::titleFits(const RowChanges& changes) {
  return !changes.title || static_cast<std::int64_t>(toAnsi(*changes.title).size()) <= titleWidth();
}

WriteResult StandardsTable::preview(const StandardRow& row, const RowChanges& changes) {
  if (!titleFits(changes)) return WriteResult::TooLong;
  if (m_table == 0) return WriteResult::Failed;
  if (d4go(m_table, row.recno) != kResultSuccess || !holds(row.ref)) return WriteResult::Missing;
  return differs(current(), changes) ? WriteResult::Written : WriteResult::Unchanged;
}

WriteResult StandardsTable::write(const StandardRow& row, const RowChanges& changes) {
  if (!titleFits(changes)) return WriteResult::TooLong;
  // A row unchanged as the caller read it is neither locked nor written;
  // what is stored is compared again once the lock is held.
  if (!differs(row, changes)) return WriteResult::Unchanged;
  WriteResult locked = lockRow(row);
  if (locked != WriteResult::Written) return locked;
  StandardRow now = current();
  if (!differs(now, changes)) return release(WriteResult::Unchanged);
  bool stored = (!changes.title || *changes.title == now.title || AssignFieldStr(m_title, *changes.title) == kResultSuccess) &&
                (!changes.order || *changes.order == now.order || f4assignIntVB(m_order, *changes.order) == kResultSuccess) &&
                (!changes.parent || *changes.parent == now.parent || f4assignLong(m_parent, *changes.parent) == kResultSuccess);
  return release(stored ? WriteResult::Written : WriteResult::Failed);
}

WriteResult StandardsTable::markDeleted(const StandardRow& row) {
  WriteResult locked = lockRow(row);
  if (locked != WriteResult::Written) return locked;
  d4delete(m_table);
  return release(d4deleted(m_table) != 0 ? WriteResult::Written : WriteResult::Failed);
}

WriteResult StandardsTable::append(StandardRow& row) {
  if (!titleFits({.title = row.title})) return WriteResult::TooLong;
  if (m_table == 0) return WriteResult::Failed;
  AppendBlank(m_table);
  if (LastResult != kResultSuccess) return WriteResult::Failed;
  bool filled = f4assignLong(m_tree, row.ref.tree) == kResultSuccess && f4assignLong(m_node, row.ref.node) == kResultSuccess &&
                f4assignLong(m_parent, row.parent) == kResultSuccess && AssignFieldStr(m_title, row.title) == kResultSuccess &&
                f4assignIntVB(m_order, row.order) == kResultSuccess;
  if (!filled) {
    (void)d4go(m_table, 1);  // leaves the new record unstored
    return WriteResult::Failed;
  }
  std::int16_t appended = AppendRecord(m_table);
  if (appended == kResultLocked) return WriteResult::InUse;
  if (appended != kResultSuccess) return WriteResult::Failed;
  row.recno = d4recNo(m_table);
  return WriteResult::Written;
}

bool StandardsTable::pack() { return m_table != 0 && d4pack(m_table) == kResultSuccess; }

} // namespace pu
