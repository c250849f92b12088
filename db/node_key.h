#pragma once
// A standard's name in the standards table: its tree and node number, and
// the node key the table's tags are seeked with (tree right-aligned in 3
// characters, node right-aligned in 7; wider numbers written whole).
#include <cstdint>

#include "platform/text/ansi.h"

namespace pu {

// The product's own classification tree; every other tree with a root row
// is a state standards tree.
inline constexpr std::int16_t kCorvaneTree = 1;

struct NodeRef {
  std::int16_t tree = 0;
  std::int32_t node = 0;
  bool operator==(const NodeRef&) const = default;
};

Text MakeNodeKey(std::int16_t tree, std::int32_t node);
Text NodeRefKey(const NodeRef& ref);
// The node part of a node key: the number right-aligned in 7 characters.
Text NodeNumberKey(std::int32_t node);
// The tree part: every node key of the tree begins with it.
Text TreeKey(std::int16_t tree);
NodeRef ParseNodeKey(const Text& key);
NodeRef MakeNodeRef(std::int16_t tree, std::int32_t node);

} // namespace pu
