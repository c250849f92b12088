// The xBase expression engine: values FoxPro gives for the functions keys use,
// and refusal of what it does not evaluate.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "platform/table/expr_eval.h"
#include "platform/table/expr_parser.h"
#include "platform/table/key_builder.h"
#include "tests/platform/table/cdx_test_support.h"

namespace pu::table {
namespace {

// The expression's value on the record: 'text', a number, .T. or .F., or
// why it is refused.
std::string evaluated(test::MemoryRecords& records, const std::string& record, const std::string& text) {
  std::unique_ptr<expr::Node> root;
  expr::EvalContext ctx;
  ctx.schema = &records.schema();
  ctx.record = record;
  ctx.source = &records;
  expr::Value v;
  Status s = expr::parse(text, records.schema(), {}, &root);
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

// Values on one record, refusals, and whether a change reaches a key's inputs.
TEST(ExprTest, ValuesFoxProGivesRefusalsAndTheInputsOfAKey) {
  test::MemoryRecords records(test::makeSchema({test::fieldOf("NAME", 'C', 15), test::fieldOf("AMOUNT", 'N', 9, 2),
                                                test::fieldOf("ID", 'I', 4), test::fieldOf("DAY", 'D', 8)}));
  std::string record = records.blank();
  records.setChar(record, "NAME", "  Mixed Case");
  records.setNumber(record, "AMOUNT", 1234.5);
  records.setInt(record, "ID", -7);
  records.setDate(record, "DAY", 1995, 2, 1);
  const std::pair<std::string, std::string> values[] = {
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
  for (const auto& [e, want] : values) EXPECT_EQ(evaluated(records, record, e), want) << e.substr(0, 60);
  const struct {
    const char* what;
    std::function<void(std::string&)> change;
    bool sameForName, sameForDay;  // key UPPER(name)+STR(id,5) FOR .NOT.DELETED(); key day FOR amount > 5000
  } changes[] = {
      {"nothing", [](std::string&) {}, true, true},
      {"amount and day",
       [&](std::string& x) { records.setNumber(x, "AMOUNT", 99.25), records.setDate(x, "DAY", 2001, 12, 31); }, true,
       false},
      {"name", [&](std::string& x) { records.setChar(x, "NAME", "  Mixed Casf"); }, false, true},
      {"id", [&](std::string& x) { records.setInt(x, "ID", 8); }, false, true},
      {"deleted flag", [](std::string& x) { x[0] = '*'; }, false, true},
      {"amount past 5000", [&](std::string& x) { records.setNumber(x, "AMOUNT", 6000); }, true, false},
      {"a shorter record", [](std::string& x) { x.pop_back(); }, false, false},
      {"no record", [](std::string& x) { x.clear(); }, false, false},
  };
  KeyBuilder byName, byDay;
  ASSERT_TRUE(byName.compile("UPPER(name)+STR(id,5)", ".NOT.DELETED()", records.schema(), {}, false));
  ASSERT_TRUE(byDay.compile("day", "amount > 5000", records.schema(), {}, false));
  EXPECT_EQ(KeyBuilder().compile("name", "amount", records.schema(), {}, false).code(), Status::Code::Unsupported);
  for (const auto& c : changes) {
    std::string other = record;
    c.change(other);
    EXPECT_EQ(byName.sameInputs(record, other), c.sameForName) << c.what;
    EXPECT_EQ(byDay.sameInputs(record, other), c.sameForDay) << c.what;
  }
  record[0] = '*';
  EXPECT_EQ(evaluated(records, record, "DELETED()"), ".T.");
}

// STR() of a field reads the field's digits straight where it can; every
// spelling of a number a field may hold gives what the arithmetic way gives.
TEST(ExprStr, OfANumericFieldAsOfItsValue) {
  test::MemoryRecords records(test::makeSchema({test::fieldOf("N", 'N', 7, 0)}));
  for (const char* stored : {"      5", "     -5", "      0", "     -0", "    007", "   -007", "  1.50 ", "       ",
                             "1234567", "  12 3 ", "    +12", "-123456", "***    "}) {
    std::string record = records.blank();
    record.replace(1, 7, stored);
    for (const std::string width : {"", ",7", ",9", ",3", ",7,1", ",1"}) {
      const std::string direct = evaluated(records, record, "STR(n" + width + ")");
      EXPECT_EQ(direct.front(), '\'') << direct;  // a text, not a refusal
      EXPECT_EQ(direct, evaluated(records, record, "STR(n*1" + width + ")")) << "'" << stored << "' STR(n" << width << ")";
    }
  }
}

} // namespace
} // namespace pu::table
