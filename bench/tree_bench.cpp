// The family tree control and the tree group over the sample database with a
// tree of 100,000 nodes, 50 state trees and a category of 5,000 children:
// showing a tree, opening the large category, finding a deep standard, the
// group's init, and the memory of 10,000 loaded rows.
#include <QApplication>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "db/course_tables.h"
#include "tools/sample/sample_content.h"
#include "tools/sample/sample_database.h"
#include "tree/family_tree.h"
#include "tree/family_tree_group.h"
#include "tree/family_tree_selector.h"
#include "util/path_globals.h"

namespace {

constexpr std::int16_t kLargeTree = 7;  // the tree the sample adds for extra nodes
constexpr std::int16_t kWideTree = 8;
constexpr std::int32_t kNodes = 100000;
constexpr std::int32_t kWideChildren = 5000;

std::filesystem::path g_folder;

void addWideTree(pu::sample::SampleContent& content) {
  content.standards.push_back({kWideTree, 1, 0, 1, "Wide tree", false});
  content.standards.push_back({kWideTree, 2, 1, 1, "Five thousand children", false});
  for (std::int32_t i = 0; i < kWideChildren; ++i) {
    std::int32_t node = 1000 + 2 * i;  // clear of node 998, which is never listed
    content.standards.push_back({kWideTree, node, 2, static_cast<std::int16_t>(1 + i % 799), "Child " + std::to_string(i), false});
    if (i % 2 == 0) content.standards.push_back({kWideTree, node + 1, node, 1, "Grandchild", false});
  }
}

// 50 state trees in all: the sample's own and small ones up to that count.
void addSmallStateTrees(pu::sample::SampleContent& content) {
  for (std::int16_t tree = 20; tree < 66; ++tree) {
    content.standards.push_back({tree, 1, 0, 1, "State tree " + std::to_string(tree), false});
    for (std::int32_t node = 2; node < 6; ++node)
      content.standards.push_back({tree, node, 1, static_cast<std::int16_t>(node), "Strand " + std::to_string(node), false});
  }
}

void useLargeSample() {
  static bool ready = [] {
    g_folder = std::filesystem::temp_directory_path() / ("tree_bench_" + std::to_string(::getpid()));
    std::atexit([] { std::filesystem::remove_all(g_folder); });
    pu::sample::SampleContent content = pu::sample::makeSampleContent(kNodes, 20261207);
    addWideTree(content);
    addSmallStateTrees(content);
    if (!pu::sample::writeCourseDatabase(g_folder.string(), content)) std::abort();
    pu::SetDatabaseFolder(pu::fromUtf8(g_folder.string()));
    return true;
  }();
  (void)ready;
}

pu::familyTree& shownTree(bool editAllowed) {
  static pu::familyTree* tree = [] {
    auto* t = new pu::familyTree;
    t->resize(600, 800);
    t->show();
    t->StandardDisplayMode = 2;
    return t;
  }();
  tree->init(1, editAllowed);
  return *tree;
}

void BM_SetDisplayedTree(benchmark::State& state) {
  useLargeSample();
  pu::familyTree& tree = shownTree(true);
  for (auto _ : state) tree.SetDisplayedTree(kLargeTree);
  state.counters["rows"] = tree.TList()->count();
}
BENCHMARK(BM_SetDisplayedTree)->Unit(benchmark::kMillisecond);

void BM_ExpandFiveThousandChildren(benchmark::State& state) {
  useLargeSample();
  pu::familyTree& tree = shownTree(false);
  tree.SetDisplayedTree(kWideTree);
  for (auto _ : state) {
    tree.TList()->setRowExpanded(0, true);
    state.PauseTiming();
    bool complete = tree.TList()->count() == kWideChildren + 1;
    tree.TList()->setRowExpanded(0, false);
    state.ResumeTiming();
    if (!complete) {
      state.SkipWithError("children missing");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kWideChildren);
}
BENCHMARK(BM_ExpandFiveThousandChildren)->Unit(benchmark::kMillisecond);

// A standard five levels below the root, every branch above it closed.
std::int32_t fiveDeep() {
  std::int32_t node = 1;
  for (int level = 0; level < 5; ++level) {
    pu::RefFindFirst(pu::standard::treeprntid, pu::MakeNodeKey(kLargeTree, node));
    node = pu::RefValLng(pu::standard::node_id);
  }
  return node;
}

void BM_FindStandardFiveDeep(benchmark::State& state) {
  useLargeSample();
  pu::familyTree& tree = shownTree(false);
  pu::Text key = pu::MakeNodeKey(kLargeTree, fiveDeep());
  for (auto _ : state) {
    state.PauseTiming();
    tree.SetDisplayedTree(kLargeTree);
    state.ResumeTiming();
    if (tree.FindStandard(key) < 0) {
      state.SkipWithError("not found");
      break;
    }
  }
}
BENCHMARK(BM_FindStandardFiveDeep)->Unit(benchmark::kMillisecond);

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Opens branches of the large tree, breadth first, until 10,000 rows show.
void BM_MemoryOfTenThousandRows(benchmark::State& state) {
  useLargeSample();
  for (auto _ : state) {
    long before = residentKiB();
    auto* tree = new pu::familyTree;
    tree->StandardDisplayMode = 2;
    tree->init(1, false);
    tree->SetDisplayedTree(kLargeTree);
    for (int row = 0; tree->TList()->count() < 10000 && row < tree->TList()->count(); ++row)
      tree->TList()->setRowExpanded(row, true);
    state.counters["rows"] = tree->TList()->count();
    state.counters["rss_kib"] = static_cast<double>(residentKiB() - before);
    delete tree;
  }
}
BENCHMARK(BM_MemoryOfTenThousandRows)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_GroupInit(benchmark::State& state) {
  useLargeSample();
  pu::LastStateTreeID = kLargeTree;
  pu::FamilyTreeGroup group;
  group.resize(600, 800);
  group.show();
  for (auto _ : state) {
    group.init(true, false, false, false, 2);
    group.StateOnly();
  }
  if (group.CurrentTreeID() != kLargeTree) state.SkipWithError("the large tree is not shown");
}
BENCHMARK(BM_GroupInit)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
