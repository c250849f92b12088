#include "db/family_tree_edits.h"

#include <set>
#include <string>

#include "util/general.h"
#include "util/numbering.h"

namespace pu {
namespace {

constexpr std::int16_t kLastNumbered = 799;
constexpr std::int16_t kFirstUnnumbered = 800;
constexpr std::int16_t kLastPlace = 999;

bool done(WriteResult r) { return r == WriteResult::Written || r == WriteResult::Unchanged; }

// Children first, the node last, so that a step that fails never leaves a
// row whose parent is gone. Only the outermost node's siblings close up
// their unnumbered places: the others' siblings are being deleted too.
WriteResult deleteNode(StandardsTable& standards, const NodeRef& node, bool promoteChildren, bool closeUp,
                       std::set<std::int32_t>& visited) {
  if (!visited.insert(node.node).second) return WriteResult::Written;  // met again through a damaged parent chain
  std::optional<StandardRow> row = standards.find(node);
  if (!row) return WriteResult::Missing;
  if (row->parent == 0 || row->parent == node.node) return WriteResult::Unchanged;  // a root
  for (const StandardRow& child : standards.children(node)) {
    WriteResult r = promoteChildren ? standards.write(child, {.parent = row->parent})
                                    : deleteNode(standards, child.ref, false, false, visited);
    if (!done(r)) return r;
  }
  WriteResult marked = standards.markDeleted(*row);
  if (marked != WriteResult::Written) return marked;
  // The node is gone whatever happens to its siblings' places.
  if (closeUp && row->order >= kFirstUnnumbered) (void)RenumberUnnumbered({node.tree, row->parent});
  return marked;
}

// Raised by every DeleteClassification for its length, so that only the
// outermost one packs (a lock wait lets window events, and so another
// delete, run inside a delete).
std::int16_t g_deleteDepth = 0;

} // namespace

NumberedTitle SplitNumberedTitle(const Text& text, std::int16_t level) {
  std::size_t p = text.find_first_of(u".:)");
  if (p == Text::npos) p = text.find(u' ');
  std::int16_t ordinal = p == Text::npos ? 0 : ParseOrdinal(text.substr(0, p), level);
  if (ordinal < 1 || ordinal > kLastNumbered) return {0, text};
  return {ordinal, TrimSpaces(text.substr(p + 1))};
}

Text CleanEditedTitle(const Text& text) {
  Text clean = text;
  for (char16_t& c : clean)
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
  return TrimSpaces(clean);
}

WriteResult RenameCategory(const NodeRef& node, const Text& title, std::int16_t order) {
  if (title.empty()) return WriteResult::Unchanged;
  StandardsTable standards;
  std::optional<StandardRow> row = standards.find(node);
  if (!row) return WriteResult::Missing;
  std::int16_t stored = row->order;
  bool closeUp = false;
  if (row->order < kFirstUnnumbered) {
    stored = order > 0 ? order : kLastPlace;
    closeUp = order <= 0;
  } else if (order > 0 && order < kFirstUnnumbered) {
    stored = order;
    closeUp = true;
  }
  WriteResult r = standards.write(*row, {.title = title, .order = stored});
  if (r == WriteResult::Written && closeUp) {
    WriteResult renumbered = RenumberUnnumbered({node.tree, row->parent});
    if (!done(renumbered)) return renumbered;
  }
  return r;
}

Created CreateCategory(std::int16_t tree, std::int32_t parent, const Text& title, std::int16_t order) {
  StandardsTable standards;
  if (title.empty() || !standards.find({tree, parent})) return {};
  Text number = NewNodeId(tree);
  if (number.empty()) return {WriteResult::Failed, 0};
  StandardRow row{0, {tree, std::stoi(toAnsi(number))}, parent, order > 0 ? order : kLastPlace, title};
  WriteResult r = standards.append(row);
  if (r != WriteResult::Written) return {r, 0};
  // The new category's place is taken; its unnumbered siblings closing up
  // is tidying that a failure does not undo.
  if (row.order >= kFirstUnnumbered) (void)RenumberUnnumbered({tree, parent});
  return {r, row.ref.node};
}

Deleted DeleteClassification(std::int16_t tree, std::int32_t nodeId, std::int16_t /*level*/, bool promoteChildren) {
  ++g_deleteDepth;
  StandardsTable standards;
  std::set<std::int32_t> visited;
  Deleted deleted{deleteNode(standards, {tree, nodeId}, promoteChildren, true, visited), false};
  // A pack that fails or is refused leaves the table as it was, the rows
  // marked; the next outermost delete packs them.
  if (deleted.result == WriteResult::Written && g_deleteDepth == 1) deleted.packed = standards.pack();
  --g_deleteDepth;
  return deleted;
}

WriteResult MoveCategory(const NodeRef& node, std::int16_t nextPrev) {
  if (nextPrev != 1 && nextPrev != -1) return WriteResult::Unchanged;
  StandardsTable standards;
  std::optional<StandardRow> mine = standards.find(node);
  if (!mine) return WriteResult::Missing;
  std::optional<StandardRow> theirs = standards.sibling(*mine, nextPrev);
  if (!theirs || theirs->order == mine->order) return WriteResult::Unchanged;
  WriteResult first = standards.write(*theirs, {.order = mine->order});
  if (first != WriteResult::Written) return first;
  WriteResult second = standards.write(*mine, {.order = theirs->order});
  if (second != WriteResult::Written) (void)standards.write(*theirs, {.order = theirs->order});  // the neighbour back in its place
  return second;
}

} // namespace pu
