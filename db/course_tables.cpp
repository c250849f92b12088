#include "db/course_tables.h"

#include <string_view>

#include "db/codebase_wrappers.h"
#include "db/database_helper.h"
#include "db/message_hook.h"
#include "util/general.h"
#include "util/path_globals.h"

namespace pu {

BoundedArray<TableRec> OpenTables(1);

namespace standard {
const FieldRef tree_id{u"tree_id", u"standard"}, node_id{u"node_id", u"standard"}, parent_id{u"parent_id", u"standard"},
    Order{u"Order", u"standard"}, descript{u"descript", u"standard"}, StandardID{u"StandardID", u"standard"},
    treeprntid{u"treeprntid", u"standard"};
}
namespace stanques {
const FieldRef node_id{u"node_id", u"stanques"}, quest_id{u"quest_id", u"stanques"}, tree_id{u"tree_id", u"stanques"},
    StandardID{u"StandardID", u"stanques"}, stanquesid{u"stanquesid", u"stanques"}, treequesid{u"treequesid", u"stanques"};
}
namespace quests {
const FieldRef quest_id{u"quest_id", u"quests"};
}

namespace {

struct KnownTable {
  std::u16string_view name;
  std::int16_t kind;
  std::u16string_view tag;
  std::u16string_view identity;
};

constexpr KnownTable kKnownTables[] = {
    {u"CLASSES", 1, u"class_id", u"class_id"},
    {u"STUDENTCLASS", 1, u"", u""},
    {u"SESSIONS", 1, u"session_id", u"session_id"},
    {u"SESQUESTS", 1, u"sesques_id", u"sesques_id"},
    {u"SESRESULTS", 1, u"", u""},
    {u"STUDENTS", 0, u"student_id", u"student_id"},
    {u"USERS", 0, u"user_id", u"user_id"},
    {u"USERPERMISSIONS", 0, u"user_id", u""},
    {u"ATTRIBUTES", 0, u"", u""},
    {u"MEMOATTRIBUTES", 0, u"", u""},
    {u"CHARATTRIBUTES", 0, u"", u""},
    {u"ENUMATTRIBUTES", 0, u"", u""},
    {u"ENUMVALUES", 0, u"", u""},
    {u"QUESTS", 2, u"quest_id", u""},
    {u"QUESTYPE", 2, u"quest_id", u""},
    {u"EXAMS", 2, u"", u""},
    {u"EXAMQUESTS", 2, u"", u""},
    {u"DESCRIPT", 2, u"descriptid", u""},
    {u"STANQUES", 2, u"stanquesid", u""},
    {u"STANDARD", 2, u"StandardID", u""},
    {u"CLASSSTUDENTS", 0, u"clst_id", u""},
    {u"TEMPLATES", 0, u"TemplateID", u"TemplateID"},
    // Any other name is a user table without tag or identity.
};

KnownTable lookup(const Text& name) {
  Text wanted = UpperAscii(TrimSpaces(name));
  for (const KnownTable& t : kKnownTables)
    if (!t.name.empty() && t.name == wanted) return t;
  return {u"", 0, u"", u""};
}

const Text& folderOfKind(std::int16_t kind) {
  switch (kind) {
    case 1: return ClassTablePath;
    case 2: return CourseTablePath;
    default: return UserDataPath;
  }
}

// A table missing from its folder is copied from the blank tables.
void createMissingTable(const Text& path, std::int16_t emptyIfCreated) {
  std::size_t slash = path.find_last_of(u'\\');
  Text folder = slash == Text::npos ? Text() : path.substr(0, slash + 1);
  Text file = slash == Text::npos ? path : path.substr(slash + 1);
  std::size_t dot = file.rfind(u'.');
  CreateBlankTable(folder, dot == Text::npos ? file : file.substr(0, dot), emptyIfCreated, u":DEFAULT:");
}

void initialiseOnce() {
  static bool initialised = false;
  if (initialised) return;
  initialised = true;
  if (CodeBaseHandle == 0) InitCodeBase();
  setLibraryHooks({showMessage, endProgram, processPendingEvents, createMissingTable});
}

std::int32_t findCached(const Text& key) {
  for (std::int32_t i = OpenTables.lower(); i <= OpenTables.upper(); ++i)
    if (OpenTables[i].key == key) return i;
  return 0;
}

} // namespace

TableRec OpenTable(const Text& name, const Text& folder) {
  initialiseOnce();
  KnownTable known = lookup(name);
  Text where = folder.empty() ? folderOfKind(known.kind) : folder;
  if (where.empty() && known.kind == 2) return {};
  if (std::int32_t cached = findCached(UpperAscii(where + u"\\" + name + u".DBF"))) return OpenTables[cached];

  std::int32_t handle = OpenDbf(where + u"\\" + name + u".DBF", 0);
  TableRec rec;
  rec.kind = known.kind;
  rec.table = handle;
  if (!known.tag.empty()) rec.tag = d4tag(handle, toAnsi(Text(known.tag)).c_str());
  if (!known.identity.empty()) rec.identityField = d4field(handle, toAnsi(Text(known.identity)).c_str());
  Text fileName = DbfFileName(handle);
  rec.name = UpperAscii(FileBaseName(fileName));
  rec.key = FolderOfPath(fileName) + rec.name + u".DBF";
  OpenTables.append(rec);
  return rec;
}

void CreateBlankTable(const Text& folder, const Text& name, std::int16_t emptyIt, const Text& blankFolder) {
  Text source = blankFolder;
  if (source == u":DEFAULT:") {
    source = TemplatePath + u"\\Blank";
    if (!FolderExists(source)) source = DataPath + u"\\Databases\\Blank";
  }
  for (const Text& ext : {Text(u".dbf"), Text(u".cdx"), Text(u".fpt")}) {
    Text from = source + u"\\" + name + ext;
    if (FileExists(from)) {
      CopyFile(from, folder + u"\\" + name + ext);
    } else if (ext != u".fpt") {
      showMessage(u"Unable to locate blank " + name + ext + u" file.", 16);
    }
  }
  if (emptyIt != 0) {
    std::int32_t handle = OpenDbf(folder + u"\\" + name + u".dbf", 0);
    EmptyDbf(handle);
    CloseDbf(handle);
  }
}

std::int32_t RefValLng(const FieldRef& ref) { return DbHelper().FieldValLng(ref.field, ref.table); }
Text RefValStr(const FieldRef& ref) { return DbHelper().FieldValStr(ref.field, ref.table); }
Text RefValMemo(const FieldRef& ref) { return DbHelper().FieldValMemoStr(ref.field, ref.table); }
bool RefSetLng(const FieldRef& ref, std::int32_t value) { return DbHelper().SetFieldLng(ref.field, ref.table, value); }
bool RefSetStr(const FieldRef& ref, const Text& value) { return DbHelper().SetFieldStr(ref.field, ref.table, value); }

bool DeleteRecord(const TableRec& table) {
  d4delete(table.table);
  return d4deleted(table.table) != 0;
}

bool RefFindFirst(const FieldRef& ref, const Text& key) {
  return DbHelper().FindFirst(OpenTable(ref.table), ref.field, key);
}

bool RefSeekNext(const FieldRef& ref, const Text& key) {
  return DbHelper().SeekNextByTag(OpenTable(ref.table), ref.field, key);
}

} // namespace pu
