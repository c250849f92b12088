#pragma once
// Byte-range locks shared with other FoxPro-compatible programs. They sit
// beyond the data, so that a lock never stops anyone from reading the bytes,
// one byte each, in one of two layouts chosen by the table's structural
// index flag, as those programs choose it:
//  - with index tags: the header (append) lock at 0x7FFFFFFE and record n at
//    0x7FFFFFFE - n;
//  - without: the header lock at 0x40000000 and record n at 0x40000000 plus
//    the record's own offset in the file. Their whole-table lock, 0x3FFFFFFD
//    bytes from 0x40000001, covers every record byte of this layout.
// The header lock is taken for the length of an append; the memo file uses
// the indexed header byte while it hands out new blocks.
#include <cstdint>

#include "platform/fs/file_system.h"

namespace pu::table {

constexpr std::uint64_t kHeaderLockOffset = 0x7FFFFFFEu;
constexpr std::uint64_t kUnindexedLockBase = 0x40000000u;

// The update lock of an index file (.cdx): one byte at the same place in the
// index file, held while a program changes the index. FoxPro-compatible
// programs take the same byte to read an index, so they wait for our change.
constexpr std::uint64_t kIndexLockOffset = 0x7FFFFFFEu;

struct LockLayout {
  bool indexed = true;
  std::uint32_t headerLength = 0;
  std::uint32_t recordLength = 0;

  std::uint64_t headerOffset() const { return indexed ? kHeaderLockOffset : kUnindexedLockBase; }
  std::uint64_t recordOffset(std::uint32_t recno) const {
    if (indexed) return kHeaderLockOffset - recno;
    return kUnindexedLockBase + headerLength + std::uint64_t(recno - 1) * recordLength;
  }
};

// Holds a file's header lock until it goes out of scope.
class HeaderLockGuard {
public:
  explicit HeaderLockGuard(File* file, std::uint64_t offset = kHeaderLockOffset) : m_file(file), m_offset(offset) {}
  ~HeaderLockGuard() {
    if (m_held) (void)m_file->unlock(m_offset, 1);
  }
  HeaderLockGuard(const HeaderLockGuard&) = delete;
  HeaderLockGuard& operator=(const HeaderLockGuard&) = delete;
  Status take() {
    Status s = m_file->lock(m_offset, 1, true);
    m_held = s.isOk();
    return s;
  }

private:
  File* m_file;
  std::uint64_t m_offset;
  bool m_held = false;
};

} // namespace pu::table
