#include "db/standards_model.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "db/codebase.h"
#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/database_helper.h"
#include "util/general.h"
#include "util/numbering.h"

namespace pu {
namespace {

Text rightAligned(std::int64_t value, std::size_t width) {
  Text digits = fromUtf8(std::to_string(value));
  return digits.size() >= width ? digits : Text(width - digits.size(), u' ') + digits;
}

std::int32_t leadingValue(const Text& text) {
  std::size_t i = text.find_first_not_of(u' ');
  std::int64_t value = 0;
  bool negative = i != Text::npos && text[i] == u'-';
  if (negative) ++i;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && value < 1000000000; ++i) value = value * 10 + (text[i] - u'0');
  return static_cast<std::int32_t>(negative ? -value : value);
}

const Text kUnnumberedStart = u"800";
constexpr std::int32_t kFirstNewNode = 20000;
constexpr std::int32_t kNoNewNode = 99999;  // never handed out; higher numbers are not counted

// Handles of the standards, link and question tables.
struct StandardsTables {
  std::int32_t standard, treeId, nodeId, parentId, order, treeprntid;
  std::int32_t links, linkNodeTag, linkQuestion;
  std::int32_t questions, questionTag;
};

std::int32_t fieldOf(std::int32_t table, const char* name) { return d4field(table, name); }
std::int32_t tagOf(std::int32_t table, const char* name) { return d4tag(table, name); }

StandardsTables standardsTables() {
  std::int32_t s = OpenTable(u"standard").table;
  std::int32_t l = OpenTable(u"stanques").table;
  std::int32_t q = OpenTable(u"quests").table;
  return {s, fieldOf(s, "tree_id"), fieldOf(s, "node_id"), fieldOf(s, "parent_id"), fieldOf(s, "Order"),
          tagOf(s, "treeprntid"), l, tagOf(l, "StandardID"), fieldOf(l, "quest_id"), q, tagOf(q, "quest_id")};
}

bool findNode(std::int16_t tree, std::int32_t node) { return RefFindFirst(standard::StandardID, MakeNodeKey(tree, node)); }

bool rowBelongsTo(const StandardsTables& t, const NodeRef& parent) {
  return f4int(t.treeId) == parent.tree && f4long(t.parentId) == parent.node;
}

Text outlineNumber(const NodeRef& ref, std::int16_t includeAncestors, std::set<std::int32_t>& seen) {
  if (!seen.insert(ref.node).second) return {};  // a cycle in the parent chain
  if (!findNode(ref.tree, ref.node)) return {};
  std::int32_t parent = RefValLng(standard::parent_id);
  if (parent == 0 || parent == ref.node) return {};
  Text parentNumber = outlineNumber({ref.tree, parent}, 1, seen);
  if (!findNode(ref.tree, ref.node)) return {};
  Text prefix = includeAncestors != 0 ? parentNumber : Text();
  auto order = static_cast<std::int16_t>(RefValLng(standard::Order));
  if (order < 1 || order > 799) return prefix;
  return prefix + FormatOrdinal(order, CountDots(parentNumber)) + u".";
}

void collectQuestions(const StandardsTables& t, const NodeRef& ref, bool withSubtree, std::int32_t maximum,
                      std::vector<std::int32_t>& collected, std::set<std::int32_t>& visited) {
  if (!visited.insert(ref.node).second) return;  // a cycle: each node counts once
  auto reached = [&] { return maximum >= 0 && static_cast<std::int32_t>(collected.size()) >= maximum; };
  std::string key = toAnsi(NodeRefKey(ref));

  d4tagSelect(t.links, t.linkNodeTag);
  for (std::int16_t r = d4seek(t.links, key.c_str()); r == 0 && !reached(); r = d4seekNext(t.links, key.c_str())) {
    std::int32_t question = f4long(t.linkQuestion);
    std::int32_t linkRecord = d4recNo(t.links);
    d4tagSelect(t.questions, t.questionTag);
    std::string questionKey = std::to_string(question);
    questionKey.insert(0, questionKey.size() < 7 ? 7 - questionKey.size() : 0, '0');
    d4seek(t.questions, questionKey.c_str());
    collected.push_back(question);
    d4go(t.links, linkRecord);
    d4tagSelect(t.links, t.linkNodeTag);
  }
  if (!withSubtree) return;

  std::vector<NodeRef> children;
  d4tagSelect(t.standard, t.treeprntid);
  for (std::int16_t r = d4seek(t.standard, key.c_str()); r == 0 && !reached(); r = d4seekNext(t.standard, key.c_str()))
    if (d4deleted(t.standard) == 0) children.push_back({static_cast<std::int16_t>(f4int(t.treeId)), f4long(t.nodeId)});
  // The maximum counts what all nodes collected together.
  for (const NodeRef& child : children) collectQuestions(t, child, true, maximum, collected, visited);
}

} // namespace

Text MakeNodeKey(std::int16_t tree, std::int32_t node) { return rightAligned(tree, 3) + rightAligned(node, 7); }

Text NodeNumberKey(std::int32_t node) { return rightAligned(node, 7); }

Text NodeRefKey(const NodeRef& ref) { return MakeNodeKey(ref.tree, ref.node); }

NodeRef ParseNodeKey(const Text& key) {
  Text node = key.size() > 7 ? key.substr(key.size() - 7) : key;
  return {static_cast<std::int16_t>(leadingValue(key.substr(0, 3))), leadingValue(node)};
}

NodeRef MakeNodeRef(std::int16_t tree, std::int32_t node) { return {tree, node}; }

NodeRef CurrentNodeRef() {
  return {static_cast<std::int16_t>(DbHelper().FieldValLng(u"tree_id", u"standard")),
          DbHelper().FieldValLng(u"node_id", u"standard")};
}

std::int16_t CountDots(const Text& text) { return static_cast<std::int16_t>(std::count(text.begin(), text.end(), u'.')); }

bool IsDescendantOf(const NodeRef& a, const NodeRef& b) {
  if (a.tree != b.tree) return false;
  std::set<std::int32_t> seen;
  for (std::int32_t n = a.node; n != 0 && seen.insert(n).second;) {
    if (n == b.node) return true;
    if (!findNode(a.tree, n)) break;
    n = RefValLng(standard::parent_id);
  }
  return false;
}

NodeRow GetNodeRow(std::int16_t tree, std::int32_t node) {
  if (!findNode(tree, node)) return {};
  return {{tree, node}, RefValLng(standard::parent_id), RefValStr(standard::descript)};
}

bool AncestorPath(std::int16_t tree, std::int32_t node, BoundedArray<std::int32_t>& path) {
  std::vector<std::int32_t> nodes{node};
  path = BoundedArray<std::int32_t>(0, nodes);
  if (!findNode(tree, node)) return false;
  for (std::int32_t p = RefValLng(standard::parent_id); findNode(tree, p); p = RefValLng(standard::parent_id)) {
    std::int32_t found = RefValLng(standard::node_id);
    bool rootOwnParent = found == nodes.front();
    if (!rootOwnParent && std::find(nodes.begin(), nodes.end(), found) != nodes.end()) return false;  // cycle
    nodes.insert(nodes.begin(), found);
    path = BoundedArray<std::int32_t>(0, nodes);
    if (rootOwnParent) return true;
  }
  return true;
}

Text OutlineNumber(const NodeRef& ref, std::int16_t includeAncestors) {
  std::set<std::int32_t> seen;
  return outlineNumber(ref, includeAncestors, seen);
}

// Rows marked deleted (a pack that could not run) are passed over.
std::int16_t NextChildOrder(const NodeRef& parent) {
  StandardsTables t = standardsTables();
  d4tagSelect(t.standard, t.treeprntid);
  std::int16_t r = d4seek(t.standard, toAnsi(NodeRefKey(parent) + kUnnumberedStart).c_str());
  if (r != 0 && r != 2 && r != 3) return 1;
  do {
    if (d4skip(t.standard, -1) != 0 || !rowBelongsTo(t, parent)) return 1;
  } while (d4deleted(t.standard) != 0);
  return static_cast<std::int16_t>(f4int(t.order) + 1);
}

// Every row counts, whatever the table's tags are named or keyed on, and
// rows marked deleted too: their numbers are not handed out again while
// the rows are still in the file.
Text NewNodeId(std::int16_t tree) {
  StandardsTables t = standardsTables();
  std::int32_t highest = 0;
  d4tagSelect(t.standard, 0);
  for (std::int16_t r = d4top(t.standard); r == 0; r = d4skip(t.standard, 1)) {
    std::int32_t node = f4long(t.nodeId);
    if (f4int(t.treeId) == tree && node < kNoNewNode) highest = std::max(highest, node);
  }
  std::int32_t next = highest >= kFirstNewNode ? highest + 1 : kFirstNewNode;
  if (next >= kNoNewNode) return {};
  std::string digits = std::to_string(next);
  return fromUtf8(std::string(7 - digits.size(), '0') + digits);
}

// The rows are listed before any is renumbered: a changed "Order" moves the
// row within the tag being walked.
void RenumberUnnumbered(const NodeRef& parent) {
  StandardsTables t = standardsTables();
  std::string parentKey = toAnsi(NodeRefKey(parent));
  d4tagSelect(t.standard, t.treeprntid);
  std::int16_t r = d4seek(t.standard, (parentKey + toAnsi(kUnnumberedStart)).c_str());
  if (r != 0 && r != 2) return;
  if (!rowBelongsTo(t, parent)) return;
  std::vector<std::int32_t> rows;
  do {
    if (d4deleted(t.standard) == 0) rows.push_back(d4recNo(t.standard));
  } while (d4seekNext(t.standard, parentKey.c_str()) == 0);
  std::int16_t next = 800;
  for (std::int32_t recno : rows) {
    d4go(t.standard, recno);
    LockRecord(t.standard);
    AssignFieldInt(t.order, next);
    if (next < 999) ++next;
  }
}

std::int32_t ReparentNode(std::int32_t node, std::int32_t newParent, std::int16_t tree) {
  StandardsTables t = standardsTables();
  d4tagSelect(t.standard, tagOf(t.standard, "StandardID"));
  std::string key = toAnsi(MakeNodeKey(tree, node));
  for (std::int16_t r = d4seek(t.standard, key.c_str()); r == 0; r = d4seekNext(t.standard, key.c_str())) {
    if (f4int(t.treeId) != tree || f4long(t.nodeId) != node) continue;
    std::int32_t former = f4long(t.parentId);
    LockRecord(t.standard);
    LastResult = f4assignLong(t.parentId, newParent);
    return former;
  }
  return 0;
}

std::int32_t CountNodeQuestions(const NodeRef& ref, std::int16_t withSubtree, std::int32_t maximum) {
  StandardsTables t = standardsTables();
  if (d4recCountDo(t.links) <= 0) return 0;
  std::vector<std::int32_t> collected;
  std::set<std::int32_t> visited;
  collectQuestions(t, ref, withSubtree != 0, maximum, collected, visited);
  std::sort(collected.begin(), collected.end());
  return static_cast<std::int32_t>(std::unique(collected.begin(), collected.end()) - collected.begin());
}

} // namespace pu
