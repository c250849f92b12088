#include "app/tree_rows.h"

#include <algorithm>
#include <limits>

#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/standards_model.h"

namespace pu {
namespace {

// The tree part of a node key: every key of the tree begins with it.
Text treeKey(std::int16_t tree) {
  Text key = MakeNodeKey(tree, 0);
  return key.substr(0, key.size() - 7);
}

std::int16_t narrow(std::int64_t depth) {
  return static_cast<std::int16_t>(std::min<std::int64_t>(depth, std::numeric_limits<std::int16_t>::max()));
}

} // namespace

void ForEachTreeRow(std::int16_t tree, const std::function<void(const TreeRow&)>& visit) {
  std::int32_t table = OpenTable(standard::StandardID.table).table;
  std::int32_t tag = d4tag(table, "StandardID");
  std::int32_t treeField = d4field(table, "tree_id");
  std::int32_t nodeField = d4field(table, "node_id");
  std::int32_t parentField = d4field(table, "parent_id");
  if (tag == 0) return;
  // One seek, then steps along the tag: cheaper than a seek to the next
  // match at every row.
  d4tagSelect(table, tag);
  for (std::int16_t rc = d4seek(table, toAnsi(treeKey(tree)).c_str()); rc == kResultSuccess && f4long(treeField) == tree;
       rc = d4skip(table, 1))
    visit({f4long(nodeField), f4long(parentField), d4recNo(table), 0});
}

TreeDepths TreeDepths::read(std::int16_t tree) {
  TreeDepths result;
  ForEachTreeRow(tree, [&](const TreeRow& row) {
    if (result.m_index.emplace(row.node, result.m_rows.size()).second) result.m_rows.push_back(row);
  });
  std::sort(result.m_rows.begin(), result.m_rows.end(),
            [](const TreeRow& a, const TreeRow& b) { return a.recno < b.recno; });
  for (std::size_t i = 0; i < result.m_rows.size(); ++i) result.m_index[result.m_rows[i].node] = i;
  result.computeDepths();
  return result;
}

const TreeRow* TreeDepths::find(std::int32_t node) const {
  auto it = m_index.find(node);
  return it == m_index.end() ? nullptr : &m_rows[it->second];
}

std::int16_t TreeDepths::depthOf(std::int32_t node) const {
  const TreeRow* row = find(node);
  return row ? row->depth : std::int16_t{-1};
}

// Follows each parent chain once. A chain ends at a missing parent (depth
// 0 below it), at a row already done, or where it meets itself: the members
// of a cycle each have the other members as their ancestors.
void TreeDepths::computeDepths() {
  constexpr std::int64_t kUnknown = -2;
  std::vector<std::int64_t> depth(m_rows.size(), kUnknown);
  std::vector<std::int64_t> onPath(m_rows.size(), -1);  // position in the current chain
  std::vector<std::size_t> chain;
  for (std::size_t start = 0; start < m_rows.size(); ++start) {
    chain.clear();
    std::int64_t below = -1;  // depth of the row the chain ends on
    for (std::size_t i = start;;) {
      if (depth[i] != kUnknown) {
        below = depth[i];
        break;
      }
      if (onPath[i] >= 0) {
        auto first = static_cast<std::size_t>(onPath[i]);
        auto members = static_cast<std::int64_t>(chain.size() - first);
        for (std::size_t c = first; c < chain.size(); ++c) {
          depth[chain[c]] = members - 1;
          onPath[chain[c]] = -1;
        }
        chain.resize(first);
        below = members - 1;
        break;
      }
      onPath[i] = static_cast<std::int64_t>(chain.size());
      chain.push_back(i);
      auto parent = m_index.find(m_rows[i].parent);
      if (parent == m_index.end()) break;
      i = parent->second;
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) depth[*c] = ++below;
    for (std::size_t c : chain) onPath[c] = -1;
  }
  for (std::size_t i = 0; i < m_rows.size(); ++i) m_rows[i].depth = narrow(depth[i]);
}

} // namespace pu
