// A long series of writes to a course database, made as the program makes
// them through the table library calls: every record is locked before it is
// changed, appends take the table's header lock. Used to prove that killed
// writes and several writers at once leave tables that open and indexes
// that are right (or repaired by a reindex).
//
//   write_storm FOLDER --log FILE [--seed S] [--count N] [--writer W --writers K] [--pause-ms P] [--deletes 1]
//
// Each step writes "B<TAB>step<TAB>table<TAB>recno" to the log before its
// write and "E<TAB>step<TAB>table<TAB>recno<TAB>field<TAB>value..." after it,
// so whoever kills us knows which writes finished. "*" stands for the
// deleted flag. Writer W of K changes only the rows it owns (node_id or
// stanquesid equal to W - 1 modulo K), so every row has one writer whose log
// tells its final values.
//
// With --deletes 1 every step deletes a category the way the family tree
// control does (DeleteClassification: children promoted, or the subtree
// deleted with it, then the table packed). Its lines name the node instead
// of a record: "B/E<TAB>step<TAB>delete<TAB>0<TAB>tree<TAB>T<TAB>node<TAB>N<TAB>promote<TAB>0|1".
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/family_tree_edits.h"
#include "platform/fs/file_system.h"
#include "util/path_globals.h"

namespace {

using pu::fromUtf8;

struct Options {
  std::string folder, log;
  std::uint32_t seed = 1;
  int count = 1000;
  int writer = 1, writers = 1;
  int pauseMs = 0;
  bool deletes = false;
};

bool parse(int argc, char** argv, Options* o) {
  if (argc < 2) return false;
  o->folder = argv[1];
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    const char* v = argv[i + 1];
    if (name == "--log") o->log = v;
    else if (name == "--seed") o->seed = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
    else if (name == "--count") o->count = std::atoi(v);
    else if (name == "--writer") o->writer = std::atoi(v);
    else if (name == "--writers") o->writers = std::atoi(v);
    else if (name == "--pause-ms") o->pauseMs = std::atoi(v);
    else if (name == "--deletes") o->deletes = std::atoi(v) != 0;
    else return false;
  }
  return !o->log.empty() && o->writers >= 1 && o->writer >= 1 && o->writer <= o->writers && o->count >= 0;
}

// The log, written at its end with plain writes: a kill after a write leaves
// the line in the file.
class Log {
public:
  bool open(const std::string& path) { return pu::FileSystem::instance().createFile(path, &m_file).isOk(); }
  bool line(const std::string& text) {
    std::string l = text + "\n";
    if (!m_file->writeAt(m_at, l.data(), l.size())) return false;
    m_at += l.size();
    return true;
  }

private:
  std::unique_ptr<pu::File> m_file;
  std::uint64_t m_at = 0;
};

struct OpenTbl {
  std::string name;
  std::int32_t handle = 0;
  std::int32_t field(const char* n) const { return pu::d4field(handle, n); }
};

class Storm {
public:
  Storm(const Options& o) : m_o(o), m_rng(o.seed * 2654435761u + static_cast<std::uint32_t>(o.writer)) {}

  int run() {
    if (!m_log.open(m_o.log)) {
      std::cerr << "write_storm: cannot create log " << m_o.log << "\n";
      return 2;
    }
    pu::InitCodeBase();
    if (m_o.deletes) return runDeletes();
    m_standard = {"standard", pu::OpenDbf(fromUtf8(m_o.folder + "/standard.dbf"), 0)};
    m_links = {"stanques", pu::OpenDbf(fromUtf8(m_o.folder + "/stanques.dbf"), 0)};
    std::int32_t quests = pu::OpenDbf(fromUtf8(m_o.folder + "/quests.dbf"), 0);
    m_questCount = pu::d4recCountDo(quests);
    for (int step = 1; step <= m_o.count; ++step) {
      if (!this->step(step)) return 1;
      if (m_o.pauseMs > 0) pu::FileSystem::instance().sleepMilliseconds(m_o.pauseMs);
    }
    m_log.line("done");
    return 0;
  }

private:
  // The table through the registry, as the program opens it, so that the
  // pack replaces the one open table.
  int runDeletes() {
    pu::SetDatabaseFolder(fromUtf8(m_o.folder));
    m_standard = {"standard", pu::OpenTable(u"standard").table};
    for (int step = 1; step <= m_o.count; ++step)
      if (!deleteCategory(step)) return 1;
    m_log.line("done");
    return 0;
  }

  bool deleteCategory(int step) {
    std::int32_t count = pu::d4recCountDo(m_standard.handle);
    pu::d4tagSelect(m_standard.handle, 0);
    for (int attempt = 0; attempt < 40 && count > 0; ++attempt) {
      if (pu::d4go(m_standard.handle, 1 + static_cast<std::int32_t>(random(static_cast<std::uint32_t>(count)))) != 0)
        return failed("go", 0);
      std::int32_t tree = pu::f4long(m_standard.field("tree_id"));
      std::int32_t node = pu::f4long(m_standard.field("node_id"));
      std::int32_t parent = pu::f4long(m_standard.field("parent_id"));
      if (pu::d4deleted(m_standard.handle) != 0 || parent == 0 || parent == node) continue;
      bool promote = random(4) != 0;
      std::string what = "\tdelete\t0\ttree\t" + std::to_string(tree) + "\tnode\t" + std::to_string(node) +
                         "\tpromote\t" + (promote ? "1" : "0");
      if (!m_log.line("B\t" + std::to_string(step) + what)) return false;
      if (pu::DeleteClassification(static_cast<std::int16_t>(tree), node, 2, promote).result != pu::WriteResult::Written)
        return failed("delete", node);
      return m_log.line("E\t" + std::to_string(step) + what);
    }
    return true;
  }

  std::uint32_t random(std::uint32_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(m_rng() % n); }

  bool failed(const std::string& what, std::int64_t code) {
    std::cerr << "write_storm " << m_o.writer << ": " << what << " failed with " << code << "\n";
    return false;
  }

  bool owns(std::int64_t id) const { return id % m_o.writers == m_o.writer - 1; }

  // An owned row of the table (deleted or not), 0 when none turned up.
  std::int32_t pickOwned(const OpenTbl& t, const char* idField) {
    std::int32_t count = pu::d4recCountDo(t.handle);
    std::int32_t id = t.field(idField);
    for (int attempt = 0; attempt < 40 && count > 0; ++attempt) {
      std::int32_t r = 1 + static_cast<std::int32_t>(random(static_cast<std::uint32_t>(count)));
      if (pu::d4go(t.handle, r) != 0) return 0;
      if (owns(pu::f4long(id))) return r;
    }
    return 0;
  }

  // A new id this writer owns; ids of appended rows start at 1000000.
  std::int32_t newId() {
    std::int32_t base = 1000000 + static_cast<std::int32_t>(random(8000000));
    return base - base % m_o.writers + (m_o.writer - 1);
  }

  bool begin(int step, const OpenTbl& t, std::int32_t recno) {
    return m_log.line("B\t" + std::to_string(step) + "\t" + t.name + "\t" + std::to_string(recno));
  }
  bool end(int step, const OpenTbl& t, std::int32_t recno, const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string l = "E\t" + std::to_string(step) + "\t" + t.name + "\t" + std::to_string(recno);
    for (const auto& [f, v] : fields) l += "\t" + f + "\t" + v;
    return m_log.line(l);
  }

  bool lock(const OpenTbl& t) {
    std::int16_t r = pu::LockRecord(t.handle);
    return r == 0 || failed("lock of " + t.name, r);
  }
  bool unlock(const OpenTbl& t) {
    std::int16_t r = pu::d4unlock(t.handle);
    return r == 0 || failed("write of " + t.name, r);
  }
  bool setLong(const OpenTbl& t, const char* f, std::int32_t v) {
    std::int16_t r = pu::f4assignLong(t.field(f), v);
    return r == 0 || failed(std::string("assignment of ") + f, r);
  }
  bool setText(const OpenTbl& t, const char* f, const std::string& v) {
    std::int16_t r = pu::f4assignNVB(t.field(f), v.c_str(), static_cast<std::int16_t>(v.size()));
    return r == 0 || failed(std::string("assignment of ") + f, r);
  }

  std::string title(int step) {
    static const char* words[] = {"Fractions", "Decimals", "Geometry", "Measures", "Algebra", "Data", "Ratios"};
    return "W" + std::to_string(m_o.writer) + " T" + std::to_string(m_o.seed) + "." + std::to_string(step) + " " +
           words[random(7)] + " " + words[random(7)];
  }

  bool step(int step) {
    std::uint32_t op = random(100);
    if (op < 30) return move(step);
    if (op < 50) return retitle(step);
    if (op < 65) return appendStandard(step);
    if (op < 80) return appendLink(step);
    if (op < 92) return relink(step);
    return remove(step);
  }

  // New "Order" and often a new parent: keys move in "treeprntid".
  bool move(int step) {
    std::int32_t count = pu::d4recCountDo(m_standard.handle);
    std::int32_t other = 1 + static_cast<std::int32_t>(random(static_cast<std::uint32_t>(count)));
    if (pu::d4go(m_standard.handle, other) != 0) return failed("go", other);
    std::int32_t otherTree = pu::f4long(m_standard.field("tree_id"));
    std::int32_t otherNode = pu::f4long(m_standard.field("node_id"));
    std::int32_t r = pickOwned(m_standard, "node_id");
    if (r == 0) return true;
    if (!begin(step, m_standard, r) || !lock(m_standard)) return false;
    std::vector<std::pair<std::string, std::string>> done;
    std::int32_t order = 1 + static_cast<std::int32_t>(random(999));
    if (!setLong(m_standard, "Order", order)) return false;
    done.emplace_back("Order", std::to_string(order));
    if (otherTree == pu::f4long(m_standard.field("tree_id")) && otherNode != pu::f4long(m_standard.field("node_id")) &&
        pu::f4long(m_standard.field("parent_id")) != 0) {
      if (!setLong(m_standard, "parent_id", otherNode)) return false;
      done.emplace_back("parent_id", std::to_string(otherNode));
    }
    return unlock(m_standard) && end(step, m_standard, r, done);
  }

  bool retitle(int step) {
    std::int32_t r = pickOwned(m_standard, "node_id");
    if (r == 0) return true;
    std::string t = title(step);
    if (!begin(step, m_standard, r) || !lock(m_standard) || !setText(m_standard, "descript", t)) return false;
    return unlock(m_standard) && end(step, m_standard, r, {{"descript", t}});
  }

  bool appendStandard(int step) {
    std::int32_t count = pu::d4recCountDo(m_standard.handle);
    if (pu::d4go(m_standard.handle, 1 + static_cast<std::int32_t>(random(static_cast<std::uint32_t>(count)))) != 0)
      return failed("go", 0);
    std::int32_t tree = pu::f4long(m_standard.field("tree_id"));
    std::int32_t parent = pu::f4long(m_standard.field("node_id"));
    std::int32_t node = newId();
    std::int32_t order = 1 + static_cast<std::int32_t>(random(999));
    std::string t = "W" + std::to_string(m_o.writer) + " A" + std::to_string(m_o.seed) + "." + std::to_string(step);
    if (!begin(step, m_standard, 0)) return false;
    pu::AppendBlank(m_standard.handle);
    if (pu::LastResult != 0) return failed("append start", pu::LastResult);
    if (!setLong(m_standard, "tree_id", tree) || !setLong(m_standard, "node_id", node) ||
        !setLong(m_standard, "parent_id", parent) || !setLong(m_standard, "Order", order) ||
        !setText(m_standard, "descript", t))
      return false;
    if (std::int16_t r = pu::AppendRecord(m_standard.handle); r != pu::kResultSuccess) return failed("append of a standard", r);
    return end(step, m_standard, pu::d4recNo(m_standard.handle),
               {{"tree_id", std::to_string(tree)}, {"node_id", std::to_string(node)}, {"parent_id", std::to_string(parent)},
                {"Order", std::to_string(order)}, {"descript", t}, {"*", "0"}});
  }

  bool appendLink(int step) {
    std::int32_t count = pu::d4recCountDo(m_standard.handle);
    if (pu::d4go(m_standard.handle, 1 + static_cast<std::int32_t>(random(static_cast<std::uint32_t>(count)))) != 0)
      return failed("go", 0);
    std::int32_t tree = pu::f4long(m_standard.field("tree_id"));
    std::int32_t node = pu::f4long(m_standard.field("node_id"));
    std::int32_t quest = 1 + static_cast<std::int32_t>(random(static_cast<std::uint32_t>(std::max(1, m_questCount))));
    std::int32_t id = newId();
    if (!begin(step, m_links, 0)) return false;
    pu::AppendBlank(m_links.handle);
    if (pu::LastResult != 0) return failed("append start", pu::LastResult);
    if (!setLong(m_links, "stanquesid", id) || !setLong(m_links, "tree_id", tree) || !setLong(m_links, "node_id", node) ||
        !setLong(m_links, "quest_id", quest))
      return false;
    if (std::int16_t r = pu::AppendRecord(m_links.handle); r != pu::kResultSuccess) return failed("append of a link", r);
    return end(step, m_links, pu::d4recNo(m_links.handle),
               {{"stanquesid", std::to_string(id)}, {"tree_id", std::to_string(tree)}, {"node_id", std::to_string(node)},
                {"quest_id", std::to_string(quest)}, {"*", "0"}});
  }

  // A link moved to another node: its key moves in "StandardID".
  bool relink(int step) {
    std::int32_t count = pu::d4recCountDo(m_standard.handle);
    if (pu::d4go(m_standard.handle, 1 + static_cast<std::int32_t>(random(static_cast<std::uint32_t>(count)))) != 0)
      return failed("go", 0);
    std::int32_t node = pu::f4long(m_standard.field("node_id"));
    std::int32_t r = pickOwned(m_links, "stanquesid");
    if (r == 0) return true;
    if (!begin(step, m_links, r) || !lock(m_links) || !setLong(m_links, "node_id", node)) return false;
    return unlock(m_links) && end(step, m_links, r, {{"node_id", std::to_string(node)}});
  }

  bool remove(int step) {
    const OpenTbl& t = random(2) ? m_links : m_standard;
    std::int32_t r = pickOwned(t, &t == &m_links ? "stanquesid" : "node_id");
    if (r == 0) return true;
    if (!begin(step, t, r) || !lock(t)) return false;
    (void)pu::code4errorCode(pu::CodeBaseHandle, 0);  // an earlier, retried refusal may still be pending
    pu::d4delete(t.handle);
    if (std::int16_t code = pu::code4errorCode(pu::CodeBaseHandle, 0); code != 0) return failed("delete", code);
    return unlock(t) && end(step, t, r, {{"*", "1"}});
  }

  Options m_o;
  std::mt19937 m_rng;
  Log m_log;
  OpenTbl m_standard, m_links;
  std::int32_t m_questCount = 0;
};

} // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) {
    std::cerr << "usage: write_storm FOLDER --log FILE [--seed S] [--count N] [--writer W --writers K] [--pause-ms P]"
                 " [--deletes 1]\n";
    return 2;
  }
  return Storm(o).run();
}
