#include "db/state_prefix.h"

#include <limits>

#include "db/course_tables.h"
#include "db/standards_model.h"
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
  // A failed seek leaves some other record current; its title is not this one's.
  if (!RefFindFirst(standard::StandardID, MakeNodeKey(tree, node))) return {};
  return DisplayTextOfTitle(DecodeStoredText(RefValStr(standard::descript)), mode);
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
