// The one write path of a table: every change of record bytes ends in
// writeRecord or writeAppended, which keep the order rules of table.h.
#include "platform/table/table.h"

#include "platform/table/bytes.h"
#include "platform/table/lock_offsets.h"

namespace pu::table {

// Holds the index's update lock for one change (rule 8 of table.h).
class IndexChange {
public:
  explicit IndexChange(RecordIndex* index) : m_index(index) {}
  ~IndexChange() {
    if (m_begun) (void)m_index->endChange();  // only on an error path, whose error is returned
  }
  IndexChange(const IndexChange&) = delete;
  IndexChange& operator=(const IndexChange&) = delete;
  Status begin(bool* changedElsewhere) {
    *changedElsewhere = false;
    if (!m_index) return Status::ok();
    Status s = m_index->beginChange(changedElsewhere);
    m_begun = s.isOk();
    return s;
  }
  Status end() {
    if (!m_begun) return Status::ok();
    m_begun = false;
    return m_index->endChange();
  }

private:
  RecordIndex* m_index;
  bool m_begun = false;
};

Status Table::editable() {
  if (!m_writable) return Status::invalidArgument("table '" + m_path + "' is open read-only");
  if (m_recno == 0 && !m_appending) return Status::invalidArgument("table '" + m_path + "' has no current record");
  if (m_live) {
    m_buffer.assign(current());
    m_live = false;
  }
  return Status::ok();
}

Status Table::edited(const FieldDef& f, Status s) {
  if (!s) return s;
  clearNull(schema(), f, &m_buffer);
  m_changed = true;
  return s;
}

Status Table::assignText(const FieldDef& f, std::string_view text) {
  Status s = editable();
  return s ? edited(f, encodeText(f, text, &m_buffer)) : s;
}

Status Table::assignInteger(const FieldDef& f, std::int64_t value) {
  Status s = editable();
  return s ? edited(f, encodeInteger(f, value, &m_buffer)) : s;
}

Status Table::assignNumber(const FieldDef& f, double value) {
  Status s = editable();
  return s ? edited(f, encodeNumber(f, value, &m_buffer)) : s;
}

Status Table::assignLogical(const FieldDef& f, bool value) {
  Status s = editable();
  return s ? edited(f, encodeLogical(f, value, &m_buffer)) : s;
}

Status Table::assignDate(const FieldDef& f, int year, int month, int day) {
  Status s = editable();
  return s ? edited(f, encodeDate(f, year, month, day, &m_buffer)) : s;
}

Status Table::assignMemo(const FieldDef& f, std::string_view text) {
  Status s = editable();
  if (!s) return s;
  if (f.type != 'M') return Status::invalidArgument("field '" + f.name + "' is not a memo field");
  if (!m_memo) return Status::corruption("table '" + m_path + "' has no memo file");
  std::uint32_t block = 0;
  if (!text.empty()) {
    s = m_memo->write(text, kMemoTypeText, &block);
    if (!s) return s;
  }
  return edited(f, encodeMemoBlock(f, block, &m_buffer));
}

Status Table::setDeleted(bool deleted) {
  Status s = editable();
  if (!s) return s;
  m_buffer[0] = deleted ? kDeletedMark : kLiveMark;
  m_changed = true;
  return Status::ok();
}

void Table::revert() {
  m_changed = false;
  if (m_recno != 0 && !m_appending) {
    std::string_view v;
    if (recordView(m_recno, &v)) show(m_recno, v);
  }
}

Status Table::flush() {
  if (!m_changed || m_appending) return Status::ok();
  Status s = writeRecord(m_recno, m_buffer);
  if (s) m_changed = false;
  return s;
}

Status Table::beginIndexChange(IndexChange& change) {
  bool changedElsewhere = false;
  Status s = change.begin(&changedElsewhere);
  if (!s || !changedElsewhere) return s;
  // Another program wrote since our last change: cached records and the
  // record count may be stale, and the index reads records by them.
  dropCache();
  return refreshCount();
}

Status Table::writeRecord(std::uint32_t recno, const std::string& bytes) {
  IndexChange change(m_index.get());
  Status s = beginIndexChange(change);
  if (!s) return s;
  std::string old;
  s = readDirect(recno, &old);  // the bytes on disk, not a cached copy
  if (!s) return s;
  if (old == bytes) return change.end();
  if (m_index) {
    s = m_index->checkChange(recno, old, bytes);
    if (!s) return s;
  }
  s = putRecord(recno, bytes, old);
  if (!s) return s;
  updateCache(recno, bytes);
  s = stampDate();
  if (!s) return s;
  if (m_index) {
    s = m_index->applyChange(recno, old, bytes);
    if (!s) {
      // Put the old bytes back so the table still agrees with its index.
      if (putRecord(recno, old, bytes)) updateCache(recno, old);
      return s;
    }
  }
  return change.end();
}

// One write of the bytes that differ. A system call rather than a copy into
// the shared view: a process killed inside a copy could leave a field part
// old, part new, where the kernel finishes a write it has begun. The view
// sees the write at once, as the other programs do.
Status Table::putRecord(std::uint32_t recno, const std::string& bytes, const std::string& old) {
  std::size_t first = 0, last = bytes.size();
  while (first < last && bytes[first] == old[first]) ++first;
  while (last > first && bytes[last - 1] == old[last - 1]) --last;
  if (first == last) return Status::ok();
  return m_file->writeAt(recordOffset(recno) + first, bytes.data() + first, last - first);
}

Status Table::appendStart() {
  if (!m_writable) return Status::invalidArgument("table '" + m_path + "' is open read-only");
  Status s = flush();
  if (!s) return s;
  m_appending = true;
  m_changed = false;
  m_live = false;
  blank();
  return Status::ok();
}

void Table::blank() {
  m_live = false;
  blankBuffer();
  if (!m_appending) m_changed = m_recno != 0;
}

Status Table::append() {
  if (!m_appending) return Status::invalidArgument("table '" + m_path + "': append without appendStart");
  HeaderLockGuard lock(m_file.get(), lockLayout().headerOffset());
  Status s = lock.take();
  if (!s) return s;
  s = refreshCount();  // another program may have appended
  if (!s) return s;
  if (m_recordCount == 0xFFFFFFFEu) return Status::ioError("table '" + m_path + "' is full");
  std::uint32_t recno = m_recordCount + 1;
  s = takeAutoIncrements();
  if (!s) return s;
  s = writeAppended(recno, m_buffer);
  if (!s) return s;
  m_appending = false;
  m_changed = false;
  m_recno = recno;
  return Status::ok();
}

Status Table::writeAppended(std::uint32_t recno, const std::string& bytes) {
  IndexChange change(m_index.get());
  Status s = beginIndexChange(change);
  if (!s) return s;
  if (m_index) {
    s = m_index->checkChange(recno, std::string_view(), bytes);
    if (!s) return s;
  }
  std::string out = bytes;
  out.push_back(kEndOfFile);
  s = m_file->writeAt(recordOffset(recno), out.data(), out.size());
  if (!s) return s;
  s = writeCount(recno);
  if (!s) return s;
  m_recordCount = recno;
  if (m_index) {
    s = m_index->applyChange(recno, std::string_view(), bytes);
    if (!s) return s;
  }
  return change.end();
}

Status Table::takeAutoIncrements() {
  const auto& fields = schema().fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& f = fields[i];
    if ((f.flags & kFieldAutoIncrement) != kFieldAutoIncrement || f.type != 'I') continue;
    // Read from the file: another program may have taken numbers since we opened it.
    const std::uint64_t at = kHeaderPrefixSize + i * kDescriptorSize + 19;
    std::string b(5, '\0');
    std::size_t got = 0;
    Status s = m_file->readAt(at, b.data(), b.size(), &got);
    if (!s) return s;
    if (got != b.size()) return bad(at, "field descriptor cut short");
    std::uint32_t next = getLe(b, 0, 4);
    std::uint8_t step = static_cast<std::uint8_t>(b[4]);
    s = encodeInteger(f, static_cast<std::int32_t>(next), &m_buffer);
    if (!s) return s;
    putLe(b, 0, next + step, 4);
    s = m_file->writeAt(at, b.data(), 4);
    if (!s) return s;
    m_header.autoIncrement[i] = {next + step, step};
  }
  return Status::ok();
}

// The date of last update, once per session; the count beside it is left
// alone, as another program may have raised it since we read it.
Status Table::stampDate() {
  if (m_dateStamped) return Status::ok();
  DbfHeader h = m_header;
  touchDate(&h);
  std::string b = encodeDateAndCount(h).substr(0, 3);
  Status s = m_file->writeAt(1, b.data(), b.size());
  if (!s) return s;
  m_header.year = h.year;
  m_header.month = h.month;
  m_header.day = h.day;
  m_dateStamped = true;
  return Status::ok();
}

Status Table::writeCount(std::uint32_t count) {
  DbfHeader h = m_header;
  h.recordCount = count;
  touchDate(&h);
  std::string b = encodeDateAndCount(h);
  Status s = m_file->writeAt(1, b.data(), b.size());
  if (!s) return s;
  m_header.recordCount = count;
  m_header.year = h.year;
  m_header.month = h.month;
  m_header.day = h.day;
  m_headerRecordCount = count;
  return Status::ok();
}

Status Table::setStructuralIndex(bool present) {
  if (!m_writable) return Status::invalidArgument("table '" + m_path + "' is open read-only");
  auto flags = static_cast<std::uint8_t>(present ? m_header.flags | kHasStructuralIndex : m_header.flags & ~kHasStructuralIndex);
  const char byte = static_cast<char>(flags);
  Status s = m_file->writeAt(28, &byte, 1);
  if (s) m_header.flags = flags;
  return s;
}

Status Table::lockRecord(std::uint32_t recno) {
  if (recno == 0) return Status::invalidArgument("table '" + m_path + "': no record to lock");
  if (m_locks.count(recno)) return Status::ok();
  const std::uint64_t offset = lockLayout().recordOffset(recno);
  Status s = m_file->lock(offset, 1, true);
  if (!s) return s;
  m_locks.emplace(recno, offset);
  // Another program may have changed the record before we held the lock.
  dropCache();
  if (recno == m_recno && !m_changed && !m_appending && !m_live) {
    std::string fresh;
    if (readDirect(recno, &fresh)) m_buffer = fresh;
  }
  return Status::ok();
}

Status Table::unlockAll() {
  Status s = flush();
  Status first = s;
  for (const auto& [recno, offset] : m_locks) {
    Status u = m_file->unlock(offset, 1);
    if (first && !u) first = u;
  }
  m_locks.clear();
  return first;
}

LockLayout Table::lockLayout() const {
  return LockLayout{hasStructuralIndex(), m_header.headerLength, schema().recordLength};
}

Status Table::beginExclusive() {
  if (m_exclusive == 0) {
    Status s = m_file->share(File::Share::Exclusive);
    if (s.code() == Status::Code::Locked)
      return Status::locked("table '" + m_path + "' is open in another program; it must be closed there first");
    if (!s) return s;
  }
  ++m_exclusive;
  return Status::ok();
}

// Going back from exclusive to shared cannot meet another holder; should it
// fail all the same, the table merely stays unmarked.
void Table::endExclusive() {
  if (m_exclusive > 0 && --m_exclusive == 0) (void)m_file->share(File::Share::Shared);
}

Status Table::close() {
  if (!m_file) return Status::ok();
  Status s = unlockAll();
  m_index.reset();
  m_memo.reset();
  m_live = false;
  m_file.reset();
  m_recno = 0;
  return s;
}

} // namespace pu::table
