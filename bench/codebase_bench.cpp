// The program's own path: the table library calls on a 1,000,000-record
// table shaped like `standard` with its four tags, opened shared as the
// program opens it (d4open with the production index). Beside the engine's
// core figures of table_bench and cdx_bench.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "bench/bulk_fill.h"
#include "db/codebase.h"
#include "db/result_code.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"

namespace {

using namespace pu;

constexpr std::uint32_t kRecords = 1000000;

std::string folder() {
  static std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("codebase_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  static const bool cleanup = (std::atexit([] { std::filesystem::remove_all(dir); }), true);
  (void)cleanup;
  return dir;
}

// Trees of 1000 nodes numbered in record order; each node's parent is an
// earlier node of its tree, scattered, so that "treeprntid" (like
// "node_id", whose keys are left-aligned digits) is not in record order.
std::uint32_t treeOf(std::uint32_t r) { return 1 + (r - 1) / 1000; }
std::uint32_t parentOf(std::uint32_t r) {
  const std::uint32_t place = (r - 1) % 1000;
  return place == 0 ? 0 : r - place + (r * 7919u) % place;
}

const std::string& standardPath() {
  static const std::string path = [] {
    std::string p = folder() + "/standard.dbf";
    std::vector<table::FieldSpec> fields = {{"tree_id", 'N', 3, 0, 0},   {"node_id", 'N', 7, 0, 0},
                                            {"parent_id", 'N', 7, 0, 0}, {"Order", 'N', 3, 0, 0},
                                            {"descript", 'C', 254, 0, 0}, {"notes", 'M', 4, 0, 0}};
    if (!table::Table::create(p, fields, table::TableFormat::VisualFoxPro)) std::abort();
    bench::bulkFill(p, kRecords, [](std::uint32_t r, std::string* chunk) {
      char rec[300];
      int n = std::snprintf(rec, sizeof rec, " %3u%7u%7u%3u%-254s", treeOf(r) % 1000, r, parentOf(r), r % 1000 % 800,
                            ("Standard " + std::to_string(r) + ": a title of average length").c_str());
      chunk->append(rec, std::size_t(n));
      chunk->append(4, '\0');
    });
    std::unique_ptr<table::Table> t;
    if (!table::Table::open(p, true, &t) || !t->setStructuralIndex(true)) std::abort();
    std::unique_ptr<table::CompoundIndex> index;
    std::vector<table::TagSpec> tags = {
        {"StandardID", "STR(tree_id,3)+STR(node_id,7)", "", false, false, false, false},
        {"treeprntid", "STR(tree_id,3)+STR(parent_id,7)+STR(Order,3)", "", false, false, false, false},
        {"node_id", "PADR(LTRIM(STR(node_id,7)),7)", "", false, false, false, false},
        {"tree_id", "STR(tree_id,3)", "", false, false, false, false}};
    if (!table::CompoundIndex::create(table::indexPathFor(p), *t, tags, &index)) std::abort();
    return p;
  }();
  return path;
}

// One table handle for the run, as the program keeps its tables open.
std::int32_t g_standard = 0;

std::int32_t standard() {
  if (g_standard == 0) {
    g_standard = d4open(d4init_v(), standardPath().c_str());
    if (g_standard == 0) std::abort();
  }
  return g_standard;
}

std::string nodeKey(std::uint32_t r) {
  char key[16];
  std::snprintf(key, sizeof key, "%3u%7u", treeOf(r) % 1000, r);
  return key;
}

void BM_LibSeekTwoFields(benchmark::State& state) {
  std::int32_t t = standard();
  d4tagSelect(t, d4tag(t, "StandardID"));
  std::int32_t node = d4field(t, "node_id"), parent = d4field(t, "parent_id");
  std::mt19937 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 100000; ++i) keys.push_back(nodeKey(1 + std::uint32_t(rng() % kRecords)));
  std::int64_t sum = 0;
  // Warm, as the core figures are: the tag's nodes on the way to these keys
  // have been read once.
  for (const std::string& key : keys) d4seek(t, key.c_str());
  std::size_t i = 0;
  for (auto _ : state) {
    if (d4seek(t, keys[i++ % keys.size()].c_str()) != kResultSuccess) state.SkipWithError("not found");
    sum += f4long(node) + f4long(parent);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibSeekTwoFields);

void BM_LibScanTwoFields(benchmark::State& state) {
  std::int32_t t = standard();
  d4tagSelect(t, 0);
  std::int32_t node = d4field(t, "node_id"), parent = d4field(t, "parent_id");
  std::int64_t records = 0;
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (std::int16_t r = d4top(t); r == kResultSuccess; r = d4skip(t, 1)) {
      sum += f4long(node) + f4long(parent);
      ++records;
    }
    benchmark::DoNotOptimize(sum);
  }
  if (records != std::int64_t(state.iterations()) * kRecords) state.SkipWithError("the scan missed records");
  state.SetItemsProcessed(records);
}
BENCHMARK(BM_LibScanTwoFields)->Unit(benchmark::kMillisecond);

// The record is locked as LockRecord locks it, and the new parent moves
// its key in "treeprntid"; the assignment writes record and index at once.
void BM_LibKeyChange(benchmark::State& state) {
  std::int32_t t = standard();
  // Warm, as the core figures are: the tag whose keys move has been walked once.
  static const bool warm = [t] {
    d4tagSelect(t, d4tag(t, "treeprntid"));
    for (std::int16_t r = d4top(t); r == kResultSuccess;) r = d4skip(t, 1);
    return true;
  }();
  (void)warm;
  d4tagSelect(t, 0);
  std::int32_t parent = d4field(t, "parent_id");
  static std::mt19937 rng(11);  // repetitions go on with new changes, not the same ones again
  for (auto _ : state) {
    std::int32_t recno = std::int32_t(1 + rng() % kRecords);
    if (d4go(t, recno) != kResultSuccess || d4lock(t, recno) != kResultSuccess ||
        f4assignLong(parent, std::int32_t(rng() % 1000000)) != kResultSuccess)
      state.SkipWithError("change failed");
  }
  d4unlock(t);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibKeyChange);

// `dbftool reindex` as a whole process, as a user runs it.
void BM_DbftoolReindex(benchmark::State& state) {
  // A rebuild needs the table to itself.
  if (g_standard != 0) d4close(g_standard);
  g_standard = 0;
  std::string command = std::string(PU_DBFTOOL) + " reindex " + standardPath() + " >/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("dbftool reindex failed");
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DbftoolReindex)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
