// Opens any bytes as a compound index over three fixed records; walks every
// tag both ways reading each entry, seeks every key it met, locates every
// record, checks the file, changes and appends a record (written at once or
// deferred), then rebuilds it. Must return statuses, never crash, read out of
// bounds or loop; a change reported done on an index that checked clean must
// leave it clean, in memory and reopened from its bytes; and a rebuild
// reported done must check clean.
//
// The files live in memory, so a run leaves nothing behind. With
// PU_CDX_FUZZ_SEED=FILE set, the target first writes a clean index over its
// records to FILE (the seed corpus/cdx/clean.cdx was made so).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/memory_file_system.h"
#include "platform/table/cdx_index.h"

namespace {

using pu::table::CompoundIndex;
using pu::table::SeekResult;
using pu::table::TagCursor;

constexpr int kMaxSteps = 1000000;  // more entries than any input of the fuzzer's size can hold

// NAME C(10), NUM N(8,1), ID I; record length 23 with the deleted flag.
std::string record(const std::string& name, double num, std::int32_t id, bool deleted = false) {
  std::string r(deleted ? "*" : " ");
  r += (name + std::string(10, ' ')).substr(0, 10);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%8.1f", num);
  r += buf;
  for (int i = 0; i < 4; ++i) r += char((std::uint32_t(id) >> (8 * i)) & 0xFF);
  return r;
}

class Records : public pu::table::RecordSource {
public:
  std::vector<std::string> rows;

  Records() {
    pu::table::FieldDef name, num, id;
    name.name = "NAME", name.length = 10, name.offset = 1;
    num.name = "NUM", num.type = 'N', num.length = 8, num.decimals = 1, num.offset = 11;
    id.name = "ID", id.type = 'I', id.length = 4, id.offset = 19;
    m_schema.fields = {name, num, id};
    m_schema.recordLength = 23;
    rows = {record("name1", 1.0, 1), record("Name2", -2.5, 2), record("name3", 30.0, 3, true)};
  }
  const pu::table::TableSchema& schema() const override { return m_schema; }
  std::uint32_t recordCount() const override { return std::uint32_t(rows.size()); }
  pu::Status readRecord(std::uint32_t recno, std::string* bytes) override {
    if (recno < 1 || recno > rows.size()) return pu::Status::invalidArgument("no record " + std::to_string(recno));
    *bytes = rows[recno - 1];
    return pu::Status::ok();
  }
  pu::Status readMemo(std::uint32_t, std::string* text) override {
    text->clear();
    return pu::Status::ok();
  }

private:
  pu::table::TableSchema m_schema;
};

const char* const kPath = "/f.cdx";

void exercise(CompoundIndex& index, Records& records) {
  for (int t = 0; t < index.tagCount(); ++t) {
    std::vector<std::string> keys;
    TagCursor c;
    std::string key;
    std::uint32_t recno = 0;
    pu::Status s = index.first(t, &c);
    for (int n = 0; s && c.valid; ++n) {
      if (n > kMaxSteps) __builtin_trap();  // a walk must end
      if (index.entry(t, c, &key, &recno) && keys.size() < 16) keys.push_back(key);
      s = index.next(t, &c);
    }
    s = index.last(t, &c);
    for (int n = 0; s && c.valid; ++n) {
      if (n > kMaxSteps) __builtin_trap();
      (void)index.entry(t, c, &key, &recno);
      s = index.prev(t, &c);
    }
    keys.push_back("NAME2");
    keys.push_back(std::string(300, 'z'));
    keys.push_back("");
    keys.push_back(std::string(1, '\xFF'));
    for (const std::string& k : keys) {
      SeekResult r;
      if (index.seek(t, k, &c, &r) && c.valid && index.entry(t, c, &key, &recno)) {
        (void)index.next(t, &c);
        (void)index.prev(t, &c);
      }
    }
    for (std::uint32_t r = 1; r <= records.recordCount(); ++r) {
      bool included = false;
      (void)index.locateRecord(t, records.rows[r - 1], r, &c);
      (void)index.recordKey(t, records.rows[r - 1], &key, &included);
    }
  }
}

// A clean index must stay clean after a change the engine reports done, in
// memory and as written.
void mustStayClean(CompoundIndex& index, Records& records, bool clean) {
  if (!clean) return;
  if (!index.check()) __builtin_trap();
  std::unique_ptr<CompoundIndex> reopened;
  pu::table::CdxOpenOptions options;
  options.writable = false;
  if (!CompoundIndex::open(kPath, records, &reopened, options) || !reopened->check()) __builtin_trap();
}

void change(CompoundIndex& index, Records& records, bool clean) {
  // Moves every key of record 2.
  std::string old = records.rows[1];
  std::string changed = record("aardvark", 99999.5, -7);
  if (!index.checkChange(2, old, changed)) return;
  records.rows[1] = changed;
  if (!index.applyChange(2, old, changed)) return;
  mustStayClean(index, records, clean);

  std::string added = record("NAME1", 1.0, 1);
  records.rows.push_back(added);
  if (!index.checkChange(4, "", added)) {
    records.rows.pop_back();
    return;
  }
  if (!index.applyChange(4, "", added)) return;
  mustStayClean(index, records, clean);
}

void writeSeed(const char* out) {
  auto& fs = pu::fuzz::MemoryFileSystem::installed();
  Records records;
  std::vector<pu::table::TagSpec> specs(4);
  specs[0].name = "NAME", specs[0].keyExpr = "UPPER(NAME)";
  specs[1].name = "NUM", specs[1].keyExpr = "NUM", specs[1].descending = true;
  specs[2].name = "ID", specs[2].keyExpr = "ID", specs[2].forExpr = ".NOT.DELETED()";
  specs[3].name = "NAMEU", specs[3].keyExpr = "NAME", specs[3].unique = true;
  std::unique_ptr<CompoundIndex> index;
  if (!CompoundIndex::create(kPath, records, specs, &index)) std::abort();
  index.reset();
  FILE* f = std::fopen(out, "wb");
  if (!f) std::abort();
  const std::string& bytes = fs.files[kPath];
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  fs.files.clear();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* out = std::getenv("PU_CDX_FUZZ_SEED")) writeSeed(out);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto& fs = pu::fuzz::MemoryFileSystem::installed();
  fs.files.clear();
  fs.files[kPath].assign(reinterpret_cast<const char*>(data), size);
  Records records;
  std::unique_ptr<CompoundIndex> index;
  if (!CompoundIndex::open(kPath, records, &index)) return 0;
  exercise(*index, records);
  bool clean = bool(index->check());
  // Odd sizes take the deferred path: changed nodes stay in memory until flushed.
  index->setDeferredWrites(size % 2 == 1);
  change(*index, records, clean);
  if (!index->flush()) return 0;
  exercise(*index, records);
  (void)index->check();
  // A rebuild the engine reports done gives an index that checks clean.
  if (index->reindex() && !index->check()) __builtin_trap();
  return 0;
}
