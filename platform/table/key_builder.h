#pragma once
// A tag's key and FOR expressions compiled against a table, turning a
// record's bytes into the tag's key bytes.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/status.h"
#include "platform/table/expr_ast.h"
#include "platform/table/expr_eval.h"
#include "platform/table/expr_parser.h"

namespace pu::table {

class KeyBuilder {
public:
  // nullable: the tag's keys carry FoxPro's NULL prefix byte (option 0x02).
  Status compile(std::string_view keyExpr, std::string_view forExpr, const TableSchema& schema,
                 const expr::ParseOptions& options, bool nullable);

  // Key length the expression gives (prefix byte included), at most 240.
  std::uint32_t keyLength() const { return m_keyLength; }
  // The byte a leaf's trailing count stands for: blank for text keys, NUL otherwise.
  std::uint8_t filler() const { return m_filler; }
  expr::Type type() const { return m_root ? m_root->type : expr::Type::Char; }
  bool hasFor() const { return m_for != nullptr; }

  // The key of one record, and whether the FOR clause lets it into the tag.
  Status build(std::string_view record, RecordSource* source, std::string* key, bool* included) const;
  // The same for a value already evaluated (used for seeks on typed values).
  void encode(const expr::Value& value, std::string* key) const;
  // Whether two versions of a record agree in every byte the key and FOR
  // expressions read, so that their keys and FOR results are the same.
  bool sameInputs(std::string_view a, std::string_view b) const;

private:
  std::unique_ptr<expr::Node> m_root;
  std::unique_ptr<expr::Node> m_for;
  const TableSchema* m_schema = nullptr;
  int m_nullFlags = -1;
  std::uint32_t m_keyLength = 0;
  std::uint8_t m_filler = ' ';
  bool m_nullable = false;
  mutable expr::Value m_scratch;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> m_reads;  // record bytes read: offset, length
  std::uint32_t m_readsEnd = 0;
};

} // namespace pu::table
