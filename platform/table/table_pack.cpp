// Pack: the live records are copied into a new file beside the table, the
// index is built for that file beside the index, and the two new files
// take the old ones' places (order rule 5 of table.h).
#include "platform/table/table.h"

#include <algorithm>

namespace pu::table {
namespace {

constexpr std::size_t kPackChunk = 256 * 1024;
constexpr const char* kPackSuffix = ".pk~";
constexpr const char* kAtomicSuffix = ".tmp~";  // replaceFileAtomically's temporary file

bool exists(const std::string& path) { return FileSystem::instance().modifiedTime(path).has_value(); }

// Streams header, records and end-of-file byte into the temporary file.
class PackWriter {
public:
  PackWriter(File* out, std::uint64_t at) : m_out(out), m_at(at) {}
  Status add(std::string_view bytes) {
    m_pending.append(bytes);
    return m_pending.size() >= kPackChunk ? drain() : Status::ok();
  }
  Status drain() {
    Status s = m_out->writeAt(m_at, m_pending.data(), m_pending.size());
    m_at += m_pending.size();
    m_pending.clear();
    return s;
  }

private:
  File* m_out;
  std::uint64_t m_at;
  std::string m_pending;
};

// The packed file as the index builder reads it: the index then describes
// exactly the bytes that replace the table. Memos come from the table's
// memo file, which the pack keeps as it is.
class PackedRecords final : public RecordSource {
public:
  PackedRecords(Table& table, File* file, std::uint32_t count) : m_table(table), m_file(file), m_count(count) {}
  const TableSchema& schema() const override { return m_table.schema(); }
  std::uint32_t recordCount() const override { return m_count; }
  Status readRecord(std::uint32_t recno, std::string* bytes) override {
    const std::size_t len = schema().recordLength;
    if (recno == 0 || recno > m_count) return Status::notFound(m_file->path() + ": no record " + std::to_string(recno));
    if (recno < m_first || recno >= m_first + m_have) {
      Status s = load(recno);
      if (!s) return s;
    }
    bytes->assign(m_window, (recno - m_first) * len, len);
    return Status::ok();
  }
  Status readMemo(std::uint32_t block, std::string* text) override { return m_table.readMemo(block, text); }

private:
  Status load(std::uint32_t recno) {
    const std::size_t len = schema().recordLength;
    std::size_t want = std::max<std::size_t>(1, kPackChunk / len);
    want = std::min<std::size_t>(want, m_count - recno + 1);
    m_window.resize(want * len);
    std::size_t got = 0;
    std::uint64_t at = m_table.header().headerLength + std::uint64_t(recno - 1) * len;
    Status s = m_file->readAt(at, m_window.data(), m_window.size(), &got);
    if (!s) return s;
    if (got < len) return Status::corruption(m_file->path() + ": record " + std::to_string(recno) + " cut short");
    m_first = recno;
    m_have = static_cast<std::uint32_t>(got / len);
    return Status::ok();
  }

  Table& m_table;
  File* m_file;
  std::uint32_t m_count;
  std::string m_window;  // records m_first .. m_first + m_have - 1
  std::uint32_t m_first = 0;
  std::uint32_t m_have = 0;
};

} // namespace

std::string packedTablePath(std::string_view dbfPath) { return std::string(dbfPath) + kPackSuffix; }

std::string packedIndexPath(std::string_view indexPath) { return std::string(indexPath) + kPackSuffix; }

// The new table is renamed into place before the new index, and the new
// index appears only complete; so a new index beside a table whose new file
// is gone belongs to that table.
Status finishInterruptedPack(std::string_view dbfPath) {
  FileSystem& fs = FileSystem::instance();
  std::string table = fs.resolve(dbfPath);
  if (exists(packedTablePath(table))) return Status::ok();  // the table was never replaced
  std::string index = fs.resolve(indexPathFor(table));
  std::string packedIndex = fs.resolve(packedIndexPath(index));
  if (!exists(packedIndex)) return Status::ok();
  Status s = moveIntoPlace(packedIndex, index);
  if (!s) return Status::ioError("table '" + table + "' was packed and its index not yet replaced: " + s.message());
  return Status::ok();
}

Status Table::pack() {
  if (!m_writable) return Status::invalidArgument("table '" + m_path + "' is open read-only");
  ExclusiveUse alone(*this);
  if (Status taken = alone.take(); !taken) return taken;
  Status s = flush();
  if (!s) return s;
  m_appending = false;
  s = clearPackFiles();
  if (s) s = refreshCount();  // records another program appended are kept too
  if (!s) return s;
  dropCache();
  FileSystem& fs = FileSystem::instance();
  const std::string temp = packedTablePath(m_path);
  const std::string indexTemp = m_index ? packedIndexPath(m_index->path()) : std::string();
  std::unique_ptr<File> out;
  s = fs.createFile(temp, &out);
  // Ours alone before it takes the table's name: no program that honours
  // the marks opens the new table before its index is in place.
  if (s) s = out->share(File::Share::Exclusive);
  std::uint32_t kept = 0;
  if (s) s = writePacked(out.get(), &kept);
  if (s && m_index) {
    PackedRecords packed(*this, out.get(), kept);
    s = m_index->writePacked(packed, indexTemp);
  }
  if (s) s = unlockAll();
  bool replaced = false;
  if (s) {
    s = moveIntoPlace(*out, m_path);
    replaced = s || !exists(temp);  // a failed folder sync comes after the rename
  }
  if (!replaced) {
    out.reset();
    // Index file first: a new index without the new table beside it would
    // be taken for a finished pack.
    if (m_index) (void)fs.removeFile(indexTemp);  // the error worth reporting is s
    (void)fs.removeFile(temp);
    return s;
  }
  // The table is replaced; the new file, still marked ours alone, is the one we read from now on.
  m_recno = 0;
  m_changed = false;
  m_file = std::move(out);
  if (Status loaded = load(); !loaded) s = loaded;
  if (!m_index) return s;
  Status placed = moveIntoPlace(indexTemp, m_index->path());
  if (!placed && !exists(indexTemp)) {
    placed = Status::ok();  // an open of the table in another program finished the pack
  } else if (!placed) {
    // Built in place instead, so that our next writes do not go into an
    // index of the old record numbers.
    placed = m_index->writePacked(*this, m_index->path());
    if (placed) (void)fs.removeFile(indexTemp);  // else the next open puts it in place
  }
  Status reopened = m_index->reopen();
  if (!s) return s;
  return placed ? reopened : placed;
}

// Files of a pack that was killed before it replaced the table go; a pack
// killed between the two renames is finished first.
Status Table::clearPackFiles() {
  FileSystem& fs = FileSystem::instance();
  Status s = finishInterruptedPack(m_path);
  if (!s) return s;
  const std::string temp = packedTablePath(m_path);
  if (!exists(temp)) return Status::ok();
  if (m_index) {
    const std::string indexTemp = packedIndexPath(m_index->path());
    for (const std::string& p : {indexTemp + kAtomicSuffix, indexTemp})
      if (exists(p))
        if (s = fs.removeFile(p); !s) return s;
  }
  return fs.removeFile(temp);
}

Status Table::writePacked(File* out, std::uint32_t* kept) {
  std::string head(m_header.headerLength, '\0');
  std::size_t got = 0;
  Status s = m_file->readAt(0, head.data(), head.size(), &got);  // kept byte for byte, count and date aside
  if (s && got != head.size()) s = bad(got, "header cut short");
  PackWriter writer(out, m_header.headerLength);
  *kept = 0;
  for (std::uint32_t r = 1; s && r <= m_recordCount; ++r) {
    std::string_view rec;
    s = recordView(r, &rec);
    if (s && rec[0] != kDeletedMark) {
      s = writer.add(rec);
      ++*kept;
    }
  }
  if (s) s = writer.add(std::string_view(&kEndOfFile, 1));
  if (s) s = writer.drain();
  if (!s) return s;
  DbfHeader h = m_header;
  h.recordCount = *kept;
  touchDate(&h);
  head.replace(1, 7, encodeDateAndCount(h));
  return out->writeAt(0, head.data(), head.size());  // synced as it is moved into place
}

} // namespace pu::table
