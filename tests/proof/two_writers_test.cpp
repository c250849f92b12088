// Several write_storm programs change and append to the same tables at once,
// locking as the table library does. Afterwards no append and no change is
// lost (their logs against the tables), no two appends share a record
// number, every tag of every table is right, and python dbfread and Perl
// XBase::Index read the result as we do.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/proof/proof_support.h"
#include "tests/support/temp_dir.h"

namespace pu::proof {
namespace {

void runWriters(int writers, int steps) {
  test::TempDir dir;
  const std::string folder = dir.file("course");
  std::map<std::string, std::uint32_t> before;
  ASSERT_NO_FATAL_FAILURE(makeCourse(folder, {}, &before));

  std::vector<pid_t> pids;
  std::vector<std::string> logs;
  for (int w = 1; w <= writers; ++w) {
    logs.push_back(dir.file("writer" + std::to_string(w) + ".log"));
    pids.push_back(startStorm({folder, logs.back(), 77u + static_cast<std::uint32_t>(w), steps, w, writers}));
    ASSERT_GT(pids.back(), 0);
  }
  for (pid_t pid : pids) EXPECT_EQ(waitStorm(pid), 0) << "a writer failed (its message is above)";

  Expectation expect;
  std::map<std::string, std::set<std::uint32_t>> appended;
  std::map<std::string, std::uint32_t> appends;
  for (const auto& path : logs) {
    StormLog log = readLog(path);
    ASSERT_TRUE(log.done) << path << " did not run to its end";
    expect.apply(log);
    for (std::size_t i = 1; i < log.steps.size(); ++i) {
      const Step& s = log.steps[i];
      if (s.kind != 'E' || log.steps[i - 1].recno != 0) continue;  // appends start without a record number
      ++appends[s.table];
      EXPECT_TRUE(appended[s.table].insert(s.recno).second) << s.table << " record " << s.recno << " appended twice";
    }
  }
  EXPECT_GT(appends["standard"], 0u);
  EXPECT_GT(appends["stanques"], 0u);
  EXPECT_EQ(expect.compare(folder), "");

  for (const auto& name : kTables) {
    const std::string path = folder + "/" + name + ".dbf";
    std::uint32_t count = 0;
    Status s = checkStructure(path, &count);
    ASSERT_TRUE(s) << s.message();
    EXPECT_EQ(count, before[name] + appends[name]) << name;
    s = checkTags(path);
    EXPECT_TRUE(s) << s.message();
  }

  // The independent readers; XBase::Index names tags as stored, in capitals.
  const std::map<std::string, std::pair<const char*, std::vector<const char*>>> read = {
      {"standard", {"DESCRIPT", {"STANDARDID", "TREEPRNTID", "NODE_ID", "TREE_ID"}}},
      {"stanques", {"STANQUESID", {"STANQUESID", "STANDARDID", "QUEST_ID", "TREEQUESID"}}}};
  for (const auto& [name, what] : read) {
    const std::string path = folder + "/" + name + ".dbf";
    std::size_t records = 0;
    EXPECT_EQ(dbfreadDisagrees(path, what.first, &records), "") << name;
    EXPECT_EQ(records, before[name] + appends[name]) << name;
    for (const char* tag : what.second) EXPECT_EQ(xbaseDisagrees(path, tag), "") << name << " tag " << tag;
  }
}

TEST(TwoWriters, TwoProgramsLoseNothingAndKeepEveryTagRight) { runWriters(2, 8000); }

TEST(TwoWriters, ThreeProgramsLoseNothingAndKeepEveryTagRight) { runWriters(3, 5000); }

} // namespace
} // namespace pu::proof
