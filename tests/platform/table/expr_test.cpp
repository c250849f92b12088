// The xBase expression engine: values FoxPro gives for the functions keys use,
// and refusal of what it does not evaluate.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/table/expr_eval.h"
#include "platform/table/expr_parser.h"
#include "platform/table/key_builder.h"
#include "platform/table/field_value.h"
#include "platform/table/key_codec.h"
#include "tests/platform/table/cdx_test_support.h"

namespace pu::table {
namespace {

class ExprTest : public ::testing::Test {
protected:
  ExprTest() : m_records(schema()) {
    m_record = m_records.blank();
    m_records.setChar(m_record, "NAME", "  Mixed Case");
    m_records.setNumber(m_record, "AMOUNT", 1234.5);
    m_records.setInt(m_record, "ID", -7);
    m_records.setDate(m_record, "DAY", 1995, 2, 1);
  }
  static TableSchema schema() {
    return test::makeSchema({test::fieldOf("NAME", 'C', 15), test::fieldOf("AMOUNT", 'N', 9, 2), test::fieldOf("ID", 'I', 4),
                             test::fieldOf("DAY", 'D', 8)});
  }

  // The expression's value on the record: 'text', a number, .T. or .F., or
  // why it is refused.
  std::string result(const std::string& text) {
    std::unique_ptr<expr::Node> root;
    expr::EvalContext ctx;
    ctx.schema = &m_records.schema();
    ctx.record = m_record;
    ctx.source = &m_records;
    expr::Value v;
    Status s = expr::parse(text, m_records.schema(), {}, &root);
    if (s) s = expr::evaluate(*root, ctx, &v);
    if (s.code() == Status::Code::Unsupported) return "unsupported";
    if (s.code() == Status::Code::InvalidArgument) return "invalid";
    if (!s) return s.message();
    if (v.type == expr::Type::Char) return "'" + v.text + "'";
    if (v.type == expr::Type::Logical) return v.boolean ? ".T." : ".F.";
    char number[32];
    std::snprintf(number, sizeof number, "%.15g", v.type == expr::Type::Integer ? double(v.integer) : v.number);
    return number;
  }

  test::MemoryRecords m_records;
  std::string m_record;
};

TEST_F(ExprTest, ValuesFoxProGivesAndRefusals) {
  const std::pair<std::string, std::string> cases[] = {
      {"UPPER(name)", "'  MIXED CASE   '"}, {"LOWER(name)", "'  mixed case   '"}, {"ALLTRIM(name)", "'Mixed Case'"},
      {"LTRIM(name)", "'Mixed Case   '"}, {"TRIM(name)+'|'", "'  Mixed Case|'"}, {"name-'|'", "'  Mixed Case|   '"},
      {"LEFT(ALLTRIM(name),3)", "'Mix'"}, {"RIGHT(TRIM(name),4)", "'Case'"}, {"SUBSTR(name,3,5)", "'Mixed'"},
      {"SUBS(name,9)", "'Case   '"},  // four-letter abbreviation
      {"PADL(ALLTRIM(name),12,'*')", "'**Mixed Case'"}, {"PADR('ab',4)", "'ab  '"}, {"PADR(name,4)", "'  Mi'"},
      {"UPPER(t.name)", "'  MIXED CASE   '"}, {"UPPER(t->name)", "'  MIXED CASE   '"},
      {"UPPER('\xe9t\xe9')", "'\xc9T\xc9'"},  // Windows-1252 letters
      {"STR(amount)", "'      1235'"},        // rounds half away from zero
      {"STR(amount,8,1)", "'  1234.5'"}, {"STR(2.5,3)", "'  3'"}, {"STR(-2.5,3)", "' -3'"},
      {"STR(amount,3)", "'***'"}, {"STR(12.345,5,2)", "'12.35'"}, {"STR(id,4)", "'  -7'"},
      {"VAL('  12.5xyz')", "12.5"}, {"VAL('abc')", "0"}, {"VAL('-3e2')", "-300"},
      {"amount*2-id", "2476"}, {"day", "2449750"}, {"DTOS(day)", "'19950201'"},
      {"DTOS(day+28)", "'19950301'"}, {"IIF(id<0,'neg','pos')", "'neg'"}, {"IIF(amount>2000,1,id)", "-7"},
      {".NOT.DELETED().AND..T.", ".T."}, {".NOT.DELETED().AND..T..AND..NOT..T.", ".F."},
      {"!EMPTY(name) .OR. .F.", ".T."}, {"EMPTY(name)", ".F."}, {"EMPTY(SUBSTR(name,14))", ".T."},
      {"EMPTY(amount-1234.5)", ".T."},
      {"name = '  Mix'", ".T."},  // SET EXACT OFF: leading part
      {"'  Mix' = name", ".F."}, {"name == '  Mix'", ".F."}, {"name=>'  A'", ".T."},
      {"'ix' $ name", ".T."}, {"amount >= 1234.5 .AND. id # 0", ".T."}, {"SOUNDEX(name)", "unsupported"},
      {"nosuchfield", "unsupported"}, {"TTOC(day)", "unsupported"}, {"name+amount", "unsupported"},
      {"IIF(.T.,name,amount)", "unsupported"}, {"BINTOC(id,3)", "unsupported"}, {"LEFT(name,3)/2", "unsupported"},
      {"UPPER(", "invalid"}, {"name +", "invalid"}, {"'open", "invalid"},
      {std::string(5000, '('), "invalid"}, {std::string(200, '(') + "1" + std::string(200, ')'), "invalid"},
      {std::string(300, '-') + "1", "invalid"},
  };
  for (const auto& [e, want] : cases) EXPECT_EQ(result(e), want) << e.substr(0, 60);
  m_record[0] = '*';
  EXPECT_EQ(result("DELETED()"), ".T.");
}

// STR() of a field reads the field's digits straight where it can; every
// spelling of a number a field may hold gives what the arithmetic way gives.
TEST(ExprStr, OfANumericFieldAsOfItsValue) {
  test::MemoryRecords records(test::makeSchema({test::fieldOf("N", 'N', 7, 0)}));
  for (const char* stored : {"      5", "     -5", "      0", "     -0", "    007", "   -007", "  1.50 ", "       ",
                             "1234567", "  12 3 ", "    +12", "-123456", "***    "}) {
    std::string record = records.blank();
    record.replace(1, 7, stored);
    expr::EvalContext ctx;
    ctx.schema = &records.schema();
    ctx.record = record;
    for (const char* width : {"", ",7", ",9", ",3", ",7,1", ",1"}) {
      std::unique_ptr<expr::Node> direct, arithmetic;
      ASSERT_TRUE(expr::parse(std::string("STR(n") + width + ")", records.schema(), {}, &direct));
      ASSERT_TRUE(expr::parse(std::string("STR(n*1") + width + ")", records.schema(), {}, &arithmetic));
      expr::Value a, b;
      ASSERT_TRUE(expr::evaluate(*direct, ctx, &a));
      ASSERT_TRUE(expr::evaluate(*arithmetic, ctx, &b));
      EXPECT_EQ(a.text, b.text) << "'" << stored << "' STR(n" << width << ")";
    }
  }
}

TEST_F(ExprTest, KeysSortAsFoxProSortsThem) {
  // Stored forms seen in files FoxPro wrote.
  std::string k;
  key::appendDouble(45, &k);
  EXPECT_EQ(k, std::string("\xC0\x46\x80\0\0\0\0\0", 8));
  k.clear();
  key::appendDouble(2449750, &k);
  EXPECT_EQ(k, std::string("\xC1\x42\xB0\xAB\0\0\0\0", 8));
  k.clear();
  key::appendInt32(18, &k);
  EXPECT_EQ(k, std::string("\x80\0\0\x12", 4));
  k.clear();
  key::appendBinToC(1, 1, &k);
  EXPECT_EQ(k, "\x81");
  // Byte order equals numeric order across signs and magnitudes.
  double values[] = {-1e300, -5, -0.5, 0, 1e-300, 0.5, 3, 1e300};
  for (std::size_t i = 1; i < std::size(values); ++i) {
    std::string a, b;
    key::appendDouble(values[i - 1], &a);
    key::appendDouble(values[i], &b);
    EXPECT_LT(a, b) << values[i - 1] << " " << values[i];
  }
  std::string neg, pos;
  key::appendInt32(-1, &neg);
  key::appendInt32(0, &pos);
  EXPECT_LT(neg, pos);
  int y, m, d;
  civilFromJulian(julianDay(2000, 2, 29), &y, &m, &d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
}

TEST_F(ExprTest, KeyBuilderPadsAndPrefixesNullableKeys) {
  KeyBuilder kb;
  ASSERT_TRUE(kb.compile("UPPER(ALLTRIM(name))", "", m_records.schema(), {}, true));
  EXPECT_EQ(kb.keyLength(), 16u);
  std::string key;
  bool in = false;
  ASSERT_TRUE(kb.build(m_record, &m_records, &key, &in));
  EXPECT_EQ(key, std::string("\x80MIXED CASE     "));
  ASSERT_TRUE(kb.compile("day", "amount > 5000", m_records.schema(), {}, false));
  ASSERT_TRUE(kb.build(m_record, &m_records, &key, &in));
  EXPECT_FALSE(in);
  EXPECT_EQ(kb.filler(), 0);
  EXPECT_EQ(kb.compile("name", "amount", m_records.schema(), {}, false).code(), Status::Code::Unsupported);
}

TEST_F(ExprTest, KeyBuilderTellsWhetherAChangeReachesItsInputs) {
  KeyBuilder kb;
  ASSERT_TRUE(kb.compile("UPPER(name)+STR(id,5)", ".NOT.DELETED()", m_records.schema(), {}, false));
  std::string other = m_record;
  EXPECT_TRUE(kb.sameInputs(m_record, other));
  m_records.setNumber(other, "AMOUNT", 99.25);
  m_records.setDate(other, "DAY", 2001, 12, 31);
  EXPECT_TRUE(kb.sameInputs(m_record, other)) << "amount and day are not read";
  std::string renamed = m_record;
  m_records.setChar(renamed, "NAME", "  Mixed Casf");
  EXPECT_FALSE(kb.sameInputs(m_record, renamed));
  std::string renumbered = m_record;
  m_records.setInt(renumbered, "ID", 8);
  EXPECT_FALSE(kb.sameInputs(m_record, renumbered));
  std::string deleted = m_record;
  deleted[0] = '*';
  EXPECT_FALSE(kb.sameInputs(m_record, deleted)) << "the FOR clause reads the deleted flag";
  EXPECT_FALSE(kb.sameInputs(m_record, m_record.substr(0, m_record.size() - 1)));
  EXPECT_FALSE(kb.sameInputs(m_record, std::string()));

  // Without DELETED() the flag is not an input; the keys agree with that.
  ASSERT_TRUE(kb.compile("day", "amount > 5000", m_records.schema(), {}, false));
  EXPECT_TRUE(kb.sameInputs(m_record, deleted));
  std::string a, b;
  bool inA = false, inB = false;
  ASSERT_TRUE(kb.build(m_record, &m_records, &a, &inA));
  ASSERT_TRUE(kb.build(deleted, &m_records, &b, &inB));
  EXPECT_EQ(a, b);
  EXPECT_EQ(inA, inB);
  std::string richer = m_record;
  m_records.setNumber(richer, "AMOUNT", 6000);
  EXPECT_FALSE(kb.sameInputs(m_record, richer)) << "the FOR clause reads amount";
}

} // namespace
} // namespace pu::table
