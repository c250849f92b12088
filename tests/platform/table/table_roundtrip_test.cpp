// Field codecs on hand-made record bytes; tables we create and change, read
// back by dbfread and Perl XBase; and every published table of the corpus
// read by our engine against what dbfread read from it (<table>.records.json).
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/table/field_value.h"
#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

FieldDef field(char type, std::uint8_t length, std::uint32_t offset = 1, std::uint8_t decimals = 0) {
  FieldDef f;
  f.name = "F";
  f.type = type;
  f.length = length;
  f.offset = offset;
  f.decimals = decimals;
  return f;
}

Value decode(const FieldDef& f, const std::string& bytes) {
  TableSchema schema;
  schema.fields = {f};
  return decodeField(schema, f, " " + bytes);
}

// Well-formed values of every type are compared with dbfread's on the corpus
// (TableCorpus below); here what no published table holds.
TEST(FieldValue, RawValuesDigitMemoPointersEncoderRefusalsAndNullFlags) {
  const std::pair<FieldDef, std::string> cases[] = {
      {field('N', 4), "****"},  // FoxPro's overflow marks
      {field('N', 4), "1-2-"}, {field('N', 4), "1x2 "}, {field('D', 8), "2024AB01"}, {field('L', 1), "x"},
      {field('I', 3), "abc"},  // wrong width for the type
  };
  for (const auto& [f, bytes] : cases) {
    Value v = decode(f, bytes);
    EXPECT_EQ(v.kind, Value::Kind::Raw) << bytes;
    EXPECT_EQ(v.bytes, bytes);
  }
  EXPECT_EQ(decode(field('N', 4), "    ").kind, Value::Kind::Null);
  int y, m, d;
  civilFromJulian(julianDay(2000, 2, 29), &y, &m, &d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
  // Binary memo pointers are the corpus's to read (blocks past 5,000); digits are not in it.
  std::uint32_t block = 0;
  FieldDef fox = field('M', 10);
  EXPECT_TRUE(memoBlock(fox, "        42", &block));
  EXPECT_EQ(block, 42u);
  EXPECT_TRUE(memoBlock(fox, "          ", &block));
  EXPECT_EQ(block, 0u);
  EXPECT_EQ(memoBlock(fox, "      4x2 ", &block).code(), Status::Code::Corruption);
  // What the encoders write is read back by dbfread in the round trips, which
  // would not see text cut or a number not aligned right.
  std::string rec(12, ' ');
  ASSERT_TRUE(encodeText(field('C', 5, 1), "abcdefg", &rec));
  ASSERT_TRUE(encodeNumber(field('N', 6, 6, 2), 3.14159, &rec));
  EXPECT_EQ(rec, " abcde  3.14");
  EXPECT_EQ(encodeInteger(field('N', 4), 12345, &rec).code(), Status::Code::InvalidArgument);
  EXPECT_EQ(encodeText(field('N', 4), "x", &rec).code(), Status::Code::InvalidArgument);
  EXPECT_EQ(rec, " abcde  3.14");
  // _NullFlags: bit 0 is V's length bit, bit 1 C's null bit.
  FieldDef v = field('V', 6, 1), c = field('C', 3, 7), nf = field('0', 1, 10);
  v.varLengthBit = 0;
  c.flags = kFieldNullable;
  c.nullBit = 1;
  nf.name = "_NullFlags";
  nf.flags = kFieldSystem;
  TableSchema schema;
  schema.fields = {v, c, nf};
  rec = std::string(" abc  ") + '\x03' + "xyz" + '\x01';
  EXPECT_EQ(decodeField(schema, v, rec).bytes, "abc");
  EXPECT_EQ(decodeField(schema, c, rec).kind, Value::Kind::Text);
  rec.back() = '\x02';
  EXPECT_EQ(decodeField(schema, v, rec).bytes, "abc  \x03");
  EXPECT_EQ(decodeField(schema, c, rec).kind, Value::Kind::Null);
  rec.back() = '\x01';
  rec[6] = '\x09';  // a used length past the field is damage
  EXPECT_EQ(decodeField(schema, v, rec).kind, Value::Kind::Raw);
}

const std::vector<FieldSpec> kPeople = {{"NAME", 'C', 10}, {"AMOUNT", 'N', 8, 2}, {"COUNT", 'I'},
                                        {"ACTIVE", 'L'},   {"BORN", 'D'},         {"NOTES", 'M'}};

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
    EXPECT_EQ(test::dbfreadDump(path),
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
  test::makeTable(path, kPeople,
                  {{"Ann", "1", "1", "T", "19991231", "old note"}, {"Bob", "2", "2", "T", "19991231", "b"},
                   {"Cy", "3", "3", "T", "19991231", "c"}}).reset();
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
  const std::string rest = "\tACTIVE=True\tBORN=1999-12-31\tNOTES=";
  EXPECT_EQ(test::dbfreadDump(path), "1\t0\tNAME=Annabel\tAMOUNT=1.0\tCOUNT=1" + rest + std::string(100, 'x') +
                                         "\n2\t0\tNAME=Cy\tAMOUNT=3.0\tCOUNT=3" + rest +
                                         "c\n3\t1\tNAME=Bob\tAMOUNT=2.0\tCOUNT=2" + rest + "b\n");
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

TEST_F(TableRoundTrip, PublishedTablesTakeTheAutoIncrementValueAndClearTheNullFlagOfAStoredField) {
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

  // Storing into a null field clears its null flag.
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


// Typed JSON for the comparison script: what we decoded, with the raw field
// bytes beside it.
std::string json(Table& t, const FieldDef& f) {
  Value v = t.value(f);
  std::string raw = "\"raw\":\"" + hexOf(t.current().substr(f.offset, f.length)) + "\"";
  char buf[96];
  switch (v.kind) {
    case Value::Kind::Null: return "{\"null\":1," + raw + "}";
    case Value::Kind::Text: return "{\"t\":\"" + hexOf(v.bytes) + "\"," + raw + "}";
    case Value::Kind::Number: return "{\"n\":\"" + v.bytes + "\"," + raw + "}";
    case Value::Kind::Integer: return "{\"i\":" + std::to_string(v.integer) + "," + raw + "}";
    case Value::Kind::Logical: return std::string("{\"l\":") + (v.integer ? "true" : "false") + "," + raw + "}";
    case Value::Kind::Date:
    case Value::Kind::DateTime:
      std::snprintf(buf, sizeof buf, "{\"d\":[%d,%d,%d,%d,%d,%d,%d],", v.year, v.month, v.day, v.hour, v.minute, v.second, v.ms);
      return buf + raw + (v.kind == Value::Kind::Date ? ",\"date\":1}" : "}");
    case Value::Kind::Currency: return "{\"y\":" + std::to_string(v.integer) + "," + raw + "}";
    case Value::Kind::Double: return "{\"b\":\"" + valueText(v) + "\"," + raw + "}";
    case Value::Kind::Memo: {
      std::string memo;
      Status s = t.memoText(f, &memo);
      if (!s) return "{\"error\":\"" + hexOf(s.message()) + "\"}";
      return "{\"m\":\"" + hexOf(memo) + "\"," + raw + "}";
    }
    case Value::Kind::Raw: return "{\"x\":\"" + hexOf(v.bytes) + "\"," + raw + "}";
  }
  return "null";
}

Status writeOurs(const std::string& dbf, const std::string& out) {
  std::unique_ptr<Table> t;
  Status s = Table::open(dbf, false, &t);
  if (!s) return s;
  std::ofstream o(out);
  o << "[";
  for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
    s = t->go(r);
    if (!s) return s;
    o << (r > 1 ? "," : "") << "{\"recno\":" << r << ",\"deleted\":" << (t->isDeleted() ? "true" : "false") << ",\"data\":{";
    bool first = true;
    for (const FieldDef& f : t->schema().fields) {
      o << (first ? "" : ",") << "\"" << f.name << "\":" << json(*t, f);
      first = false;
    }
    o << "}}";
  }
  o << "]";
  return Status::ok();
}

const char* kCompare = R"(
import sys, json, datetime, decimal
exp = json.load(open(sys.argv[1])); ours = json.load(open(sys.argv[2]))
enc = exp['meta'].get('encoding', 'cp1252')
def txt(h): return bytes.fromhex(h).decode(enc, 'replace')
def same(e, o):
    if 'error' in o: return False
    raw = bytes.fromhex(o['raw']) if 'raw' in o else b''
    if isinstance(e, dict) and 'hex' in e:
        want = bytes.fromhex(e['hex'])
        for k in ('t', 'x', 'm'):
            if k in o:
                got = bytes.fromhex(o[k])
                if got == want or (len(want) and got == want[:want[-1]] and raw == want): return True
        return raw == want
    if 'null' in o and e is not None:  # dbfread ignores _NullFlags: it sees the bytes under the NULL
        if isinstance(e, str): return txt(o['raw']).rstrip('\x00 ') == e
        return e in (0, False) and raw.strip(b'\x00 F') == b''
    if e is None:
        return 'null' in o or o.get('m') == '' or ('t' in o and txt(o['t']).strip('\x00 ') == '')
    if isinstance(e, bool): return o.get('l') == e
    if isinstance(e, (int, float)):
        for k in ('n', 'b'):
            if k in o: return abs(float(o[k]) - e) <= 1e-9 * max(1.0, abs(e))
        return o.get('i') == e
    if isinstance(e, str):
        if 't' in o and raw and raw[-1] < len(raw) and bytes.fromhex(o['t']) == raw[:raw[-1]]:
            return txt(o['raw']).rstrip('\x00 ') == e  # varchar: dbfread keeps the length byte
        if 't' in o: return txt(o['t']).rstrip('\x00 ') == e
        if 'x' in o: return txt(o['x']).rstrip('\x00 ') == e
        if 'm' in o: return txt(o['m']) == e
        if 'y' in o: return decimal.Decimal(e) * 10000 == o['y']
        if 'd' in o:
            y, m, d, hh, mi, ss, ms = o['d']
            if 'date' in o: return datetime.date(y, m, d).isoformat() == e
            return datetime.datetime(y, m, d, hh, mi, ss, ms * 1000).isoformat() == e
    return False
bad = []
if len(exp['records']) != len(ours): bad.append('count %d != %d' % (len(exp['records']), len(ours)))
for er, orow in zip(exp['records'], ours):
    if er['recno'] != orow['recno'] or er['deleted'] != orow['deleted']: bad.append('record %d flag' % er['recno'])
    for k, e in er['data'].items():
        if k not in orow['data'] or not same(e, orow['data'][k]):
            bad.append('record %d field %s: expected %r, ours %r' % (er['recno'], k, e, orow['data'].get(k)))
print('ok' if not bad else '\n'.join(bad[:10]))
)";

TEST(TableCorpus, EveryTableReadsAsDbfreadReadsIt) {
  PU_REQUIRE_CORPUS();
  test::TempDir dir;
  int tables = 0;
  for (const std::string& dbf : test::corpusFiles(".dbf")) {
    const std::string expected = dbf.substr(0, dbf.size() - 4) + ".records.json";
    if (!std::filesystem::exists(expected)) continue;
    std::string ours = dir.file("ours.json");
    Status s = writeOurs(dbf, ours);
    ASSERT_TRUE(s) << dbf << ": " << s.message();
    int status = 0;
    std::string out = test::runPython(kCompare, "'" + expected + "' '" + ours + "'", &status);
    EXPECT_EQ(out, "ok\n") << dbf;
    ++tables;
  }
  EXPECT_GE(tables, 60);
}

} // namespace
} // namespace pu::table
