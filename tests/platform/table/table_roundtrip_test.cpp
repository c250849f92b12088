// Tables we create and change, read back by dbfread and Perl XBase.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

using test::dbfreadDump;

std::vector<FieldSpec> sampleFields() {
  return {{"NAME", 'C', 10}, {"AMOUNT", 'N', 8, 2}, {"COUNT", 'I'}, {"ACTIVE", 'L'}, {"BORN", 'D'}, {"NOTES", 'M'}};
}

class TableRoundTrip : public ::testing::Test {
protected:
  std::unique_ptr<Table> create(TableFormat format = TableFormat::VisualFoxPro) {
    path = dir.file("people.dbf");
    std::vector<FieldSpec> fields = sampleFields();
    if (format == TableFormat::FoxPro2) fields[2] = {"COUNT", 'N', 5};
    Status s = Table::create(path, fields, format);
    EXPECT_TRUE(s) << s.message();
    return reopen();
  }
  std::unique_ptr<Table> reopen() {
    std::unique_ptr<Table> t;
    Status s = Table::open(path, true, &t);
    EXPECT_TRUE(s) << s.message();
    return t;
  }
  void appendPerson(Table& t, const std::string& name, double amount, int count, bool active, const std::string& notes) {
    const TableSchema& sc = t.schema();
    ASSERT_TRUE(t.appendStart());
    ASSERT_TRUE(t.assignText(*sc.find("name"), name));
    ASSERT_TRUE(t.assignNumber(*sc.find("amount"), amount));
    ASSERT_TRUE(t.assignInteger(*sc.find("count"), count));
    ASSERT_TRUE(t.assignLogical(*sc.find("active"), active));
    ASSERT_TRUE(t.assignDate(*sc.find("born"), 1999, 12, 31));
    ASSERT_TRUE(t.assignMemo(*sc.find("notes"), notes));
    Status s = t.append();
    ASSERT_TRUE(s) << s.message();
  }

  test::TempDir dir;
  std::string path;
};

TEST_F(TableRoundTrip, AppendedRecordsAreReadByDbfread) {
  auto t = create();
  appendPerson(*t, "Ann", 12.5, 3, true, "first note");
  appendPerson(*t, "Bob", -7.25, -40, false, "");
  ASSERT_TRUE(t->close());
  EXPECT_EQ(dbfreadDump(path),
            "1\t0\tNAME=Ann\tAMOUNT=12.5\tCOUNT=3\tACTIVE=True\tBORN=1999-12-31\tNOTES=first note\n"
            "2\t0\tNAME=Bob\tAMOUNT=-7.25\tCOUNT=-40\tACTIVE=False\tBORN=1999-12-31\tNOTES=None\n");
}

TEST_F(TableRoundTrip, FoxPro2TableKeepsMemoPointersAsDigits) {
  auto t = create(TableFormat::FoxPro2);
  EXPECT_EQ(t->header().type, 0xF5);
  EXPECT_EQ(t->schema().find("NOTES")->length, 10);
  appendPerson(*t, "Cy", 1, 1, true, "memo in a 2.x table");
  ASSERT_TRUE(t->close());
  std::string bytes = test::readWholeFile(path);
  std::size_t notesAt = t->header().headerLength + t->schema().find("NOTES")->offset;
  EXPECT_EQ(bytes.substr(notesAt, 10), "         8");  // first block after the 512-byte header
  EXPECT_EQ(dbfreadDump(path), "1\t0\tNAME=Cy\tAMOUNT=1.0\tCOUNT=1\tACTIVE=True\tBORN=1999-12-31\tNOTES=memo in a 2.x table\n");
}

TEST_F(TableRoundTrip, ChangedFieldIsWrittenAndOthersKept) {
  auto t = create();
  appendPerson(*t, "Ann", 1, 1, true, "a");
  appendPerson(*t, "Bob", 2, 2, true, "b");
  t.reset();
  std::string bytes = test::readWholeFile(path);
  bytes.replace(1, 3, std::string({char(80), char(1), char(1)}));  // last updated long ago
  test::writeWholeFile(path, bytes);
  t = reopen();
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*t->schema().find("NAME"), "Annabel"));
  ASSERT_TRUE(t->flush());
  t.reset();
  std::string header = test::readWholeFile(path).substr(0, 4);
  std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  EXPECT_EQ(header.substr(1, 3), std::string({char(tm.tm_year % 100), char(tm.tm_mon + 1), char(tm.tm_mday)}));
  EXPECT_EQ(dbfreadDump(path),
            "1\t0\tNAME=Annabel\tAMOUNT=1.0\tCOUNT=1\tACTIVE=True\tBORN=1999-12-31\tNOTES=a\n"
            "2\t0\tNAME=Bob\tAMOUNT=2.0\tCOUNT=2\tACTIVE=True\tBORN=1999-12-31\tNOTES=b\n");
}

TEST_F(TableRoundTrip, ChangedMemoGoesToNewBlocksAtTheEnd) {
  auto t = create();
  appendPerson(*t, "Ann", 1, 1, true, "short");
  std::string fpt = dir.file("people.fpt");
  std::size_t before = test::readWholeFile(fpt).size();
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignMemo(*t->schema().find("NOTES"), std::string(100, 'x')));
  ASSERT_TRUE(t->flush());
  t.reset();
  std::string after = test::readWholeFile(fpt);
  EXPECT_EQ(after.size(), before + 128);  // 8-byte block header + 100 bytes in 64-byte blocks
  EXPECT_NE(after.find("short"), std::string::npos);  // old blocks stay
  // Next-free pointer (big-endian) names the end of the file.
  std::uint32_t next = (std::uint8_t(after[2]) << 8) | std::uint8_t(after[3]);
  EXPECT_EQ(next * 64u, after.size());
  EXPECT_EQ(dbfreadDump(path), "1\t0\tNAME=Ann\tAMOUNT=1.0\tCOUNT=1\tACTIVE=True\tBORN=1999-12-31\tNOTES=" + std::string(100, 'x') + "\n");
}

TEST_F(TableRoundTrip, DeleteMarksAndPackRemoves) {
  auto t = create();
  appendPerson(*t, "Ann", 1, 1, true, "a");
  appendPerson(*t, "Bob", 2, 2, true, "b");
  appendPerson(*t, "Cy", 3, 3, true, "c");
  ASSERT_TRUE(t->go(2));
  ASSERT_TRUE(t->setDeleted(true));
  ASSERT_TRUE(t->flush());
  EXPECT_EQ(dbfreadDump(path),
            "1\t0\tNAME=Ann\tAMOUNT=1.0\tCOUNT=1\tACTIVE=True\tBORN=1999-12-31\tNOTES=a\n"
            "2\t0\tNAME=Cy\tAMOUNT=3.0\tCOUNT=3\tACTIVE=True\tBORN=1999-12-31\tNOTES=c\n"
            "3\t1\tNAME=Bob\tAMOUNT=2.0\tCOUNT=2\tACTIVE=True\tBORN=1999-12-31\tNOTES=b\n");
  ASSERT_TRUE(t->pack());
  EXPECT_EQ(t->recordCount(), 2u);
  ASSERT_TRUE(t->go(2));
  EXPECT_EQ(t->value(*t->schema().find("NAME")).bytes, "Cy        ");
  ASSERT_TRUE(t->close());
  EXPECT_EQ(dbfreadDump(path),
            "1\t0\tNAME=Ann\tAMOUNT=1.0\tCOUNT=1\tACTIVE=True\tBORN=1999-12-31\tNOTES=a\n"
            "2\t0\tNAME=Cy\tAMOUNT=3.0\tCOUNT=3\tACTIVE=True\tBORN=1999-12-31\tNOTES=c\n");
  std::string bytes = test::readWholeFile(path);
  EXPECT_EQ(bytes.back(), kEndOfFile);
  EXPECT_EQ(bytes.size(), t->header().headerLength + 2u * t->schema().recordLength + 1);
}

TEST_F(TableRoundTrip, PerlXBaseReadsOurTable) {
  auto t = create();
  appendPerson(*t, "Ann", 12.5, 3, true, "perl reads this");
  t.reset();
  int status = 0;
  std::string out = test::runPerl(
      "use XBase; my $t = XBase->new($ARGV[0]) or die XBase->errstr; "
      "print join('|', $t->get_record(0, 'NAME', 'AMOUNT', 'ACTIVE', 'BORN', 'NOTES')), \"\\n\";",
      path, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "0|Ann|12.5|1|19991231|perl reads this\n");
}

TEST_F(TableRoundTrip, AppendSeesRecordsAnotherOpenAppended) {
  auto a = create();
  auto b = reopen();
  appendPerson(*a, "Ann", 1, 1, true, "from a");
  appendPerson(*b, "Bob", 2, 2, true, "from b");
  appendPerson(*a, "Cy", 3, 3, true, "from a again");
  EXPECT_EQ(a->recordCount(), 3u);
  a.reset();
  b.reset();
  EXPECT_EQ(dbfreadDump(path),
            "1\t0\tNAME=Ann\tAMOUNT=1.0\tCOUNT=1\tACTIVE=True\tBORN=1999-12-31\tNOTES=from a\n"
            "2\t0\tNAME=Bob\tAMOUNT=2.0\tCOUNT=2\tACTIVE=True\tBORN=1999-12-31\tNOTES=from b\n"
            "3\t0\tNAME=Cy\tAMOUNT=3.0\tCOUNT=3\tACTIVE=True\tBORN=1999-12-31\tNOTES=from a again\n");
}

TEST_F(TableRoundTrip, ValueTooWideLeavesRecordUnchanged) {
  auto t = create();
  appendPerson(*t, "Ann", 1, 1, true, "a");
  ASSERT_TRUE(t->go(1));
  Status s = t->assignNumber(*t->schema().find("AMOUNT"), 123456789.0);
  EXPECT_EQ(s.code(), Status::Code::InvalidArgument);
  EXPECT_FALSE(t->changed());
  EXPECT_EQ(t->value(*t->schema().find("AMOUNT")).bytes, "1.00");
}

TEST_F(TableRoundTrip, MemoFileNamedInOtherLetterCaseIsFound) {
  auto t = create();
  appendPerson(*t, "Ann", 1, 1, true, "still found");
  t.reset();
  std::filesystem::rename(dir.file("people.fpt"), dir.file("PEOPLE.FPT"));
  t = reopen();
  ASSERT_TRUE(t->go(1));
  std::string memo;
  ASSERT_TRUE(t->memoText(*t->schema().find("NOTES"), &memo));
  EXPECT_EQ(memo, "still found");
}

TEST_F(TableRoundTrip, AppendToPublishedTableTakesTheAutoIncrementValue) {
  PU_REQUIRE_CORPUS();
  for (const char* ext : {".dbf", ".fpt"}) {
    std::filesystem::copy_file(test::corpusDir() + "/fb2p/fb2p_free" + ext, dir.file(std::string("free") + ext));
  }
  path = dir.file("free.dbf");
  {
    auto t = reopen();
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
  std::filesystem::copy_file(test::corpusDir() + "/northwind/customers.dbf", dir.file("customers.dbf"));
  path = dir.file("customers.dbf");
  auto t = reopen();
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

TEST_F(TableRoundTrip, ReadOnlyTableRefusesChanges) {
  create().reset();
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::open(path, false, &t));
  EXPECT_FALSE(t->appendStart());
}

} // namespace
} // namespace pu::table
