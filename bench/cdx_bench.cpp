// Compound index speed: seeks, key changes, appends with four tags, and a
// full rebuild, on tags of a million keys.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "bench/bulk_fill.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/platform/table/cdx_test_support.h"

namespace {

using namespace pu::table;

constexpr std::uint32_t kRecords = 1000000;

TableSchema benchSchema() {
  using pu::test::fieldOf;
  return pu::test::makeSchema({fieldOf("NAME", 'C', 10), fieldOf("NUM", 'N', 10, 2), fieldOf("ID", 'I', 4), fieldOf("CODE", 'C', 6)});
}

std::string folder() {
  static std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("cdx_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  // Registered once dir exists, so it runs before dir is destroyed.
  static const bool cleanup = (std::atexit([] { std::filesystem::remove_all(dir); }), true);
  (void)cleanup;
  return dir;
}

struct Data {
  pu::test::MemoryRecords records{benchSchema()};
  std::vector<std::string> names;
  std::mt19937 rng{42};

  std::string randomName() {
    std::string n(10, ' ');
    for (auto& c : n) c = char('A' + rng() % 26);
    return n;
  }
  std::string record(std::uint32_t i) {
    std::string r = records.blank();
    std::string n = randomName();
    records.setChar(r, "NAME", n);
    records.setNumber(r, "NUM", double(rng() % 1000000) / 100.0);
    records.setInt(r, "ID", std::int32_t(i));
    records.setChar(r, "CODE", std::to_string(rng() % 5000));
    return r;
  }
  Data() {
    records.records.reserve(kRecords);
    for (std::uint32_t i = 1; i <= kRecords; ++i) records.records.push_back(record(i));
  }
};

Data& data() {
  static Data d;
  return d;
}

std::vector<TagSpec> fourTags() {
  return {{"name", "name", "", false, false, false},
          {"num", "num", "", false, false, false},
          {"id", "id", "", false, true, false},
          {"codename", "UPPER(code)+name", ".NOT.DELETED()", false, false, false}};
}

CompoundIndex& bigIndex() {
  static std::unique_ptr<CompoundIndex> index = [] {
    std::unique_ptr<CompoundIndex> idx;
    auto s = CompoundIndex::create(folder() + "/big.cdx", data().records, fourTags(), &idx);
    if (!s) std::abort();
    return idx;
  }();
  return *index;
}

// Measurements are warm: every node of every tag has been read once.
void warm(CompoundIndex& index) {
  for (int t = 0; t < index.tagCount(); ++t) {
    TagCursor c;
    if (!index.first(t, &c)) std::abort();
    while (c.valid)
      if (!index.next(t, &c)) std::abort();
  }
}

void BM_SeekExact(benchmark::State& state) {
  CompoundIndex& index = bigIndex();
  warm(index);
  int tag = index.findTag("name");
  auto& recs = data().records.records;
  std::mt19937 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 100000; ++i) keys.push_back(recs[rng() % recs.size()].substr(1, 10));
  std::size_t i = 0;
  TagCursor c;
  SeekResult r;
  for (auto _ : state) {
    if (!index.seek(tag, keys[i++ % keys.size()], &c, &r) || r != SeekResult::Found) state.SkipWithError("not found");
    benchmark::DoNotOptimize(c);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SeekExact);

// Argument 0: every change is written at once; 1: changed nodes are written
// every 1000 changes (deferred writes).
void BM_KeyChange(benchmark::State& state) {
  CompoundIndex& index = bigIndex();
  warm(index);
  index.setDeferredWrites(state.range(0) != 0);
  Data& d = data();
  std::uint64_t n = 0;
  static std::mt19937 rng(9);  // repetitions go on with new changes, not the same ones again
  for (auto _ : state) {
    std::uint32_t recno = 1 + std::uint32_t(rng() % kRecords);
    std::string old = d.records.records[recno - 1], now = old;
    d.records.setNumber(now, "NUM", double(rng() % 1000000) / 100.0);
    if (!index.checkChange(recno, old, now)) state.SkipWithError("refused");
    d.records.records[recno - 1] = now;
    if (!index.applyChange(recno, old, now)) state.SkipWithError("failed");
    if (++n % 1000 == 0 && !index.flush()) state.SkipWithError("flush failed");
  }
  if (!index.flush()) state.SkipWithError("flush failed");
  index.setDeferredWrites(false);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyChange)->Arg(0)->Arg(1);

// The same change through a table with its index attached: update lock,
// reread of the change counter, the record read and written, and the index
// written at once, as every program sharing the folder needs it.
void BM_TableKeyChange(benchmark::State& state) {
  static std::unique_ptr<Table> table = [] {
    std::string path = folder() + "/change.dbf";
    if (!Table::create(path, {{"NAME", 'C', 10}, {"NUM", 'N', 10, 2}, {"ID", 'I'}, {"CODE", 'C', 6}},
                       TableFormat::VisualFoxPro))
      std::abort();
    std::unique_ptr<Table> t;
    if (!Table::open(path, true, &t) || t->schema().recordLength != data().records.schema().recordLength) std::abort();
    t.reset();  // the bytes go in behind the engine's back
    const auto& recs = data().records.records;
    pu::bench::bulkFill(path, kRecords, [&recs](std::uint32_t r, std::string* chunk) { *chunk += recs[r - 1]; });
    if (!Table::open(path, true, &t)) std::abort();
    std::unique_ptr<CompoundIndex> index;
    if (!CompoundIndex::create(indexPathFor(path), *t, fourTags(), &index)) std::abort();
    warm(*index);
    t->attachIndex(std::move(index));
    return t;
  }();
  const pu::table::FieldDef& num = *table->schema().find("NUM");
  static std::mt19937 rng(11);  // repetitions go on with new changes, not the same ones again
  for (auto _ : state) {
    std::uint32_t recno = 1 + std::uint32_t(rng() % kRecords);
    if (!table->go(recno) || !table->assignNumber(num, double(rng() % 1000000) / 100.0) || !table->flush())
      state.SkipWithError("change failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TableKeyChange);

void BM_AppendFourTags(benchmark::State& state) {
  pu::test::MemoryRecords records(benchSchema());
  std::unique_ptr<CompoundIndex> index;
  if (!CompoundIndex::create(folder() + "/append.cdx", records, fourTags(), &index)) std::abort();
  index->setDeferredWrites(true);
  Data& d = data();
  for (auto _ : state) {
    std::uint32_t recno = records.recordCount() + 1;
    std::string rec = d.record(recno);
    if (!index->checkChange(recno, {}, rec)) state.SkipWithError("refused");
    records.records.push_back(rec);
    if (!index->applyChange(recno, {}, rec)) state.SkipWithError("failed");
    if (recno % 16384 == 0 && !index->flush()) state.SkipWithError("flush failed");
  }
  if (!index->flush()) state.SkipWithError("flush failed");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendFourTags);

void BM_Reindex(benchmark::State& state) {
  CompoundIndex& index = bigIndex();
  for (auto _ : state)
    if (!index.reindex()) state.SkipWithError("reindex failed");
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Reindex)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
