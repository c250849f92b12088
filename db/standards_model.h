#pragma once
// Family trees of standards in the standards table: nodes found by node key
// (tree right-aligned in 3 characters, node right-aligned in 7), children by
// parent key and "Order", questions through the link table.
#include <cstdint>

#include "platform/text/ansi.h"
#include "util/bounded_array.h"

namespace pu {

struct NodeRef {
  std::int16_t tree = 0;
  std::int32_t node = 0;
  bool operator==(const NodeRef&) const = default;
};

struct NodeRow {
  NodeRef ref;
  std::int32_t parent = 0;
  Text title;  // as stored, trimmed
};

Text MakeNodeKey(std::int16_t tree, std::int32_t node);
Text NodeRefKey(const NodeRef& ref);
// The node part of a node key: the number right-aligned in 7 characters.
Text NodeNumberKey(std::int32_t node);
NodeRef ParseNodeKey(const Text& key);
NodeRef MakeNodeRef(std::int16_t tree, std::int32_t node);
NodeRef CurrentNodeRef();
std::int16_t CountDots(const Text& text);

// Damaged parent chains (a cycle) end with the result of a missing node.
bool IsDescendantOf(const NodeRef& a, const NodeRef& b);
NodeRow GetNodeRow(std::int16_t tree, std::int32_t node);
bool AncestorPath(std::int16_t tree, std::int32_t node, BoundedArray<std::int32_t>& path);
Text OutlineNumber(const NodeRef& ref, std::int16_t includeAncestors);
std::int16_t NextChildOrder(const NodeRef& parent);
// Seven digits, from 0020000; empty when 99998 or a higher number (below
// 99999) is taken, as 99999 is never handed out.
Text NewNodeId(std::int16_t tree);
void RenumberUnnumbered(const NodeRef& parent);
// The former parent, 0 when the node is missing.
std::int32_t ReparentNode(std::int32_t node, std::int32_t newParent, std::int16_t tree);
// Distinct questions linked to the node (and its subtree); maximum < 0: all.
std::int32_t CountNodeQuestions(const NodeRef& ref, std::int16_t withSubtree, std::int32_t maximum);

} // namespace pu
