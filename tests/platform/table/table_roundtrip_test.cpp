// Tables we create and change, read back by dbfread and Perl XBase.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

using test::dbfreadDump;

const std::vector<FieldSpec> kPeople = {{"NAME", 'C', 10}, {"AMOUNT", 'N', 8, 2}, {"COUNT", 'I'},
                                        {"ACTIVE", 'L'},   {"BORN", 'D'},         {"NOTES", 'M'}};

test::Row person(const std::string& name, const std::string& number, const std::string& notes) {
  return {name, number, number, "T", "19991231", notes};
}

// A person's line as dbfreadDump prints it.
std::string dumped(int n, bool deleted, const std::string& name, const std::string& number, const std::string& notes) {
  return std::to_string(n) + "\t" + (deleted ? "1" : "0") + "\tNAME=" + name + "\tAMOUNT=" + number + ".0\tCOUNT=" +
         number + "\tACTIVE=True\tBORN=1999-12-31\tNOTES=" + notes + "\n";
}

class TableRoundTrip : public ::testing::Test {
protected:
  std::unique_ptr<Table> reopen() { return test::openTable(path); }

  test::TempDir dir;
  std::string path = dir.file("people.dbf");
};

// Either format, read by dbfread and by Perl XBase. The memo pointer is
// binary in a Visual FoxPro table, ten digits in a FoxPro 2 one, which has
// no integer type.
TEST_F(TableRoundTrip, AppendedRecordsAreReadByDbfreadAndPerlXBase) {
  const struct {
    TableFormat format;
    std::uint8_t type;
    std::string firstPointer;  // block 8: the first after the 512-byte header
  } cases[] = {{TableFormat::VisualFoxPro, 0x30, std::string("\x08\0\0\0", 4)}, {TableFormat::FoxPro2, 0xF5, "         8"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.type));
    test::TempDir folder;
    path = folder.file("people.dbf");
    std::vector<FieldSpec> fields = kPeople;
    if (c.format == TableFormat::FoxPro2) fields[2] = {"COUNT", 'N', 5};
    auto t = test::makeTable(path, fields, {{"Ann", "12.5", "3", "T", "19991231", "first note"}, {"Bob", "-7.25", "-40", "F", "19991231", ""}}, {}, c.format);
    ASSERT_TRUE(t && t->close());
    EXPECT_EQ(t->header().type, c.type);
    const FieldDef& notes = *t->schema().find("NOTES");
    EXPECT_EQ(test::readWholeFile(path).substr(t->header().headerLength + notes.offset, notes.length), c.firstPointer);
    EXPECT_EQ(dbfreadDump(path),
              "1\t0\tNAME=Ann\tAMOUNT=12.5\tCOUNT=3\tACTIVE=True\tBORN=1999-12-31\tNOTES=first note\n"
              "2\t0\tNAME=Bob\tAMOUNT=-7.25\tCOUNT=-40\tACTIVE=False\tBORN=1999-12-31\tNOTES=None\n");
    int status = 0;
    std::string out = test::runPerl(
        "use XBase; my $t = XBase->new($ARGV[0]) or die XBase->errstr; "
        "print join('|', $t->get_record(0, 'NAME', 'AMOUNT', 'ACTIVE', 'BORN', 'NOTES')), \"\\n\";",
        path, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "0|Ann|12.5|1|19991231|first note\n");
  }
}

// A change stamps the header with today's date; a changed memo goes to new
// blocks at the end of the memo file, which is found in any letter case.
TEST_F(TableRoundTrip, ChangedFieldIsWrittenOthersKeptAndDeleteMarks) {
  test::makeTable(path, kPeople, {person("Ann", "1", "old note"), person("Bob", "2", "b"), person("Cy", "3", "c")}).reset();
  std::string bytes = test::readWholeFile(path);
  bytes.replace(1, 3, std::string({char(80), char(1), char(1)}));  // last updated long ago
  test::writeWholeFile(path, bytes);
  const std::size_t memoSize = test::readWholeFile(dir.file("people.fpt")).size();
  auto t = reopen();
  ASSERT_TRUE(t->go(1));
  // A value too wide for its field changes nothing.
  EXPECT_EQ(t->assignNumber(*t->schema().find("AMOUNT"), 123456789.0).code(), Status::Code::InvalidArgument);
  EXPECT_FALSE(t->changed());
  EXPECT_EQ(t->value(*t->schema().find("AMOUNT")).bytes, "1.00");
  ASSERT_TRUE(t->assignText(*t->schema().find("NAME"), "Annabel"));
  ASSERT_TRUE(t->assignMemo(*t->schema().find("NOTES"), std::string(100, 'x')));
  ASSERT_TRUE(t->flush());
  ASSERT_TRUE(t->go(2));
  ASSERT_TRUE(t->setDeleted(true));
  ASSERT_TRUE(t->flush());
  t.reset();
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  EXPECT_EQ(test::readWholeFile(path).substr(1, 3), std::string({char(tm.tm_year % 100), char(tm.tm_mon + 1), char(tm.tm_mday)}));
  EXPECT_EQ(dbfreadDump(path),
            dumped(1, false, "Annabel", "1", std::string(100, 'x')) + dumped(2, false, "Cy", "3", "c") + dumped(3, true, "Bob", "2", "b"));
  std::string memos = test::readWholeFile(dir.file("people.fpt"));
  EXPECT_EQ(memos.size(), memoSize + 128);  // 8-byte block header + 100 bytes in 64-byte blocks
  EXPECT_NE(memos.find("old note"), std::string::npos);  // old blocks stay
  // Next-free pointer (big-endian) names the end of the file.
  std::uint32_t next = (std::uint8_t(memos[2]) << 8) | std::uint8_t(memos[3]);
  EXPECT_EQ(next * 64u, memos.size());
  std::filesystem::rename(dir.file("people.fpt"), dir.file("PEOPLE.FPT"));
  t = reopen();
  std::string memo;
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->memoText(*t->schema().find("NOTES"), &memo));
  EXPECT_EQ(memo, std::string(100, 'x'));
}

TEST_F(TableRoundTrip, AppendToPublishedTableTakesTheAutoIncrementValue) {
  PU_REQUIRE_CORPUS();
  path = test::copyCorpusTable("fb2p/fb2p_free", dir.path());
  {
    auto t = reopen();
    EXPECT_EQ(t->header().type, 0x32);
    EXPECT_EQ(t->header().flags, kHasStructuralIndex | kHasMemo);
    const AutoIncrement& counter = t->header().autoIncrement[std::size_t(t->schema().indexOf("ID_AUTOINC"))];
    EXPECT_EQ(counter.next, 50u);
    EXPECT_EQ(counter.step, 5);
    for (const char* name : {"one", "two"}) {
      ASSERT_TRUE(t->appendStart());
      ASSERT_TRUE(t->assignText(*t->schema().find("CARACTER"), name));
      ASSERT_TRUE(t->append());
    }
  }
  std::string out = test::runPython(
      "import sys, dbfread\n"
      "from dbfread import FieldParser\n"
      "class P(FieldParser):\n"
      "    def parseV(self, f, d): return d\n"
      "    parseQ = parseV\n"
      "    parseW = parseV\n"
      "t = dbfread.DBF(sys.argv[1], parserclass=P)\n"
      "print([(r['CARACTER'], r['ID_AUTOINC']) for r in t][-3:])\n",
      path);
  EXPECT_EQ(out, "[('pepepepepEPE', 65), ('one', 50), ('two', 55)]\n");
  std::string header = test::readWholeFile(path).substr(0, 1000);
  std::size_t desc = 32 + 17 * 32;  // ID_AUTOINC is the 18th field
  EXPECT_EQ(static_cast<unsigned char>(header[desc + 19]), 60);  // the counter moved on by two steps of 5
}

TEST_F(TableRoundTrip, StoringIntoANullFieldClearsItsNullFlag) {
  PU_REQUIRE_CORPUS();
  path = test::copyCorpusTable("northwind/customers", dir.path());
  auto t = reopen();
  EXPECT_EQ(t->header().backlink.substr(0, 13), "northwind.dbc");
  auto older = test::openTable(test::corpusDir() + "/codeplex/exprmap.dbf", false);  // type 0x03: no backlink
  EXPECT_TRUE(older && older->header().backlink.empty());
  const FieldDef* region = t->schema().find("REGION");
  ASSERT_NE(region, nullptr);
  ASSERT_TRUE(t->go(1));
  ASSERT_EQ(t->value(*region).kind, Value::Kind::Null);
  ASSERT_TRUE(t->assignText(*region, "Nord"));
  ASSERT_TRUE(t->flush());
  t = reopen();
  region = t->schema().find("REGION");
  ASSERT_TRUE(t->go(1));
  EXPECT_EQ(t->value(*region).bytes.substr(0, 5), "Nord ");
  ASSERT_TRUE(t->go(2));
  EXPECT_EQ(t->value(*region).kind, Value::Kind::Null);  // other records keep theirs
}

} // namespace
} // namespace pu::table
