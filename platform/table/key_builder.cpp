#include "platform/table/key_builder.h"

#include <algorithm>
#include <cstring>

#include "platform/table/cdx_format.h"
#include "platform/table/key_codec.h"

namespace pu::table {

namespace {
// Memo texts are reached through the pointer bytes: a changed memo is
// written to new blocks, so its pointer changes with it.
void collectReads(const expr::Node& n, const TableSchema& schema,
                  std::vector<std::pair<std::uint32_t, std::uint32_t>>* reads) {
  if (n.op == expr::Op::Field && n.field >= 0 && std::size_t(n.field) < schema.fields.size()) {
    const FieldDef& f = schema.fields[std::size_t(n.field)];
    reads->emplace_back(f.offset, f.length);
  }
  if (n.op == expr::Op::Deleted) reads->emplace_back(0, 1);
  for (const auto& a : n.args) collectReads(*a, schema, reads);
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
  m_reads.clear();
  collectReads(*m_root, schema, &m_reads);
  if (m_for) collectReads(*m_for, schema, &m_reads);
  if (m_nullFlags >= 0) {
    const FieldDef& nf = schema.fields[std::size_t(m_nullFlags)];
    m_reads.emplace_back(nf.offset, nf.length);
  }
  // Sorted and joined where they touch, so a check compares few runs.
  std::sort(m_reads.begin(), m_reads.end());
  std::size_t runs = 0;
  for (const auto& r : m_reads) {
    if (runs && r.first <= m_reads[runs - 1].first + m_reads[runs - 1].second) {
      auto& last = m_reads[runs - 1];
      last.second = std::max(last.second, r.first + r.second - last.first);
    } else {
      m_reads[runs++] = r;
    }
  }
  m_reads.resize(runs);
  m_readsEnd = runs ? m_reads.back().first + m_reads.back().second : 0;
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

bool KeyBuilder::sameInputs(std::string_view a, std::string_view b) const {
  // Records of different or short lengths are evaluated, errors included.
  if (!m_root || a.size() != b.size() || a.size() < m_readsEnd) return false;
  for (const auto& [offset, length] : m_reads)
    if (std::memcmp(a.data() + offset, b.data() + offset, length) != 0) return false;
  return true;
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
