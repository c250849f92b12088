// Table engine speed on a 1,000,000-record table in the page cache.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "bench/bulk_fill.h"
#include "platform/table/table.h"

namespace {

using pu::table::FieldDef;
using pu::table::Table;
using pu::table::Value;

constexpr std::uint32_t kRecords = 1000000;

// Builds the table once: an empty table from the engine, then the records
// written in bulk (an append per record would measure appends, not reads).
const std::string& tablePath() {
  static const std::string path = [] {
    std::string p = "/tmp/pu_table_bench.dbf";
    std::atexit([] { (void)pu::FileSystem::instance().removeFile("/tmp/pu_table_bench.dbf"); });
    if (!Table::create(p, {{"NAME", 'C', 20}, {"QTY", 'N', 8}, {"ID", 'I'}, {"DONE", 'L'}}, pu::table::TableFormat::VisualFoxPro)) std::abort();
    pu::bench::bulkFill(p, kRecords, [](std::uint32_t r, std::string* chunk) {
      char rec[64];
      std::snprintf(rec, sizeof rec, " name %-15u%8u", r, r % 1000);
      chunk->append(rec, 1 + 20 + 8);
      chunk->append(reinterpret_cast<const char*>(&r), 4);
      chunk->push_back(r % 2 ? 'T' : 'F');
    });
    return p;
  }();
  return path;
}

std::unique_ptr<Table> openTable(bool writable) {
  std::unique_ptr<Table> t;
  if (!Table::open(tablePath(), writable, &t)) std::abort();
  return t;
}

void BM_FullScanTwoFields(benchmark::State& state) {
  auto t = openTable(false);
  const FieldDef& id = *t->schema().find("ID");
  const FieldDef& qty = *t->schema().find("QTY");
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
      if (!t->go(r)) std::abort();
      sum += t->value(id).integer;
      sum += static_cast<std::int64_t>(t->value(qty).number);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_FullScanTwoFields)->Unit(benchmark::kMillisecond);

void BM_ReadOneRecordByNumber(benchmark::State& state) {
  auto t = openTable(false);
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> pick(1, kRecords);
  const FieldDef& id = *t->schema().find("ID");
  for (auto _ : state) {
    if (!t->go(pick(random))) std::abort();
    benchmark::DoNotOptimize(t->value(id).integer);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ReadOneRecordByNumber);

void BM_ChangeOneField(benchmark::State& state) {
  auto t = openTable(true);
  std::mt19937 random(11);
  std::uniform_int_distribution<std::uint32_t> pick(1, kRecords);
  const FieldDef& qty = *t->schema().find("QTY");
  std::int64_t v = 0;
  for (auto _ : state) {
    if (!t->go(pick(random)) || !t->assignInteger(qty, ++v % 100000) || !t->flush()) std::abort();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ChangeOneField);

} // namespace

BENCHMARK_MAIN();
