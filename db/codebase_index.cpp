// Tag calls: tags found by name in the table's production index, seeks on
// the selected tag, and moves in tag order. Moves start from the entry of
// the current record, found afresh each time, so a record whose key we just
// changed is walked on from its new place.
#include <cstdlib>

#include "db/codebase.h"
#include "db/codebase_state.h"
#include "db/result_code.h"

namespace pu {
namespace {

using codebase::OpenTable;
using table::TagCursor;

std::int16_t failWith(OpenTable& t, const Status& s) { return codebase::fail(t.context, s); }

// The selected tag's number in the index, -1 in record order.
int selectedTag(const OpenTable& t) {
  const codebase::OpenTag* tag = codebase::tag(t.selectedTag);
  return tag && t.index ? tag->tag : -1;
}

std::int16_t moveToEntry(OpenTable& t, int tag, const TagCursor& cursor) {
  std::string key;
  std::uint32_t recno = 0;
  Status s = t.index->entry(tag, cursor, &key, &recno);
  if (!s) return failWith(t, s);
  return codebase::moveTo(t, recno);
}

bool onRecord(const OpenTable& t) { return t.position >= 1 && t.position <= t.table->recordCount(); }

Status locateCurrent(OpenTable& t, int tag, TagCursor* cursor) {
  Status s = t.index->locateRecord(tag, t.table->current(), t.table->recno(), cursor);
  if (s && !cursor->valid) return Status::notFound("record " + std::to_string(t.position) + " of '" + t.fileName + "' is not in the tag");
  return s;
}

// Another program may have changed the index since we last read it.
Status freshIndex(OpenTable& t) { return t.index->refresh(); }

bool keyBegins(const std::string& entryKey, std::string_view key) {
  return key.size() <= entryKey.size() && entryKey.compare(0, key.size(), key) == 0;
}

// A text key as the tag's keys hold it, as the table library takes it: on a
// text tag the text itself (a leading part of longer keys); on a numeric tag
// the number it spells; on a date tag the date it spells as CCYYMMDD.
Status tagKey(const OpenTable& t, int tag, std::string_view text, std::string* key) {
  const table::KeyBuilder& builder = *t.index->keyBuilder(tag);
  table::expr::Value v;
  v.type = builder.type();
  std::string spelled(text);
  char* end = nullptr;
  switch (v.type) {
    case table::expr::Type::Char: key->assign(text); return Status::ok();
    case table::expr::Type::Numeric:
    case table::expr::Type::Integer:
      v.number = std::strtod(spelled.c_str(), &end);
      v.integer = static_cast<std::int32_t>(v.number);
      if (end != spelled.c_str() && spelled.find_first_not_of(' ', std::size_t(end - spelled.c_str())) == std::string::npos) {
        builder.encode(v, key);
        return Status::ok();
      }
      break;
    case table::expr::Type::Date: {
      long date = std::strtol(spelled.c_str(), &end, 10);
      int month = static_cast<int>(date / 100 % 100), day = static_cast<int>(date % 100);
      if (spelled.size() == 8 && *end == '\0' && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
        v.number = double(table::julianDay(static_cast<int>(date / 10000), month, day));
        builder.encode(v, key);
        return Status::ok();
      }
      break;
    }
    default: break;
  }
  return Status::invalidArgument("'" + spelled + "' is no key of tag '" + t.index->tagName(tag) + "' of '" + t.fileName + "'");
}

// Seeks a key (as tagKey gives it) on the selected tag: 0 found, 2 on the
// next greater key, 3 past the end.
std::int16_t seekKey(OpenTable& t, std::string_view key) {
  int tag = selectedTag(t);
  if (tag < 0) return kResultNoTag;
  Status s = t.index->seekStatus(tag);
  if (s) s = freshIndex(t);
  if (!s) return failWith(t, s);
  TagCursor cursor;
  table::SeekResult result;
  s = t.index->seek(tag, key, &cursor, &result);
  if (!s) return failWith(t, s);
  if (result == table::SeekResult::End) return codebase::moveTo(t, 0);
  std::int16_t moved = moveToEntry(t, tag, cursor);
  if (moved != kResultSuccess) return moved;
  return result == table::SeekResult::Found ? kResultSuccess : kResultAfter;
}

} // namespace

namespace codebase {

std::int16_t tagTop(OpenTable& t) {
  int tag = selectedTag(t);
  Status s = tag < 0 ? Status::invalidArgument("no tag selected") : t.index->walkStatus(tag);
  if (s) s = freshIndex(t);
  TagCursor cursor;
  if (s) s = t.index->first(tag, &cursor);
  if (!s) return failWith(t, s);
  return cursor.valid ? moveToEntry(t, tag, cursor) : moveTo(t, 0);
}

std::int16_t tagSkip(OpenTable& t, std::int32_t count) {
  int tag = selectedTag(t);
  Status s = tag < 0 ? Status::invalidArgument("no tag selected") : t.index->walkStatus(tag);
  if (s) s = freshIndex(t);
  if (!s) return failWith(t, s);
  TagCursor cursor;
  if (onRecord(t)) {
    s = locateCurrent(t, tag, &cursor);
  } else if (count < 0) {
    s = t.index->last(tag, &cursor);  // from past the end back onto the last entry
    ++count;
  } else {
    s = t.index->first(tag, &cursor);  // from no record onto the first entry
    --count;
  }
  for (; s && cursor.valid && count != 0; count += count > 0 ? -1 : 1)
    s = count > 0 ? t.index->next(tag, &cursor) : t.index->prev(tag, &cursor);
  if (!s) return failWith(t, s);
  if (cursor.valid) return moveToEntry(t, tag, cursor);
  if (count >= 0) return moveTo(t, 0);
  s = t.index->first(tag, &cursor);  // before the first entry: stay on it
  if (!s) return failWith(t, s);
  std::int16_t moved = cursor.valid ? moveToEntry(t, tag, cursor) : moveTo(t, 0);
  return moved == kResultSuccess ? kResultBof : moved;
}

} // namespace codebase

std::int32_t d4tag(std::int32_t table, const char* name) {
  OpenTable* t = codebase::table(table);
  if (!t || !name) return 0;
  int number = t->index ? t->index->findTag(name) : -1;
  if (number >= 0) return codebase::tagHandle(table, number);
  // A missing tag is an error only while the context asks for that.
  codebase::Context* c = codebase::context(t->context);
  if (c && c->errTagName != 0) {
    codebase::fail(t->context, Status::notFound("table '" + t->fileName + "' has no tag '" + name + "'"));
    c->errorCode = kResultNoTag;
  }
  return 0;
}

void d4tagSelect(std::int32_t table, std::int32_t tag) {
  OpenTable* t = codebase::table(table);
  if (!t) return;
  const codebase::OpenTag* chosen = codebase::tag(tag);
  t->selectedTag = chosen && chosen->table == table ? tag : 0;
}

std::int32_t d4tagSelected(std::int32_t table) {
  OpenTable* t = codebase::table(table);
  return t ? t->selectedTag : 0;
}

namespace {

// The selected tag and the seek text in that tag's key form; a code other
// than kResultSuccess when there is nothing to seek with.
struct SeekRequest {
  OpenTable* table = nullptr;
  int tag = -1;
  std::string key;
  std::int16_t result = kResultSuccess;
};

SeekRequest seekRequest(std::int32_t table, const char* text) {
  SeekRequest r;
  r.table = codebase::table(table);
  if (!r.table || !text) {
    r.result = kResultBadArgument;
    return r;
  }
  r.tag = selectedTag(*r.table);
  if (r.tag >= 0 && r.table->index->seekStatus(r.tag))
    if (Status s = tagKey(*r.table, r.tag, text, &r.key); !s) r.result = failWith(*r.table, s);
  return r;
}

} // namespace

std::int16_t d4seek(std::int32_t table, const char* text) {
  SeekRequest r = seekRequest(table, text);
  return r.result != kResultSuccess ? r.result : seekKey(*r.table, r.key);
}

// The next record whose key begins with the given key, after the current
// one when the current record's key begins with it; otherwise a seek.
std::int16_t d4seekNext(std::int32_t table, const char* text) {
  SeekRequest r = seekRequest(table, text);
  if (r.result != kResultSuccess) return r.result;
  OpenTable* t = r.table;
  const int tag = r.tag;
  const std::string& key = r.key;
  if (tag < 0 || !onRecord(*t)) return seekKey(*t, key);
  std::string current;
  bool included = false;
  Status s = freshIndex(*t);
  if (s) s = t->index->recordKey(tag, t->table->current(), &current, &included);
  if (!s) return failWith(*t, s);
  if (!included || !keyBegins(current, key)) return seekKey(*t, key);

  TagCursor cursor;
  s = locateCurrent(*t, tag, &cursor);
  if (s) s = t->index->next(tag, &cursor);
  if (!s) return failWith(*t, s);
  if (!cursor.valid) return codebase::moveTo(*t, 0);
  std::string entryKey;
  std::uint32_t recno = 0;
  s = t->index->entry(tag, cursor, &entryKey, &recno);
  if (!s) return failWith(*t, s);
  std::int16_t moved = codebase::moveTo(*t, recno);
  if (moved != kResultSuccess) return moved;
  return keyBegins(entryKey, key) ? kResultSuccess : kResultAfter;
}

} // namespace pu
