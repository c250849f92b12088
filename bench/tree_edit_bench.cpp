// Deleting a category of the 100,000-node sample tree as the family tree
// control does: its children promoted (argument 1) or its subtree deleted
// with it (argument 0), the unnumbered siblings renumbered, the table packed
// and its index rebuilt. The category is the one with the fewest
// descendants among those with at least 1,000. Every iteration works on a
// fresh copy of the database, opened before the clock runs. Creating a
// category is measured beside it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "db/course_tables.h"
#include "db/family_tree_edits.h"
#include "platform/table/table.h"
#include "tools/sample/sample_database.h"
#include "util/path_globals.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int16_t kLargeTree = 7;  // the tree the sample adds for --nodes
constexpr std::int32_t kNodes = 100000;
constexpr std::int32_t kDescendants = 1000;

fs::path g_base;
fs::path g_pristine;

struct Category {
  std::int32_t node = 0;
  std::int32_t descendants = 0;
};

std::uint32_t recordCount(const fs::path& folder) {
  std::unique_ptr<pu::table::Table> t;
  if (!pu::table::Table::open((folder / "standard.dbf").string(), false, &t)) std::abort();
  return t->recordCount();
}

Category pickCategory() {
  std::unique_ptr<pu::table::Table> t;
  if (!pu::table::Table::open((g_pristine / "standard.dbf").string(), false, &t)) std::abort();
  const pu::table::TableSchema& s = t->schema();
  std::map<std::int32_t, std::vector<std::int32_t>> children;
  for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
    if (!t->go(r)) std::abort();
    if (t->value(*s.find("tree_id")).number != kLargeTree) continue;
    auto node = static_cast<std::int32_t>(t->value(*s.find("node_id")).number);
    auto parent = static_cast<std::int32_t>(t->value(*s.find("parent_id")).number);
    if (parent != 0 && parent != node) children[parent].push_back(node);
  }
  std::map<std::int32_t, std::int32_t> below;
  auto count = [&](auto& self, std::int32_t node) -> std::int32_t {
    std::int32_t n = 0;
    for (std::int32_t c : children[node]) n += 1 + self(self, c);
    return below[node] = n;
  };
  count(count, 1);
  Category best;
  for (const auto& [node, n] : below)
    if (node != 1 && n >= kDescendants && (best.node == 0 || n < best.descendants)) best = {node, n};
  return best;
}

const Category& category() {
  static Category picked = [] {
    g_base = fs::temp_directory_path() / ("tree_edit_bench_" + std::to_string(::getpid()));
    g_pristine = g_base / "pristine";
    std::atexit([] { fs::remove_all(g_base); });
    fs::create_directories(g_base);
    pu::sample::SampleOptions options;
    options.extraNodes = kNodes;
    if (!pu::sample::makeSampleDatabase(g_pristine.string(), options)) std::abort();
    return pickCategory();
  }();
  return picked;
}

void BM_DeleteCategory(benchmark::State& state) {
  const Category& victim = category();
  bool promote = state.range(0) != 0;
  int copy = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::path folder = g_base / ("copy" + std::to_string(++copy) + (promote ? "p" : "s"));
    fs::copy(g_pristine, folder, fs::copy_options::recursive);
    pu::SetDatabaseFolder(pu::fromUtf8(folder.string()));
    pu::OpenTable(u"standard");
    std::uint32_t before = recordCount(folder);
    state.ResumeTiming();
    bool done = pu::DeleteClassification(kLargeTree, victim.node, 2, promote).result == pu::WriteResult::Written;
    state.PauseTiming();
    std::uint32_t removed = before - recordCount(folder);
    if (!done || removed != (promote ? 1u : 1u + static_cast<std::uint32_t>(victim.descendants)))
      state.SkipWithError("the delete did not remove what it should");
    fs::remove_all(folder);  // the open table keeps its files until the end
    state.ResumeTiming();
  }
  state.counters["descendants"] = victim.descendants;
}
BENCHMARK(BM_DeleteCategory)->Arg(1)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);

// NewNodeId reads every row of the table for the highest number in use.
// The large tree has used up its numbers (its nodes are numbered from 1 to
// 100,000), so the category goes into tree 2 of the same table.
void BM_CreateCategory(benchmark::State& state) {
  category();
  fs::path folder = g_base / "create";
  if (!fs::exists(folder)) fs::copy(g_pristine, folder, fs::copy_options::recursive);
  pu::SetDatabaseFolder(pu::fromUtf8(folder.string()));
  pu::OpenTable(u"standard");
  for (auto _ : state)
    if (pu::CreateCategory(2, 1, u"New category", 1).node == 0) state.SkipWithError("nothing was created");
}
BENCHMARK(BM_CreateCategory)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
