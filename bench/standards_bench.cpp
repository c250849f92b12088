// The standards model over a tree of 100,000 nodes: a walk of every node
// through DatabaseHelper (children by "treeprntid"), and the question count
// of the whole tree.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/standards_model.h"
#include "tools/sample/sample_database.h"
#include "util/path_globals.h"

namespace {

constexpr std::int16_t kLargeTree = 7;  // the tree the sample adds for --nodes
constexpr std::int32_t kNodes = 100000;

std::filesystem::path g_folder;

void useLargeSample() {
  static bool ready = [] {
    g_folder = std::filesystem::temp_directory_path() / ("standards_bench_" + std::to_string(::getpid()));
    std::atexit([] { std::filesystem::remove_all(g_folder); });
    const std::filesystem::path& folder = g_folder;
    pu::sample::SampleOptions options;
    options.extraNodes = kNodes;
    if (!pu::sample::makeSampleDatabase(folder.string(), options)) std::abort();
    pu::SetDatabaseFolder(pu::fromUtf8(folder.string()));
    return true;
  }();
  (void)ready;
}

std::int64_t walkChildren(const pu::TableRec& standard, std::int32_t parent) {
  pu::DatabaseHelper& helper = pu::DbHelper();
  std::int64_t visited = 0;
  std::vector<std::int32_t> children;
  while (helper.SeekNextByTag(standard, u"treeprntid", pu::MakeNodeKey(kLargeTree, parent)))
    children.push_back(helper.FieldValLng(u"node_id"));
  for (std::int32_t child : children) visited += 1 + walkChildren(standard, child);
  return visited;
}

void BM_WalkWholeTree(benchmark::State& state) {
  useLargeSample();
  pu::TableRec standard = pu::OpenTable(u"standard");
  std::int64_t nodes = 0;
  for (auto _ : state) nodes = walkChildren(standard, 1);
  if (nodes + 1 != kNodes) state.SkipWithError("the walk missed nodes");
  state.SetItemsProcessed(state.iterations() * nodes);
}
BENCHMARK(BM_WalkWholeTree)->Unit(benchmark::kMillisecond);

void BM_CountQuestionsOfWholeTree(benchmark::State& state) {
  useLargeSample();
  std::int32_t questions = 0;
  for (auto _ : state) questions = pu::CountNodeQuestions({kLargeTree, 1}, 1, -1);
  state.counters["questions"] = questions;
  state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_CountQuestionsOfWholeTree)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
