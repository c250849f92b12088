// write_storm programs on one course database, killed with SIGKILL again and again (changes, or deletes ending
// in a pack), or two and three at once: no finished write is lost, every tag is right or made right by a reindex,
// and the independent readers agree. PU_PROOF_KILLS sets the number of kills (40 by default).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "db/course_index_check.h"
#include "platform/table/ascii_case.h"
#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/proof/proof_support.h"
#include "tests/support/temp_dir.h"
#include "tools/sample/sample_database.h"

namespace pu::proof {
namespace {

const std::vector<std::string> kTables = {"standard", "stanques", "quests"};

struct Step {
  char kind = 0;  // 'B' started, 'E' finished
  int step = 0;
  std::string table;
  std::uint32_t recno = 0;  // 0: an append not yet numbered
  std::vector<std::pair<std::string, std::string>> fields;
};

struct StormLog {
  std::vector<Step> steps;
  bool done = false;  // the storm ran to its end
  // Whether step i began and its end is logged.
  bool finished(std::size_t i) const {
    return i + 1 < steps.size() && steps[i + 1].kind == 'E' && steps[i + 1].step == steps[i].step;
  }
};

// A line cut short by a kill is left out.
StormLog readLog(const std::string& path) {
  StormLog log;
  std::string text = test::readWholeFile(path);
  text.erase(text.find_last_of('\n') + 1);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line == "done") log.done = true;
    std::vector<std::string> p;  // the cells between tabs, empty ones too
    for (std::size_t at = 0, tab = 0; tab != std::string::npos; at = tab + 1)
      p.push_back(line.substr(at, (tab = line.find('\t', at)) - at));
    if (p.size() < 4 || (p[0] != "B" && p[0] != "E") || p.size() % 2 != 0) continue;
    Step s{p[0][0], std::stoi(p[1]), p[2], static_cast<std::uint32_t>(std::stoul(p[3])), {}};
    for (std::size_t i = 4; i + 1 < p.size(); i += 2) s.fields.emplace_back(p[i], p[i + 1]);
    log.steps.push_back(std::move(s));
  }
  return log;
}

// As the logs write it: numbers as integers, texts trimmed; "*" is the deleted flag as 1 or 0.
std::string fieldText(table::Table& t, const std::string& field) {
  if (field == "*") return t.isDeleted() ? "1" : "0";
  const table::FieldDef* f = t.schema().find(field);
  if (!f) return "(no field " + field + " in " + t.path() + ")";
  table::Value v = t.value(*f);
  return v.kind == table::Value::Kind::Number ? std::to_string(std::llround(v.number)) : table::valueText(v);
}

// The values the logs fix. A step that never finished may have written some fields or none, so its row takes
// whatever the table then holds; a writer's steps run one after another, so only its last can be unfinished.
class Expectation {
public:
  void apply(const StormLog& log) {
    for (std::size_t i = 0; i < log.steps.size(); ++i) {
      const Step& s = log.steps[i];
      if (s.kind == 'E') {
        Row& row = m_rows[s.table][s.recno];
        for (const auto& [f, v] : s.fields) row.fields[table::upperAscii(f)] = v;
      } else if (!log.finished(i) && s.recno != 0) {
        m_rows[s.table][s.recno].open = true;
      }
    }
  }

  // Empty when the tables agree; else the first disagreement.
  std::string compare(const std::string& folder) {
    for (auto& [name, rows] : m_rows) {
      std::unique_ptr<table::Table> t;
      Status s = table::Table::open(folder + "/" + name + ".dbf", false, &t);
      if (!s) return s.message();
      for (auto& [recno, row] : rows) {
        if (recno > t->recordCount())
          return name + ": record " + std::to_string(recno) + " is gone (" + std::to_string(t->recordCount()) + " records)";
        if (s = t->go(recno); !s) return s.message();
        if (row.open) {
          for (const table::FieldDef& f : t->schema().fields)
            row.fields[table::upperAscii(f.name)] = fieldText(*t, f.name);
          row.fields["*"] = fieldText(*t, "*");
          row.open = false;
          continue;
        }
        for (const auto& [field, want] : row.fields) {
          std::string got = fieldText(*t, field);
          if (got != want)
            return name + ": record " + std::to_string(recno) + " field " + field + " holds \"" + got +
                   "\", the log wrote \"" + want + "\"";
        }
      }
    }
    return "";
  }

private:
  struct Row {
    std::map<std::string, std::string> fields;  // by name in capitals: names match without regard to case
    bool open = false;
  };
  std::map<std::string, std::map<std::uint32_t, Row>> m_rows;
};

// The live rows of the standards table by tree and node, as the deletes logged leave them (a finished one
// removes the node and moves its children up or removes its subtree). Rows marked deleted may stay until a pack.
class TreeModel {
public:
  Status load(const std::string& folder) { return read(folder, &m_rows); }
  std::size_t size() const { return m_rows.size(); }

  void apply(const StormLog& log) {
    for (std::size_t i = 0; i < log.steps.size(); ++i) {
      const Step& s = log.steps[i];
      if (s.kind != 'B' || s.table != "delete" || s.fields.size() != 3) continue;
      Key node{std::stoi(s.fields[0].second), std::stoi(s.fields[1].second)};
      bool promote = s.fields[2].second == "1";
      auto it = m_rows.find(node);
      if (it == m_rows.end()) {
        ADD_FAILURE() << "step " << s.step << " deleted a node the model does not hold";
        continue;
      }
      std::vector<Key> rows = affected(node, promote);
      if (!log.finished(i)) {
        for (const Key& k : rows) m_rows[k].open = true;
        continue;
      }
      std::int32_t parent = it->second.parent;
      for (std::size_t k = 1; k < rows.size(); ++k) {
        if (promote) m_rows[rows[k]].parent = parent;
        else m_rows.erase(rows[k]);
      }
      m_rows.erase(node);
    }
  }

  // Empty when the table's live rows are the model's, with their parents and titles.
  std::string compare(const std::string& folder) {
    std::map<Key, Row> live;
    if (Status s = read(folder, &live); !s) return s.message();
    // What an unfinished delete left is the state from now on.
    std::erase_if(m_rows, [&](const auto& row) { return row.second.open && !live.count(row.first); });
    for (auto& [key, row] : m_rows)
      if (row.open) row = live.at(key);
    auto [ours, theirs] = std::mismatch(m_rows.begin(), m_rows.end(), live.begin(), live.end());
    auto text = [](auto it, const std::map<Key, Row>& rows) {
      if (it == rows.end()) return std::string("no more rows");
      return "node " + std::to_string(it->first.first) + "/" + std::to_string(it->first.second) + " under " +
             std::to_string(it->second.parent) + " titled \"" + it->second.title + "\"";
    };
    if (ours == m_rows.end() && theirs == live.end()) return "";
    return "the log leaves " + text(ours, m_rows) + ", the table holds " + text(theirs, live);
  }

private:
  using Key = std::pair<std::int32_t, std::int32_t>;
  struct Row {
    std::int32_t parent = 0;
    std::string title;
    bool open = false;
    bool operator==(const Row&) const = default;
  };

  // The node and the rows a delete of it changes: its children, or its subtree.
  std::vector<Key> affected(const Key& node, bool promote) const {
    std::vector<Key> rows{node};
    for (std::size_t i = 0; i < rows.size() && (i == 0 || !promote); ++i)
      for (const auto& [key, row] : m_rows)
        if (key.first == node.first && row.parent == rows[i].second && key != rows[i] &&
            std::find(rows.begin(), rows.end(), key) == rows.end())
          rows.push_back(key);
    return rows;
  }

  Status read(const std::string& folder, std::map<Key, Row>* live) const {
    std::unique_ptr<table::Table> t;
    Status s = table::Table::open(folder + "/standard.dbf", false, &t);
    for (std::uint32_t r = 1; s && r <= t->recordCount(); ++r) {
      if (s = t->go(r); !s || t->isDeleted()) continue;
      std::string tree = fieldText(*t, "tree_id"), node = fieldText(*t, "node_id");
      Row row{std::stoi(fieldText(*t, "parent_id")), fieldText(*t, "descript"), false};
      if (!live->emplace(Key{std::stoi(tree), std::stoi(node)}, row).second)
        s = Status::corruption("node " + tree + "/" + node + " is live twice");
    }
    return s;
  }

  std::map<Key, Row> m_rows;
};

int killCount() {
  const char* v = std::getenv("PU_PROOF_KILLS");
  return v && std::atoi(v) > 0 ? std::atoi(v) : 40;
}

class Storms : public ::testing::Test {
protected:
  // PU_WINE_WRITE_STORM names the Windows build of write_storm: the first writer is then that one
  // under Wine, which shows it the host's root as Z:.
  pid_t start(const std::string& log, std::uint32_t seed, int count, int writer, int writers, bool deletes) {
    const char* windows = writer == 1 ? std::getenv("PU_WINE_WRITE_STORM") : nullptr;
    const std::string drive = windows ? "Z:" : "";
    std::vector<std::string> args = {WRITE_STORM_PATH, drive + folder, "--log", drive + log, "--seed", std::to_string(seed),
                                     "--count", std::to_string(count), "--writer", std::to_string(writer),
                                     "--writers", std::to_string(writers), "--deletes", deletes ? "1" : "0"};
    if (windows) {
      args[0] = windows;
      args.insert(args.begin(), "/usr/bin/wine");
    }
    std::vector<char*> argv;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
  }

  // Exit code, or -signal when a signal ended it.
  static int wait(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1000;
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
  }

  // The tables sound and holding at least (*counts)[name] records, which then become what each holds. Start-up's
  // check must see the wrong tags the full check sees; a reindex repairs them, counted in *repaired (none allowed
  // without it).
  void checkTables(const std::string& when, std::map<std::string, std::uint32_t>* counts, int* repaired,
                   const std::vector<std::string>& tables = kTables) {
    for (const auto& name : tables) {
      const std::string path = folder + "/" + name + ".dbf";
      std::uint32_t count = 0;
      Status s = checkStructure(path, &count);
      ASSERT_TRUE(s) << when << ": " << s.message();
      EXPECT_GE(count, (*counts)[name]) << name << " lost records " << when;
      (*counts)[name] = count;
      Status tags = checkTags(path);
      EXPECT_EQ(CheckProductionIndex(path).has_value(), !tags.isOk()) << when << ": " << tags.message();
      if (tags) continue;
      ASSERT_TRUE(repaired != nullptr) << when << ": " << tags.message();
      ++*repaired;
      std::cout << when << ": " << tags.message() << "; reindexed\n";
      Status r = reindex(path);
      ASSERT_TRUE(r) << "reindex " << when << ": " << r.message();
      Status again = checkTags(path);
      ASSERT_TRUE(again) << "reindexed " << when << ": " << again.message();
      std::uint32_t after = 0;
      ASSERT_TRUE(checkStructure(path, &after));
      EXPECT_EQ(after, count);
    }
  }

  // The sample course database, every table sound with every tag right; *counts: their records.
  void makeCourse(const sample::SampleOptions& options, std::map<std::string, std::uint32_t>* counts) {
    ASSERT_TRUE(sample::makeSampleDatabase(folder, options));
    ASSERT_NO_FATAL_FAILURE(checkTables("in the sample", counts, nullptr));
  }

  // One writer killed `kills` times, each once its log holds 1 to maxLines lines: counted in its steps, not in
  // time, the kill lands inside its work however slowly the machine starts it. A pack may shrink the counts.
  template <class Model>
  void killRepeatedly(bool deletes, std::size_t maxLines, const std::vector<std::string>& tables, Model& model,
                      std::map<std::string, std::uint32_t>* counts) {
    // A new index beside the table without the new table: killed between the renames.
    auto halfway = [&] {
      return std::filesystem::exists(table::packedIndexPath(folder + "/standard.cdx")) &&
             !std::filesystem::exists(table::packedTablePath(folder + "/standard.dbf"));
    };
    for (int k = 0; k < kills; ++k) {
      const std::string when = "after kill " + std::to_string(k);
      const std::string path = dir.file((deletes ? "deletes" : "storm") + std::to_string(k) + ".log");
      const std::size_t lines = 1 + rng() % maxLines;
      pid_t pid = start(path, (deletes ? 5000u : 1000u) + static_cast<std::uint32_t>(k), 1000000, 1, 1, deletes);
      ASSERT_GT(pid, 0);
      for (;;) {
        std::string text = test::readWholeFile(path);
        if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
        ASSERT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "write_storm ended by itself (an error) before kill " << k;
        ::usleep(1000);
      }
      ::kill(pid, SIGKILL);
      ASSERT_EQ(wait(pid), -SIGKILL) << "write_storm ended by itself (an error) before kill " << k;
      StormLog log = readLog(path);
      tally.inside += !log.steps.empty() && log.steps.back().kind == 'B';
      for (const Step& s : log.steps) tally.finished += s.kind == 'E';
      model.apply(log);

      tally.halfPacked += halfway();
      std::map<std::string, std::uint32_t> none;
      ASSERT_NO_FATAL_FAILURE(checkTables(when, deletes ? &none : counts, &tally.repaired, tables));
      EXPECT_FALSE(halfway()) << "the open did not finish the pack killed " << when;
      ASSERT_EQ(model.compare(folder), "") << when;
    }
    std::cout << "kills: " << kills << ", inside a step: " << tally.inside << ", finished steps: " << tally.finished
              << ", indexes repaired by reindex: " << tally.repaired
              << ", packs finished by the next open: " << tally.halfPacked << "\n";
  }

  void runWriters(int writers, int steps) {
    std::map<std::string, std::uint32_t> before;
    ASSERT_NO_FATAL_FAILURE(makeCourse({}, &before));

    std::vector<pid_t> pids;
    for (int w = 1; w <= writers; ++w) {
      pids.push_back(start(dir.file("writer" + std::to_string(w) + ".log"), 77u + static_cast<std::uint32_t>(w), steps, w,
                           writers, false));
      ASSERT_GT(pids.back(), 0);
    }
    for (pid_t pid : pids) EXPECT_EQ(wait(pid), 0) << "a writer failed (its message is above)";

    Expectation expect;
    std::map<std::string, std::set<std::uint32_t>> appended;
    for (int w = 1; w <= writers; ++w) {
      StormLog log = readLog(dir.file("writer" + std::to_string(w) + ".log"));
      ASSERT_TRUE(log.done) << "writer " << w << " did not run to its end";
      expect.apply(log);
      for (std::size_t i = 1; i < log.steps.size(); ++i) {
        const Step& s = log.steps[i];
        if (s.kind != 'E' || log.steps[i - 1].recno != 0) continue;  // appends start without a record number
        EXPECT_TRUE(appended[s.table].insert(s.recno).second) << s.table << " record " << s.recno << " appended twice";
      }
    }
    EXPECT_EQ(expect.compare(folder), "");

    // Every tag right without a reindex, and exactly the appended records more.
    std::map<std::string, std::uint32_t> counts = before;
    ASSERT_NO_FATAL_FAILURE(checkTables("after the writers", &counts, nullptr));
    for (const auto& name : kTables) EXPECT_EQ(counts[name], before[name] + appended[name].size()) << name;

    // The independent readers, on the tables the writers append to.
    for (const auto& [name, field] : {std::pair{"standard", "DESCRIPT"}, {"stanques", "STANQUESID"}}) {
      EXPECT_FALSE(appended[name].empty()) << name;
      const std::string path = folder + "/" + name + ".dbf";
      EXPECT_EQ(dbfreadDisagrees(path, field), "") << name;
      std::unique_ptr<table::Table> t = test::openWithIndex(path);
      ASSERT_TRUE(t);
      test::expectXBaseListsEveryTag(test::indexOf(*t), table::indexPathFor(path));
    }
  }

  test::TempDir dir;
  const std::string folder = dir.file("course");
  const int kills = killCount();
  std::mt19937 rng{20261207};
  // What the kills met: inside a step, finished steps, indexes repaired, packs killed between their renames.
  struct {
    int inside = 0, finished = 0, repaired = 0, halfPacked = 0;
  } tally;
};

using KilledWrites = Storms;
using TwoWriters = Storms;

TEST_F(KilledWrites, EveryKillLeavesTablesThatOpenAndLoseNothing) {
  std::map<std::string, std::uint32_t> counts;
  ASSERT_NO_FATAL_FAILURE(makeCourse({}, &counts));
  const auto before = counts;
  Expectation expect;
  // Each step logs a line as it begins and one as it ends.
  ASSERT_NO_FATAL_FAILURE(killRepeatedly(false, 120, kTables, expect, &counts));
  // The kills must have met real work, not only start-up.
  EXPECT_GT(tally.finished, kills);
  EXPECT_GT(counts["standard"] + counts["stanques"], before.at("standard") + before.at("stanques"));
}

// Deletes of categories as the family tree control makes them, each ending in a pack.
TEST_F(KilledWrites, DeletesWithPackLoseNoLiveRow) {
  std::map<std::string, std::uint32_t> counts;
  ASSERT_NO_FATAL_FAILURE(makeCourse({.extraNodes = 1500}, &counts));
  TreeModel model;
  ASSERT_TRUE(model.load(folder));
  const std::size_t before = model.size();
  rng.seed(20261208);
  // An odd count of lines ends with a delete begun: the kill meets it.
  ASSERT_NO_FATAL_FAILURE(killRepeatedly(true, 12, {"standard"}, model, &counts));
  EXPECT_GT(tally.inside, kills / 4);
  EXPECT_GT(tally.finished, kills / 4);
  EXPECT_LT(model.size(), before);
  EXPECT_EQ(dbfreadDisagrees(folder + "/standard.dbf", "NODE_ID"), "");  // an independent reader sees the same records
}

TEST_F(TwoWriters, TwoProgramsLoseNothingAndKeepEveryTagRight) { runWriters(2, 8000); }

TEST_F(TwoWriters, ThreeProgramsLoseNothingAndKeepEveryTagRight) { runWriters(3, 5000); }

} // namespace
} // namespace pu::proof
