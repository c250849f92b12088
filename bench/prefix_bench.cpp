// Set Prefix and Replace on a standards table of 1,000,000 rows: ten trees
// of 100,000 standards with the same node numbers; the current tree holds
// 20,000 standards at the selected depth. Each timed pass is a whole
// command, writes included, and rewrites every title it reaches.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "app/prefix_commands.h"
#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/standards_model.h"
#include "tools/sample/sample_content.h"
#include "tools/sample/sample_database.h"
#include "util/general.h"
#include "util/path_globals.h"

namespace {

constexpr std::int16_t kTree = 7;
constexpr std::int32_t kUnits = 20, kPerUnit = 1000, kTreeNodes = 100000, kTrees = 10;
constexpr std::int32_t kAtDepth = kUnits * kPerUnit;
constexpr std::int32_t kFirstStandard = 2 + kUnits;  // node of "1.1 ..."

std::filesystem::path g_folder;

// Root, 20 units, 1000 standards below each ("3.417 Adding fractions: core"),
// and the rest spread below the standards.
void addTree(pu::sample::SampleContent& c, std::int16_t tree) {
  c.standards.push_back({tree, 1, tree % 2 == 0 ? 1 : 0, 1, "State standards " + std::to_string(tree), false});
  for (std::int32_t u = 1; u <= kUnits; ++u)
    c.standards.push_back({tree, 1 + u, 1, static_cast<std::int16_t>(u), std::to_string(u) + ". Unit " + std::to_string(u), false});
  std::int32_t node = 1 + kUnits;
  for (std::int32_t u = 1; u <= kUnits; ++u)
    for (std::int32_t s = 1; s <= kPerUnit; ++s)
      c.standards.push_back({tree, ++node, 1 + u, static_cast<std::int16_t>(s % 799 + 1),
                             std::to_string(u) + "." + std::to_string(s) + " Adding fractions: core skills", false});
  for (std::int32_t parent = kFirstStandard; node < kTreeNodes; parent = parent % (1 + kUnits + kAtDepth) + 1)
    c.standards.push_back({tree, ++node, std::max(parent, kFirstStandard), 1, "A. Apply the standard", false});
}

void useLargeTable() {
  static bool ready = [] {
    g_folder = std::filesystem::temp_directory_path() / ("prefix_bench_" + std::to_string(::getpid()));
    std::atexit([] { std::filesystem::remove_all(g_folder); });
    pu::sample::SampleContent content;
    for (std::int16_t tree = 2; tree < 2 + kTrees; ++tree) addTree(content, tree);
    if (!pu::sample::writeCourseDatabase(g_folder.string(), content)) std::abort();
    pu::SetDatabaseFolder(pu::fromUtf8(g_folder.string()));
    return true;
  }();
  (void)ready;
}

// Alternates two examples ("1.1 " highlighted, then an empty selection), so
// that every pass changes every title at the depth.
void BM_SetPrefix(benchmark::State& state) {
  useLargeTable();
  const bool includeParent = state.range(0) != 0;
  const pu::Text box = u"1.1 Adding fractions: core skills";
  std::int64_t pass = 0;
  for (auto _ : state) {
    int length = pass++ % 2 == 0 ? 3 : 0;
    pu::CommandReport r = pu::SetPrefix(kTree, kFirstStandard + 1, pu::TakePrefixExample(box, 0, length), includeParent);
    if (r.written != kAtDepth) state.SkipWithError("not every title at the depth was written");
  }
  state.SetItemsProcessed(state.iterations() * kAtDepth);
}
BENCHMARK(BM_SetPrefix)->Arg(0)->Arg(1)->Iterations(6)->Unit(benchmark::kMillisecond);

// Puts ": " back into the titles between passes (not timed); false when a
// title could not be written back.
bool restoreColons() {
  pu::TableRec standard = pu::OpenTable(u"standard");
  pu::Text key = pu::MakeNodeKey(kTree, 0).substr(0, 3);
  pu::DatabaseHelper& helper = pu::DbHelper();
  while (helper.SeekNextByTag(standard, u"StandardID", key)) {
    pu::Text title = helper.FieldValStr(u"descript");
    if (title.find(u":*") != pu::Text::npos && !helper.SetFieldStr(u"descript", u"standard", pu::ReplaceAll(title, u":*", u": ")))
      return false;
  }
  return true;
}

void BM_ReplaceColons(benchmark::State& state) {
  useLargeTable();
  for (auto _ : state) {
    pu::CommandReport r = pu::ReplaceColons(kTree);
    if (r.written != kAtDepth) state.SkipWithError("not every title with \": \" was written");
    state.PauseTiming();
    if (!restoreColons()) state.SkipWithError("the titles could not be put back");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kTreeNodes);
}
BENCHMARK(BM_ReplaceColons)->Iterations(4)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
