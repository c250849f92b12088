#include "db/node_key.h"

#include <string>

namespace pu {
namespace {

Text rightAligned(std::int64_t value, std::size_t width) {
  Text digits = fromUtf8(std::to_string(value));
  return digits.size() >= width ? digits : Text(width - digits.size(), u' ') + digits;
}

std::int32_t leadingValue(const Text& text) {
  std::size_t i = text.find_first_not_of(u' ');
  std::int64_t value = 0;
  bool negative = i != Text::npos && text[i] == u'-';
  if (negative) ++i;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && value < 1000000000; ++i) value = value * 10 + (text[i] - u'0');
  return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace

Text MakeNodeKey(std::int16_t tree, std::int32_t node) { return TreeKey(tree) + NodeNumberKey(node); }

Text NodeRefKey(const NodeRef& ref) { return MakeNodeKey(ref.tree, ref.node); }

Text NodeNumberKey(std::int32_t node) { return rightAligned(node, 7); }

Text TreeKey(std::int16_t tree) { return rightAligned(tree, 3); }

NodeRef ParseNodeKey(const Text& key) {
  Text node = key.size() > 7 ? key.substr(key.size() - 7) : key;
  return {static_cast<std::int16_t>(leadingValue(key.substr(0, 3))), leadingValue(node)};
}

NodeRef MakeNodeRef(std::int16_t tree, std::int32_t node) { return {tree, node}; }

} // namespace pu
