#pragma once
// The pages of one open .cdx file: reads and writes, allocation of nodes,
// and the file header's change counter. Where the file can be mapped, pages
// inside the file are read and written through the shared view (no system
// call, and other programs see each write at once, as with writeAt); pages
// that extend the file go through writeAt.
//
// Nodes freed by merges are reused within the session but never published
// in the header's free-list field: how other programs chain free nodes is
// not documented, and a list they misread would hand them live nodes. The
// field is left as found; a freed node is only unreachable until the next
// rebuild compacts the file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs/file_system.h"
#include "platform/status.h"

namespace pu::table::cdx {

class PageStore {
public:
  Status open(std::unique_ptr<File> file, bool writable);
  const std::string& path() const { return m_path; }
  bool writable() const { return m_writable; }
  std::uint64_t fileSize() const { return m_size; }

  // A valid node offset: page-aligned, past the file header, inside the file.
  bool validNode(std::uint32_t offset) const {
    return offset % 512 == 0 && offset >= 1024 && std::uint64_t(offset) + 512 <= m_size;
  }
  Status read(std::uint64_t offset, std::size_t n, std::string* bytes);
  Status write(std::uint64_t offset, const void* data, std::size_t n);

  Status allocate(std::uint32_t* offset);
  void release(std::uint32_t offset) { m_free.push_back(offset); }
  const std::vector<std::uint32_t>& freed() const { return m_free; }
  // Bumps the change counter in the file header.
  Status writeFileHeader();
  // Whether another program has changed the file since we last read or
  // wrote its header (FoxPro bumps the counter on every change): the
  // header's free-list field and counter.
  Status changedElsewhere(bool* changed);
  // The file's update lock (lock_offsets.h), waited for a few seconds at
  // most; Status Locked when another program keeps holding it.
  Status lockUpdates();
  Status unlockUpdates();
  // Hands the open file back for a reload of the same file: a lock belongs
  // to the open file, so reopening the path would drop the update lock.
  std::unique_ptr<File> releaseFile() {
    m_view = nullptr;
    m_viewLength = 0;
    return std::move(m_file);
  }

private:
  bool viewed(std::uint64_t offset, std::size_t n);

  std::unique_ptr<File> m_file;
  char* m_view = nullptr;  // the file mapped shared, or nullptr
  std::uint64_t m_viewLength = 0;
  bool m_unmappable = false;  // the file system cannot map: readAt and writeAt
  std::uint64_t m_diskSize = 0;  // bytes in the file; m_size also counts pages not yet written
  std::string m_path;
  bool m_writable = false;
  std::uint64_t m_size = 0;
  std::uint32_t m_freeList = 0;  // as found in the header
  std::uint32_t m_counter = 0;
  std::vector<std::uint32_t> m_free;
  bool m_updateLocked = false;
};

} // namespace pu::table::cdx
