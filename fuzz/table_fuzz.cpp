// Opens a table built from the input and reads every record, field and memo,
// in order and backwards; then opens it for writing, changes a field of
// record 1, appends a record and reads the result again. Statuses only:
// never a crash, an out-of-bounds read or a hang.
// Input: 2 bytes little-endian n, then n bytes of .dbf, the rest is the .fpt.
// The files live in memory, so the fuzzer leaves nothing behind.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/memory_file_system.h"
#include "platform/table/table.h"
#include "platform/table/value_text.h"

namespace {

constexpr std::uint32_t kMaxRecords = 1000;

void readRecord(pu::table::Table& t) {
  for (const pu::table::FieldDef& f : t.schema().fields) {
    pu::table::Value v = t.value(f);
    (void)pu::table::valueText(v);
    if (v.kind == pu::table::Value::Kind::Memo) {
      std::string memo;
      (void)t.memoText(f, &memo);
    }
  }
}

void readAll(pu::table::Table& t) {
  std::uint32_t count = std::min(t.recordCount(), kMaxRecords);
  for (std::uint32_t r = 1; r <= count; ++r) {
    if (!t.go(r)) break;
    readRecord(t);
  }
  for (std::uint32_t r = count; r >= 1; --r) {
    if (!t.go(r)) break;
    (void)t.isDeleted();
  }
}

// One change of each kind the program makes, on the first field that takes it.
void change(pu::table::Table& t) {
  if (t.recordCount() == 0 || !t.go(1)) return;
  for (const pu::table::FieldDef& f : t.schema().fields) {
    switch (f.type) {
      case 'C': (void)t.assignText(f, "fuzz"); break;
      case 'N': case 'F': (void)t.assignNumber(f, 12.5); break;
      case 'I': (void)t.assignInteger(f, -3); break;
      case 'L': (void)t.assignLogical(f, true); break;
      case 'D': (void)t.assignDate(f, 2024, 2, 29); break;
      case 'M': (void)t.assignMemo(f, "a memo written by the fuzzer"); break;
      default: break;
    }
  }
  (void)t.flush();
  if (t.appendStart()) {
    t.blank();
    (void)t.append();
  }
  t.revert();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::size_t n = data[0] | (data[1] << 8);
  if (n > size - 2) n = size - 2;
  auto& fs = pu::fuzz::MemoryFileSystem::installed();
  fs.files.clear();
  const char* bytes = reinterpret_cast<const char*>(data);
  fs.files["/t.dbf"].assign(bytes + 2, n);
  fs.files["/t.fpt"].assign(bytes + 2 + n, size - 2 - n);
  {
    std::unique_ptr<pu::table::Table> t;
    if (!pu::table::Table::open("/t.dbf", false, &t)) return 0;
    readAll(*t);
  }
  {
    std::unique_ptr<pu::table::Table> t;
    if (!pu::table::Table::open("/t.dbf", true, &t)) return 0;
    change(*t);
  }
  std::unique_ptr<pu::table::Table> t;
  if (!pu::table::Table::open("/t.dbf", false, &t)) return 0;
  readAll(*t);
  return 0;
}
