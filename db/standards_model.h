#pragma once
// Family trees of standards: the operations the tree controls and the
// prefix window use, over the standards table's owner, and the questions
// linked to standards through the link table.
#include <cstdint>

#include "db/node_key.h"
#include "db/standards_table.h"
#include "platform/text/ansi.h"
#include "util/bounded_array.h"

namespace pu {

struct NodeRow {
  NodeRef ref;
  std::int32_t parent = 0;
  Text title;  // as stored, trimmed
};

std::int16_t CountDots(const Text& text);

// Damaged parent chains (a cycle) end as at a missing node.
bool IsDescendantOf(const NodeRef& a, const NodeRef& b);
NodeRow GetNodeRow(std::int16_t tree, std::int32_t node);
// The path from the root down to the node (a root that is its own parent
// stands twice at the front); false when the node is missing or the chain
// closes on itself.
bool AncestorPath(std::int16_t tree, std::int32_t node, BoundedArray<std::int32_t>& path);
Text OutlineNumber(const NodeRef& ref, std::int16_t includeAncestors);
std::int16_t NextChildOrder(const NodeRef& parent);
// Seven digits, from 0020000, above every number the tree uses in the
// standards table (rows marked deleted too) and in the link table (a new
// category must not inherit a deleted one's questions); empty when no
// number below 99999 is left, as 99999 is never handed out.
Text NewNodeId(std::int16_t tree);
// Gives the unnumbered children of parent the places 800, 801, ... (999 at
// most) in their order. A row that cannot be written keeps its place and
// the others go on; the first such failure is the result.
[[nodiscard]] WriteResult RenumberUnnumbered(const NodeRef& parent);

struct Reparented {
  WriteResult result = WriteResult::Missing;
  std::int32_t formerParent = 0;  // 0 when the node is missing
};
// Hangs the node under newParent, keeping its "Order".
[[nodiscard]] Reparented ReparentNode(std::int32_t node, std::int32_t newParent, std::int16_t tree);

// Distinct questions linked to the node (and its subtree); maximum < 0: all.
std::int32_t CountNodeQuestions(const NodeRef& ref, std::int16_t withSubtree, std::int32_t maximum);

} // namespace pu
