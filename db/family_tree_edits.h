#pragma once
// Every write of the family tree control's edits to the standards table:
// rename, create, delete with promotion and pack, move. Each goes through
// the table's owner, which locks the record it writes and gives the lock
// back. An edit that does not end Written or Unchanged has written nothing,
// or (where a later step failed) left a tree in which every row still has
// its parent. An empty title writes nothing. A delete packs the table, which
// moves its records.
#include <cstdint>

#include "db/standards_model.h"
#include "platform/text/ansi.h"

namespace pu {

struct NumberedTitle {
  std::int16_t order = 0;
  Text title;
};

// "3. Fractions" at a decimal level -> {3, "Fractions"}; "Fractions" -> {0, "Fractions"}.
// level: the numbering level of the category's own number. Only numbers of
// the numbered places (1 to 799) count as numbers: "850. Notes" stays whole.
NumberedTitle SplitNumberedTitle(const Text& text, std::int16_t level);

// Tabs, CR and LF become blanks; leading and trailing blanks trimmed.
Text CleanEditedTitle(const Text& text);

// FinishRename's write for an existing node: the title, then "Order": a
// numbered category (below 800) takes order, or 999 and the end of the
// unnumbered places when order is 0; an unnumbered one takes an order of 1
// to 799 and its former unnumbered siblings close up. Unchanged values are
// neither locked nor written.
[[nodiscard]] WriteResult RenameCategory(const NodeRef& node, const Text& title, std::int16_t order);

struct Created {
  WriteResult result = WriteResult::Missing;
  std::int32_t node = 0;  // the new node's number when Written
};
// FinishRename's create-new path: a new child of parent with the title and
// "Order" order (0: the end of the unnumbered places). Missing when there is
// no such parent; Failed also when no node number is free.
[[nodiscard]] Created CreateCategory(std::int16_t tree, std::int32_t parent, const Text& title, std::int16_t order);

struct Deleted {
  WriteResult result = WriteResult::Missing;  // Written when the node is marked deleted
  bool packed = false;  // false: another program has the table open, the rows wait marked
};
// Marks the node deleted; its children move up to its parent keeping their
// "Order" (promoteChildren) or are deleted with it. The outermost call (a
// depth counter lives across calls) then packs the table. A pack refused
// because another program has the table open leaves the records marked,
// which every walk passes over, and the delete still counts as done. A root
// is never deleted (Unchanged): the tree would go with it. level only
// travels down the recursion.
[[nodiscard]] Deleted DeleteClassification(std::int16_t tree, std::int32_t nodeId, std::int16_t level, bool promoteChildren);

// Swaps "Order" with the neighbour in "treeprntid" (-1 up, 1 down) under the
// same parent. Unchanged when there is no neighbour or the places are equal;
// when the second write fails the neighbour is put back in its place.
[[nodiscard]] WriteResult MoveCategory(const NodeRef& node, std::int16_t nextPrev);

} // namespace pu
