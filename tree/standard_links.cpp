#include "tree/standard_links.h"

#include <algorithm>
#include <set>

#include "db/course_tables.h"
#include "db/database_helper.h"

namespace pu {
namespace {

bool findNode(std::int16_t tree, std::int32_t node) { return RefFindFirst(standard::StandardID, MakeNodeKey(tree, node)); }

void collectDescendants(const NodeRef& node, std::set<std::int32_t>& seen, std::vector<NodeRef>& out) {
  Text key = NodeRefKey(node);
  std::vector<std::int32_t> children;
  while (RefSeekNext(standard::treeprntid, key)) {
    std::int32_t child = RefValLng(standard::node_id);
    if (child == RefValLng(standard::parent_id)) break;  // a root that is its own parent
    children.push_back(child);
  }
  for (std::int32_t child : children) {
    if (!seen.insert(child).second) continue;
    out.push_back(MakeNodeRef(node.tree, child));
    collectDescendants(MakeNodeRef(node.tree, child), seen, out);
  }
}

} // namespace

std::vector<NodeRef> DescendantsOf(const NodeRef& node) {
  std::vector<NodeRef> out;
  std::set<std::int32_t> seen{node.node};
  if (findNode(node.tree, node.node)) collectDescendants(node, seen, out);
  return out;
}

std::vector<std::int32_t> PathBelowRoot(const NodeRef& node) {
  std::vector<std::int32_t> path{node.node};
  bool found = findNode(node.tree, node.node);
  while (found) {
    std::int32_t parent = RefValLng(standard::parent_id);
    if (parent < 2) break;
    if (parent == RefValLng(standard::node_id)) return {};
    if (std::find(path.begin(), path.end(), parent) != path.end()) return {};
    path.push_back(parent);
    found = findNode(node.tree, parent);
  }
  return path;
}

} // namespace pu
