#include "db/state_prefix.h"

#include <algorithm>
#include <limits>

#include "db/standards_table.h"
#include "util/general.h"
#include "util/ini_file.h"
#include "util/path_globals.h"
#include "util/stored_text.h"

namespace pu {
namespace {

Text shortTitle(const Text& title) {
  TextList pieces;
  SplitText(title, pieces, u"*", true);
  switch (pieces.size()) {
    case 1: return title;
    case 2: return pieces[1];
    case 3: return pieces[2];
    default: return {};  // no piece at all, or no valid layout
  }
}

Text decimal(std::int32_t n) { return fromUtf8(std::to_string(n)); }

// 1-based position of part in text, 0 when absent; an empty part is at 1.
std::size_t position(const Text& text, const Text& part) {
  std::size_t at = text.find(part);
  return at == Text::npos ? 0 : at + 1;
}

// The text from 1-based position on; empty past its end.
Text from(const Text& text, std::size_t position) { return position > text.size() ? Text() : text.substr(position - 1); }

} // namespace

Text DisplayTextOfTitle(const Text& title, std::int32_t mode) {
  switch (mode) {
    case DisplayPlain: return RemoveAll(title, u"*");
    case DisplayShort: return shortTitle(title);
    case DisplayStored: return title;
    default: return {};
  }
}

Text StandardDisplayText(std::int16_t tree, std::int32_t node, std::int32_t mode) {
  std::optional<StandardRow> row = StandardsTable().find({tree, node});
  return row ? DisplayTextOfTitle(DecodeStoredText(row->title), mode) : Text();
}

PrefixExample TakePrefixExample(const Text& text, int selectionStart, int& selectionLength) {
  const int length = static_cast<int>(text.size());
  const int start = std::clamp(selectionStart, 0, length);
  selectionLength = std::clamp(selectionLength, 0, length - start);
  Text selected = text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(selectionLength));
  // The character after an identifier such as 1.2 becomes its separator.
  if (!selected.empty() && IsAlphanumericChar(selected.substr(selected.size() - 1)) && start + selectionLength < length) {
    ++selectionLength;
    selected = text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(selectionLength));
  }
  PrefixExample example;
  example.before = text.substr(0, static_cast<std::size_t>(start));
  example.identifier = selected;
  if (!selected.empty()) example.separator = selected.substr(selected.size() - 1);
  example.separatorCount = static_cast<std::int16_t>(
      example.separator.empty() ? -1 : std::count(selected.begin(), selected.end(), example.separator[0]) - 1);
  return example;
}

Text MarkIdentifier(const Text& title, const PrefixExample& example, const Text& parentIdentifier) {
  Text plain = RemoveAll(title, u"*");
  std::size_t p = example.before.empty() ? 0 : position(UpperAscii(plain), UpperAscii(example.before));
  std::size_t l = example.before.empty() ? 1 : example.before.size();
  Text head = plain.substr(0, std::min(plain.size(), p + l - 1));
  Text rest = from(plain, p + l);
  // The identifier is separatorCount + 1 runs, each ending with the separator.
  std::size_t length = 0;
  Text scan = UpperAscii(rest);
  Text wanted = UpperAscii(example.separator);
  for (std::int32_t pass = 0; pass <= example.separatorCount; ++pass) {
    std::size_t q = wanted.empty() ? scan.size() : position(scan, wanted);
    length += q;
    scan = from(scan, q + 1);
  }
  return TrimSpaces(head + u"*" + parentIdentifier + rest.substr(0, length) + u"*" + from(rest, length + 1));
}

std::vector<LevelRule> ReadLevelRules(const Text& stateTree) {
  SetIniFile(u"State" + stateTree, ClassTablePath + u"\\classification.ini");
  std::vector<LevelRule> rules;
  for (std::int32_t k = 1; k <= std::numeric_limits<std::int16_t>::max(); ++k) {
    Text level = u"Level" + decimal(k);
    Text start = GetIniString(level + u"Start", u"0");
    if (start == u"0") break;
    rules.push_back({static_cast<std::int16_t>(k), start, GetIniString(level + u"End", u"0"),
                     GetIniString(level + u"IncludeParent", u"0")});
  }
  return rules;
}

} // namespace pu
