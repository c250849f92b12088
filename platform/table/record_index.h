#pragma once
// What a table needs of its production index. Every change of a record's
// bytes (assignment flushed, append, delete or recall, pack) passes through
// Table's single write path, which calls these in order:
//   0. beginChange: the index's update lock, then the index brought up to
//      date with other programs' changes;
//   1. checkChange: refuse before anything is written (a tag that cannot be
//      maintained, a candidate key that would be duplicated);
//   2. the .dbf bytes are written;
//   3. applyChange: every tag updated from the old and new record bytes;
//   4. endChange: the update lock released (also after a refusal or failure).
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "platform/table/schema.h"

namespace pu::table {

// The table as the index sees it when it builds or checks its tags.
class RecordSource {
public:
  virtual ~RecordSource() = default;
  virtual const TableSchema& schema() const = 0;
  virtual std::uint32_t recordCount() const = 0;
  // The whole record, deleted flag included.
  virtual Status readRecord(std::uint32_t recno, std::string* bytes) = 0;
  // Text of the memo a memo field's pointer names (for keys on memo fields).
  virtual Status readMemo(std::uint32_t block, std::string* text) = 0;
  // The table alone while its files are replaced (pack, reindex): Locked
  // while another program has it open. Calls nest; each begin that
  // succeeded is ended once.
  virtual Status beginExclusive() { return Status::ok(); }
  virtual void endExclusive() {}
};

// Holds exclusive use of a table until it goes out of scope.
class ExclusiveUse {
public:
  explicit ExclusiveUse(RecordSource& source) : m_source(source) {}
  ~ExclusiveUse() {
    if (m_held) m_source.endExclusive();
  }
  ExclusiveUse(const ExclusiveUse&) = delete;
  ExclusiveUse& operator=(const ExclusiveUse&) = delete;
  Status take() {
    Status s = m_source.beginExclusive();
    m_held = s.isOk();
    return s;
  }

private:
  RecordSource& m_source;
  bool m_held = false;
};

class RecordIndex {
public:
  virtual ~RecordIndex() = default;
  // changedElsewhere: another program changed the index (and so, maybe, the
  // records) since our last change; the table then forgets cached records.
  virtual Status beginChange(bool* changedElsewhere) {
    *changedElsewhere = false;
    return Status::ok();
  }
  virtual Status endChange() { return Status::ok(); }
  // oldRecord is empty for an append.
  virtual Status checkChange(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord) = 0;
  virtual Status applyChange(std::uint32_t recno, std::string_view oldRecord, std::string_view newRecord) = 0;
  // The file the index lives in: the production index beside the table.
  virtual const std::string& path() const = 0;
  // A pack renumbers the records. First every tag is written for the packed
  // records into a new file at path, which appears there only complete;
  // once that file has replaced the index file, reopen() reads it.
  virtual Status writePacked(RecordSource& packed, const std::string& path) = 0;
  virtual Status reopen() = 0;
};

} // namespace pu::table
