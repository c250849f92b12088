#include "platform/table/expr_parser.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/table/ascii_case.h"

namespace pu::table::expr {
namespace {

struct FunctionInfo {
  const char* name;
  Op op;
  int minArgs, maxArgs;
};

// FoxPro accepts any leading part of four or more letters of a function name.
const FunctionInfo kFunctions[] = {
    {"STR", Op::Str, 1, 3},        {"VAL", Op::Val, 1, 1},         {"UPPER", Op::Upper, 1, 1},
    {"LOWER", Op::Lower, 1, 1},    {"ALLTRIM", Op::AllTrim, 1, 1}, {"LTRIM", Op::LTrim, 1, 1},
    {"RTRIM", Op::RTrim, 1, 1},    {"TRIM", Op::RTrim, 1, 1},      {"LEFT", Op::Left, 2, 2},
    {"RIGHT", Op::Right, 2, 2},    {"SUBSTR", Op::Substr, 2, 3},   {"PADL", Op::PadL, 2, 3},
    {"PADR", Op::PadR, 2, 3},      {"DTOS", Op::Dtos, 1, 1},       {"TTOC", Op::Ttoc, 1, 2},
    {"BINTOC", Op::BinToC, 1, 2},  {"IIF", Op::Iif, 3, 3},         {"DELETED", Op::Deleted, 0, 0},
    {"EMPTY", Op::Empty, 1, 1},
};

const FunctionInfo* findFunction(const std::string& name) {
  for (const auto& f : kFunctions)
    if (name == f.name) return &f;
  if (name.size() < 4) return nullptr;
  const FunctionInfo* found = nullptr;
  for (const auto& f : kFunctions) {
    std::string_view full(f.name);
    if (full.size() > name.size() && full.substr(0, name.size()) == name) {
      if (found) return nullptr;
      found = &f;
    }
  }
  return found;
}

enum class Tok { End, Ident, Number, String, True, False, And, Or, Not, LParen, RParen, Comma, Plus, Minus, Star,
                 Slash, Eq, ExactEq, Ne, Lt, Le, Gt, Ge, Dollar, Arrow, Dot, Bad };

class Parser {
public:
  Parser(std::string_view text, const TableSchema& schema, const ParseOptions& options)
      : m_text(text), m_schema(schema), m_options(options) {}

  Status run(std::unique_ptr<Node>* root) {
    next();
    std::unique_ptr<Node> n;
    Status s = parseOr(&n);
    if (!s) return s;
    if (m_tok != Tok::End) return error("unexpected text");
    *root = std::move(n);
    return Status::ok();
  }

private:
  Status error(const std::string& what) {
    return Status::invalidArgument("expression \"" + std::string(m_text) + "\": " + what + " at position " +
                                   std::to_string(m_tokStart + 1));
  }
  Status unsupported(const std::string& what) {
    return Status::unsupported("expression \"" + std::string(m_text) + "\": " + what);
  }

  bool dotWord(std::string_view word) {
    std::size_t n = word.size();
    if (m_pos + 1 + n >= m_text.size()) return false;
    if (upperAscii(m_text.substr(m_pos + 1, n)) != word || m_text[m_pos + 1 + n] != '.') return false;
    m_pos += n + 2;
    return true;
  }

  void next() {
    while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
    m_tokStart = m_pos;
    m_word.clear();
    if (m_pos >= m_text.size()) {
      m_tok = Tok::End;
      return;
    }
    char c = m_text[m_pos];
    auto isIdent = [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; };
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      while (m_pos < m_text.size() && isIdent(m_text[m_pos])) m_word += m_text[m_pos++];
      m_tok = Tok::Ident;
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && m_pos + 1 < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos + 1])))) {
      while (m_pos < m_text.size() &&
             (std::isdigit(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '.'))
        m_word += m_text[m_pos++];
      m_tok = Tok::Number;
      return;
    }
    if (c == '"' || c == '\'' || c == '[') {
      char close = c == '[' ? ']' : c;
      std::size_t end = m_text.find(close, m_pos + 1);
      if (end == std::string_view::npos) {
        m_tok = Tok::Bad;
        return;
      }
      m_word = std::string(m_text.substr(m_pos + 1, end - m_pos - 1));
      m_pos = end + 1;
      m_tok = Tok::String;
      return;
    }
    if (c == '.') {
      if (dotWord("AND")) { m_tok = Tok::And; return; }
      if (dotWord("OR")) { m_tok = Tok::Or; return; }
      if (dotWord("NOT")) { m_tok = Tok::Not; return; }
      if (dotWord("T") || dotWord("Y")) { m_tok = Tok::True; return; }
      if (dotWord("F") || dotWord("N")) { m_tok = Tok::False; return; }
      ++m_pos;
      m_tok = Tok::Dot;
      return;
    }
    auto two = [&](char a, char b) {
      return c == a && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == b;
    };
    struct { char a, b; Tok t; } pairs[] = {{'=', '=', Tok::ExactEq}, {'<', '>', Tok::Ne}, {'!', '=', Tok::Ne},
                                            {'<', '=', Tok::Le},      {'=', '<', Tok::Le}, {'>', '=', Tok::Ge},
                                            {'=', '>', Tok::Ge},      {'-', '>', Tok::Arrow}};
    for (auto& p : pairs)
      if (two(p.a, p.b)) {
        m_pos += 2;
        m_tok = p.t;
        return;
      }
    ++m_pos;
    switch (c) {
      case '(': m_tok = Tok::LParen; return;
      case ')': m_tok = Tok::RParen; return;
      case ',': m_tok = Tok::Comma; return;
      case '+': m_tok = Tok::Plus; return;
      case '-': m_tok = Tok::Minus; return;
      case '*': m_tok = Tok::Star; return;
      case '/': m_tok = Tok::Slash; return;
      case '=': m_tok = Tok::Eq; return;
      case '#': m_tok = Tok::Ne; return;
      case '<': m_tok = Tok::Lt; return;
      case '>': m_tok = Tok::Gt; return;
      case '$': m_tok = Tok::Dollar; return;
      case '!': m_tok = Tok::Not; return;
      default: m_tok = Tok::Bad; return;
    }
  }

  static std::unique_ptr<Node> make(Op op, std::unique_ptr<Node> a, std::unique_ptr<Node> b = nullptr) {
    auto n = std::make_unique<Node>();
    n->op = op;
    n->args.push_back(std::move(a));
    if (b) n->args.push_back(std::move(b));
    return n;
  }

  Status parseOr(std::unique_ptr<Node>* out) {
    Status s = parseAnd(out);
    while (s && m_tok == Tok::Or) {
      next();
      std::unique_ptr<Node> r;
      if (!(s = parseAnd(&r))) break;
      *out = make(Op::Or, std::move(*out), std::move(r));
      s = typeCheck(out->get());
    }
    return s;
  }
  Status parseAnd(std::unique_ptr<Node>* out) {
    Status s = parseNot(out);
    while (s && m_tok == Tok::And) {
      next();
      std::unique_ptr<Node> r;
      if (!(s = parseNot(&r))) break;
      *out = make(Op::And, std::move(*out), std::move(r));
      s = typeCheck(out->get());
    }
    return s;
  }
  Status parseNot(std::unique_ptr<Node>* out) {
    if (m_tok == Tok::Not) {
      if (++m_depth > kMaxDepth) return error("expression nested too deeply");
      next();
      std::unique_ptr<Node> a;
      if (Status s = parseNot(&a); !s) return s;
      --m_depth;
      *out = make(Op::Not, std::move(a));
      return typeCheck(out->get());
    }
    return parseCompare(out);
  }
  Status parseCompare(std::unique_ptr<Node>* out) {
    Status s = parseSum(out);
    if (!s) return s;
    Op op;
    switch (m_tok) {
      case Tok::Eq: op = Op::Eq; break;
      case Tok::ExactEq: op = Op::ExactEq; break;
      case Tok::Ne: op = Op::Ne; break;
      case Tok::Lt: op = Op::Lt; break;
      case Tok::Le: op = Op::Le; break;
      case Tok::Gt: op = Op::Gt; break;
      case Tok::Ge: op = Op::Ge; break;
      case Tok::Dollar: op = Op::Contains; break;
      default: return s;
    }
    next();
    std::unique_ptr<Node> r;
    if (!(s = parseSum(&r))) return s;
    *out = make(op, std::move(*out), std::move(r));
    return typeCheck(out->get());
  }
  Status parseSum(std::unique_ptr<Node>* out) {
    Status s = parseProduct(out);
    while (s && (m_tok == Tok::Plus || m_tok == Tok::Minus)) {
      Op op = m_tok == Tok::Plus ? Op::Add : Op::Sub;
      next();
      std::unique_ptr<Node> r;
      if (!(s = parseProduct(&r))) break;
      *out = make(op, std::move(*out), std::move(r));
      s = typeCheck(out->get());
    }
    return s;
  }
  Status parseProduct(std::unique_ptr<Node>* out) {
    Status s = parseUnary(out);
    while (s && (m_tok == Tok::Star || m_tok == Tok::Slash)) {
      Op op = m_tok == Tok::Star ? Op::Mul : Op::Div;
      next();
      std::unique_ptr<Node> r;
      if (!(s = parseUnary(&r))) break;
      *out = make(op, std::move(*out), std::move(r));
      s = typeCheck(out->get());
    }
    return s;
  }
  Status parseUnary(std::unique_ptr<Node>* out) {
    if (m_tok == Tok::Minus || m_tok == Tok::Plus) {
      if (++m_depth > kMaxDepth) return error("expression nested too deeply");
      bool neg = m_tok == Tok::Minus;
      next();
      std::unique_ptr<Node> a;
      if (Status s = parseUnary(&a); !s) return s;
      --m_depth;
      if (!neg) {
        *out = std::move(a);
        return Status::ok();
      }
      *out = make(Op::Neg, std::move(a));
      return typeCheck(out->get());
    }
    return parsePrimary(out);
  }

  Status parsePrimary(std::unique_ptr<Node>* out) {
    auto n = std::make_unique<Node>();
    switch (m_tok) {
      case Tok::Number: {
        char* end = nullptr;
        n->op = Op::Number;
        n->number = std::strtod(m_word.c_str(), &end);
        if (!end || *end) return error("bad number");
        n->type = Type::Numeric;
        next();
        break;
      }
      case Tok::String:
        n->op = Op::String;
        n->text = m_word;
        n->type = Type::Char;
        n->width = std::uint32_t(m_word.size());
        next();
        break;
      case Tok::True:
      case Tok::False:
        n->op = Op::Bool;
        n->boolean = m_tok == Tok::True;
        n->type = Type::Logical;
        next();
        break;
      case Tok::LParen: {
        if (++m_depth > kMaxDepth) return error("expression nested too deeply");
        next();
        if (Status s = parseOr(&n); !s) return s;
        if (m_tok != Tok::RParen) return error("')' expected");
        --m_depth;
        next();
        break;
      }
      case Tok::Ident: {
        std::string name = upperAscii(m_word);
        next();
        if (m_tok == Tok::LParen) return parseCall(name, out);
        if (m_tok == Tok::Dot || m_tok == Tok::Arrow) {  // alias: the table's own name, ignored
          next();
          if (m_tok != Tok::Ident) return error("field name expected after alias");
          name = upperAscii(m_word);
          next();
        }
        return resolveField(name, out);
      }
      case Tok::Bad: return error("unreadable character");
      default: return error("operand expected");
    }
    *out = std::move(n);
    return Status::ok();
  }

  Status resolveField(const std::string& name, std::unique_ptr<Node>* out) {
    std::string stored = name;
    if (m_options.longNames) {
      auto it = m_options.longNames->find(name);
      if (it != m_options.longNames->end()) stored = upperAscii(it->second);
    }
    int index = -1;
    for (std::size_t i = 0; i < m_schema.fields.size(); ++i)
      if (upperAscii(m_schema.fields[i].name) == stored) index = int(i);
    if (index < 0 && m_options.guessTruncatedNames && stored.size() > 10)
      for (std::size_t i = 0; i < m_schema.fields.size(); ++i)
        if (upperAscii(m_schema.fields[i].name) == stored.substr(0, 10)) index = int(i);
    if (index < 0) return unsupported("field " + name + " is not in the table");
    const FieldDef& f = m_schema.fields[std::size_t(index)];
    auto n = std::make_unique<Node>();
    n->op = Op::Field;
    n->field = index;
    n->text = name;
    switch (f.type) {
      case 'C': case 'V': case 'Q': n->type = Type::Char; n->width = f.length; break;
      case 'M': case 'G': case 'W': n->type = Type::Char; n->width = 0; break;
      case 'N': case 'F': case 'Y': case 'B': n->type = Type::Numeric; break;
      case 'I': n->type = Type::Integer; break;
      case 'D': n->type = Type::Date; break;
      case 'T': n->type = Type::DateTime; break;
      case 'L': n->type = Type::Logical; break;
      default: return unsupported(std::string("field ") + name + " has type " + f.type);
    }
    *out = std::move(n);
    return Status::ok();
  }

  Status parseCall(const std::string& name, std::unique_ptr<Node>* out) {
    const FunctionInfo* fn = findFunction(name);
    if (!fn) return unsupported("function " + name + "() is not evaluated");
    if (++m_depth > kMaxDepth) return error("expression nested too deeply");
    next();  // '('
    auto n = std::make_unique<Node>();
    n->op = fn->op;
    if (m_tok != Tok::RParen) {
      for (;;) {
        std::unique_ptr<Node> a;
        if (Status s = parseOr(&a); !s) return s;
        n->args.push_back(std::move(a));
        if (m_tok != Tok::Comma) break;
        next();
      }
    }
    if (m_tok != Tok::RParen) return error("')' expected");
    next();
    --m_depth;
    int argc = int(n->args.size());
    if (argc < fn->minArgs || argc > fn->maxArgs) return error(std::string(fn->name) + "() has wrong argument count");
    *out = std::move(n);
    return typeCheck(out->get());
  }

  bool isNum(const Node* n) { return n->type == Type::Numeric || n->type == Type::Integer; }
  bool isConstNum(const Node* n) { return n->op == Op::Number; }
  std::uint32_t constArg(const Node* n) {
    double v = n->number;
    return v < 0 ? 0 : v > 1000 ? 1000 : std::uint32_t(v);
  }

  // Sets the result type and width, refusing combinations we do not evaluate.
  Status typeCheck(Node* n) {
    auto& a = n->args;
    auto need = [&](bool ok, const char* what) { return ok ? Status::ok() : unsupported(what); };
    switch (n->op) {
      case Op::Add:
      case Op::Sub:
        if (a[0]->type == Type::Char && a[1]->type == Type::Char) {
          n->type = Type::Char;
          n->width = a[0]->width + a[1]->width;
          return Status::ok();
        }
        if (isNum(a[0].get()) && isNum(a[1].get())) { n->type = Type::Numeric; return Status::ok(); }
        if ((a[0]->type == Type::Date || a[0]->type == Type::DateTime) && isNum(a[1].get())) {
          n->type = a[0]->type;
          return Status::ok();
        }
        if (n->op == Op::Sub && a[0]->type == a[1]->type && (a[0]->type == Type::Date || a[0]->type == Type::DateTime)) {
          n->type = Type::Numeric;
          return Status::ok();
        }
        return unsupported("operands of + or - of different types");
      case Op::Mul:
      case Op::Div:
      case Op::Neg:
        n->type = Type::Numeric;
        for (auto& x : a)
          if (!isNum(x.get())) return unsupported("arithmetic on a non-numeric value");
        return Status::ok();
      case Op::And:
      case Op::Or:
      case Op::Not:
        n->type = Type::Logical;
        for (auto& x : a)
          if (x->type != Type::Logical) return unsupported("logical operator on a non-logical value");
        return Status::ok();
      case Op::Eq: case Op::ExactEq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
        n->type = Type::Logical;
        if (isNum(a[0].get()) && isNum(a[1].get())) return Status::ok();
        return need(a[0]->type == a[1]->type, "comparison of different types");
      case Op::Contains:
        n->type = Type::Logical;
        return need(a[0]->type == Type::Char && a[1]->type == Type::Char, "$ needs two texts");
      case Op::Str: {
        n->type = Type::Char;
        if (!isNum(a[0].get())) return unsupported("STR() of a non-numeric value");
        for (std::size_t i = 1; i < a.size(); ++i)
          if (!isConstNum(a[i].get())) return unsupported("STR() with a computed width");
        n->width = a.size() > 1 ? constArg(a[1].get()) : 10;
        return Status::ok();
      }
      case Op::Val:
        n->type = Type::Numeric;
        return need(a[0]->type == Type::Char, "VAL() of a non-text value");
      case Op::Upper:
      case Op::Lower:
        if (!m_options.caseMappingKnown) return unsupported("UPPER()/LOWER() on a table of another code page");
        [[fallthrough]];
      case Op::AllTrim:
      case Op::LTrim:
      case Op::RTrim:
        n->type = Type::Char;
        n->width = a[0]->width;
        return need(a[0]->type == Type::Char, "text function of a non-text value");
      case Op::Left:
      case Op::Right:
        n->type = Type::Char;
        if (a[0]->type != Type::Char || !isConstNum(a[1].get())) return unsupported("LEFT()/RIGHT() arguments");
        n->width = constArg(a[1].get());
        if (a[0]->width) n->width = std::min(n->width, a[0]->width);
        return Status::ok();
      case Op::Substr: {
        n->type = Type::Char;
        if (a[0]->type != Type::Char) return unsupported("SUBSTR() of a non-text value");
        for (std::size_t i = 1; i < a.size(); ++i)
          if (!isConstNum(a[i].get())) return unsupported("SUBSTR() with computed positions");
        std::uint32_t start = std::max<std::uint32_t>(1, constArg(a[1].get()));
        std::uint32_t rest = a[0]->width >= start ? a[0]->width - start + 1 : 0;
        n->width = a.size() > 2 ? constArg(a[2].get()) : rest;
        if (a[0]->width) n->width = std::min(n->width, rest);
        return Status::ok();
      }
      case Op::PadL:
      case Op::PadR:
        n->type = Type::Char;
        if (a[0]->type != Type::Char || !isConstNum(a[1].get()) || (a.size() > 2 && a[2]->op != Op::String))
          return unsupported("PADL()/PADR() arguments");
        n->width = constArg(a[1].get());
        return Status::ok();
      case Op::Dtos:
        n->type = Type::Char;
        n->width = 8;
        return need(a[0]->type == Type::Date || a[0]->type == Type::DateTime, "DTOS() of a non-date value");
      case Op::Ttoc:
        n->type = Type::Char;
        n->width = 14;
        // Without the second argument the text follows SET DATE, which the
        // index file does not record.
        return need(a[0]->type == Type::DateTime && a.size() == 2 && isConstNum(a[1].get()) && a[1]->number == 1,
                    "TTOC() other than TTOC(t,1)");
      case Op::BinToC: {
        n->type = Type::Char;
        if (!isNum(a[0].get())) return unsupported("BINTOC() of a non-numeric value");
        std::uint32_t size = 4;
        if (a.size() > 1) {
          if (!isConstNum(a[1].get())) return unsupported("BINTOC() with a computed size");
          size = constArg(a[1].get());
        }
        if (size != 1 && size != 2 && size != 4) return unsupported("BINTOC() size other than 1, 2 or 4");
        n->width = size;
        return Status::ok();
      }
      case Op::Iif:
        if (a[0]->type != Type::Logical) return unsupported("IIF() condition is not logical");
        if (isNum(a[1].get()) && isNum(a[2].get())) {
          n->type = Type::Numeric;
          return Status::ok();
        }
        if (a[1]->type != a[2]->type) return unsupported("IIF() branches of different types");
        n->type = a[1]->type;
        n->width = std::max(a[1]->width, a[2]->width);
        return Status::ok();
      case Op::Deleted:
      case Op::Empty:
        n->type = Type::Logical;
        return Status::ok();
      default:
        return Status::ok();
    }
  }

  std::string_view m_text;
  const TableSchema& m_schema;
  const ParseOptions& m_options;
  static constexpr int kMaxDepth = 64;
  int m_depth = 0;
  std::size_t m_pos = 0;
  std::size_t m_tokStart = 0;
  Tok m_tok = Tok::End;
  std::string m_word;
};

} // namespace

Status parse(std::string_view text, const TableSchema& schema, const ParseOptions& options,
             std::unique_ptr<Node>* root) {
  if (text.size() > 1024) return Status::invalidArgument("expression longer than 1024 characters");
  Parser p(text, schema, options);
  return p.run(root);
}

} // namespace pu::table::expr
