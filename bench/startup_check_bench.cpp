// Start-up's index check (db/course_index_check.h) over sample databases of
// 100,000 and 1,000,000 standards: every tag of the tables it checks against
// every record, the files in the page cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "db/course_index_check.h"
#include "tools/sample/sample_database.h"

namespace {

const std::filesystem::path& sampleOf(std::int32_t nodes) {
  static std::map<std::int32_t, std::filesystem::path> folders;
  auto found = folders.find(nodes);
  if (found != folders.end()) return found->second;
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("startup_check_bench_" + std::to_string(::getpid()) + "_" + std::to_string(nodes));
  pu::sample::SampleOptions options;
  options.extraNodes = nodes;
  if (!pu::sample::makeSampleDatabase(folder.string(), options)) std::abort();
  static bool cleanup = (std::atexit([] {
                           for (const auto& [n, f] : folders) std::filesystem::remove_all(f);
                         }),
                         true);
  (void)cleanup;
  return folders.emplace(nodes, folder).first->second;
}

void BM_StartupIndexCheck(benchmark::State& state) {
  const std::filesystem::path& folder = sampleOf(static_cast<std::int32_t>(state.range(0)));
  std::size_t problems = 0;
  for (auto _ : state) {
    problems = 0;
    for (const std::string& table : pu::CheckedCourseTables())
      problems += pu::CheckProductionIndex((folder / (table + ".dbf")).string()).has_value();
  }
  if (problems != 0) state.SkipWithError("the sample's indexes were reported damaged");
}
BENCHMARK(BM_StartupIndexCheck)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
