#include "db/codebase_state.h"

#include <iostream>
#include <unordered_map>

#include "db/result_code.h"

namespace pu::codebase {
namespace {

// Looked up on every call, so hashed; entries stay put while others come and go.
struct Registry {
  std::int32_t next = 1;
  std::unordered_map<std::int32_t, Context> contexts;
  std::unordered_map<std::int32_t, OpenTable> tables;
  std::unordered_map<std::int32_t, OpenField> fields;
  std::unordered_map<std::int32_t, OpenTag> tags;
};

Registry& registry() {
  static Registry r;
  return r;
}

template <class Map>
auto* lookup(Map& map, std::int32_t handle) {
  auto it = map.find(handle);
  return it == map.end() ? nullptr : &it->second;
}

} // namespace

Context* context(std::int32_t handle) { return lookup(registry().contexts, handle); }
OpenTable* table(std::int32_t handle) { return lookup(registry().tables, handle); }
OpenField* field(std::int32_t handle) { return lookup(registry().fields, handle); }
OpenTag* tag(std::int32_t handle) { return lookup(registry().tags, handle); }

const table::FieldDef* fieldDef(const OpenField& f) {
  if (!f.owner || !f.owner->table) return nullptr;
  return &f.owner->table->schema().fields[static_cast<std::size_t>(f.index)];
}

std::int32_t addContext() {
  std::int32_t h = registry().next++;
  registry().contexts[h] = Context{};
  return h;
}

std::int32_t addTable(OpenTable t) {
  std::int32_t h = registry().next++;
  registry().tables[h] = std::move(t);
  return h;
}

std::int32_t addField(std::int32_t tableHandle, int index) {
  std::int32_t h = registry().next++;
  registry().fields[h] = OpenField{tableHandle, table(tableHandle), index, {}};
  return h;
}

std::int32_t tagHandle(std::int32_t tableHandle, int tagNumber) {
  OpenTable* t = table(tableHandle);
  if (!t) return 0;
  auto it = t->tagHandles.find(tagNumber);
  if (it != t->tagHandles.end()) return it->second;
  std::int32_t h = registry().next++;
  registry().tags[h] = OpenTag{tableHandle, tagNumber};
  t->tagHandles[tagNumber] = h;
  return h;
}

void removeTable(std::int32_t handle) {
  OpenTable* t = table(handle);
  if (!t) return;
  for (const auto& [index, fieldHandle] : t->fieldHandles) registry().fields.erase(fieldHandle);
  for (const auto& [number, tagHandle] : t->tagHandles) registry().tags.erase(tagHandle);
  registry().tables.erase(handle);
}

std::int16_t fail(std::int32_t contextHandle, const Status& status) {
  std::int16_t code = resultCodeOf(status);
  if (Context* c = context(contextHandle)) {
    c->errorCode = code;
    c->errorText = status.message();
    if (c->errOff == 0 && !status.isOk() && code != kResultLocked) std::cerr << status.message() << std::endl;
  }
  return code;
}

} // namespace pu::codebase
