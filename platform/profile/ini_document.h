#pragma once
// An INI file's text as lines, for finding and replacing one value while
// keeping everything else byte for byte.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pu {

class IniDocument {
public:
  explicit IniDocument(std::string text);

  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  void setValue(std::string_view section, std::string_view key, std::string_view value);
  std::string text() const;

private:
  struct Line {
    std::string content;
    std::string ending;  // "\r\n", "\n", "\r" or empty for the last line
  };
  std::optional<std::size_t> findSection(std::string_view section) const;
  // End of the section's lines (the next section's header or the end).
  std::size_t sectionEnd(std::size_t header) const;
  std::optional<std::size_t> findKey(std::size_t header, std::string_view key) const;
  std::string newLineEnding() const;

  std::vector<Line> m_lines;
};

} // namespace pu
