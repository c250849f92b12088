#pragma once
// What the library calls keep behind their handles. Internal to db/.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"

namespace pu::codebase {

struct Context {
  std::int16_t autoOpen = 1;
  std::int16_t errTagName = 1;
  std::int16_t errorCode = 0;
  std::int16_t errOff = 0;
  std::string errorText;  // of the last failure
};

struct OpenTable {
  std::int32_t context = 0;
  std::unique_ptr<table::Table> table;
  std::string fileName;          // as given to d4open
  std::uint32_t position = 0;    // 0 none, 1..count a record, count + 1 past the end
  table::CompoundIndex* index = nullptr;  // the production index, owned by table
  std::int32_t selectedTag = 0;  // 0: record-number order
  std::map<int, std::int32_t> fieldHandles;  // field index -> handle
  std::map<int, std::int32_t> tagHandles;    // tag number -> handle
};

struct OpenTag {
  std::int32_t table = 0;
  int tag = 0;  // number within the table's index
};

struct OpenField {
  std::int32_t table = 0;
  OpenTable* owner = nullptr;  // the table's entry, which outlives its fields
  int index = 0;
  std::string memo;  // last memo text handed out by f4memoPtr
};

Context* context(std::int32_t handle);
OpenTable* table(std::int32_t handle);
OpenField* field(std::int32_t handle);
OpenTag* tag(std::int32_t handle);
const table::FieldDef* fieldDef(const OpenField& f);

std::int32_t addContext();
std::int32_t addTable(OpenTable t);
std::int32_t addField(std::int32_t table, int index);
// One handle per tag of a table, so a tag found twice compares equal.
std::int32_t tagHandle(std::int32_t table, int tag);
void removeTable(std::int32_t handle);  // and its fields and tags

// Makes a record current; recno 0 or past the last record leaves the table
// past the end (kResultEof).
std::int16_t moveTo(OpenTable& t, std::uint32_t recno);
// Tag-order moves of d4top and d4skip while a tag is selected.
std::int16_t tagTop(OpenTable& t);
std::int16_t tagSkip(OpenTable& t, std::int32_t count);

// Records a failure in the table's context and returns its code.
std::int16_t fail(std::int32_t contextHandle, const Status& status);

} // namespace pu::codebase
