#include "platform/table/cdx_pages.h"

#include <atomic>
#include <cstring>

#include "platform/table/cdx_format.h"
#include "platform/table/lock_offsets.h"

namespace pu::table::cdx {

namespace {
constexpr std::uint64_t kViewSlack = 16u << 20;  // growth of the file without a new view
}

Status PageStore::open(std::unique_ptr<File> file, bool writable) {
  m_file = std::move(file);
  m_path = m_file->path();
  m_writable = writable;
  m_view = nullptr;
  m_viewLength = 0;
  m_unmappable = false;
  m_free.clear();  // offsets freed in another file, or before another program's changes
  if (Status s = m_file->size(&m_size); !s) return s;
  m_diskSize = m_size;
  if (m_size < kHeaderSize) return Status::corruption(m_path + ": shorter than an index header");
  std::string head;
  if (Status s = read(0, 12, &head); !s) return s;
  auto p = reinterpret_cast<const std::uint8_t*>(head.data());
  m_freeList = readLe32(p + 4);
  m_counter = readLe32(p + 8);
  if (m_freeList == kNone) m_freeList = 0;
  return Status::ok();
}

// Whether bytes [offset, offset + n) of the file can go through the view,
// mapping the file afresh (with room to grow) when they lie past it.
bool PageStore::viewed(std::uint64_t offset, std::size_t n) {
  if (offset + n > m_diskSize) return false;
  if (offset + n <= m_viewLength) return true;
  if (m_unmappable) return false;
  char* view = nullptr;
  const std::uint64_t want = m_diskSize + kViewSlack;
  if (!m_file->map(want, &view)) {
    m_unmappable = true;
    return false;
  }
  m_view = view;
  m_viewLength = want;
  return true;
}

Status PageStore::read(std::uint64_t offset, std::size_t n, std::string* bytes) {
  if (viewed(offset, n)) {
    bytes->assign(m_view + offset, n);
    return Status::ok();
  }
  bytes->resize(n);
  std::size_t got = 0;
  if (Status s = m_file->readAt(offset, bytes->data(), n, &got); !s) return s;
  if (got != n) return Status::corruption(m_path + ": page at offset " + std::to_string(offset) + " past the end");
  return Status::ok();
}

Status PageStore::write(std::uint64_t offset, const void* data, std::size_t n) {
  if (!m_writable) return Status::invalidArgument(m_path + ": opened read-only");
  if (viewed(offset, n)) {
    std::memcpy(m_view + offset, data, n);
    // Others must see the writes in the order made: the counter first.
    std::atomic_thread_fence(std::memory_order_release);
    return Status::ok();
  }
  if (Status s = m_file->writeAt(offset, data, n); !s) return s;
  if (offset + n > m_size) m_size = offset + n;
  if (offset + n > m_diskSize) m_diskSize = offset + n;
  return Status::ok();
}

Status PageStore::allocate(std::uint32_t* offset) {
  if (!m_free.empty()) {
    *offset = m_free.back();
    m_free.pop_back();
    return Status::ok();
  }
  if (m_size % kPageSize) m_size += kPageSize - m_size % kPageSize;
  if (m_size + kPageSize > 0xFFFFFE00u) return Status::invalidArgument(m_path + ": index file would exceed 4 GB");
  if (!m_writable) return Status::invalidArgument(m_path + ": opened read-only");
  // The new node is written whole when it is flushed, after the change
  // counter like every other node; nothing is written here.
  *offset = std::uint32_t(m_size);
  m_size += kPageSize;
  return Status::ok();
}

Status PageStore::changedElsewhere(bool* changed) {
  std::uint8_t p[8];
  if (viewed(4, sizeof p)) {
    std::memcpy(p, m_view + 4, sizeof p);
  } else {
    std::string head;
    if (Status s = read(4, 8, &head); !s) return s;
    std::memcpy(p, head.data(), sizeof p);
  }
  std::uint32_t freeList = readLe32(p), counter = readLe32(p + 4);
  if (freeList == kNone) freeList = 0;
  *changed = counter != m_counter || freeList != m_freeList;
  return Status::ok();
}

Status PageStore::lockUpdates() {
  // Changes hold the lock for well under a millisecond each, so a short
  // poll is enough; the bound turns a program that hangs holding the lock
  // into an error instead of a hang of ours.
  constexpr int kAttempts = 5000;
  Status s;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (attempt > 0) FileSystem::instance().sleepMilliseconds(1);
    s = m_file->lock(kIndexLockOffset, 1, true);
    if (s) {
      m_updateLocked = true;
      return s;
    }
    if (s.code() != Status::Code::Locked) return s;
  }
  return Status::locked(m_path + ": index kept locked by another program");
}

Status PageStore::unlockUpdates() {
  if (!m_updateLocked) return Status::ok();
  m_updateLocked = false;
  return m_file->unlock(kIndexLockOffset, 1);
}

Status PageStore::writeFileHeader() {
  std::uint8_t buf[4];
  writeLe32(buf, ++m_counter);
  return write(8, buf, 4);
}

} // namespace pu::table::cdx
