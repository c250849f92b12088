#include "tests/platform/table/table_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/table/value_text.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/corpus.h"

namespace pu::test {

namespace {

Status assign(table::Table& t, const table::FieldDef& f, const std::string& v) {
  if (v.empty()) return Status::ok();
  switch (f.type) {
    case 'C': return t.assignText(f, v);
    case 'I': return t.assignInteger(f, std::stoll(v));
    case 'N': case 'F': return t.assignNumber(f, std::stod(v));
    case 'L': return t.assignLogical(f, v == "T");
    case 'D': return t.assignDate(f, std::stoi(v.substr(0, 4)), std::stoi(v.substr(4, 2)), std::stoi(v.substr(6, 2)));
    case 'M': return t.assignMemo(f, v);
    default: return Status::invalidArgument("the fixture cannot fill field " + f.name);
  }
}

} // namespace

Status appendRow(table::Table& t, const Row& row) {
  Status s = t.appendStart();
  for (std::size_t i = 0; s && i < row.size(); ++i) s = assign(t, t.schema().fields[i], row[i]);
  return s ? t.append() : s;
}

std::unique_ptr<table::Table> makeTable(const std::string& path, const std::vector<table::FieldSpec>& fields,
                                        const std::vector<Row>& rows, const std::vector<table::TagSpec>& tags,
                                        table::TableFormat format) {
  std::unique_ptr<table::Table> t;
  Status s = table::Table::create(path, fields, format);
  if (s) s = table::Table::open(path, true, &t);
  for (std::size_t r = 0; s && r < rows.size(); ++r) s = appendRow(*t, rows[r]);
  if (s && !tags.empty()) {
    std::unique_ptr<table::CompoundIndex> index;
    s = table::CompoundIndex::create(table::indexPathFor(path), *t, tags, &index);
    if (s) s = t->setStructuralIndex(true);
    if (s) t->attachIndex(std::move(index));
  }
  if (!s) {
    ADD_FAILURE() << "making " << path << ": " << s.message();
    return nullptr;
  }
  return t;
}

std::unique_ptr<table::Table> openTable(const std::string& path, bool writable) {
  std::unique_ptr<table::Table> t;
  Status s = table::Table::open(path, writable, &t);
  EXPECT_TRUE(s) << path << ": " << s.message();
  return t;
}

std::unique_ptr<table::Table> openWithIndex(const std::string& path) {
  std::unique_ptr<table::Table> t = openTable(path);
  std::unique_ptr<table::CompoundIndex> index;
  if (!t) return nullptr;
  Status s = table::CompoundIndex::open(table::indexPathFor(path), *t, &index);
  EXPECT_TRUE(s) << path << ": " << s.message();
  if (!s) return nullptr;
  t->attachIndex(std::move(index));
  return t;
}

table::CompoundIndex& indexOf(table::Table& t) { return dynamic_cast<table::CompoundIndex&>(*t.index()); }

std::string copyCorpusTable(const std::string& name, const std::string& dir) {
  const std::string from = corpusDir() + "/" + name, to = dir + "/" + std::filesystem::path(name).filename().string();
  for (const char* ext : {".dbf", ".fpt", ".cdx"})
    if (std::filesystem::exists(from + ext)) std::filesystem::copy_file(from + ext, to + ext);
  return to + ".dbf";
}

std::vector<std::string> corpusFiles(const std::string& extension) {
  std::vector<std::string> out;
  for (const auto& set : std::filesystem::directory_iterator(corpusDir()))
    if (set.is_directory())
      for (const auto& f : std::filesystem::directory_iterator(set.path()))
        if (f.path().extension() == extension) out.push_back(f.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::pair<std::string, std::uint32_t>> tagEntries(table::CompoundIndex& index, int tag, bool backward) {
  std::vector<std::pair<std::string, std::uint32_t>> out;
  table::TagCursor c;
  Status s = backward ? index.last(tag, &c) : index.first(tag, &c);
  for (; s && c.valid; s = backward ? index.prev(tag, &c) : index.next(tag, &c)) {
    out.emplace_back();
    EXPECT_TRUE(index.entry(tag, c, &out.back().first, &out.back().second));
  }
  EXPECT_TRUE(s) << index.tagName(tag) << ": " << s.message();
  return out;
}

std::string tagListing(table::CompoundIndex& index, int tag) {
  std::vector<std::string> lines;
  for (auto& [key, recno] : tagEntries(index, tag)) {
    key.erase(key.find_last_not_of(char(index.filler(tag))) + 1);
    lines.push_back(table::hexOf(key) + "\t" + std::to_string(recno) + "\n");
  }
  if (index.descending(tag)) std::reverse(lines.begin(), lines.end());
  std::string out;
  for (const auto& l : lines) out += l;
  return out;
}

void expectXBaseListsEveryTag(table::CompoundIndex& index, const std::string& path) {
  for (int t = 0; t < index.tagCount(); ++t)
    EXPECT_EQ(xbaseTagListing(path, index.tagName(t)), tagListing(index, t)) << index.tagName(t);
}

} // namespace pu::test
