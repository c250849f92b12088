// Field codecs on hand-made record bytes.
#include <gtest/gtest.h>

#include "platform/table/field_value.h"

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
  std::string record = " " + bytes;
  return decodeField(schema, f, record);
}

TEST(FieldValue, DateTimeFromJulianDayAndMilliseconds) {
  // Julian day 2440552 is 1969-11-26; 79805999 ms is 22:10:05.999.
  std::string b = {'\x68', '\x3d', '\x25', '\x00', '\x2f', '\xbe', '\xc1', '\x04'};
  Value v = decode(field('T', 8), b);
  ASSERT_EQ(v.kind, Value::Kind::DateTime);
  EXPECT_EQ(julianDay(v.year, v.month, v.day), 2440552);
  EXPECT_EQ(v.year * 10000 + v.month * 100 + v.day, 19691126);
  EXPECT_EQ(v.hour * 3600000 + v.minute * 60000 + v.second * 1000 + v.ms, 79805999);
}

TEST(FieldValue, JulianDayOfKnownDates) {
  EXPECT_EQ(julianDay(1995, 2, 1), 2449750);
  int y, m, d;
  civilFromJulian(2449461, &y, &m, &d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 19940418);
}

TEST(FieldValue, NumberTextAndBlank) {
  Value v = decode(field('N', 8, 1, 2), "  -12.50");
  ASSERT_EQ(v.kind, Value::Kind::Number);
  EXPECT_DOUBLE_EQ(v.number, -12.5);
  EXPECT_EQ(decode(field('N', 4), "    ").kind, Value::Kind::Null);
}

TEST(FieldValue, FloatWithExponentAndOverflowedField) {
  Value v = decode(field('F', 8), " 1.5E+03");
  ASSERT_EQ(v.kind, Value::Kind::Number);
  EXPECT_DOUBLE_EQ(v.number, 1500);
  EXPECT_EQ(decode(field('N', 4), "****").kind, Value::Kind::Raw);  // FoxPro's overflow marks
  EXPECT_EQ(decode(field('N', 4), "1-2-").kind, Value::Kind::Raw);
}

TEST(FieldValue, GarbageInANumberIsRawNotGuessed) {
  Value v = decode(field('N', 4), "1x2 ");
  EXPECT_EQ(v.kind, Value::Kind::Raw);
  EXPECT_EQ(v.bytes, "1x2 ");
  EXPECT_EQ(decode(field('D', 8), "2024AB01").kind, Value::Kind::Raw);
  EXPECT_EQ(decode(field('L', 1), "x").kind, Value::Kind::Raw);
  EXPECT_EQ(decode(field('I', 3), "abc").kind, Value::Kind::Raw);  // wrong width for the type
}

TEST(FieldValue, CurrencyIsScaledByTenThousand) {
  std::string b(8, '\0');
  b[0] = '\x0e';  // 0x300e = 12302, that is 1.2302
  b[1] = '\x30';
  Value v = decode(field('Y', 8), b);
  ASSERT_EQ(v.kind, Value::Kind::Currency);
  EXPECT_EQ(v.integer, 0x300e);
}

TEST(FieldValue, MemoPointerBinaryAndDigits) {
  std::uint32_t block = 0;
  FieldDef vfp = field('M', 4);
  EXPECT_TRUE(memoBlock(vfp, std::string(" \x08\x01\x00\x00", 5), &block));
  EXPECT_EQ(block, 0x108u);
  FieldDef fox = field('M', 10);
  EXPECT_TRUE(memoBlock(fox, "        42", &block));
  EXPECT_EQ(block, 42u);
  EXPECT_TRUE(memoBlock(fox, "          ", &block));
  EXPECT_EQ(block, 0u);
  EXPECT_EQ(memoBlock(fox, "      4x2 ", &block).code(), Status::Code::Corruption);
}

TEST(FieldValue, EncodersRoundTrip) {
  std::string rec(40, ' ');
  FieldDef n = field('N', 6, 1, 2), i = field('I', 4, 7), c = field('C', 5, 11), d = field('D', 8, 16), m = field('M', 10, 24);
  ASSERT_TRUE(encodeNumber(n, 3.14159, &rec));
  ASSERT_TRUE(encodeInteger(i, -2, &rec));
  ASSERT_TRUE(encodeText(c, "abcdefg", &rec));
  ASSERT_TRUE(encodeDate(d, 2024, 2, 29, &rec));
  ASSERT_TRUE(encodeMemoBlock(m, 77, &rec));
  EXPECT_EQ(rec.substr(1, 6), "  3.14");
  EXPECT_EQ(rec.substr(11, 5), "abcde");
  EXPECT_EQ(rec.substr(16, 8), "20240229");
  EXPECT_EQ(rec.substr(24, 10), "        77");
  TableSchema schema;
  schema.fields = {n, i};
  EXPECT_EQ(decodeField(schema, i, rec).integer, -2);
}

TEST(FieldValue, TooWideNumberIsRefusedAndRecordKept) {
  std::string rec(7, ' ');
  FieldDef n = field('N', 4);
  Status s = encodeInteger(n, 12345, &rec);
  EXPECT_EQ(s.code(), Status::Code::InvalidArgument);
  EXPECT_EQ(rec, std::string(7, ' '));
  EXPECT_EQ(encodeText(field('N', 4), "x", &rec).code(), Status::Code::InvalidArgument);
}

TEST(FieldValue, VarcharUsesLengthByteWhenFlagged) {
  FieldDef v = field('V', 6, 1);
  v.varLengthBit = 0;
  FieldDef nf = field('0', 1, 7);
  nf.name = "_NullFlags";
  nf.flags = kFieldSystem;
  TableSchema schema;
  schema.fields = {v, nf};
  std::string rec = std::string(" abc  ") + '\x03' + '\x01';
  Value got = decodeField(schema, v, rec);
  EXPECT_EQ(got.bytes, "abc");
  rec.back() = '\x00';
  EXPECT_EQ(decodeField(schema, v, rec).bytes, "abc  \x03");
  rec.back() = '\x01';
  rec[6] = '\x09';  // a used length past the field is damage
  EXPECT_EQ(decodeField(schema, v, rec).kind, Value::Kind::Raw);
}

TEST(FieldValue, NullFlagMakesValueNull) {
  FieldDef c = field('C', 3, 1);
  c.flags = kFieldNullable;
  c.nullBit = 1;
  FieldDef nf = field('0', 1, 4);
  nf.name = "_NullFlags";
  TableSchema schema;
  schema.fields = {c, nf};
  EXPECT_EQ(decodeField(schema, c, std::string(" abc") + '\x02').kind, Value::Kind::Null);
  EXPECT_EQ(decodeField(schema, c, std::string(" abc") + '\x01').kind, Value::Kind::Text);
}

} // namespace
} // namespace pu::table
