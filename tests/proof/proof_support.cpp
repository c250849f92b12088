#include "tests/proof/proof_support.h"

#include <algorithm>
#include <memory>
#include <sstream>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "tests/platform/table/independent_reader.h"

namespace pu::proof {

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

std::string dbfreadDisagrees(const std::string& dbfPath, const std::string& field) {
  static const char* script = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], load=True, raw=True)
for r in list(t.records) + list(t.deleted): print(r[sys.argv[2]].rstrip(b' ').hex())
)";
  int status = 0;
  std::istringstream out(test::runPython(script, "'" + dbfPath + "' " + field, &status));
  if (status != 0) return "dbfread failed: " + out.str();
  std::vector<std::string> theirs, ours;
  for (std::string line; std::getline(out, line);) theirs.push_back(line);
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

} // namespace pu::proof
