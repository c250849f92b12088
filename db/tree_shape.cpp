#include "db/tree_shape.h"

#include <algorithm>
#include <limits>

namespace pu {
namespace {

std::int16_t narrow(std::int64_t depth) {
  return static_cast<std::int16_t>(std::min<std::int64_t>(depth, std::numeric_limits<std::int16_t>::max()));
}

} // namespace

TreeShape TreeShape::read(StandardsTable& standards, std::int16_t tree) {
  TreeShape result;
  for (const TreeLink& link : standards.treeLinks(tree))
    if (result.m_index.emplace(link.node, result.m_rows.size()).second) result.m_rows.push_back({link, 0});
  std::sort(result.m_rows.begin(), result.m_rows.end(),
            [](const ShapedRow& a, const ShapedRow& b) { return a.link.recno < b.link.recno; });
  for (std::size_t i = 0; i < result.m_rows.size(); ++i) result.m_index[result.m_rows[i].link.node] = i;
  result.computeDepths();
  return result;
}

const ShapedRow* TreeShape::find(std::int32_t node) const {
  auto it = m_index.find(node);
  return it == m_index.end() ? nullptr : &m_rows[it->second];
}

std::int16_t TreeShape::depthOf(std::int32_t node) const {
  const ShapedRow* row = find(node);
  return row ? row->depth : std::int16_t{-1};
}

// Follows each parent chain once. A chain ends at a missing parent (depth
// 0 below it), at a row already done, or where it meets itself: the members
// of a cycle each have the other members as their ancestors.
void TreeShape::computeDepths() {
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
      auto parent = m_index.find(m_rows[i].link.parent);
      if (parent == m_index.end()) break;
      i = parent->second;
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) depth[*c] = ++below;
    for (std::size_t c : chain) onPath[c] = -1;
  }
  for (std::size_t i = 0; i < m_rows.size(); ++i) m_rows[i].depth = narrow(depth[i]);
}

} // namespace pu
