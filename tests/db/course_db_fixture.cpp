#include "tests/db/course_db_fixture.h"

#include <memory>

#include "platform/cipher/cipher.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
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
