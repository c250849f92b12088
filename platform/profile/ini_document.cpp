#include "platform/profile/ini_document.h"

#include <cctype>

namespace pu {
namespace {

std::string_view trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The section name of a header line "[name]", or nothing for other lines.
std::optional<std::string_view> headerName(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  std::size_t close = line.find(']');
  return trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

bool isComment(std::string_view line) {
  line = trim(line);
  return !line.empty() && line.front() == ';';
}

std::string_view stripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) return v.substr(1, v.size() - 2);
  return v;
}

} // namespace

IniDocument::IniDocument(std::string text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      m_lines.push_back({text.substr(start), ""});
      break;
    }
    std::size_t endingSize = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
    m_lines.push_back({text.substr(start, end - start), text.substr(end, endingSize)});
    start = end + endingSize;
  }
}

std::optional<std::size_t> IniDocument::findSection(std::string_view section) const {
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    auto name = headerName(m_lines[i].content);
    if (name && sameName(*name, section)) return i;
  }
  return std::nullopt;
}

std::size_t IniDocument::sectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < m_lines.size() && !headerName(m_lines[i].content)) ++i;
  return i;
}

std::optional<std::size_t> IniDocument::findKey(std::size_t header, std::string_view key) const {
  std::size_t end = sectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view line = m_lines[i].content;
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && !isComment(line) && sameName(trim(line.substr(0, eq)), trim(key))) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
  auto header = findSection(section);
  if (!header) return std::nullopt;
  auto line = findKey(*header, key);
  if (!line) return std::nullopt;
  std::string_view content = m_lines[*line].content;
  return std::string(stripQuotes(trim(content.substr(content.find('=') + 1))));
}

std::string IniDocument::newLineEnding() const {
  for (const Line& line : m_lines)
    if (!line.ending.empty()) return line.ending;
  return "\r\n";
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
  std::string entry = std::string(trim(key)) + "=" + std::string(value);
  std::string ending = newLineEnding();
  if (!m_lines.empty() && m_lines.back().ending.empty()) m_lines.back().ending = ending;

  auto header = findSection(section);
  if (!header) {
    // Built by appending: g++ 12 at -O2 mistakes "[" + std::string(...) for an overlapping copy (-Wrestrict).
    std::string headerLine = "[";
    headerLine += trim(section);
    headerLine += ']';
    m_lines.push_back({headerLine, ending});
    m_lines.push_back({entry, ending});
    return;
  }
  if (auto line = findKey(*header, key)) {
    m_lines[*line].content = entry;
    return;
  }
  // After the section's last non-blank line, so blank lines between sections stay.
  std::size_t at = sectionEnd(*header);
  while (at > *header + 1 && trim(m_lines[at - 1].content).empty()) --at;
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), Line{entry, ending});
}

std::string IniDocument::text() const {
  std::string out;
  for (const Line& line : m_lines) out += line.content + line.ending;
  return out;
}

} // namespace pu
