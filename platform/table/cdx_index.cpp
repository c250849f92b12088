#include "platform/table/cdx_index.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_set>

#include "platform/table/ascii_case.h"
#include "platform/table/cdx_build.h"

namespace pu::table {

namespace {


std::string trimName(const std::string& key) {
  std::string s = key;
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

constexpr std::size_t kMaxTags = 4096;

} // namespace

struct CompoundIndex::Tag {
  std::string name;
  std::unique_ptr<CdxTag> tree;
  KeyBuilder builder;
  bool compiled = false;
  bool machine = true;  // collation is byte order
  Status walk, seek, maintain;
};

CompoundIndex::CompoundIndex(std::string path, RecordSource& source, CdxOpenOptions options)
    : m_path(std::move(path)), m_source(source), m_options(options) {
  if (options.longNames) m_longNames = *options.longNames;
  m_options.longNames = options.longNames ? &m_longNames : nullptr;
}

CompoundIndex::~CompoundIndex() = default;

Status CompoundIndex::open(const std::string& path, RecordSource& source, std::unique_ptr<CompoundIndex>* out,
                           const CdxOpenOptions& options) {
  FileSystem& fs = FileSystem::instance();
  std::string resolved = fs.resolve(path);
  std::unique_ptr<File> file;
  if (Status s = fs.openFile(resolved, options.writable, &file); !s) return s;
  std::unique_ptr<CompoundIndex> index(new CompoundIndex(resolved, source, options));
  if (Status s = index->load(std::move(file)); !s) return s;
  *out = std::move(index);
  return Status::ok();
}

Status CompoundIndex::load(std::unique_ptr<File> file) {
  m_keysValid = false;
  m_tags.clear();
  m_directory.reset();
  if (Status s = m_store.open(std::move(file), m_options.writable); !s) return s;
  std::string bytes;
  if (Status s = m_store.read(0, cdx::kHeaderSize, &bytes); !s) return s;
  cdx::IndexHeader dirHeader;
  if (Status s = cdx::decodeHeader(bytes, &dirHeader, m_path + ": file header"); !s) return s;
  m_directory = std::make_unique<CdxTag>(m_store, "(tag directory)", 0, dirHeader, std::uint8_t(' '));
  TagCursor c;
  if (Status s = m_directory->first(&c); !s) return s;
  const TableSchema& schema = m_source.schema();
  expr::ParseOptions parseOptions;
  parseOptions.longNames = m_options.longNames;
  parseOptions.caseMappingKnown = schema.codePageMark == 0x03;
  std::unordered_set<std::uint32_t> headers;
  while (c.valid) {
    if (m_tags.size() >= kMaxTags) return Status::corruption(m_path + ": tag directory does not end");
    std::string key;
    std::uint32_t offset = 0;
    if (Status s = m_directory->entry(c, &key, &offset); !s) return s;
    auto t = std::make_unique<Tag>();
    t->name = trimName(key);
    if (offset % cdx::kPageSize || offset < cdx::kHeaderSize ||
        std::uint64_t(offset) + cdx::kHeaderSize > m_store.fileSize() || !headers.insert(offset).second)
      return Status::corruption(m_path + ": tag " + t->name + " has a bad header offset " + std::to_string(offset));
    if (Status s = m_store.read(offset, cdx::kHeaderSize, &bytes); !s) return s;
    cdx::IndexHeader h;
    if (Status s = cdx::decodeHeader(bytes, &h, m_path + ": tag " + t->name); !s) return s;
    std::string collation = upperAscii(h.collation);
    t->machine = collation.empty() || collation == "MACHINE";
    std::uint8_t filler = ' ';
    if (h.signature == 5) {
      t->walk = Status::unsupported(m_path + ": tag " + t->name + " is a binary (bitmap) tag");
      t->seek = t->maintain = t->walk;
    } else {
      Status compiled = t->builder.compile(h.keyExpr, h.forExpr, schema, parseOptions, (h.options & cdx::kOptNullable) != 0);
      if (compiled && t->builder.keyLength() != h.keyLength)
        compiled = Status::unsupported("key expression \"" + h.keyExpr + "\" gives " +
                                       std::to_string(t->builder.keyLength()) + "-byte keys, the tag holds " +
                                       std::to_string(h.keyLength));
      t->compiled = compiled.isOk();
      if (t->compiled) {
        filler = t->builder.filler();
      } else {
        KeyBuilder guess;
        expr::ParseOptions guessOptions = parseOptions;
        guessOptions.guessTruncatedNames = true;
        if (guess.compile(h.keyExpr, "", schema, guessOptions, false)) filler = guess.filler();
        t->seek = t->maintain = Status::unsupported(m_path + ": tag " + t->name + ": " + compiled.message());
      }
      if (t->compiled && !t->machine)
        t->seek = t->maintain =
            Status::unsupported(m_path + ": tag " + t->name + " uses collation " + h.collation + ", not machine order");
      if (t->maintain.isOk() && !m_options.writable)
        t->maintain = Status::invalidArgument(m_path + ": index opened read-only");
    }
    t->tree = std::make_unique<CdxTag>(m_store, t->name, offset, h, filler, t->compiled && t->machine);
    m_tags.push_back(std::move(t));
    if (Status s = m_directory->next(&c); !s) return s;
  }
  return Status::ok();
}

int CompoundIndex::findTag(std::string_view name) const {
  std::string want = upperAscii(name);
  while (!want.empty() && want.back() == ' ') want.pop_back();
  for (std::size_t i = 0; i < m_tags.size(); ++i)
    if (upperAscii(m_tags[i]->name) == want) return int(i);
  return -1;
}

const std::string& CompoundIndex::tagName(int tag) const { return m_tags[std::size_t(tag)]->name; }
std::uint32_t CompoundIndex::keyLength(int tag) const { return m_tags[std::size_t(tag)]->tree->keyLength(); }
std::uint8_t CompoundIndex::filler(int tag) const { return m_tags[std::size_t(tag)]->tree->filler(); }
bool CompoundIndex::descending(int tag) const { return m_tags[std::size_t(tag)]->tree->header().descending; }
const Status& CompoundIndex::seekStatus(int tag) const { return m_tags[std::size_t(tag)]->seek; }
const Status& CompoundIndex::walkStatus(int tag) const { return m_tags[std::size_t(tag)]->walk; }
const KeyBuilder* CompoundIndex::keyBuilder(int tag) const {
  const Tag& t = *m_tags[std::size_t(tag)];
  return t.compiled ? &t.builder : nullptr;
}

TagSpec CompoundIndex::tagSpec(int tag) const {
  const cdx::IndexHeader& h = m_tags[std::size_t(tag)]->tree->header();
  TagSpec result;
  result.name = m_tags[std::size_t(tag)]->name;
  result.keyExpr = h.keyExpr;
  result.forExpr = h.forExpr;
  result.unique = (h.options & cdx::kOptUnique) != 0;
  result.candidate = (h.options & cdx::kOptCandidate) != 0;
  result.descending = h.descending;
  result.nullable = (h.options & cdx::kOptNullable) != 0;
  return result;
}

// A descending tag stores its keys ascending; its order is the reverse walk.
Status CompoundIndex::seek(int tag, std::string_view key, TagCursor* cursor, SeekResult* result) {
  Tag& t = *m_tags[std::size_t(tag)];
  cursor->valid = false;
  if (!t.seek) return t.seek;
  if (Status s = t.tree->seek(key, cursor, result); !s) return s;
  if (!t.tree->header().descending) return Status::ok();
  if (*result == SeekResult::Found) {
    // The first match in descending order is the last one ascending.
    std::size_t prefix = std::min<std::size_t>(key.size(), t.tree->keyLength());
    TagCursor probe = *cursor;
    std::string k;
    std::uint32_t recno = 0;
    for (;;) {
      if (Status s = t.tree->next(&probe); !s) return s;
      if (!probe.valid) break;
      if (Status s = t.tree->entry(probe, &k, &recno); !s) return s;
      if (k.compare(0, prefix, key.substr(0, prefix)) != 0) break;
      *cursor = probe;
    }
    return Status::ok();
  }
  // Not found: the next entry in descending order is the greatest smaller key.
  if (*result == SeekResult::End) {
    if (Status s = t.tree->last(cursor); !s) return s;
  } else if (Status s = t.tree->prev(cursor); !s) {
    return s;
  }
  *result = cursor->valid ? SeekResult::After : SeekResult::End;
  return Status::ok();
}

Status CompoundIndex::first(int tag, TagCursor* cursor) {
  Tag& t = *m_tags[std::size_t(tag)];
  cursor->valid = false;
  if (!t.walk) return t.walk;
  return t.tree->header().descending ? t.tree->last(cursor) : t.tree->first(cursor);
}
Status CompoundIndex::last(int tag, TagCursor* cursor) {
  Tag& t = *m_tags[std::size_t(tag)];
  cursor->valid = false;
  if (!t.walk) return t.walk;
  return t.tree->header().descending ? t.tree->first(cursor) : t.tree->last(cursor);
}
Status CompoundIndex::next(int tag, TagCursor* cursor) {
  Tag& t = *m_tags[std::size_t(tag)];
  if (!t.walk) return t.walk;
  return t.tree->header().descending ? t.tree->prev(cursor) : t.tree->next(cursor);
}
Status CompoundIndex::prev(int tag, TagCursor* cursor) {
  Tag& t = *m_tags[std::size_t(tag)];
  if (!t.walk) return t.walk;
  return t.tree->header().descending ? t.tree->next(cursor) : t.tree->prev(cursor);
}
Status CompoundIndex::entry(int tag, const TagCursor& cursor, std::string* key, std::uint32_t* recno) {
  Tag& t = *m_tags[std::size_t(tag)];
  if (!t.walk) return t.walk;
  return t.tree->entry(cursor, key, recno);
}

Status CompoundIndex::recordKey(int tag, std::string_view record, std::string* key, bool* included) {
  Tag& t = *m_tags[std::size_t(tag)];
  if (!t.compiled) return t.maintain;
  return t.builder.build(record, &m_source, key, included);
}

Status CompoundIndex::locateRecord(int tag, std::string_view record, std::uint32_t recno, TagCursor* cursor) {
  Tag& t = *m_tags[std::size_t(tag)];
  cursor->valid = false;
  if (!t.seek) return t.seek;
  std::string key;
  bool included = false;
  if (Status s = t.builder.build(record, &m_source, &key, &included); !s) return s;
  if (!included) return Status::ok();
  return t.tree->locate(key, recno, cursor);
}

Status CompoundIndex::tagKeys(Tag& t, std::uint32_t recno, std::string_view record, std::string* key,
                              bool* included) {
  *included = false;
  if (record.empty()) return Status::ok();
  Status s = t.builder.build(record, &m_source, key, included);
  if (s) return s;
  std::string msg = m_path + ": tag " + t.name + ", record " + std::to_string(recno) + ": " + s.message();
  switch (s.code()) {
    case Status::Code::Corruption: return Status::corruption(msg);
    case Status::Code::Unsupported: return Status::unsupported(msg);
    case Status::Code::IoError: return Status::ioError(msg);
    default: return Status::invalidArgument(msg);
  }
}

Status CompoundIndex::changeKeys(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord) {
  if (m_keysValid && m_keysRecno == recno && m_keysOld == oldRecord && m_keysNew == newRecord) return Status::ok();
  m_keysValid = false;
  m_keys.resize(m_tags.size());
  for (std::size_t i = 0; i < m_tags.size(); ++i) {
    Tag& t = *m_tags[i];
    ChangeKeys& k = m_keys[i];
    k.oldIn = k.newIn = false;
    if (!t.compiled) continue;
    // Most changes leave most tags alone: when the expressions read the
    // same bytes in both records, the tag is left as if the record were in
    // neither, and its keys are not built.
    if (!oldRecord.empty() && t.builder.sameInputs(oldRecord, newRecord)) continue;
    if (Status s = tagKeys(t, recno, oldRecord, &k.oldKey, &k.oldIn); !s) return s;
    if (Status s = tagKeys(t, recno, newRecord, &k.newKey, &k.newIn); !s) return s;
  }
  m_keysRecno = recno;
  m_keysOld.assign(oldRecord);
  m_keysNew.assign(newRecord);
  m_keysValid = true;
  return Status::ok();
}

Status CompoundIndex::candidateClash(Tag& t, const std::string& key, std::uint32_t recno, bool* clash) {
  *clash = false;
  TagCursor c;
  SeekResult r;
  if (Status s = t.tree->seek(key, &c, &r); !s) return s;
  for (int i = 0; i < 2 && c.valid && r == SeekResult::Found; ++i) {
    std::string k;
    std::uint32_t other = 0;
    if (Status s = t.tree->entry(c, &k, &other); !s) return s;
    if (k != key) return Status::ok();
    if (other != recno) {
      *clash = true;
      return Status::ok();
    }
    if (Status s = t.tree->next(&c); !s) return s;
  }
  return Status::ok();
}

Status CompoundIndex::keyPresent(Tag& t, const std::string& key, bool* present) {
  *present = false;
  TagCursor c;
  SeekResult r;
  if (Status s = t.tree->seek(key, &c, &r); !s) return s;
  if (!c.valid || r != SeekResult::Found) return Status::ok();
  std::string k;
  std::uint32_t holder = 0;
  if (Status s = t.tree->entry(c, &k, &holder); !s) return s;
  *present = k == key;
  return Status::ok();
}

Status CompoundIndex::checkChange(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord) {
  if (Status s = changeKeys(recno, oldRecord, newRecord); !s) return s;
  // Refusals for tags we cannot maintain come first, then key clashes.
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < m_tags.size(); ++i) {
      Tag& t = *m_tags[i];
      const ChangeKeys& k = m_keys[i];
      if (!t.compiled) {
        if (pass == 0 && oldRecord != newRecord)
          return Status::unsupported("cannot change record " + std::to_string(recno) + ": " + t.maintain.message());
        continue;
      }
      bool changes = k.oldIn != k.newIn || (k.newIn && k.oldKey != k.newKey);
      if (!changes) continue;
      if (pass == 0) {
        if (!t.maintain) return Status::unsupported("cannot change record " + std::to_string(recno) + ": " +
                                                    t.maintain.message());
        continue;
      }
      if ((t.tree->header().options & cdx::kOptCandidate) && k.newIn) {
        bool clash = false;
        if (Status s = candidateClash(t, k.newKey, recno, &clash); !s) return s;
        if (clash) return Status::exists("Uniqueness of index " + t.name + " is violated");
      }
    }
  }
  return Status::ok();
}

Status CompoundIndex::applyChange(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord) {
  if (Status s = changeKeys(recno, oldRecord, newRecord); !s) return s;
  m_keysValid = false;  // the tags change now; the next change starts afresh
  for (std::size_t i = 0; i < m_tags.size(); ++i) {
    Tag& t = *m_tags[i];
    if (!t.compiled) {
      if (oldRecord != newRecord) return Status::unsupported(t.maintain.message());
      continue;
    }
    const std::string& oldKey = m_keys[i].oldKey;
    const std::string& newKey = m_keys[i].newKey;
    bool oldIn = m_keys[i].oldIn, newIn = m_keys[i].newIn;
    if (oldIn == newIn && (!newIn || oldKey == newKey)) continue;
    if (!t.maintain) return t.maintain;
    if (!(t.tree->header().options & cdx::kOptUnique)) {
      if (oldIn && newIn) t.tree->warm(oldKey, recno, newKey, recno);
      if (oldIn)
        if (Status s = t.tree->erase(oldKey, recno); !s) return s;
      if (newIn)
        if (Status s = t.tree->insert(newKey, recno); !s) return s;
      continue;
    }
    // Unique, as FoxPro keeps it between reindexes: a key stays with the
    // record that took it first and goes when that record's key changes; it
    // is not handed to another record that still has it.
    if (oldIn) {
      TagCursor c;
      if (Status s = t.tree->locate(oldKey, recno, &c); !s) return s;
      if (c.valid)
        if (Status s = t.tree->erase(oldKey, recno); !s) return s;
    }
    if (newIn) {
      bool held = false;
      if (Status s = keyPresent(t, newKey, &held); !s) return s;
      if (!held)
        if (Status s = t.tree->insert(newKey, recno); !s) return s;
    }
  }
  return m_deferred ? Status::ok() : flush();
}

// The change counter moves before the nodes are written, so a program
// killed halfway still tells the others that their copies are stale.
Status CompoundIndex::flush() {
  bool any = std::any_of(m_tags.begin(), m_tags.end(), [](const auto& t) { return t->tree->dirty(); });
  if (!any) return Status::ok();
  if (Status s = m_store.writeFileHeader(); !s) return s;
  for (auto& t : m_tags)
    if (t->tree->dirty())
      if (Status s = t->tree->flush(); !s) return s;
  return Status::ok();
}

Status CompoundIndex::writePacked(RecordSource& packed, const std::string& path) {
  std::vector<TagSpec> specs;
  if (Status s = rebuildSpecs(&specs); !s) return s;
  CompoundIndex builder(path, packed, m_options);
  return builder.writeAll(specs);
}

Status CompoundIndex::refresh() {
  bool changed = false;
  return refresh(&changed);
}

Status CompoundIndex::refresh(bool* changed) {
  *changed = false;
  for (auto& t : m_tags)
    if (t->tree->dirty()) return Status::invalidArgument(m_path + ": unwritten changes; flush before refresh");
  if (Status s = m_store.changedElsewhere(changed); !s) return s;
  if (!*changed) return Status::ok();
  // The same open file, so that an update lock held on it stays.
  std::unique_ptr<File> file = m_store.releaseFile();
  return load(std::move(file));
}

Status CompoundIndex::beginChange(bool* changedElsewhere) {
  *changedElsewhere = false;
  if (!m_options.writable) return Status::ok();  // changes are refused by checkChange
  if (Status s = m_store.lockUpdates(); !s) return s;
  for (auto& t : m_tags)
    if (t->tree->dirty()) return Status::ok();
  Status s = refresh(changedElsewhere);
  if (!s) (void)m_store.unlockUpdates();  // the refresh error is the one to report
  return s;
}

Status CompoundIndex::endChange() { return m_store.unlockUpdates(); }

Status CompoundIndex::writeAll(const std::vector<TagSpec>& specs) {
  ExclusiveUse alone(m_source);  // the index file is replaced under every reader
  if (Status taken = alone.take(); !taken) return taken;
  const TableSchema& schema = m_source.schema();
  expr::ParseOptions parseOptions;
  parseOptions.longNames = m_options.longNames;
  parseOptions.caseMappingKnown = schema.codePageMark == 0x03;
  std::vector<cdx::BuiltTag> built(specs.size());
  std::vector<KeyBuilder> builders(specs.size());
  std::unordered_set<std::string> names;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    const TagSpec& wanted = specs[i];
    std::string name = upperAscii(wanted.name);
    if (name.empty() || name.size() > 10 || !names.insert(name).second ||
        !std::all_of(name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }))
      return Status::invalidArgument(m_path + ": bad or repeated tag name \"" + wanted.name + "\"");
    if (Status s = builders[i].compile(wanted.keyExpr, wanted.forExpr, schema, parseOptions, wanted.nullable); !s) return s;
    cdx::BuiltTag& b = built[i];
    b.name = name;
    b.header.keyLength = std::uint16_t(builders[i].keyLength());
    b.header.options = std::uint8_t(cdx::kOptCompact | cdx::kOptCompound | (wanted.unique ? cdx::kOptUnique : 0) |
                                    (wanted.candidate ? cdx::kOptCandidate : 0) | (builders[i].hasFor() ? cdx::kOptFor : 0) |
                                    (wanted.nullable ? cdx::kOptNullable : 0));
    b.header.signature = 1;
    b.header.descending = wanted.descending;
    b.header.keyExpr = wanted.keyExpr;
    b.header.forExpr = builders[i].hasFor() ? wanted.forExpr : "";
    b.entries.keyLength = builders[i].keyLength();
    b.entries.filler = builders[i].filler();
  }
  std::uint32_t count = m_source.recordCount();
  for (auto& b : built) {
    b.entries.keys.reserve(std::size_t(count) * b.entries.keyLength);
    b.entries.recnos.reserve(count);
  }
  std::string record, key;
  for (std::uint32_t r = 1; r <= count; ++r) {
    if (Status s = m_source.readRecord(r, &record); !s) return s;
    for (std::size_t i = 0; i < built.size(); ++i) {
      bool in = false;
      if (Status s = builders[i].build(record, &m_source, &key, &in); !s)
        return Status::invalidArgument(m_path + ": tag " + built[i].name + ", record " + std::to_string(r) + ": " +
                                       s.message());
      if (!in) continue;
      built[i].entries.keys.insert(built[i].entries.keys.end(), key.begin(), key.end());
      built[i].entries.recnos.push_back(r);
    }
  }
  for (std::size_t i = 0; i < built.size(); ++i) {
    cdx::SortedEntries& e = built[i].entries;
    cdx::sortEntries(&e);
    if (!specs[i].unique && !specs[i].candidate) continue;
    const std::size_t len = e.keyLength;
    std::size_t out = 0;
    for (std::size_t k = 0; k < e.count(); ++k) {
      if (out && std::memcmp(&e.keys[(out - 1) * len], &e.keys[k * len], len) == 0) {
        if (specs[i].candidate) return Status::exists("Uniqueness of index " + built[i].name + " is violated");
        continue;  // unique: the lowest record number stays
      }
      std::memmove(&e.keys[out * len], &e.keys[k * len], len);
      e.recnos[out++] = e.recnos[k];
    }
    e.keys.resize(out * len);
    e.recnos.resize(out);
  }
  std::string image;
  if (Status s = cdx::buildIndexImage(built, &image); !s) return Status::invalidArgument(m_path + ": " + s.message());
  return replaceFileAtomically(m_path, image);
}

Status CompoundIndex::create(const std::string& path, RecordSource& source, const std::vector<TagSpec>& tags,
                             std::unique_ptr<CompoundIndex>* out, const CdxOpenOptions& options) {
  std::string resolved = FileSystem::instance().resolve(path);
  std::unique_ptr<CompoundIndex> index(new CompoundIndex(resolved, source, options));
  if (Status s = index->writeAll(tags); !s) return s;
  return open(resolved, source, out, options);
}

Status CompoundIndex::rebuildSpecs(std::vector<TagSpec>* specs) const {
  specs->clear();
  for (int i = 0; i < tagCount(); ++i) {
    if (!m_tags[std::size_t(i)]->maintain) return Status::unsupported("cannot rebuild: " + m_tags[std::size_t(i)]->maintain.message());
    specs->push_back(tagSpec(i));
  }
  return Status::ok();
}

Status CompoundIndex::reindex() {
  std::vector<TagSpec> specs;
  if (Status s = rebuildSpecs(&specs); !s) return s;
  if (Status s = writeAll(specs); !s) return s;
  return reopen();
}

Status CompoundIndex::reopen() {
  std::unique_ptr<File> file;
  if (Status s = FileSystem::instance().openFile(m_path, m_options.writable, &file); !s) return s;
  return load(std::move(file));
}

// The key each record gives the tags check() compares, from one pass over
// the records: keyLength bytes per record, and per record whether the tag
// admits it (1) and whether an entry was found for it (2).
struct CompoundIndex::RecordKeys {
  std::string keys;
  std::vector<std::uint8_t> state;
};

bool CompoundIndex::comparable(const Tag& t) { return t.walk.isOk() && t.compiled && t.machine; }

Status CompoundIndex::recordKeys(std::vector<RecordKeys>* out) {
  out->assign(m_tags.size(), RecordKeys{});
  const std::uint32_t count = m_source.recordCount();
  std::vector<std::size_t> tags;
  for (std::size_t i = 0; i < m_tags.size(); ++i) {
    if (!comparable(*m_tags[i])) continue;
    tags.push_back(i);
    (*out)[i].keys.resize(std::size_t(count) * m_tags[i]->tree->keyLength());
    (*out)[i].state.assign(count, 0);
  }
  std::string rec, key;
  for (std::uint32_t r = 1; r <= count && !tags.empty(); ++r) {
    if (Status s = m_source.readRecord(r, &rec); !s) return s;
    for (std::size_t i : tags) {
      bool in = false;
      if (Status s = tagKeys(*m_tags[i], r, rec, &key, &in); !s) return s;
      if (!in) continue;
      RecordKeys& k = (*out)[i];
      k.keys.replace(std::size_t(r - 1) * key.size(), key.size(), key);
      k.state[r - 1] = 1;
    }
  }
  return Status::ok();
}

// Every entry must carry its record's key, each record once. Every record
// the tag admits must be there, except in a UNIQUE tag, where no key may
// appear twice instead (see applyChange).
Status CompoundIndex::compareEntries(Tag& t, RecordKeys& expected,
                                     const std::vector<std::pair<std::string, std::uint32_t>>& actual) {
  const bool unique = (t.tree->header().options & cdx::kOptUnique) != 0;
  const std::size_t len = t.tree->keyLength();
  const std::string where = m_path + ": tag " + t.name;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const auto& [key, recno] = actual[i];
    if (unique && i > 0 && actual[i - 1].first == key)
      return Status::corruption(where + " holds the key of record " + std::to_string(recno) + " twice");
    bool matches = recno >= 1 && recno <= expected.state.size() && expected.state[recno - 1] == 1 &&
                   key.size() == len && expected.keys.compare(std::size_t(recno - 1) * len, len, key) == 0;
    if (!matches)
      return Status::corruption(where + " holds an entry for record " + std::to_string(recno) +
                                " that its record does not give");
    expected.state[recno - 1] = 2;
  }
  for (std::size_t r = 0; !unique && r < expected.state.size(); ++r)
    if (expected.state[r] == 1) return Status::corruption(where + " lacks the key of record " + std::to_string(r + 1));
  return Status::ok();
}

Status CompoundIndex::check() {
  if (Status s = flush(); !s) return s;
  std::unordered_set<std::uint32_t> seen;
  std::vector<std::pair<std::string, std::uint32_t>> actual;
  if (Status s = m_directory->check(&seen, &actual); !s) return s;
  std::vector<RecordKeys> expected;
  if (Status s = recordKeys(&expected); !s) return s;
  for (std::size_t i = 0; i < m_tags.size(); ++i) {
    Tag& t = *m_tags[i];
    std::uint32_t h = t.tree->headerOffset();
    if (!seen.insert(h).second || !seen.insert(h + cdx::kPageSize).second)
      return Status::corruption(m_path + ": header of tag " + t.name + " overlaps another node");
    if (!t.walk) continue;
    if (Status s = t.tree->check(&seen, &actual); !s) return s;
    if (!comparable(t)) continue;
    if (Status s = compareEntries(t, expected[i], actual); !s) return s;
    expected[i] = RecordKeys{};
  }
  for (std::uint32_t free : m_store.freed())
    if (seen.count(free))
      return Status::corruption(m_path + ": freed node at offset " + std::to_string(free) + " is still in use");
  return Status::ok();
}

} // namespace pu::table
