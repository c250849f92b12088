#pragma once
// The registry of open course tables: a table is opened the first time it is
// asked for by name and the same open table is handed out afterwards.
#include <cstdint>

#include "platform/text/ansi.h"
#include "util/bounded_array.h"

namespace pu {

struct TableRec {
  std::int16_t kind = 0;     // 0 user, 1 class, 2 course table
  Text name;                 // file name without folder and extension, upper case
  Text key;                  // upper-cased full path of the .dbf
  std::int32_t table = 0;
  std::int32_t identityField = 0;
  std::int32_t tag = 0;
  bool operator==(const TableRec&) const = default;
};

// A field name followed by its table's name.
struct FieldRef {
  Text field;
  Text table;
};

// First index 1; entries are never removed.
extern BoundedArray<TableRec> OpenTables;

// folder empty: the folder of the table's kind. An all-zero record when a
// course table is asked for before the course folder is known.
TableRec OpenTable(const Text& name, const Text& folder = {});
void CreateBlankTable(const Text& folder, const Text& name, std::int16_t emptyIt, const Text& blankFolder);
// Marks the current record of a registry table deleted; it stays in the file
// until the table is packed. True when the record is marked.
[[nodiscard]] bool DeleteRecord(const TableRec& table);

// Fields and tags of the tables this program reads. Tag names are the names
// of these constants.
namespace standard {
// The tag "tree_id" orders by tree alone.
extern const FieldRef tree_id, node_id, parent_id, Order, descript, StandardID, treeprntid;
}
namespace stanques {
extern const FieldRef node_id, quest_id, tree_id, StandardID, stanquesid, treequesid;
}
namespace quests {
extern const FieldRef quest_id;
}

std::int32_t RefValLng(const FieldRef& ref);
Text RefValStr(const FieldRef& ref);
Text RefValMemo(const FieldRef& ref);
// False when nothing was written (the lock was given up, the write failed).
[[nodiscard]] bool RefSetLng(const FieldRef& ref, std::int32_t value);
[[nodiscard]] bool RefSetStr(const FieldRef& ref, const Text& value);
bool RefFindFirst(const FieldRef& ref, const Text& key);
bool RefSeekNext(const FieldRef& ref, const Text& key);

} // namespace pu
