#include "tests/proof/proof_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "platform/fs/file_system.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/temp_dir.h"

namespace pu::proof {
namespace {

std::string dbfPathOf(const std::string& folder, const std::string& table) { return folder + "/" + table + ".dbf"; }

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

std::string quote(const std::string& s) { return "'" + s + "'"; }

// Field names are matched without regard to case, as the tables do.
std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

StormLog readLog(const std::string& path) {
  StormLog log;
  std::string text = test::readWholeFile(path);
  text.erase(text.find_last_of('\n') + 1);  // a line cut short by the kill
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

// PU_WINE_WRITE_STORM names the Windows build of write_storm: the first
// writer is then that one under Wine, which shows it the host's root as Z:.
pid_t startStorm(const StormArgs& a) {
  const char* windows = a.writer == 1 ? std::getenv("PU_WINE_WRITE_STORM") : nullptr;
  const std::string drive = windows ? "Z:" : "";
  std::vector<std::string> args = {WRITE_STORM_PATH, drive + a.folder, "--log", drive + a.log, "--seed", std::to_string(a.seed),
                                   "--count", std::to_string(a.count), "--writer", std::to_string(a.writer),
                                   "--writers", std::to_string(a.writers), "--deletes", a.deletes ? "1" : "0"};
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

int waitStorm(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1000;
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
}

Status checkStructure(const std::string& dbfPath, std::uint32_t* count) {
  std::unique_ptr<table::Table> t;
  Status s = table::Table::open(dbfPath, false, &t);
  if (!s) return s;
  if (t->headerRecordCount() > t->recordCount())
    return Status::corruption(dbfPath + ": header counts " + std::to_string(t->headerRecordCount()) +
                              " records, the file holds " + std::to_string(t->recordCount()));
  for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
    if (s = t->go(r); !s) return s;
    char flag = t->current()[0];
    if (flag != ' ' && flag != '*') return Status::corruption(dbfPath + ": record " + std::to_string(r) + " has a bad deleted flag");
    for (const table::FieldDef& f : t->schema().fields) {
      if (f.type != 'M') continue;
      std::string memo;
      if (s = t->memoText(f, &memo); !s) return s;
    }
  }
  *count = t->recordCount();
  return Status::ok();
}

// The table with its production index, as a reader or a writer opens them.
static Status openIndexed(const std::string& dbfPath, bool writable, std::unique_ptr<table::Table>* t,
                          std::unique_ptr<table::CompoundIndex>* index) {
  Status s = table::Table::open(dbfPath, writable, t);
  table::CdxOpenOptions options;
  options.writable = writable;
  return s ? table::CompoundIndex::open(table::indexPathFor((*t)->path()), **t, index, options) : s;
}

Status checkTags(const std::string& dbfPath) {
  std::unique_ptr<table::Table> t;
  std::unique_ptr<table::CompoundIndex> index;
  Status s = openIndexed(dbfPath, false, &t, &index);
  return s ? index->check() : s;
}

Status reindex(const std::string& dbfPath) {
  std::unique_ptr<table::Table> t;
  std::unique_ptr<table::CompoundIndex> index;
  Status s = openIndexed(dbfPath, true, &t, &index);
  return s ? index->reindex() : s;
}

void Expectation::apply(const StormLog& log) {
  // Steps of one writer run one after another: only the last can be unfinished.
  for (std::size_t i = 0; i < log.steps.size(); ++i) {
    const Step& s = log.steps[i];
    if (s.kind == 'E') {
      Row& row = m_rows[s.table][s.recno];
      for (const auto& [f, v] : s.fields) row.fields[upper(f)] = v;
    } else if (!log.finished(i) && s.recno != 0) {
      m_rows[s.table][s.recno].open = true;
    }
  }
}

std::string Expectation::compare(const std::string& folder) {
  for (auto& [name, rows] : m_rows) {
    std::unique_ptr<table::Table> t;
    Status s = table::Table::open(dbfPathOf(folder, name), false, &t);
    if (!s) return s.message();
    for (auto& [recno, row] : rows) {
      if (recno > t->recordCount())
        return name + ": record " + std::to_string(recno) + " is gone (" + std::to_string(t->recordCount()) + " records)";
      if (s = t->go(recno); !s) return s.message();
      if (row.open) {
        // Whatever the unfinished step left is the value from now on.
        for (const table::FieldDef& f : t->schema().fields)
          if (s = fieldText(*t, f.name, &row.fields[upper(f.name)]); !s) return s.message();
        if (s = fieldText(*t, "*", &row.fields["*"]); !s) return s.message();
        row.open = false;
        continue;
      }
      for (const auto& [field, want] : row.fields) {
        std::string got;
        if (s = fieldText(*t, field, &got); !s) return s.message();
        if (got != want)
          return name + ": record " + std::to_string(recno) + " field " + field + " holds \"" + got + "\", the log wrote \"" +
                 want + "\"";
      }
    }
  }
  return "";
}

Status TreeModel::read(const std::string& folder, std::map<Key, Row>* live) const {
  live->clear();
  std::unique_ptr<table::Table> t;
  Status s = table::Table::open(dbfPathOf(folder, "standard"), false, &t);
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

Status TreeModel::load(const std::string& folder) { return read(folder, &m_rows); }

// The node and the rows a delete of it changes: its children, or its subtree.
std::vector<TreeModel::Key> TreeModel::affected(const Key& node, bool promote) const {
  std::vector<Key> rows{node};
  for (std::size_t i = 0; i < rows.size() && (i == 0 || !promote); ++i)
    for (const auto& [key, row] : m_rows)
      if (key.first == node.first && row.parent == rows[i].second && key != rows[i] &&
          std::find(rows.begin(), rows.end(), key) == rows.end())
        rows.push_back(key);
  return rows;
}

void TreeModel::apply(const StormLog& log, int* finished) {
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
    ++*finished;
    std::int32_t parent = it->second.parent;
    for (std::size_t k = 1; k < rows.size(); ++k) {
      if (promote) m_rows[rows[k]].parent = parent;
      else m_rows.erase(rows[k]);
    }
    m_rows.erase(node);
  }
}

std::string TreeModel::compare(const std::string& folder) {
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

std::string xbaseDisagrees(const std::string& dbfPath, const std::string& tagName) {
  std::unique_ptr<table::Table> t;
  std::unique_ptr<table::CompoundIndex> index;
  Status s = openIndexed(dbfPath, false, &t, &index);
  if (!s) return s.message();
  int tag = index->findTag(tagName);
  if (tag < 0) return "no tag " + tagName;
  std::string ours = test::tagListing(*index, tag);
  std::string theirs = test::xbaseTagListing(table::indexPathFor(dbfPath), tagName);
  if (ours.empty()) return "our walk lists nothing";
  if (theirs == ours) return "";
  auto at = static_cast<std::size_t>(std::mismatch(theirs.begin(), theirs.end(), ours.begin(), ours.end()).first - theirs.begin());
  std::size_t from = at < 60 ? 0 : at - 60;
  return "XBase::Index lists \"" + theirs.substr(from, 120) + "\", we list \"" + ours.substr(from, 120) + "\"";
}

std::string dbfreadDisagrees(const std::string& dbfPath, const std::string& field, std::size_t* records) {
  static const char* script = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], load=True, raw=True)
rows = list(t.records) + list(t.deleted)
print(len(rows))
for r in rows: print(r[sys.argv[2]].rstrip(b' ').hex())
)";
  int status = 0;
  std::istringstream out(test::runPython(script, quote(dbfPath) + " " + field, &status));
  if (status != 0) return "dbfread failed: " + out.str();
  std::string line;
  std::getline(out, line);
  if (records) *records = std::stoul(line);
  std::vector<std::string> theirs, ours;
  while (std::getline(out, line)) theirs.push_back(line);
  // The stored bytes of the field, trailing blanks removed, through our reader.
  std::unique_ptr<table::Table> t;
  Status s = table::Table::open(dbfPath, false, &t);
  const table::FieldDef* f = s ? t->schema().find(field) : nullptr;
  if (s && !f) s = Status::notFound("no field " + field);
  for (std::uint32_t r = 1; s && r <= t->recordCount(); ++r) {
    if (s = t->go(r); !s) break;
    std::string_view raw = t->current().substr(f->offset, f->length);
    while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
    ours.push_back(table::hexOf(raw));
  }
  if (!s) return s.message();
  // dbfread lists live records before deleted ones.
  std::sort(theirs.begin(), theirs.end());
  std::sort(ours.begin(), ours.end());
  if (theirs.size() != ours.size())
    return "dbfread reads " + std::to_string(theirs.size()) + " records, we read " + std::to_string(ours.size());
  auto differ = std::mismatch(ours.begin(), ours.end(), theirs.begin());
  return differ.first == ours.end() ? "" : "we read " + *differ.first + ", dbfread " + *differ.second;
}

void makeCourse(const std::string& folder, const sample::SampleOptions& options, std::map<std::string, std::uint32_t>* counts) {
  ASSERT_TRUE(sample::makeSampleDatabase(folder, options));
  for (const auto& name : kTables) ASSERT_TRUE(!counts || checkStructure(dbfPathOf(folder, name), &(*counts)[name]));
}

} // namespace pu::proof
