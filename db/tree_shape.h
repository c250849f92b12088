#pragma once
// The shape of one tree of the standards table, read in one walk of the
// table's owner, and the depth of each standard computed once: what
// GetPathLength gives for every standard of the tree, without a walk up the
// parent links of every row.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "db/standards_table.h"

namespace pu {

struct ShapedRow {
  TreeLink link;
  std::int16_t depth = 0;  // distinct ancestors in the tree
};

class TreeShape {
public:
  static TreeShape read(StandardsTable& standards, std::int16_t tree);

  // One per standard (a repeated node number counts once, with the row a
  // seek finds), in record-number order.
  const std::vector<ShapedRow>& rows() const { return m_rows; }
  const ShapedRow* find(std::int32_t node) const;
  // -1 when the standard is not in the tree.
  std::int16_t depthOf(std::int32_t node) const;

private:
  void computeDepths();

  std::vector<ShapedRow> m_rows;
  std::unordered_map<std::int32_t, std::size_t> m_index;  // node -> row
};

} // namespace pu
