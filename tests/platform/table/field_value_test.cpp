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
  return decodeField(schema, f, " " + bytes);
}

// Well-formed values of every type are compared with dbfread's on the corpus
// (table_corpus_test); here what no published table holds.
TEST(FieldValue, KeepsWhatItCannotReadRaw) {
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
}

// Binary pointers are the corpus's to read (blocks past 5,000); digits are not in it.
TEST(FieldValue, MemoPointerAsDigits) {
  std::uint32_t block = 0;
  FieldDef fox = field('M', 10);
  EXPECT_TRUE(memoBlock(fox, "        42", &block));
  EXPECT_EQ(block, 42u);
  EXPECT_TRUE(memoBlock(fox, "          ", &block));
  EXPECT_EQ(block, 0u);
  EXPECT_EQ(memoBlock(fox, "      4x2 ", &block).code(), Status::Code::Corruption);
}

// What the encoders write is read back by dbfread in the round trips, which
// would not see text cut or a number not aligned right.
TEST(FieldValue, EncodersCutAlignAndRefuseWhatDoesNotFit) {
  std::string rec(12, ' ');
  ASSERT_TRUE(encodeText(field('C', 5, 1), "abcdefg", &rec));
  ASSERT_TRUE(encodeNumber(field('N', 6, 6, 2), 3.14159, &rec));
  EXPECT_EQ(rec, " abcde  3.14");
  EXPECT_EQ(encodeInteger(field('N', 4), 12345, &rec).code(), Status::Code::InvalidArgument);
  EXPECT_EQ(encodeText(field('N', 4), "x", &rec).code(), Status::Code::InvalidArgument);
  EXPECT_EQ(rec, " abcde  3.14");
}

// _NullFlags: bit 0 is V's length bit, bit 1 C's null bit.
TEST(FieldValue, NullFlagsGiveVarcharLengthsAndNulls) {
  FieldDef v = field('V', 6, 1), c = field('C', 3, 7), nf = field('0', 1, 10);
  v.varLengthBit = 0;
  c.flags = kFieldNullable;
  c.nullBit = 1;
  nf.name = "_NullFlags";
  nf.flags = kFieldSystem;
  TableSchema schema;
  schema.fields = {v, c, nf};
  std::string rec = std::string(" abc  ") + '\x03' + "xyz" + '\x01';
  EXPECT_EQ(decodeField(schema, v, rec).bytes, "abc");
  EXPECT_EQ(decodeField(schema, c, rec).kind, Value::Kind::Text);
  rec.back() = '\x02';
  EXPECT_EQ(decodeField(schema, v, rec).bytes, "abc  \x03");
  EXPECT_EQ(decodeField(schema, c, rec).kind, Value::Kind::Null);
  rec.back() = '\x01';
  rec[6] = '\x09';  // a used length past the field is damage
  EXPECT_EQ(decodeField(schema, v, rec).kind, Value::Kind::Raw);
}

} // namespace
} // namespace pu::table
