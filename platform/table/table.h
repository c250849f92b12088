#pragma once
// One open FoxPro table: its .dbf, its .fpt when it has memo fields, and the
// production index attached by the layer above. Not thread-safe; one owner.
//
// Write order. A process killed at any moment leaves a table that opens
// (rules 1 to 8); so does a power cut (rule 9):
//  1. A changed record is written with one write at its own place (one
//     writeAt of the bytes that differ, never a copy into the shared view,
//     which a kill could leave half done); no other byte of the .dbf moves.
//  2. A changed memo goes into new blocks at the end of the .fpt; the blocks
//     are written before the .fpt header's next-free pointer, and the
//     record's pointer (rule 1) after both. A kill leaves the record naming
//     the old memo or the whole new one.
//  3. An append writes the record and the end-of-file byte past the last
//     record first and the header's record count after. A kill in between
//     leaves bytes past the counted records, which readers ignore and the
//     next append overwrites.
//  4. The attached index is asked before the .dbf is written (checkChange)
//     and told after (applyChange); a refused change writes nothing.
//  5. Pack writes a whole new table beside the old one (name + ".pk~"); the
//     index writes a whole new index for it beside the old index, which
//     appears only complete; the new table takes the old one's place, then
//     the new index the old index's (each as rule 9). A kill before the
//     first rename leaves the old files (and the deleted records marked); a
//     kill between the renames leaves the new table with the new index
//     beside it, and the next open puts that index in place
//     (finishInterruptedPack). The new table is marked exclusive before its
//     rename, so no program that honours the marks opens it before its
//     index is in place. The memo file is kept as it is, so memo pointers
//     stay right.
//  6. Appends hold the header lock, so two programs never take the same
//     record number; record locks are the caller's business (lockRecord).
//  7. An autoincrement field's next value moves on in its descriptor before
//     the record that uses it is written; a kill leaves a gap in the
//     numbers, never the same number twice.
//  8. Each change holds the index's update lock from before checkChange to
//     after applyChange, and first rereads the index when another program
//     changed it; the old record bytes are read under that lock. So two
//     programs never change the index at once and each works on the
//     other's last state. A kill drops the lock; the index may then miss
//     the killed change (check finds it, reindex repairs it).
//  9. A file takes another's place (a packed table, a new or rebuilt index,
//     a rewritten INI file, a backup copy) only through moveIntoPlace: the
//     new file's data is synced, it is renamed over the old, then the
//     folder is synced. A power cut leaves the old file or the whole new
//     one, the new one once the replacement has returned, and a pack's
//     files as a kill would (rule 5). Record, memo and index writes in
//     place are not synced: a power cut may take the last of them back,
//     and leave an index that the start-up check finds wrong and rebuilds.
#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/file_system.h"
#include "platform/status.h"
#include "platform/table/dbf_header.h"
#include "platform/table/field_value.h"
#include "platform/table/lock_offsets.h"
#include "platform/table/memo_file.h"
#include "platform/table/record_index.h"

namespace pu::table {

struct FieldSpec {
  std::string name;
  char type = 'C';
  std::uint8_t length = 0;  // ignored for types of fixed width
  std::uint8_t decimals = 0;
  std::uint8_t flags = 0;
};

enum class TableFormat { VisualFoxPro, FoxPro2 };

class IndexChange;

class Table final : public RecordSource {
public:
  // A header count larger than the file holds is lowered to the records the
  // file holds (headerRecordCount() keeps the stored value for checkers).
  // The open table holds the shared mark other programs test (File::share);
  // a table in exclusive use elsewhere is refused with Locked.
  static Status open(std::string_view path, bool writable, std::unique_ptr<Table>* table);
  // Writes an empty table (and an empty .fpt when a field needs one).
  static Status create(std::string_view path, const std::vector<FieldSpec>& fields, TableFormat format);

  ~Table() override;

  const std::string& path() const { return m_path; }
  const DbfHeader& header() const { return m_header; }
  const TableSchema& schema() const override { return m_header.schema; }
  std::uint32_t recordCount() const override { return m_recordCount; }
  std::uint32_t headerRecordCount() const { return m_headerRecordCount; }
  bool writable() const { return m_writable; }

  Status readRecord(std::uint32_t recno, std::string* bytes) override;
  Status readMemo(std::uint32_t block, std::string* text) override;
  // The record's bytes, valid until the next call on this table.
  Status recordView(std::uint32_t recno, std::string_view* bytes);
  // Re-reads the record count another program may have raised.
  Status refreshCount();

  // The production index, told of every change (record_index.h); it may keep
  // a pointer to this table, which destroys it before closing its files.
  void attachIndex(std::unique_ptr<RecordIndex> index) { m_index = std::move(index); }
  // Header flag telling other programs to open the production index too.
  bool hasStructuralIndex() const { return (m_header.flags & kHasStructuralIndex) != 0; }
  Status setStructuralIndex(bool present);
  RecordIndex* index() const { return m_index.get(); }

  // The current record. Moving flushes a pending change first.
  Status go(std::uint32_t recno);
  // No current record; the buffer holds a blank record.
  Status clearPosition();
  std::uint32_t recno() const { return m_recno; }  // 0: none
  // The current record's bytes, valid until the next call on this table.
  // An unchanged record read through the view is the record in the file
  // itself, so another program's change shows at once (a record locked by
  // us does not change under us); a changed, appended or unmapped record is
  // this table's own copy.
  std::string_view current() const {
    return m_live ? std::string_view(m_view + recordOffset(m_recno), schema().recordLength) : std::string_view(m_buffer);
  }
  bool isDeleted() const {
    std::string_view c = current();
    return !c.empty() && c[0] == kDeletedMark;
  }
  bool changed() const { return m_changed; }
  bool appending() const { return m_appending; }
  Value value(const FieldDef& field) const { return decodeField(schema(), field, current()); }
  Status memoText(const FieldDef& field, std::string* text);

  // Field changes go to the buffer; flush() writes them.
  Status assignText(const FieldDef& field, std::string_view text);
  Status assignInteger(const FieldDef& field, std::int64_t value);
  Status assignNumber(const FieldDef& field, double value);
  Status assignLogical(const FieldDef& field, bool value);
  Status assignDate(const FieldDef& field, int year, int month, int day);
  // Writes the text into new memo blocks now; the pointer goes to the buffer.
  Status assignMemo(const FieldDef& field, std::string_view text);
  Status setDeleted(bool deleted);
  Status flush();
  // Discards unflushed changes of the current record.
  void revert();

  // A blank record buffer (appendStart), then append() stores it as the last record.
  Status appendStart();
  void blank();
  Status append();

  // Removes deleted records; the memo file is kept as it is. On failure the
  // table and its index are the old ones. Refused while another program has
  // the table open.
  Status pack();
  Status beginExclusive() override;
  void endExclusive() override;

  // Status Locked when another program or another open holds the lock.
  // Where the file cannot be mapped, a record read without a lock may come
  // from the read-ahead buffer and lag behind another program's write;
  // locking re-reads it.
  Status lockRecord(std::uint32_t recno);
  Status unlockAll();
  bool holdsLock(std::uint32_t recno) const { return m_locks.count(recno) != 0; }

  // Flushes, releases the locks and closes the files; only destruction may follow.
  Status close();

private:
  Table() = default;
  Status load();
  bool mapped(std::uint32_t recno);
  Status shareOpenedFile();
  Status loadWindow(std::uint32_t recno, bool sequential);
  Status readDirect(std::uint32_t recno, std::string* bytes);
  Status clearPackFiles();
  Status writePacked(File* out, std::uint32_t* kept);
  // Checks that the current record may change and takes a copy of it to change.
  Status editable();
  void show(std::uint32_t recno, std::string_view bytes);
  Status edited(const FieldDef& field, Status s);
  Status beginIndexChange(IndexChange& change);
  Status writeRecord(std::uint32_t recno, const std::string& bytes);
  // Record recno (inside the file) from old, as read under the lock, to bytes.
  Status putRecord(std::uint32_t recno, const std::string& bytes, const std::string& old);
  Status writeAppended(std::uint32_t recno, const std::string& bytes);
  Status writeCount(std::uint32_t count);
  Status takeAutoIncrements();
  Status stampDate();
  void blankBuffer();
  void updateCache(std::uint32_t recno, std::string_view bytes);
  void dropCache() { m_cacheCount = 0; }
  std::uint64_t recordOffset(std::uint32_t recno) const {
    return m_header.headerLength + static_cast<std::uint64_t>(recno - 1) * schema().recordLength;
  }
  Status bad(std::uint64_t offset, const std::string& what) const;
  LockLayout lockLayout() const;

  std::string m_path;
  bool m_writable = false;
  std::unique_ptr<File> m_file;
  std::unique_ptr<MemoFile> m_memo;
  std::unique_ptr<RecordIndex> m_index;
  DbfHeader m_header;
  std::uint32_t m_recordCount = 0;
  std::uint32_t m_headerRecordCount = 0;

  // The file mapped shared (writable when the table is): records read
  // through it are the bytes on disk at that moment, other programs' writes
  // included, and changed records are written through it. Only records
  // inside the file (up to m_recordCount) go through it.
  char* m_view = nullptr;
  std::uint64_t m_viewLength = 0;
  bool m_viewless = false;  // the file system cannot map: read windows instead
  // Without a view: records m_cacheFirst .. m_cacheFirst + m_cacheCount - 1.
  std::string m_cache;
  std::uint32_t m_cacheFirst = 0;
  std::uint32_t m_cacheCount = 0;
  std::uint32_t m_lastRead = 0;

  std::uint32_t m_recno = 0;
  bool m_live = false;  // current() is record m_recno in the view, not m_buffer
  std::string m_buffer;
  bool m_changed = false;
  bool m_appending = false;
  bool m_dateStamped = false;  // the header's update date written this session
  std::map<std::uint32_t, std::uint64_t> m_locks;  // record -> locked offset
  int m_exclusive = 0;  // nesting of beginExclusive
};

// The .fpt beside a .dbf path: same name, extension .fpt in the case the .dbf's uses.
std::string memoPathFor(std::string_view dbfPath);
// The production index beside a .dbf path, named the same way.
std::string indexPathFor(std::string_view dbfPath);

// The new files a pack writes beside the table and its index.
std::string packedTablePath(std::string_view dbfPath);
std::string packedIndexPath(std::string_view indexPath);
// Puts the new index of a pack killed between its two renames in place;
// Table::open calls it once it holds the table's shared mark.
Status finishInterruptedPack(std::string_view dbfPath);

} // namespace pu::table
