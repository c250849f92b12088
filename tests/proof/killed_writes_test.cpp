// write_storm killed with SIGKILL at random points of its work, again and
// again, on one course database. After every kill the tables open and their
// structure is sound, no record count shrinks, every write the log says
// finished is there, and every tag is either right or made right by a
// reindex that loses no record; start-up's index check reports every wrong
// tag. Then the same for deletes of categories that end in a pack.
// PU_PROOF_KILLS sets the number of kills (40 by default).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <random>

#include "db/course_index_check.h"
#include "platform/fs/file_system.h"
#include "platform/table/table.h"
#include "tests/proof/proof_support.h"
#include "tests/support/temp_dir.h"

namespace pu::proof {
namespace {

int killCount() {
  const char* v = std::getenv("PU_PROOF_KILLS");
  int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 40;
}

// Kills of storms over one course database, each killed once its log holds
// a number of lines from 1 to maxLines. Counted in the storm's own steps,
// not in time, the kill lands inside its work however slowly the machine
// lets it start.
class KilledWrites : public ::testing::Test {
protected:
  void stormUntilKilled(int k, bool deletes, std::size_t maxLines, StormLog* log) {
    StormArgs args{folder, dir.file((deletes ? "deletes" : "storm") + std::to_string(k) + ".log"),
                   (deletes ? 5000u : 1000u) + static_cast<std::uint32_t>(k), 1000000, 1, 1, deletes};
    const std::size_t lines = 1 + rng() % maxLines;
    pid_t pid = startStorm(args);
    ASSERT_GT(pid, 0);
    for (;;) {
      std::string text = test::readWholeFile(args.log);
      if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "write_storm ended by itself (an error) before kill " << k;
      FileSystem::instance().sleepMilliseconds(1);
    }
    ::kill(pid, SIGKILL);
    ASSERT_EQ(waitStorm(pid), -SIGKILL) << "write_storm ended by itself (an error) before kill " << k;
    *log = readLog(args.log);
  }

  // A wrong tag is reported (start-up's check catches exactly what the full
  // check catches), then repaired: the rebuilt index must be right and the
  // table keep its count records.
  static void checkOrReindex(const std::string& path, int k, std::uint32_t count, bool* repaired) {
    Status tags = checkTags(path);
    std::optional<IndexProblem> startUp = CheckProductionIndex(path);
    EXPECT_EQ(startUp.has_value(), !tags.isOk()) << "kill " << k << ": " << tags.message();
    *repaired = !tags;
    if (tags) return;
    if (startUp) std::cout << "kill " << k << ": start-up shows \"" << startUp->what << "\"\n";
    std::cout << "kill " << k << ": " << tags.message() << "; reindexed\n";
    Status r = reindex(path);
    ASSERT_TRUE(r) << "reindex after kill " << k << ": " << r.message();
    Status again = checkTags(path);
    ASSERT_TRUE(again) << "after reindex at kill " << k << ": " << again.message();
    std::uint32_t after = 0;
    ASSERT_TRUE(checkStructure(path, &after));
    EXPECT_EQ(after, count);
  }

  test::TempDir dir;
  const std::string folder = dir.file("course");
  const int kills = killCount();
  std::mt19937 rng{20261207};
};

TEST_F(KilledWrites, EveryKillLeavesTablesThatOpenAndLoseNothing) {
  std::map<std::string, std::uint32_t> counts;
  ASSERT_NO_FATAL_FAILURE(makeCourse(folder, {}, &counts));
  const auto before = counts;

  Expectation expect;
  int consistent = 0, repaired = 0, unfinished = 0, finishedSteps = 0;
  std::map<std::string, int> repairedTables;
  for (int k = 0; k < kills; ++k) {
    // Each step logs a line as it begins and one as it ends.
    StormLog log;
    ASSERT_NO_FATAL_FAILURE(stormUntilKilled(k, false, 120, &log));
    if (!log.steps.empty() && log.steps.back().kind == 'B') ++unfinished;
    for (const Step& s : log.steps) finishedSteps += s.kind == 'E';
    expect.apply(log);

    bool anyRepaired = false;
    for (const auto& name : kTables) {
      const std::string path = folder + "/" + name + ".dbf";
      std::uint32_t count = 0;
      Status s = checkStructure(path, &count);
      ASSERT_TRUE(s) << "after kill " << k << ": " << s.message();
      EXPECT_GE(count, counts[name]) << name << " lost records at kill " << k;
      counts[name] = count;
      bool wrong = false;
      ASSERT_NO_FATAL_FAILURE(checkOrReindex(path, k, count, &wrong));
      anyRepaired |= wrong;
      repairedTables[name] += wrong;
    }
    (anyRepaired ? repaired : consistent)++;
    ASSERT_EQ(expect.compare(folder), "") << "after kill " << k;
  }

  std::cout << "kills: " << kills << ", every tag consistent: " << consistent << ", inconsistent and repaired by reindex: "
            << repaired << " (standard " << repairedTables["standard"] << ", stanques " << repairedTables["stanques"]
            << "), killed inside a write: " << unfinished << ", finished writes: " << finishedSteps << "\n";
  for (const auto& name : kTables) std::cout << name << ": " << before.at(name) << " -> " << counts[name] << " records\n";
  EXPECT_EQ(consistent + repaired, kills);
  // The kills must have met real work, not only start-up.
  EXPECT_GT(finishedSteps, kills);
  EXPECT_GT(counts["standard"] + counts["stanques"], before.at("standard") + before.at("stanques"));
}

// The same for deletes of categories as the family tree control makes them,
// each ending in a pack: after every kill the live rows are exactly those
// the logs leave (rows marked deleted may wait for the next pack), every
// tag is right or made right by a reindex, and a pack killed between its
// renames is finished by the next open.
TEST_F(KilledWrites, DeletesWithPackLoseNoLiveRow) {
  ASSERT_NO_FATAL_FAILURE(makeCourse(folder, {.extraNodes = 1500}));
  const std::string path = folder + "/standard.dbf";
  TreeModel model;
  ASSERT_TRUE(model.load(folder));
  const std::size_t before = model.size();

  rng.seed(20261208);
  int finished = 0, inside = 0, repaired = 0, finishedOnOpen = 0;
  for (int k = 0; k < kills; ++k) {
    StormLog log;
    // An odd count of lines ends with a delete begun: the kill meets it.
    ASSERT_NO_FATAL_FAILURE(stormUntilKilled(k, true, 12, &log));
    model.apply(log, &finished);
    inside += !log.steps.empty() && log.steps.back().kind == 'B';

    // A new index beside the table without the new table: killed between the renames.
    auto halfway = [&] {
      FileSystem& fs = FileSystem::instance();
      return fs.modifiedTime(table::packedIndexPath(folder + "/standard.cdx")).has_value() &&
             !fs.modifiedTime(table::packedTablePath(path)).has_value();
    };
    finishedOnOpen += halfway();
    std::uint32_t count = 0;
    Status s = checkStructure(path, &count);
    ASSERT_TRUE(s) << "after kill " << k << ": " << s.message();
    EXPECT_FALSE(halfway()) << "the open did not finish the pack killed at kill " << k;
    bool wrong = false;
    ASSERT_NO_FATAL_FAILURE(checkOrReindex(path, k, count, &wrong));
    repaired += wrong;
    ASSERT_EQ(model.compare(folder), "") << "after kill " << k;
  }
  std::cout << "kills: " << kills << ", inside a delete: " << inside << ", finished deletes: " << finished
            << ", indexes repaired by reindex: " << repaired << ", packs finished by the next open: " << finishedOnOpen
            << ", live rows: " << before << " -> " << model.size() << "\n";
  // The kills must have met deletes, not only start-up.
  EXPECT_GT(inside, kills / 4);
  EXPECT_GT(finished, kills / 4);
  EXPECT_LT(model.size(), before);
  EXPECT_EQ(dbfreadDisagrees(path, "NODE_ID"), "");  // an independent reader sees the same records
}

} // namespace
} // namespace pu::proof
