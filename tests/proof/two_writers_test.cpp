// Several write_storm programs change and append to the same tables at once,
// locking as the table library does. Afterwards no append and no change is
// lost (their logs against the tables), no two appends share a record
// number, every tag of every table is right, and python dbfread and Perl
// XBase::Index read the result as we do.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

#include "platform/fs/file_system.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/proof/proof_support.h"
#include "tests/support/temp_dir.h"
#include "tools/sample/sample_database.h"

namespace pu::proof {
namespace {

void expectSameListing(const std::string& folder, const std::string& table, const std::string& tag) {
  std::string theirs = test::xbaseTagListing(folder + "/" + table + ".cdx", tag);
  std::string ours = ourListing(folder + "/" + table + ".dbf", tag);
  EXPECT_GT(ours.size(), 0u);
  if (theirs == ours) return;
  std::size_t at = static_cast<std::size_t>(std::mismatch(theirs.begin(), theirs.end(), ours.begin(), ours.end()).first - theirs.begin());
  std::size_t from = at < 60 ? 0 : at - 60;
  ADD_FAILURE() << table << " tag " << tag << ": XBase::Index lists \"" << theirs.substr(from, 120) << "\", we list \""
                << ours.substr(from, 120) << "\"";
}

// dbfread reads as many records as we expect, with the same field bytes as ours.
void expectDbfreadAgrees(const std::string& folder, const std::string& table, const std::string& field, std::size_t records) {
  DbfreadView read = dbfreadField(folder + "/" + table + ".dbf", field);
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.records, records) << table;
  std::vector<std::string> ours = ourField(folder + "/" + table + ".dbf", field);
  // dbfread lists live records before deleted ones.
  std::sort(read.values.begin(), read.values.end());
  std::sort(ours.begin(), ours.end());
  ASSERT_EQ(read.values.size(), ours.size()) << table;
  auto differ = std::mismatch(ours.begin(), ours.end(), read.values.begin());
  EXPECT_TRUE(differ.first == ours.end()) << table << ": we read " << *differ.first << ", dbfread " << *differ.second;
}

void runWriters(int writers, int steps) {
  test::TempDir dir;
  const std::string folder = dir.file("course");
  ASSERT_TRUE(FileSystem::instance().createDirectory(folder));
  ASSERT_TRUE(sample::makeSampleDatabase(folder, {}));
  std::map<std::string, std::uint32_t> before;
  for (const auto& name : kTables) ASSERT_TRUE(checkStructure(folder + "/" + name + ".dbf", &before[name]));

  std::vector<pid_t> pids;
  std::vector<std::string> logs;
  for (int w = 1; w <= writers; ++w) {
    StormArgs args;
    args.folder = folder;
    args.log = dir.file("writer" + std::to_string(w) + ".log");
    args.seed = 77u + static_cast<std::uint32_t>(w);
    args.count = steps;
    args.writer = w;
    args.writers = writers;
    logs.push_back(args.log);
    pids.push_back(startStorm(args));
    ASSERT_GT(pids.back(), 0);
  }
  for (pid_t pid : pids) EXPECT_EQ(waitStorm(pid), 0) << "a writer failed (its message is above)";

  Expectation expect;
  std::map<std::string, std::set<std::uint32_t>> appended;
  std::map<std::string, int> appends;
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
  EXPECT_GT(appends["standard"], 0);
  EXPECT_GT(appends["stanques"], 0);
  EXPECT_EQ(expect.compare(folder), "");

  for (const auto& name : kTables) {
    const std::string path = folder + "/" + name + ".dbf";
    std::uint32_t count = 0;
    Status s = checkStructure(path, &count);
    ASSERT_TRUE(s) << s.message();
    EXPECT_EQ(count, before[name] + static_cast<std::uint32_t>(appends[name])) << name;
    s = checkTags(path);
    EXPECT_TRUE(s) << s.message();
  }

  // The independent readers.
  expectDbfreadAgrees(folder, "standard", "DESCRIPT", before["standard"] + static_cast<std::size_t>(appends["standard"]));
  expectDbfreadAgrees(folder, "stanques", "STANQUESID", before["stanques"] + static_cast<std::size_t>(appends["stanques"]));
  // XBase::Index names tags as stored, in capitals.
  for (const char* tag : {"STANDARDID", "TREEPRNTID", "NODE_ID", "TREE_ID"}) expectSameListing(folder, "standard", tag);
  for (const char* tag : {"STANQUESID", "STANDARDID", "QUEST_ID", "TREEQUESID"}) expectSameListing(folder, "stanques", tag);
}

TEST(TwoWriters, TwoProgramsLoseNothingAndKeepEveryTagRight) { runWriters(2, 8000); }

TEST(TwoWriters, ThreeProgramsLoseNothingAndKeepEveryTagRight) { runWriters(3, 5000); }

} // namespace
} // namespace pu::proof
