#pragma once
// A table's compound index (.cdx): named tags kept in step with the records.
//
// Tags that we cannot maintain exactly are still opened and read:
//   - a key or FOR expression we do not evaluate (or whose key length is not
//     the one stored): walking works, seeks are refused, and any change of a
//     record is refused, since we cannot tell whether the tag would change;
//   - a collation other than machine order: walking works, seeks are
//     refused, and a change that would alter the tag is refused;
//   - a bitmap (binary) tag: neither walked nor sought; changes refused.
// So a wrong index is never written.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "platform/table/cdx_pages.h"
#include "platform/table/cdx_tag.h"
#include "platform/table/expr_parser.h"
#include "platform/table/key_builder.h"
#include "platform/table/record_index.h"

namespace pu::table {

struct TagSpec {
  std::string name;  // at most 10 characters
  std::string keyExpr;
  std::string forExpr;
  bool unique = false;     // only the first record of each key is indexed
  bool candidate = false;  // no two records may share a key
  bool descending = false;
  bool nullable = false;   // keys carry the NULL prefix byte (option 0x02)
};

struct CdxOpenOptions {
  bool writable = true;
  const expr::FieldNameMap* longNames = nullptr;
};

class CompoundIndex final : public RecordIndex {
public:
  ~CompoundIndex() override;

  static Status open(const std::string& path, RecordSource& source, std::unique_ptr<CompoundIndex>* out,
                     const CdxOpenOptions& options = {});
  // Builds a new index file over the source's records (replacing any file
  // at path only once it is complete) and opens it.
  static Status create(const std::string& path, RecordSource& source, const std::vector<TagSpec>& tags,
                       std::unique_ptr<CompoundIndex>* out, const CdxOpenOptions& options = {});

  const std::string& path() const override { return m_path; }
  int tagCount() const { return int(m_tags.size()); }
  int findTag(std::string_view name) const;  // without regard to case; -1 when none
  const std::string& tagName(int tag) const;
  TagSpec tagSpec(int tag) const;
  std::uint32_t keyLength(int tag) const;
  bool descending(int tag) const;
  // The byte a leaf's trailing count stands for in this tag's keys.
  std::uint8_t filler(int tag) const;
  // Why a tag cannot be sought / walked; ok when it can.
  const Status& seekStatus(int tag) const;
  const Status& walkStatus(int tag) const;
  // The tag's compiled expressions (nullptr when they could not be compiled).
  const KeyBuilder* keyBuilder(int tag) const;

  // Navigation is in tag order: ascending keys, or descending for a
  // DESCENDING tag; entries with equal keys in record-number order (reversed
  // on a descending tag).
  // Positions on the first entry in tag order whose key begins with `key`
  // (key bytes as stored; text keys are blank-padded, a shorter key is a
  // leading part); else on the entry that follows it in tag order.
  Status seek(int tag, std::string_view key, TagCursor* cursor, SeekResult* result);
  Status first(int tag, TagCursor* cursor);
  Status last(int tag, TagCursor* cursor);
  Status next(int tag, TagCursor* cursor);
  Status prev(int tag, TagCursor* cursor);
  Status entry(int tag, const TagCursor& cursor, std::string* key, std::uint32_t* recno);
  // The entry of one record (from its bytes); cursor invalid when the record
  // is not in the tag.
  Status locateRecord(int tag, std::string_view record, std::uint32_t recno, TagCursor* cursor);
  // The key of a record and whether the tag's FOR clause admits it.
  Status recordKey(int tag, std::string_view record, std::string* key, bool* included);

  // The update lock of the file, then refresh(); with deferred writes and
  // changes of our own still in memory the refresh is left out, as deferred
  // writes assume that no other program changes the index meanwhile.
  Status beginChange(bool* changedElsewhere) override;
  Status endChange() override;
  Status checkChange(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord) override;
  Status applyChange(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord) override;
  Status writePacked(RecordSource& packed, const std::string& path) override;
  Status reopen() override;

  // Rebuilds every tag from the records into a new file that replaces this
  // one when complete; on failure the old file stays.
  Status reindex();
  // First problem found, or ok: node structure, key order, no node reached
  // twice, and every record's key present exactly once. A UNIQUE tag kept
  // up to date by its writers may lack a key some record holds, or give it
  // to a later record (see applyChange); there each entry's key must be its
  // record's key and no key may appear twice.
  Status check();

  // Rereads the index when another program has changed it since we last
  // looked (call when taking a lock in a shared folder). Unflushed changes
  // of our own are an error here.
  Status refresh();
  Status refresh(bool* changed);

  // With deferred writes, changed nodes stay in memory until flush().
  void setDeferredWrites(bool deferred) { m_deferred = deferred; }
  Status flush();

private:
  struct Tag;
  CompoundIndex(std::string path, RecordSource& source, CdxOpenOptions options);
  Status load(std::unique_ptr<File> file);
  Status tagKeys(Tag& t, std::uint32_t recno, std::string_view record, std::string* key, bool* included);
  // Old and new keys of every tag for one change, computed once for
  // checkChange and reused by the applyChange of the same change.
  struct ChangeKeys {
    std::string oldKey, newKey;
    bool oldIn = false, newIn = false;
  };
  Status changeKeys(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord);
  Status candidateClash(Tag& t, const std::string& key, std::uint32_t recno, bool* clash);
  Status keyPresent(Tag& t, const std::string& key, bool* present);
  struct RecordKeys;
  static bool comparable(const Tag& t);
  Status recordKeys(std::vector<RecordKeys>* out);
  Status compareEntries(Tag& t, RecordKeys& expected, const std::vector<std::pair<std::string, std::uint32_t>>& actual);
  Status writeAll(const std::vector<TagSpec>& specs);
  Status rebuildSpecs(std::vector<TagSpec>* specs) const;

  std::string m_path;
  RecordSource& m_source;
  CdxOpenOptions m_options;
  cdx::PageStore m_store;
  std::unique_ptr<CdxTag> m_directory;
  std::vector<std::unique_ptr<Tag>> m_tags;
  expr::FieldNameMap m_longNames;
  bool m_deferred = false;
  std::uint32_t m_keysRecno = 0;
  std::string m_keysOld, m_keysNew;
  bool m_keysValid = false;
  std::vector<ChangeKeys> m_keys;  // by tag
};

} // namespace pu::table
