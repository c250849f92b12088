#pragma once
// Fills an empty table straight after its header, in 1 MiB writes, then the
// end-of-file byte and the record count: a million records in well under a
// second, where an append per record would measure appends, not the
// operation a benchmark is about.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/fs/file_system.h"
#include "platform/table/table.h"

namespace pu::bench {

// record(recno, chunk) appends one whole record's bytes, deleted flag included.
inline void bulkFill(const std::string& path, std::uint32_t count,
                     const std::function<void(std::uint32_t, std::string*)>& record) {
  std::unique_ptr<table::Table> t;
  if (!table::Table::open(path, true, &t)) std::abort();
  const std::uint32_t headerLength = t->header().headerLength;
  t.reset();
  std::unique_ptr<File> f;
  if (!FileSystem::instance().openFile(path, true, &f)) std::abort();
  std::string chunk;
  std::uint64_t at = headerLength;
  for (std::uint32_t r = 1; r <= count; ++r) {
    record(r, &chunk);
    if (chunk.size() >= (1u << 20) || r == count) {
      if (!f->writeAt(at, chunk.data(), chunk.size())) std::abort();
      at += chunk.size();
      chunk.clear();
    }
  }
  char eof = 0x1A;
  if (!f->writeAt(at, &eof, 1) || !f->writeAt(4, &count, 4)) std::abort();
}

} // namespace pu::bench
