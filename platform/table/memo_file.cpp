#include "platform/table/memo_file.h"

#include "platform/table/bytes.h"
#include "platform/table/lock_offsets.h"

namespace pu::table {
namespace {

Status bad(const std::string& file, std::uint64_t offset, const std::string& what) {
  return Status::corruption("memo file '" + file + "': " + what + " at offset " + std::to_string(offset));
}

} // namespace

Status decodeMemoHeader(std::string_view b, const std::string& file, MemoHeader* h) {
  if (b.size() < 8) return bad(file, b.size(), "file too short for a memo header");
  h->nextFree = getBe32(b, 0);
  h->blockSize = static_cast<std::uint16_t>((static_cast<unsigned char>(b[6]) << 8) | static_cast<unsigned char>(b[7]));
  if (h->blockSize == 0) return bad(file, 6, "block size 0");
  return Status::ok();
}

std::string encodeMemoHeader(const MemoHeader& h) {
  std::string b(kMemoHeaderSize, '\0');
  putBe32(b, 0, h.nextFree);
  b[6] = static_cast<char>(h.blockSize >> 8);
  b[7] = static_cast<char>(h.blockSize & 0xFF);
  return b;
}

std::string encodeMemoBlock(std::uint32_t type, std::string_view data, std::uint16_t blockSize) {
  std::string b(8, '\0');
  putBe32(b, 0, type);
  putBe32(b, 4, static_cast<std::uint32_t>(data.size()));
  b.append(data);
  std::size_t padded = (b.size() + blockSize - 1) / blockSize * blockSize;
  b.resize(padded, '\0');
  return b;
}

Status MemoFile::open(std::string_view path, bool writable, std::unique_ptr<MemoFile>* memo) {
  std::unique_ptr<File> file;
  Status s = FileSystem::instance().openFile(path, writable, &file);
  if (!s) return s;
  std::unique_ptr<MemoFile> m(new MemoFile(std::move(file)));
  s = m->loadHeader();
  if (!s) return s;
  *memo = std::move(m);
  return Status::ok();
}

Status MemoFile::create(std::string_view path, std::uint16_t blockSize) {
  MemoHeader h;
  h.blockSize = blockSize;
  h.nextFree = static_cast<std::uint32_t>((kMemoHeaderSize + blockSize - 1) / blockSize);
  std::string bytes = encodeMemoHeader(h);
  bytes.resize(static_cast<std::size_t>(h.nextFree) * blockSize, '\0');
  return replaceFileAtomically(path, bytes);
}

Status MemoFile::refreshSize() { return m_file->size(&m_size); }

Status MemoFile::loadHeader() {
  Status s = refreshSize();
  if (!s) return s;
  std::string b(8, '\0');
  std::size_t got = 0;
  s = m_file->readAt(0, b.data(), b.size(), &got);
  if (!s) return s;
  b.resize(got);
  return decodeMemoHeader(b, m_file->path(), &m_header);
}

Status MemoFile::read(std::uint32_t block, std::string* data, std::uint32_t* type) {
  data->clear();
  if (type) *type = kMemoTypeText;
  if (block == 0) return Status::ok();
  std::uint64_t at = static_cast<std::uint64_t>(block) * m_header.blockSize;
  if (at < kMemoHeaderSize) return bad(m_file->path(), at, "memo pointer " + std::to_string(block) + " inside the header");
  if (at + 8 > m_size) {
    Status s = refreshSize();  // another program may have added blocks
    if (!s) return s;
    if (at + 8 > m_size) return bad(m_file->path(), at, "memo pointer " + std::to_string(block) + " past the end");
  }
  std::string head(8, '\0');
  std::size_t got = 0;
  Status s = m_file->readAt(at, head.data(), 8, &got);
  if (!s) return s;
  if (got != 8) return bad(m_file->path(), at, "memo block header cut short");
  std::uint32_t length = getBe32(head, 4);
  if (at + 8 + length > m_size) return bad(m_file->path(), at, "memo length " + std::to_string(length) + " runs past the end");
  if (type) *type = getBe32(head, 0);
  data->resize(length);
  s = m_file->readAt(at + 8, data->data(), length, &got);
  if (!s) return s;
  if (got != length) return bad(m_file->path(), at + 8, "memo data cut short");
  return Status::ok();
}

Status MemoFile::write(std::string_view data, std::uint32_t type, std::uint32_t* block) {
  HeaderLockGuard guard(m_file.get());
  Status s = guard.take();
  if (!s) return s;
  s = loadHeader();  // the next-free pointer may have moved under another program
  if (!s) return s;
  std::uint64_t at = static_cast<std::uint64_t>(m_header.nextFree) * m_header.blockSize;
  if (at < kMemoHeaderSize) return bad(m_file->path(), 0, "next free block inside the header");
  std::string bytes = encodeMemoBlock(type, data, m_header.blockSize);
  std::uint64_t next = m_header.nextFree + bytes.size() / m_header.blockSize;
  if (next > 0xFFFFFFFFu) return Status::ioError("memo file '" + m_file->path() + "' is full");
  s = m_file->writeAt(at, bytes.data(), bytes.size());
  if (!s) return s;
  std::string head(4, '\0');
  putBe32(head, 0, static_cast<std::uint32_t>(next));
  s = m_file->writeAt(0, head.data(), head.size());
  if (!s) return s;
  *block = m_header.nextFree;
  m_header.nextFree = static_cast<std::uint32_t>(next);
  m_size = std::max(m_size, at + bytes.size());
  return Status::ok();
}

} // namespace pu::table
