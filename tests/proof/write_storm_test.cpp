// write_storm programs on one course database. Killed with SIGKILL at random
// points of their work, again and again: after every kill the tables open
// and their structure is sound, no record count shrinks, every write the log
// says finished is there, and every tag is either right or made right by a
// reindex that loses no record; start-up's index check reports every wrong
// tag. The same for deletes of categories that end in a pack. Two and three
// of them at once, changing and appending to the same tables and locking as
// the table library does: no append and no change is lost, no two appends
// share a record number, every tag is right, and python dbfread and Perl
// XBase::Index read the result as we do.
// PU_PROOF_KILLS sets the number of kills (40 by default).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include "db/course_index_check.h"
#include "platform/fs/file_system.h"
#include "platform/table/ascii_case.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "tests/proof/proof_support.h"
#include "tools/sample/sample_database.h"
#include "tests/support/temp_dir.h"

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

// A field as the logs write it: numbers as integers, texts trimmed, "*" the
// deleted flag as 1 or 0.
Status fieldText(table::Table& t, const std::string& field, std::string* text) {
  if (field == "*") {
    *text = t.isDeleted() ? "1" : "0";
    return Status::ok();
  }
  const table::FieldDef* f = t.schema().find(field);
  if (!f) return Status::notFound("no field " + field + " in " + t.path());
  table::Value v = t.value(*f);
  if (v.kind == table::Value::Kind::Number) *text = std::to_string(static_cast<long long>(std::llround(v.number)));
  else *text = table::valueText(v);
  return Status::ok();
}

// The values the logs fix. A finished step fixes the fields it lists; a
// started step that never finished may have written some of them or none,
// so its row takes whatever values the table then holds.
class Expectation {
public:
  // Steps of one writer run one after another: only the last can be unfinished.
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
          // Whatever the unfinished step left is the value from now on.
          for (const table::FieldDef& f : t->schema().fields)
            if (s = fieldText(*t, f.name, &row.fields[table::upperAscii(f.name)]); !s) return s.message();
          if (s = fieldText(*t, "*", &row.fields["*"]); !s) return s.message();
          row.open = false;
          continue;
        }
        for (const auto& [field, want] : row.fields) {
          std::string got;
          if (s = fieldText(*t, field, &got); !s) return s.message();
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

// The live rows of the standards table by tree and node, and what the logs
// of a deleting storm say must have become of them: a finished delete
// removes the node and moves its children up (or removes its subtree); the
// rows an unfinished delete may have changed take the table's state. Only
// the live rows count: rows marked deleted may stay until a pack runs.
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
        if (m_error.empty()) m_error = "step " + std::to_string(s.step) + " deleted a node the model does not hold";
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
    if (!m_error.empty()) return m_error;
    std::map<Key, Row> live;
    if (Status s = read(folder, &live); !s) return s.message();
    auto name = [](const Key& k) { return "node " + std::to_string(k.first) + "/" + std::to_string(k.second); };
    for (auto it = m_rows.begin(); it != m_rows.end();) {
      auto found = live.find(it->first);
      if (it->second.open) {
        // What the unfinished delete left is the state from now on.
        if (found == live.end()) {
          it = m_rows.erase(it);
          continue;
        }
        it->second = found->second;
      }
      if (found == live.end()) return name(it->first) + " is lost";
      if (found->second.parent != it->second.parent || found->second.title != it->second.title)
        return name(it->first) + " has parent " + std::to_string(found->second.parent) + " and title \"" +
               found->second.title + "\", the log wants " + std::to_string(it->second.parent) + " and \"" +
               it->second.title + "\"";
      ++it;
    }
    for (const auto& [key, row] : live)
      if (!m_rows.count(key)) return name(key) + " is live again after its delete finished";
    return "";
  }

private:
  using Key = std::pair<std::int32_t, std::int32_t>;
  struct Row {
    std::int32_t parent = 0;
    std::string title;
    bool open = false;
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
    live->clear();
    std::unique_ptr<table::Table> t;
    Status s = table::Table::open(folder + "/standard.dbf", false, &t);
    for (std::uint32_t r = 1; s && r <= t->recordCount(); ++r) {
      if (s = t->go(r); !s || t->isDeleted()) continue;
      std::string tree, node, parent, title;
      s = fieldText(*t, "tree_id", &tree);
      if (s) s = fieldText(*t, "node_id", &node);
      if (s) s = fieldText(*t, "parent_id", &parent);
      if (s) s = fieldText(*t, "descript", &title);
      if (s && !live->emplace(Key{std::stoi(tree), std::stoi(node)}, Row{std::stoi(parent), title, false}).second)
        s = Status::corruption("node " + tree + "/" + node + " is live twice");
    }
    return s;
  }

  std::map<Key, Row> m_rows;
  std::string m_error;
};

int killCount() {
  const char* v = std::getenv("PU_PROOF_KILLS");
  int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 40;
}

class Storms : public ::testing::Test {
protected:
  // Writer `writer` of `writers` on the course database, logging to log.
  // PU_WINE_WRITE_STORM names the Windows build of write_storm: the first
  // writer is then that one under Wine, which shows it the host's root as Z:.
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
    pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (auto& s : args) argv.push_back(s.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }

  // Exit code, or -signal when a signal ended it.
  static int wait(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1000;
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
  }

  // The tables sound and holding at least (*counts)[name] records, which
  // then become what each holds. A wrong tag is reported (start-up's check
  // catches exactly what the full check catches), then repaired: the rebuilt
  // index must be right and the table keep its records. *repaired counts the
  // indexes repaired.
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
      std::optional<IndexProblem> startUp = CheckProductionIndex(path);
      EXPECT_EQ(startUp.has_value(), !tags.isOk()) << when << ": " << tags.message();
      if (tags) continue;
      ++*repaired;
      if (startUp) std::cout << when << ": start-up shows \"" << startUp->what << "\"\n";
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
    int repaired = 0;
    ASSERT_NO_FATAL_FAILURE(checkTables("in the sample", counts, &repaired));
    ASSERT_EQ(repaired, 0);
  }

  // What the kills of a run met: kills inside a step, finished steps, indexes
  // repaired, packs killed between their renames.
  struct Tally {
    int inside = 0, finished = 0, repaired = 0, halfPacked = 0;
  };

  // The storm of one writer (deletes or changes) killed `kills` times on the
  // same tables, each time once its log holds a number of lines from 1 to
  // maxLines. Counted in the storm's own steps, not in time, the kill lands
  // inside its work however slowly the machine lets it start. After each
  // kill the tables are checked (*counts as in checkTables, none when a pack
  // may leave fewer records), a pack killed between its renames is finished
  // by the open, and model, given the log, agrees with the tables.
  template <class Model>
  void killRepeatedly(bool deletes, std::size_t maxLines, const std::vector<std::string>& tables, Model& model,
                      std::map<std::string, std::uint32_t>* counts, Tally* tally) {
    // A new index beside the table without the new table: killed between the renames.
    auto halfway = [&] {
      FileSystem& fs = FileSystem::instance();
      return fs.modifiedTime(table::packedIndexPath(folder + "/standard.cdx")).has_value() &&
             !fs.modifiedTime(table::packedTablePath(folder + "/standard.dbf")).has_value();
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
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "write_storm ended by itself (an error) before kill " << k;
        FileSystem::instance().sleepMilliseconds(1);
      }
      ::kill(pid, SIGKILL);
      ASSERT_EQ(wait(pid), -SIGKILL) << "write_storm ended by itself (an error) before kill " << k;
      StormLog log = readLog(path);
      tally->inside += !log.steps.empty() && log.steps.back().kind == 'B';
      for (const Step& s : log.steps) tally->finished += s.kind == 'E';
      model.apply(log);

      tally->halfPacked += halfway();
      std::map<std::string, std::uint32_t> none;
      ASSERT_NO_FATAL_FAILURE(checkTables(when, deletes ? &none : counts, &tally->repaired, tables));
      EXPECT_FALSE(halfway()) << "the open did not finish the pack killed " << when;
      ASSERT_EQ(model.compare(folder), "") << when;
    }
    std::cout << "kills: " << kills << ", inside a step: " << tally->inside << ", finished steps: " << tally->finished
              << ", indexes repaired by reindex: " << tally->repaired
              << ", packs finished by the next open: " << tally->halfPacked << "\n";
  }

  test::TempDir dir;
  const std::string folder = dir.file("course");
  const int kills = killCount();
  std::mt19937 rng{20261207};
};

using KilledWrites = Storms;

TEST_F(KilledWrites, EveryKillLeavesTablesThatOpenAndLoseNothing) {
  std::map<std::string, std::uint32_t> counts;
  ASSERT_NO_FATAL_FAILURE(makeCourse({}, &counts));
  const auto before = counts;
  Expectation expect;
  Tally tally;
  // Each step logs a line as it begins and one as it ends.
  ASSERT_NO_FATAL_FAILURE(killRepeatedly(false, 120, kTables, expect, &counts, &tally));
  for (const auto& name : kTables) std::cout << name << ": " << before.at(name) << " -> " << counts[name] << " records\n";
  // The kills must have met real work, not only start-up.
  EXPECT_GT(tally.finished, kills);
  EXPECT_GT(counts["standard"] + counts["stanques"], before.at("standard") + before.at("stanques"));
}

// The same for deletes of categories as the family tree control makes them,
// each ending in a pack: after every kill the live rows are exactly those
// the logs leave (rows marked deleted may wait for the next pack), every
// tag is right or made right by a reindex, and a pack killed between its
// renames is finished by the next open.
TEST_F(KilledWrites, DeletesWithPackLoseNoLiveRow) {
  std::map<std::string, std::uint32_t> counts;
  ASSERT_NO_FATAL_FAILURE(makeCourse({.extraNodes = 1500}, &counts));
  TreeModel model;
  ASSERT_TRUE(model.load(folder));
  const std::size_t before = model.size();
  rng.seed(20261208);
  Tally tally;
  // An odd count of lines ends with a delete begun: the kill meets it.
  ASSERT_NO_FATAL_FAILURE(killRepeatedly(true, 12, {"standard"}, model, &counts, &tally));
  std::cout << "live rows: " << before << " -> " << model.size() << "\n";
  // The kills must have met deletes, not only start-up.
  EXPECT_GT(tally.inside, kills / 4);
  EXPECT_GT(tally.finished, kills / 4);
  EXPECT_LT(model.size(), before);
  EXPECT_EQ(dbfreadDisagrees(folder + "/standard.dbf", "NODE_ID"), "");  // an independent reader sees the same records
}

class TwoWriters : public Storms {
protected:
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
    EXPECT_FALSE(appended["standard"].empty());
    EXPECT_FALSE(appended["stanques"].empty());
    EXPECT_EQ(expect.compare(folder), "");

    // Every tag right without a reindex, and exactly the appended records more.
    std::map<std::string, std::uint32_t> counts = before;
    int repaired = 0;
    ASSERT_NO_FATAL_FAILURE(checkTables("after the writers", &counts, &repaired));
    EXPECT_EQ(repaired, 0);
    for (const auto& name : kTables) EXPECT_EQ(counts[name], before[name] + appended[name].size()) << name;

    // The independent readers; XBase::Index names tags as stored, in capitals.
    const std::map<std::string, std::pair<const char*, std::vector<const char*>>> read = {
        {"standard", {"DESCRIPT", {"STANDARDID", "TREEPRNTID", "NODE_ID", "TREE_ID"}}},
        {"stanques", {"STANQUESID", {"STANQUESID", "STANDARDID", "QUEST_ID", "TREEQUESID"}}}};
    for (const auto& [name, what] : read) {
      const std::string path = folder + "/" + name + ".dbf";
      std::size_t records = 0;
      EXPECT_EQ(dbfreadDisagrees(path, what.first, &records), "") << name;
      EXPECT_EQ(records, before[name] + appended[name].size()) << name;
      for (const char* tag : what.second) EXPECT_EQ(xbaseDisagrees(path, tag), "") << name << " tag " << tag;
    }
  }
};

TEST_F(TwoWriters, TwoProgramsLoseNothingAndKeepEveryTagRight) { runWriters(2, 8000); }

TEST_F(TwoWriters, ThreeProgramsLoseNothingAndKeepEveryTagRight) { runWriters(3, 5000); }

} // namespace
} // namespace pu::proof
