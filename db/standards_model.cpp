#include "db/standards_model.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "db/codebase.h"
#include "db/course_tables.h"
#include "util/general.h"
#include "util/numbering.h"

namespace pu {
namespace {

constexpr std::int16_t kFirstUnnumbered = 800;
constexpr std::int16_t kLastPlace = 999;
constexpr std::int32_t kFirstNewNode = 20000;
constexpr std::int32_t kNoNewNode = 99999;  // never handed out; higher numbers are not counted

// The link and question tables, read to count a node's questions and to
// keep the node numbers they use from being handed out again.
struct LinkTables {
  std::int32_t links, linkTree, linkNode, linkNodeTag, linkQuestion;
  std::int32_t questions, questionTag;
};

LinkTables linkTables() {
  std::int32_t l = OpenTable(u"stanques").table;
  std::int32_t q = OpenTable(u"quests").table;
  return {l, d4field(l, "tree_id"), d4field(l, "node_id"), d4tag(l, "StandardID"), d4field(l, "quest_id"),
          q, d4tag(q, "quest_id")};
}

std::int32_t highestLinkedNode(const LinkTables& t, std::int16_t tree, std::int32_t limit) {
  std::int32_t highest = 0;
  if (t.links == 0) return highest;
  d4tagSelect(t.links, 0);
  for (std::int16_t r = d4top(t.links); r == 0; r = d4skip(t.links, 1)) {
    std::int32_t node = f4long(t.linkNode);
    if (f4long(t.linkTree) == tree && node < limit) highest = std::max(highest, node);
  }
  return highest;
}

void collectQuestions(StandardsTable& standards, const LinkTables& t, const NodeRef& ref, bool withSubtree,
                      std::int32_t maximum, std::vector<std::int32_t>& collected, std::set<std::int32_t>& visited) {
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
  // The maximum counts what all nodes collected together.
  for (const StandardRow& child : standards.children(ref)) {
    if (reached()) break;
    collectQuestions(standards, t, child.ref, true, maximum, collected, visited);
  }
}

} // namespace

std::int16_t CountDots(const Text& text) { return static_cast<std::int16_t>(std::count(text.begin(), text.end(), u'.')); }

bool IsDescendantOf(const NodeRef& a, const NodeRef& b) {
  if (a.tree != b.tree) return false;
  if (a.node == b.node) return true;
  Lineage up = StandardsTable().lineage(a);
  for (const StandardRow& row : up.rows)
    if (row.ref.node == b.node || (row.parent == b.node && b.node != 0)) return true;
  return false;
}

NodeRow GetNodeRow(std::int16_t tree, std::int32_t node) {
  std::optional<StandardRow> row = StandardsTable().find({tree, node});
  if (!row) return {};
  return {row->ref, row->parent, row->title};
}

bool AncestorPath(std::int16_t tree, std::int32_t node, BoundedArray<std::int32_t>& path) {
  Lineage up = StandardsTable().lineage({tree, node});
  std::vector<std::int32_t> nodes;
  if (up.end == ChainEnd::OwnParent) nodes.push_back(up.rows.back().ref.node);
  for (auto row = up.rows.rbegin(); row != up.rows.rend(); ++row) nodes.push_back(row->ref.node);
  if (nodes.empty()) nodes.push_back(node);
  path = BoundedArray<std::int32_t>(0, nodes);
  return !up.rows.empty() && up.end != ChainEnd::Cycle;
}

// Numbered from the top of the chain down: a root carries no number, and a
// node whose parent is missing (or closes a cycle) is numbered as a child of a root.
Text OutlineNumber(const NodeRef& ref, std::int16_t includeAncestors) {
  Lineage up = StandardsTable().lineage(ref);
  Text parentNumber, number;
  for (auto row = up.rows.rbegin(); row != up.rows.rend(); ++row) {
    parentNumber = number;
    if (row->parent == 0 || row->parent == row->ref.node) {
      number.clear();
      continue;
    }
    number = parentNumber;
    if (row->order >= 1 && row->order <= 799) number += FormatOrdinal(row->order, CountDots(parentNumber)) + u".";
  }
  if (includeAncestors != 0 || up.rows.empty()) return number;
  return number.substr(std::min(number.size(), parentNumber.size()));
}

std::int16_t NextChildOrder(const NodeRef& parent) {
  std::optional<StandardRow> last = StandardsTable().lastChildBefore(parent, kFirstUnnumbered);
  return last ? static_cast<std::int16_t>(last->order + 1) : std::int16_t{1};
}

Text NewNodeId(std::int16_t tree) {
  std::int32_t highest = std::max(StandardsTable().highestNodeBelow(tree, kNoNewNode),
                                  highestLinkedNode(linkTables(), tree, kNoNewNode));
  std::int32_t next = highest >= kFirstNewNode ? highest + 1 : kFirstNewNode;
  if (next >= kNoNewNode) return {};
  std::string digits = std::to_string(next);
  return fromUtf8(std::string(7 - digits.size(), '0') + digits);
}

// The rows are listed before any is renumbered: a changed "Order" moves the
// row within the tag.
WriteResult RenumberUnnumbered(const NodeRef& parent) {
  StandardsTable standards;
  std::optional<WriteResult> failure;
  bool written = false;
  std::int16_t next = kFirstUnnumbered;
  for (const StandardRow& row : standards.childrenFrom(parent, kFirstUnnumbered)) {
    WriteResult r = standards.write(row, {.order = next});
    written = written || r == WriteResult::Written;
    if (!failure && r != WriteResult::Written && r != WriteResult::Unchanged) failure = r;
    if (next < kLastPlace) ++next;
  }
  if (failure) return *failure;
  return written ? WriteResult::Written : WriteResult::Unchanged;
}

Reparented ReparentNode(std::int32_t node, std::int32_t newParent, std::int16_t tree) {
  StandardsTable standards;
  std::optional<StandardRow> row = standards.find({tree, node});
  if (!row) return {};
  return {standards.write(*row, {.parent = newParent}), row->parent};
}

std::int32_t CountNodeQuestions(const NodeRef& ref, std::int16_t withSubtree, std::int32_t maximum) {
  LinkTables t = linkTables();
  if (d4recCountDo(t.links) <= 0) return 0;
  StandardsTable standards;
  std::vector<std::int32_t> collected;
  std::set<std::int32_t> visited;
  collectQuestions(standards, t, ref, withSubtree != 0, maximum, collected, visited);
  std::sort(collected.begin(), collected.end());
  return static_cast<std::int32_t>(std::unique(collected.begin(), collected.end()) - collected.begin());
}

} // namespace pu
