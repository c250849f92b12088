#pragma once
// Every write of the family tree control's edits to the standards table:
// rename, create, delete with promotion and pack, move. Each record is
// locked before it is written; a function that returns false has written
// nothing, or (where a later step failed) left a tree in which every row
// still has its parent. An empty title writes nothing. A delete packs the
// table, which renumbers its records: call it outside table walks.
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
// to 799 and its former unnumbered siblings close up. False when the node is
// missing or a write failed. Unchanged values are neither locked nor written.
bool RenameCategory(const NodeRef& node, const Text& title, std::int16_t order);

// FinishRename's create-new path: a new child of parent with the title and
// "Order" order (0: the end of the unnumbered places). The new node's number;
// 0 when nothing was created (no such parent, no free number, a failed write).
std::int32_t CreateCategory(std::int16_t tree, std::int32_t parent, const Text& title, std::int16_t order);

// Marks the node deleted; its children move up to its parent keeping their
// "Order" (promoteChildren) or are deleted with it. The outermost call (a
// depth counter lives across calls) then packs the table. A pack refused
// because another program has the table open leaves the records marked,
// which every walk passes over, and the delete still counts as done.
// False when the node was not found, is a root, or a step failed.
// level only travels down the recursion.
bool DeleteClassification(std::int16_t tree, std::int32_t nodeId, std::int16_t level, bool promoteChildren);

// Swaps "Order" with the neighbour in "treeprntid" (-1 up, 1 down) under the
// same parent. False when nothing changed: no neighbour, equal places, or a
// failed write (the neighbour then keeps its place).
bool MoveCategory(const NodeRef& node, std::int16_t nextPrev);

} // namespace pu
