#include "db/family_tree_edits.h"

#include <set>
#include <string>
#include <vector>

#include "db/codebase.h"
#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "util/general.h"
#include "util/numbering.h"

namespace pu {
namespace {

constexpr std::int16_t kLastNumbered = 799;
constexpr std::int16_t kFirstUnnumbered = 800;
constexpr std::int16_t kLastPlace = 999;

// Handles of the standards table the edits write through.
struct Standard {
  TableRec rec;
  std::int32_t table, treeId, nodeId, parentId, order, descript, byParent;
};

Standard standardTable() {
  TableRec rec = OpenTable(u"standard");
  std::int32_t h = rec.table;
  return {rec,
          h,
          d4field(h, "tree_id"),
          d4field(h, "node_id"),
          d4field(h, "parent_id"),
          d4field(h, "Order"),
          d4field(h, "descript"),
          d4tag(h, "treeprntid")};
}

// The node's live record, made current; 0 when there is none.
std::int32_t findNode(const Standard& t, const NodeRef& node) {
  if (t.table == 0 || !RefFindFirst(standard::StandardID, NodeRefKey(node))) return 0;
  if (f4int(t.treeId) != node.tree || f4long(t.nodeId) != node.node) return 0;
  return d4recNo(t.table);
}

// False when the user gave up waiting for another program's lock.
bool lockCurrent(const Standard& t) { return d4recNo(t.table) > 0 && LockRecord(t.table); }

// Field writes of the current, locked record; an unchanged value is not written.
bool storeLong(std::int32_t field, std::int32_t value) {
  return f4long(field) == value || f4assignLong(field, value) == kResultSuccess;
}

bool storeText(std::int32_t field, const Text& text) {
  if (TrimSpaces(FieldStr(field)) == text) return true;
  std::string bytes = toAnsi(text);
  return f4assignNVB(field, bytes.c_str(), static_cast<std::int16_t>(bytes.size())) == kResultSuccess;
}

// Makes the record current, locks it and runs the write.
template <class Write>
bool writeRecord(const Standard& t, std::int32_t recno, Write write) {
  return d4go(t.table, recno) == kResultSuccess && lockCurrent(t) && write();
}

struct Child {
  std::int32_t recno;
  std::int32_t node;
};

// The node's live children in "treeprntid" order, listed before any is
// changed: a changed row moves within the tag.
std::vector<Child> childrenOf(const Standard& t, const NodeRef& node) {
  std::vector<Child> children;
  std::string key = toAnsi(NodeRefKey(node));
  d4tagSelect(t.table, t.byParent);
  for (std::int16_t r = d4seek(t.table, key.c_str()); r == kResultSuccess; r = d4seekNext(t.table, key.c_str())) {
    std::int32_t child = f4long(t.nodeId);
    if (d4deleted(t.table) == 0 && f4int(t.treeId) == node.tree && f4long(t.parentId) == node.node && child != node.node)
      children.push_back({d4recNo(t.table), child});
  }
  return children;
}

// Children first, the node last, so that a step that fails never leaves a
// row whose parent is gone. Only the outermost node's siblings close up
// their unnumbered places: the others' siblings are being deleted too.
bool deleteNode(const Standard& t, const NodeRef& node, bool promoteChildren, bool closeUp,
                std::set<std::int32_t>& visited) {
  if (!visited.insert(node.node).second) return true;  // met again through a damaged parent chain
  std::int32_t recno = findNode(t, node);
  if (recno == 0) return false;
  std::int16_t old = f4int(t.order);
  std::int32_t parent = f4long(t.parentId);
  if (parent == 0 || parent == node.node) return false;  // a root: the tree would go with it
  for (const Child& c : childrenOf(t, node)) {
    bool done = promoteChildren ? writeRecord(t, c.recno, [&] { return storeLong(t.parentId, parent); })
                                : deleteNode(t, {node.tree, c.node}, false, false, visited);
    if (!done) return false;
  }
  if (!writeRecord(t, recno, [&] { return DeleteRecord(t.rec); })) return false;
  if (closeUp && old >= kFirstUnnumbered) RenumberUnnumbered({node.tree, parent});
  return true;
}

// Raised by every DeleteClassification for its length, so that only the
// outermost one packs (a lock wait lets window events, and so another
// delete, run inside a delete).
std::int16_t g_deleteDepth = 0;

} // namespace

NumberedTitle SplitNumberedTitle(const Text& text, std::int16_t level) {
  std::size_t p = text.find_first_of(u".:)");
  if (p == Text::npos) p = text.find(u' ');
  std::int16_t ordinal = p == Text::npos ? 0 : ParseOrdinal(text.substr(0, p), level);
  if (ordinal < 1 || ordinal > kLastNumbered) return {0, text};
  return {ordinal, TrimSpaces(text.substr(p + 1))};
}

Text CleanEditedTitle(const Text& text) {
  Text clean = text;
  for (char16_t& c : clean)
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
  return TrimSpaces(clean);
}

bool RenameCategory(const NodeRef& node, const Text& title, std::int16_t order) {
  Standard t = standardTable();
  if (title.empty() || findNode(t, node) == 0) return false;
  std::int16_t old = f4int(t.order);
  std::int32_t parent = f4long(t.parentId);
  std::int16_t stored = old;
  bool closeUp = false;
  if (old < kFirstUnnumbered) {
    stored = order > 0 ? order : kLastPlace;
    closeUp = order <= 0;
  } else if (order > 0 && order < kFirstUnnumbered) {
    stored = order;
    closeUp = true;
  }
  // An unchanged row is neither locked nor written (closing up always
  // comes with a new "Order").
  if (TrimSpaces(FieldStr(t.descript)) == title && stored == old) return true;
  if (!lockCurrent(t) || !storeText(t.descript, title) || !storeLong(t.order, stored)) return false;
  if (closeUp) RenumberUnnumbered({node.tree, parent});
  return true;
}

std::int32_t CreateCategory(std::int16_t tree, std::int32_t parent, const Text& title, std::int16_t order) {
  Standard t = standardTable();
  if (title.empty() || findNode(t, {tree, parent}) == 0) return 0;
  Text number = NewNodeId(tree);
  if (number.empty()) return 0;
  std::int32_t node = std::stoi(toAnsi(number));
  std::int16_t stored = order > 0 ? order : kLastPlace;
  AppendBlank(t.table);
  if (LastResult != kResultSuccess) return 0;
  std::string text = toAnsi(title);
  bool filled = f4assignLong(t.treeId, tree) == kResultSuccess && f4assignLong(t.nodeId, node) == kResultSuccess &&
                f4assignLong(t.parentId, parent) == kResultSuccess &&
                f4assignNVB(t.descript, text.c_str(), static_cast<std::int16_t>(text.size())) == kResultSuccess &&
                f4assignIntVB(t.order, stored) == kResultSuccess;
  if (!filled) {
    (void)d4go(t.table, 1);  // leaving the new record unstored
    return 0;
  }
  if (d4append(t.table) != kResultSuccess) return 0;
  if (stored >= kFirstUnnumbered) RenumberUnnumbered({tree, parent});
  return node;
}

bool DeleteClassification(std::int16_t tree, std::int32_t nodeId, std::int16_t /*level*/, bool promoteChildren) {
  ++g_deleteDepth;
  Standard t = standardTable();
  std::set<std::int32_t> visited;
  bool done = deleteNode(t, {tree, nodeId}, promoteChildren, true, visited);
  // A pack that fails or is refused leaves the table as it was, the rows
  // marked; the next outermost delete packs them.
  if (done && g_deleteDepth == 1) (void)d4pack(t.table);
  --g_deleteDepth;
  return done;
}

bool MoveCategory(const NodeRef& node, std::int16_t nextPrev) {
  if (nextPrev != 1 && nextPrev != -1) return false;
  Standard t = standardTable();
  std::int32_t mine = findNode(t, node);
  if (mine == 0) return false;
  std::int16_t myOrder = f4int(t.order);
  std::int32_t parent = f4long(t.parentId);
  d4tagSelect(t.table, t.byParent);
  do {
    if (d4skip(t.table, nextPrev) != kResultSuccess) return false;
    if (f4int(t.treeId) != node.tree || f4long(t.parentId) != parent) return false;
  } while (d4deleted(t.table) != 0);
  std::int32_t theirs = d4recNo(t.table);
  std::int16_t theirOrder = f4int(t.order);
  if (theirOrder == myOrder) return false;
  if (!writeRecord(t, theirs, [&] { return storeLong(t.order, myOrder); })) return false;
  if (writeRecord(t, mine, [&] { return storeLong(t.order, theirOrder); })) return true;
  (void)writeRecord(t, theirs, [&] { return storeLong(t.order, theirOrder); });  // the neighbour back in its place
  return false;
}

} // namespace pu
