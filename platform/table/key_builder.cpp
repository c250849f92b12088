#include "platform/table/key_builder.h"

#include <algorithm>

#include "platform/table/cdx_format.h"
#include "platform/table/key_codec.h"

namespace pu::table {

namespace {
bool mentionsDeleted(const expr::Node& n) {
  if (n.op == expr::Op::Deleted) return true;
  for (const auto& a : n.args)
    if (mentionsDeleted(*a)) return true;
  return false;
}
} // namespace

Status KeyBuilder::compile(std::string_view keyExpr, std::string_view forExpr, const TableSchema& schema,
                           const expr::ParseOptions& options, bool nullable) {
  m_schema = &schema;
  m_nullFlags = expr::findNullFlagsField(schema);
  m_nullable = nullable;
  if (Status s = expr::parse(keyExpr, schema, options, &m_root); !s) return s;
  std::string_view f = forExpr;
  while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
  m_for.reset();
  if (!f.empty()) {
    if (Status s = expr::parse(f, schema, options, &m_for); !s) return s;
    if (m_for->type != expr::Type::Logical)
      return Status::unsupported("FOR expression \"" + std::string(forExpr) + "\" is not logical");
  }
  m_usesDeleted = mentionsDeleted(*m_root) || (m_for && mentionsDeleted(*m_for));
  std::uint32_t len = 0;
  m_filler = 0;
  switch (m_root->type) {
    case expr::Type::Char:
      len = m_root->width;
      // BINTOC() gives binary keys, whose filler is NUL.
      m_filler = m_root->op == expr::Op::BinToC ? 0 : ' ';
      break;
    case expr::Type::Integer: len = 4; break;
    case expr::Type::Logical: len = 1; m_filler = ' '; break;
    default: len = 8; break;
  }
  if (nullable) ++len;
  if (len == 0) return Status::unsupported("key expression \"" + std::string(keyExpr) + "\" has no fixed length");
  m_keyLength = std::min(len, cdx::kMaxKeyLength);
  return Status::ok();
}

void KeyBuilder::encode(const expr::Value& v, std::string* key) const {
  key->clear();
  std::uint32_t valueLength = m_keyLength - (m_nullable ? 1 : 0);
  if (m_nullable) {
    if (v.null) {
      key->assign(m_keyLength, '\0');
      return;
    }
    key->push_back(char(0x80));
  }
  switch (m_root->type) {
    case expr::Type::Char: {
      std::size_t n = std::min<std::size_t>(v.text.size(), valueLength);
      key->append(v.text, 0, n);
      key->append(valueLength - n, char(m_filler));
      break;
    }
    case expr::Type::Integer:
      if (v.type == expr::Type::Integer) key::appendInt32(v.integer, key);
      else key::appendInt32(std::int32_t(v.number), key);
      break;
    case expr::Type::Logical: key->push_back(v.boolean ? 'T' : 'F'); break;
    default: key::appendDouble(v.type == expr::Type::Integer ? double(v.integer) : v.number, key); break;
  }
}

Status KeyBuilder::build(std::string_view record, RecordSource* source, std::string* key, bool* included) const {
  expr::EvalContext ctx;
  ctx.schema = m_schema;
  ctx.record = record;
  ctx.source = source;
  ctx.nullFlagsField = m_nullFlags;
  *included = true;
  if (m_for) {
    if (Status s = expr::evaluate(*m_for, ctx, &m_scratch); !s) return s;
    *included = !m_scratch.null && m_scratch.boolean;
  }
  Status s = m_root->op == expr::Op::Field
                 ? expr::fieldValue(m_schema->fields[std::size_t(m_root->field)], ctx, &m_scratch)
                 : expr::evaluate(*m_root, ctx, &m_scratch);
  if (!s) return s;
  encode(m_scratch, key);
  return Status::ok();
}

} // namespace pu::table
