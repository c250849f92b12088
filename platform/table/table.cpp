#include "platform/table/table.h"

#include <algorithm>

namespace pu::table {
namespace {

constexpr std::size_t kSequentialWindow = 256 * 1024;  // read-ahead for scans
constexpr std::size_t kRandomWindow = 4 * 1024;        // one page around a jump
constexpr std::uint64_t kViewSlack = 64u << 20;        // appends grow into the view
constexpr std::uint64_t kScanAhead = 4096;             // prefetch distance of a scan

} // namespace

namespace {

// The file beside a table with the same name and another extension, in the
// letter case of the table's own extension.
std::string sibling(std::string_view dbfPath, std::string_view lowerExtension) {
  std::string p(dbfPath);
  std::size_t dot = p.find_last_of('.');
  std::size_t slash = p.find_last_of("/\\");
  bool upper = false;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    upper = dot + 1 < p.size() && p[dot + 1] >= 'A' && p[dot + 1] <= 'Z';
    p.resize(dot);
  }
  std::string ext(lowerExtension);
  if (upper)
    for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return p + ext;
}

} // namespace

std::string memoPathFor(std::string_view dbfPath) { return sibling(dbfPath, ".fpt"); }

std::string indexPathFor(std::string_view dbfPath) { return sibling(dbfPath, ".cdx"); }

Status Table::bad(std::uint64_t offset, const std::string& what) const {
  return Status::corruption("table '" + m_path + "': " + what + " at offset " + std::to_string(offset));
}

Status Table::open(std::string_view path, bool writable, std::unique_ptr<Table>* table) {
  std::unique_ptr<Table> t(new Table());
  FileSystem& fs = FileSystem::instance();
  t->m_path = fs.resolve(path);
  t->m_writable = writable;
  Status s = fs.openFile(t->m_path, writable, &t->m_file);
  if (!s) return s;
  s = t->load();
  // Under the shared mark no other program's pack is running.
  if (s) s = finishInterruptedPack(t->m_path);
  if (!s) return s;
  *table = std::move(t);
  return Status::ok();
}

Table::~Table() { (void)close(); }

// The mark other programs test before they take the table alone. After a
// pack the new file is marked again; another program that opened it in the
// moment after the rename keeps us to the shared mark.
Status Table::shareOpenedFile() {
  if (m_exclusive > 0 && m_file->share(File::Share::Exclusive)) return Status::ok();
  Status s = m_file->share(File::Share::Shared);
  if (s.code() == Status::Code::Locked)
    return Status::locked("table '" + m_path + "' is in exclusive use by another program");
  return s;
}

Status Table::load() {
  Status s = shareOpenedFile();
  if (!s) return s;
  std::uint64_t size = 0;
  s = m_file->size(&size);
  if (!s) return s;
  std::string prefix(kHeaderPrefixSize, '\0');
  std::size_t got = 0;
  s = m_file->readAt(0, prefix.data(), prefix.size(), &got);
  if (!s) return s;
  prefix.resize(got);
  s = decodeHeaderPrefix(prefix, m_path, &m_header);
  if (!s) return s;
  if (m_header.headerLength > size) return bad(8, "header length " + std::to_string(m_header.headerLength) + " past the end of the file");
  std::string head(m_header.headerLength, '\0');
  s = m_file->readAt(0, head.data(), head.size(), &got);
  if (!s) return s;
  head.resize(got);
  s = decodeHeader(head, m_path, &m_header);
  if (!s) return s;
  m_headerRecordCount = m_header.recordCount;
  std::uint64_t fits = (size - m_header.headerLength) / schema().recordLength;
  m_recordCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_headerRecordCount, fits));
  blankBuffer();
  dropCache();
  m_live = false;
  m_view = nullptr;  // a new file (after a pack) is mapped afresh
  m_viewLength = 0;
  m_viewless = false;
  bool memoField = std::any_of(schema().fields.begin(), schema().fields.end(),
                               [](const FieldDef& f) { return f.type == 'M' || f.type == 'G' || f.type == 'W'; });
  if (memoField && !m_memo) {
    s = MemoFile::open(memoPathFor(m_path), m_writable, &m_memo);
    if (s.code() == Status::Code::NotFound) return Status::corruption("table '" + m_path + "' has memo fields but its memo file is missing");
    if (!s) return s;
  }
  return Status::ok();
}

Status Table::refreshCount() {
  std::string prefix(kHeaderPrefixSize, '\0');
  std::size_t got = 0;
  Status s = m_file->readAt(0, prefix.data(), prefix.size(), &got);
  if (!s) return s;
  if (got < kHeaderPrefixSize) return bad(got, "header cut short");
  DbfHeader h;
  s = decodeHeaderPrefix(prefix, m_path, &h);
  if (!s) return s;
  if (h.headerLength != m_header.headerLength || h.schema.recordLength != schema().recordLength) {
    return bad(8, "header changed while the table was open");
  }
  std::uint64_t size = 0;
  s = m_file->size(&size);
  if (!s) return s;
  std::uint64_t fits = size < m_header.headerLength ? 0 : (size - m_header.headerLength) / schema().recordLength;
  m_headerRecordCount = h.recordCount;
  m_header.recordCount = h.recordCount;
  m_recordCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(h.recordCount, fits));
  if (m_cacheFirst + m_cacheCount > m_recordCount + 1) dropCache();
  return Status::ok();
}

// Whether record recno is read through the view, mapping more of the file
// when the record lies past the part mapped so far.
bool Table::mapped(std::uint32_t recno) {
  const std::uint64_t end = recordOffset(recno) + schema().recordLength;
  if (end <= m_viewLength) return true;
  if (m_viewless) return false;
  const std::uint64_t want = end + end / 8 + kViewSlack;
  char* view = nullptr;
  if (!m_file->map(want, &view)) {
    m_viewless = true;
    m_view = nullptr;
    m_viewLength = 0;
    return false;
  }
  m_view = view;
  m_viewLength = want;
  return true;
}

Status Table::loadWindow(std::uint32_t recno, bool sequential) {
  const std::size_t len = schema().recordLength;
  std::size_t want = std::max<std::size_t>(1, (sequential ? kSequentialWindow : kRandomWindow) / len);
  std::uint32_t first = recno;
  if (!sequential) first = recno - static_cast<std::uint32_t>(std::min<std::size_t>(want / 2, recno - 1));
  std::size_t count = std::min<std::size_t>(want, m_recordCount - first + 1);
  m_cache.resize(count * len);
  std::size_t got = 0;
  Status s = m_file->readAt(recordOffset(first), m_cache.data(), m_cache.size(), &got);
  if (!s) {
    dropCache();
    return s;
  }
  if (got < (recno - first + 1) * len) {
    dropCache();
    return bad(recordOffset(recno), "record " + std::to_string(recno) + " cut short");
  }
  m_cacheFirst = first;
  m_cacheCount = static_cast<std::uint32_t>(got / len);
  return Status::ok();
}

Status Table::recordView(std::uint32_t recno, std::string_view* bytes) {
  if (recno == 0 || recno > m_recordCount) {
    return Status::notFound("table '" + m_path + "': no record " + std::to_string(recno));
  }
  const std::size_t len = schema().recordLength;
  if (mapped(recno)) {
    const char* at = m_view + recordOffset(recno);
    if (recno == m_lastRead + 1) {
      // A scan reads a few bytes of each record, too little for the
      // processor to see the stream coming: fetch a page ahead.
      const std::uint64_t end = recordOffset(m_recordCount + 1);
      for (std::uint64_t off = recordOffset(recno) + kScanAhead; off < recordOffset(recno) + kScanAhead + len && off < end; off += 64)
        __builtin_prefetch(m_view + off);
    }
    m_lastRead = recno;
    *bytes = std::string_view(at, len);
    return Status::ok();
  }
  if (m_cacheCount == 0 || recno < m_cacheFirst || recno >= m_cacheFirst + m_cacheCount) {
    Status s = loadWindow(recno, recno == m_lastRead + 1);
    if (!s) return s;
  }
  m_lastRead = recno;
  *bytes = std::string_view(m_cache).substr((recno - m_cacheFirst) * len, len);
  return Status::ok();
}

Status Table::readRecord(std::uint32_t recno, std::string* bytes) {
  std::string_view v;
  Status s = recordView(recno, &v);
  if (s) bytes->assign(v);
  return s;
}

Status Table::readDirect(std::uint32_t recno, std::string* bytes) {
  if (recno >= 1 && recno <= m_recordCount && mapped(recno)) {
    bytes->assign(m_view + recordOffset(recno), schema().recordLength);
    return Status::ok();
  }
  bytes->assign(schema().recordLength, '\0');
  std::size_t got = 0;
  Status s = m_file->readAt(recordOffset(recno), bytes->data(), bytes->size(), &got);
  if (!s) return s;
  if (got != bytes->size()) return bad(recordOffset(recno), "record " + std::to_string(recno) + " cut short");
  return Status::ok();
}

void Table::updateCache(std::uint32_t recno, std::string_view bytes) {
  if (m_cacheCount == 0 || recno < m_cacheFirst || recno >= m_cacheFirst + m_cacheCount) return;
  m_cache.replace((recno - m_cacheFirst) * bytes.size(), bytes.size(), bytes);
}

Status Table::readMemo(std::uint32_t block, std::string* text) {
  if (!m_memo) {
    text->clear();
    if (block == 0) return Status::ok();
    return Status::corruption("table '" + m_path + "' has no memo file for memo block " + std::to_string(block));
  }
  return m_memo->read(block, text);
}

Status Table::memoText(const FieldDef& field, std::string* text) {
  std::uint32_t block = 0;
  Status s = memoBlock(field, current(), &block);
  if (!s) return Status::corruption("table '" + m_path + "', record " + std::to_string(m_recno) + ": " + s.message());
  return readMemo(block, text);
}

Status Table::go(std::uint32_t recno) {
  Status s = flush();
  if (!s) return s;
  m_appending = false;
  std::string_view v;
  s = recordView(recno, &v);
  if (!s) return s;
  show(recno, v);
  return Status::ok();
}

// Bytes that recordView gave: the view's are shown in place, others copied.
void Table::show(std::uint32_t recno, std::string_view bytes) {
  m_recno = recno;
  m_live = m_view && bytes.data() >= m_view && bytes.data() < m_view + m_viewLength;
  if (!m_live) m_buffer.assign(bytes);
}

Status Table::clearPosition() {
  Status s = flush();
  if (!s) return s;
  m_appending = false;
  m_recno = 0;
  m_live = false;
  blankBuffer();
  return Status::ok();
}

void Table::blankBuffer() {
  m_buffer.assign(schema().recordLength, ' ');
  for (const FieldDef& f : schema().fields) encodeBlank(f, &m_buffer);
  m_buffer[0] = kLiveMark;
}

} // namespace pu::table
