#pragma once
// The .fpt memo file of a table.
//
//   offset  size  content (numbers big-endian)
//   0       4     next free block: where the next memo goes
//   6       2     block size in bytes
//   8..511        unused (the header fills the first 512 bytes)
//   block b at b * block size:
//     0     4     type: 0 binary (picture), 1 text, 2 object
//     4     4     length of the data
//     8     n     data, then padding to the next block
//
// A changed memo is never rewritten in place: it goes into new blocks at the
// end and the record's pointer is changed afterwards. The old blocks stay as
// unused space until the file is rebuilt.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/fs/file_system.h"
#include "platform/status.h"

namespace pu::table {

constexpr std::size_t kMemoHeaderSize = 512;
constexpr std::uint32_t kMemoTypeText = 1;

struct MemoHeader {
  std::uint32_t nextFree = 0;
  std::uint16_t blockSize = 64;
};

Status decodeMemoHeader(std::string_view bytes, const std::string& file, MemoHeader* header);
std::string encodeMemoHeader(const MemoHeader& header);  // 512 bytes
// The 8-byte block header followed by the data, padded to whole blocks.
std::string encodeMemoBlock(std::uint32_t type, std::string_view data, std::uint16_t blockSize);

class MemoFile {
public:
  static Status open(std::string_view path, bool writable, std::unique_ptr<MemoFile>* memo);
  // Writes an empty memo file (header only).
  static Status create(std::string_view path, std::uint16_t blockSize);

  std::uint16_t blockSize() const { return m_header.blockSize; }
  const std::string& path() const { return m_file->path(); }

  // Block 0 is the empty memo. Corruption when the block lies outside the file.
  Status read(std::uint32_t block, std::string* data, std::uint32_t* type = nullptr);
  // Stores data in new blocks at the end; the blocks are written before the
  // header's next-free pointer moves past them.
  Status write(std::string_view data, std::uint32_t type, std::uint32_t* block);

private:
  explicit MemoFile(std::unique_ptr<File> file) : m_file(std::move(file)) {}
  Status loadHeader();
  Status refreshSize();

  std::unique_ptr<File> m_file;
  MemoHeader m_header;
  std::uint64_t m_size = 0;
};

} // namespace pu::table
