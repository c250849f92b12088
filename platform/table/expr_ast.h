#pragma once
// The parsed form of an xBase expression: a tree whose nodes carry their
// result type and, for character results, their width, both fixed when the
// expression is compiled against a table's fields.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pu::table::expr {

enum class Type : std::uint8_t { Char, Numeric, Integer, Date, DateTime, Logical };

enum class Op : std::uint8_t {
  // leaves
  Field, String, Number, Bool,
  // operators
  Add, Sub, Mul, Div, Neg, And, Or, Not, Eq, ExactEq, Ne, Lt, Le, Gt, Ge, Contains,
  // functions
  Str, Val, Upper, Lower, AllTrim, LTrim, RTrim, Left, Right, Substr, PadL, PadR, Dtos, Ttoc, BinToC, Iif,
  Deleted, Empty,
};

struct Node {
  Op op = Op::Number;
  Type type = Type::Numeric;
  std::uint32_t width = 0;  // character results: the largest length
  std::string text;         // string literal, or the field name as written
  double number = 0;        // numeric literal
  bool boolean = false;     // logical literal
  int field = -1;           // index into the schema's fields
  std::vector<std::unique_ptr<Node>> args;
};

// A value during evaluation. Dates and datetimes are Julian day numbers
// (plus the fraction of the day); 0 is the empty date.
struct Value {
  Type type = Type::Numeric;
  bool null = false;
  bool boolean = false;
  std::int32_t integer = 0;
  double number = 0;
  std::string text;
};

} // namespace pu::table::expr
