#include "tree/tree_text.h"

#include <string>

#include "util/numbering.h"

namespace pu {

Text CategoryLevelName(std::int16_t level) {
  Text number = fromUtf8(std::to_string(level));
  return GetOptionString(u"Standard" + number + u"Name", u"Level " + number + u" Category");
}

int BookPictureIndex(std::int32_t node, bool picked, bool expanded, int level) {
  int base = node == 0 ? 300 : 100 + (picked ? 100 : 0) + (expanded ? 20 : 10);
  return base + level % 4 + 1;
}

} // namespace pu
