#pragma once
// The rows of one tree of the standards table, read in one walk of the
// "StandardID" tag over the tree's key range, and the depth of each
// standard computed once: what GetPathLength gives, without a seek per
// ancestor of every row.
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace pu {

struct TreeRow {
  std::int32_t node = 0;
  std::int32_t parent = 0;
  std::int32_t recno = 0;
  std::int16_t depth = 0;  // distinct ancestors in the tree, as GetPathLength
};

// Calls visit for every row of the tree in node order, with the row current
// in the standards table (depth not set). Rows that repeat a node number
// come in record order, the first being the one a seek finds. Selects the
// table's "StandardID" tag, so it is not for use inside a walk of that table.
void ForEachTreeRow(std::int16_t tree, const std::function<void(const TreeRow&)>& visit);

class TreeDepths {
public:
  static TreeDepths read(std::int16_t tree);

  // One per standard (a repeated node number counts once, with the row a
  // seek finds), in record-number order: the order of the table's node list.
  const std::vector<TreeRow>& rows() const { return m_rows; }
  const TreeRow* find(std::int32_t node) const;
  // -1 when the standard is not in the tree.
  std::int16_t depthOf(std::int32_t node) const;

private:
  void computeDepths();

  std::vector<TreeRow> m_rows;
  std::unordered_map<std::int32_t, std::size_t> m_index;  // node -> row
};

} // namespace pu
