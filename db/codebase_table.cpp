// Opening, positioning, appending, deleting and locking through table handles.
#include "db/codebase.h"
#include "db/codebase_state.h"
#include "db/result_code.h"
#include "platform/fs/file_system.h"


namespace pu {
namespace {

using codebase::OpenTable;

std::int16_t fail(const OpenTable& t, const Status& s) { return codebase::fail(t.context, s); }

// Opens the production index when the table says it has one (or one lies
// beside it), so that every write keeps its tags right.
Status attachProductionIndex(table::Table& tbl, bool autoOpen, table::CompoundIndex** attached) {
  *attached = nullptr;
  std::string path = table::indexPathFor(tbl.path());
  bool present = FileSystem::instance().modifiedTime(path).has_value();
  if (!autoOpen || (!present && !tbl.hasStructuralIndex())) return Status::ok();
  if (!present) return Status::notFound("production index '" + path + "' of table '" + tbl.path() + "' is missing");
  std::unique_ptr<table::CompoundIndex> index;
  table::CdxOpenOptions options;
  options.writable = tbl.writable();
  Status s = table::CompoundIndex::open(path, tbl, &index, options);
  if (!s) return s;
  *attached = index.get();
  tbl.attachIndex(std::move(index));
  return Status::ok();
}

} // namespace

namespace codebase {

std::int16_t moveTo(OpenTable& t, std::uint32_t recno) {
  if (recno == 0 || recno > t.table->recordCount()) {
    Status s = t.table->clearPosition();
    if (!s) return fail(t.context, s);
    t.position = t.table->recordCount() + 1;
    return kResultEof;
  }
  Status s = t.table->go(recno);
  if (!s) return fail(t.context, s);
  t.position = recno;
  return kResultSuccess;
}

} // namespace codebase

std::int32_t d4open(std::int32_t context, const char* path) {
  codebase::Context* c = codebase::context(context);
  if (!c || !path) return 0;
  std::unique_ptr<table::Table> tbl;
  Status s = table::Table::open(path, true, &tbl);
  if (!s) {
    codebase::fail(context, s);
    return 0;
  }
  OpenTable t;
  s = attachProductionIndex(*tbl, c->autoOpen != 0, &t.index);
  if (!s) {
    codebase::fail(context, s);
    return 0;
  }
  t.context = context;
  t.table = std::move(tbl);
  t.fileName = path;
  // An opened table stands on no record (number 0) until it is moved.
  return codebase::addTable(std::move(t));
}

std::int16_t d4close(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  Status s = t->table->close();
  std::int16_t code = s ? kResultSuccess : fail(*t, s);
  codebase::removeTable(table);
  return code;
}

const char* d4fileNameVB(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  return t ? t->fileName.c_str() : nullptr;
}

std::int32_t d4recCountDo(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  Status s = t->table->refreshCount();
  if (!s) return fail(*t, s);
  return static_cast<std::int32_t>(t->table->recordCount());
}

std::int32_t d4recNo(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  return t ? static_cast<std::int32_t>(t->position) : kResultBadArgument;
}

std::int16_t d4top(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  if (t->selectedTag != 0) return codebase::tagTop(*t);
  if (t->table->recordCount() == 0) {
    Status s = t->table->refreshCount();
    if (!s) return fail(*t, s);
  }
  return codebase::moveTo(*t, 1);
}

std::int16_t d4skip(std::int32_t table, std::int32_t count) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  if (t->selectedTag != 0) return codebase::tagSkip(*t, count);
  std::int64_t target = static_cast<std::int64_t>(t->position) + count;
  if (target < 1) {
    std::int16_t r = codebase::moveTo(*t, 1);
    return r == kResultSuccess ? kResultBof : r;
  }
  if (target > t->table->recordCount()) {
    Status s = t->table->refreshCount();  // another program may have appended
    if (!s) return fail(*t, s);
    if (target > t->table->recordCount()) return codebase::moveTo(*t, 0);
  }
  return codebase::moveTo(*t, static_cast<std::uint32_t>(target));
}

std::int16_t d4go(std::int32_t table, std::int32_t recno) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  if (recno < 1) return kResultBadArgument;
  if (static_cast<std::uint32_t>(recno) > t->table->recordCount()) {
    Status s = t->table->refreshCount();
    if (!s) return fail(*t, s);
    if (static_cast<std::uint32_t>(recno) > t->table->recordCount()) return kResultBadArgument;
  }
  return codebase::moveTo(*t, static_cast<std::uint32_t>(recno));
}

std::int16_t d4appendStartVB(std::int32_t table, std::int16_t) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  Status s = t->table->appendStart();
  return s ? kResultSuccess : fail(*t, s);
}

void d4blank(std::int32_t table) {
  if (OpenTable* t = codebase::table(table)) t->table->blank();
}

std::int16_t d4append(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  Status s = t->table->append();
  if (!s) return fail(*t, s);
  t->position = t->table->recno();
  return kResultSuccess;
}

void d4delete(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  if (!t) return;
  Status s = t->table->setDeleted(true);
  if (s && !t->table->appending()) s = t->table->flush();
  if (s) return;
  // Not left pending either: the next move would write it after all.
  t->table->revert();
  fail(*t, s);
}

std::int32_t d4deleted(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  return t && t->table->isDeleted() ? 1 : 0;
}

std::int16_t d4pack(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  Status s = t->table->pack();
  if (!s) return fail(*t, s);
  t->position = 0;
  return kResultSuccess;
}

std::int16_t d4lock(std::int32_t table, std::int32_t recno) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  if (recno < 1 || static_cast<std::uint32_t>(recno) > t->table->recordCount()) return kResultBadArgument;
  if (t->table->holdsLock(static_cast<std::uint32_t>(recno))) return kResultSuccess;
  // One record lock at a time: changes are written before the previous lock goes.
  Status s = t->table->unlockAll();
  if (s) s = t->table->lockRecord(static_cast<std::uint32_t>(recno));
  return s ? kResultSuccess : fail(*t, s);
}

std::int16_t d4unlock(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  if (!t) return kResultBadArgument;
  Status s = t->table->unlockAll();
  return s ? kResultSuccess : fail(*t, s);
}

} // namespace pu
