#pragma once
// The standards of one tree with their depths, read in one walk of the
// "StandardID" tag over the tree's key range: the depths GetPathLength gives,
// computed once per command instead of with a seek per ancestor of every row.
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace pu {

struct TreeRow {
  std::int32_t node = 0;
  std::int32_t parent = 0;
  std::int32_t recno = 0;
  std::int16_t depth = 0;  // distinct ancestors in the tree, as GetPathLength
};

class TreeDepths {
public:
  // A node number held by several rows of the tree counts once, with the row
  // a seek finds (the first in tag order).
  static TreeDepths read(std::int16_t tree);

  // One per standard, in record-number order (the order of the node list).
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
