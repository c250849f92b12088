#pragma once
// Byte-range locks shared with other FoxPro-compatible programs. They sit far
// beyond the data (just below 2 GB) so that a lock never stops anyone from
// reading the bytes: the header counts as record 0 at 0x7FFFFFFE, record n is
// locked at 0x7FFFFFFE - n, one byte each. The header lock is taken for the
// length of an append; the memo file uses the same header byte while it hands
// out new blocks.
#include <cstdint>

#include "platform/fs/file_system.h"

namespace pu::table {

constexpr std::uint64_t kHeaderLockOffset = 0x7FFFFFFEu;

// The update lock of an index file (.cdx): one byte at the same place in the
// index file, held while a program changes the index. FoxPro-compatible
// programs take the same byte to read an index, so they wait for our change.
constexpr std::uint64_t kIndexLockOffset = 0x7FFFFFFEu;

inline std::uint64_t recordLockOffset(std::uint32_t recno) { return kHeaderLockOffset - recno; }

// Holds a file's header lock until it goes out of scope.
class HeaderLockGuard {
public:
  explicit HeaderLockGuard(File* file) : m_file(file) {}
  ~HeaderLockGuard() {
    if (m_held) (void)m_file->unlock(kHeaderLockOffset, 1);
  }
  HeaderLockGuard(const HeaderLockGuard&) = delete;
  HeaderLockGuard& operator=(const HeaderLockGuard&) = delete;
  Status take() {
    Status s = m_file->lock(kHeaderLockOffset, 1, true);
    m_held = s.isOk();
    return s;
  }

private:
  File* m_file;
  bool m_held = false;
};

} // namespace pu::table
