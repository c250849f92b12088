// Tag calls. The production index is not attached to tables yet, so no tag
// is ever found: d4tag gives 0 and seeks fail with kResultNoTag. Once the
// index exists, d4open attaches it and these calls walk its tags.
#include "db/codebase.h"
#include "db/codebase_state.h"
#include "db/result_code.h"

namespace pu {

std::int32_t d4tag(std::int32_t table, const char* name) {
  codebase::OpenTable* t = codebase::table(table);
  if (!t || !name) return 0;
  // A missing tag is an error only while the context asks for that.
  codebase::Context* c = codebase::context(t->context);
  if (c && c->errTagName != 0) {
    codebase::fail(t->context, Status::notFound("table '" + t->fileName + "' has no tag '" + name + "'"));
    c->errorCode = kResultNoTag;
  }
  return 0;
}

void d4tagSelect(std::int32_t table, std::int32_t tag) {
  if (codebase::OpenTable* t = codebase::table(table)) t->selectedTag = tag == 0 ? 0 : t->selectedTag;
}

std::int32_t d4tagSelected(std::int32_t table) {
  codebase::OpenTable* t = codebase::table(table);
  return t ? t->selectedTag : 0;
}

std::int16_t d4seek(std::int32_t table, const char* key) {
  codebase::OpenTable* t = codebase::table(table);
  if (!t || !key) return kResultBadArgument;
  return kResultNoTag;
}

std::int16_t d4seekNext(std::int32_t table, const char* key) {
  codebase::OpenTable* t = codebase::table(table);
  if (!t || !key) return kResultBadArgument;
  return kResultNoTag;
}

} // namespace pu
