// Pack: the live records are copied into a new file beside the table, which
// then replaces it by rename (order rule 5 of table.h).
#include "platform/table/table.h"

namespace pu::table {
namespace {

constexpr std::size_t kPackChunk = 256 * 1024;

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

} // namespace

Status Table::pack() {
  if (!m_writable) return Status::invalidArgument("table '" + m_path + "' is open read-only");
  ExclusiveUse alone(*this);
  if (Status taken = alone.take(); !taken) return taken;
  Status s = flush();
  if (!s) return s;
  m_appending = false;
  FileSystem& fs = FileSystem::instance();
  const std::string temp = m_path + ".pk~";
  std::unique_ptr<File> out;
  s = fs.createFile(temp, &out);
  if (!s) return s;
  std::string head(m_header.headerLength, '\0');
  std::size_t got = 0;
  s = m_file->readAt(0, head.data(), head.size(), &got);  // kept byte for byte, count and date aside
  PackWriter writer(out.get(), m_header.headerLength);
  std::uint32_t kept = 0;
  for (std::uint32_t r = 1; s && r <= m_recordCount; ++r) {
    std::string_view rec;
    s = recordView(r, &rec);
    if (s && rec[0] != kDeletedMark) {
      s = writer.add(rec);
      ++kept;
    }
  }
  if (s) s = writer.add(std::string_view(&kEndOfFile, 1));
  if (s) s = writer.drain();
  if (s) {
    DbfHeader h = m_header;
    h.recordCount = kept;
    touchDate(&h);
    head.replace(1, 7, encodeDateAndCount(h));
    s = out->writeAt(0, head.data(), head.size());
  }
  if (s) s = out->sync();
  out.reset();
  if (s) s = unlockAll();
  if (s) s = fs.rename(temp, m_path);
  if (!s) {
    (void)fs.removeFile(temp);  // the error worth reporting is s
    return s;
  }
  // The open handle still names the old file; read the new one.
  s = fs.openFile(m_path, true, &m_file);
  if (!s) return s;
  s = load();
  if (!s) return s;
  m_recno = 0;
  m_changed = false;
  if (m_index) return m_index->rebuild();
  return Status::ok();
}

} // namespace pu::table
