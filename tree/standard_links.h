#pragma once
// Walks along the parent links of the standards table for the family tree
// control. Parent chains come from other programs and may be damaged: every
// walk ends, at a root that is its own parent, at a missing node, or where a
// chain would visit a node a second time.
#include <vector>

#include "db/standards_model.h"

namespace pu {

// Every node below a node, depth first.
std::vector<NodeRef> DescendantsOf(const NodeRef& node);
// The node and its ancestors up to the category just under the root (parents
// numbered 2 and above); nothing when a node on the way is its own parent or
// the chain closes on itself.
std::vector<std::int32_t> PathBelowRoot(const NodeRef& node);

} // namespace pu
