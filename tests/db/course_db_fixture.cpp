#include "tests/db/course_db_fixture.h"

#include <memory>
#include <sstream>

#include "platform/cipher/cipher.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tools/sample/sample_database.h"
#include "util/path_globals.h"

namespace pu::test {

void CourseDbTest::TearDown() { SetDatabaseFolder(u""); }

void CourseDbTest::useDatabase(const sample::SampleContent& content) {
  ASSERT_TRUE(sample::writeCourseDatabase(folder, content).isOk());
  SetDatabaseFolder(fromUtf8(folder));
}

void CourseDbTest::expectTagsConsistent(const std::string& name) {
  std::unique_ptr<table::Table> tbl;
  ASSERT_TRUE(table::Table::open(folder + "/" + name + ".dbf", false, &tbl).isOk());
  std::unique_ptr<table::CompoundIndex> index;
  table::CdxOpenOptions options;
  options.writable = false;
  ASSERT_TRUE(table::CompoundIndex::open(folder + "/" + name + ".cdx", *tbl, &index, options).isOk());
  Status s = index->check();
  EXPECT_TRUE(s.isOk()) << s.message();
}

std::ostream& operator<<(std::ostream& out, const StoredStandard& row) {
  return out << row.tree << "/" << row.node << " parent " << row.parent << " order " << row.order
             << (row.deleted ? " deleted" : "") << " '" << row.title << "'";
}

std::vector<StoredStandard> standardsByDbfread(const std::string& dbf) {
  // Latin-1 gives every stored byte back as one character.
  static const char* script = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], load=True, encoding='latin-1')
for d, rows in ((0, t.records), (1, t.deleted)):
    for r in rows:
        r = {k.lower(): v for k, v in r.items()}
        print(r['tree_id'], r['node_id'], r['parent_id'], r['order'] or 0, d, r['descript'].rstrip(' ').encode('latin-1').hex())
)";
  int status = 0;
  std::istringstream lines(runPython(script, "'" + dbf + "'", &status));
  EXPECT_EQ(status, 0);
  std::vector<StoredStandard> rows;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    StoredStandard row;
    std::string hex;
    in >> row.tree >> row.node >> row.parent >> row.order >> row.deleted >> hex;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) row.title += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    rows.push_back(row);
  }
  return rows;
}

const StoredStandard* findStandard(const std::vector<StoredStandard>& rows, int tree, int node) {
  for (const StoredStandard& row : rows)
    if (row.tree == tree && row.node == node) return &row;
  return nullptr;
}

sample::SampleContent treeOf(std::initializer_list<sample::StandardRow> rows) {
  sample::SampleContent content;
  content.standards.push_back({2, 1, 0, 1, "Root", false});
  content.standards.insert(content.standards.end(), rows);
  return content;
}

std::string foreignEnciphered(const std::string& plain) {
  std::string stored = "\xFA";
  for (char c : XorCipher().encipher(plain, "Quorbex")) stored += c == '\0' ? std::string("NULL") : std::string(1, c);
  return stored;
}

} // namespace pu::test
