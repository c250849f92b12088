#include "db/array_list.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace pu {
namespace {

std::int32_t grownUpper(std::int32_t upper) {
  if (upper == 0) return 2;
  if (upper == 1) return 10;
  return static_cast<std::int32_t>(std::nearbyint(upper * 1.5));  // halves to even
}

} // namespace

std::int16_t ArrayList::Count() const { return static_cast<std::int16_t>(m_next - m_items.lower()); }

void ArrayList::Reset(std::int16_t firstIndex) {
  m_items = BoundedArray<std::int32_t>(firstIndex, {0});
  m_next = firstIndex;
}

void ArrayList::Trim() {
  std::int32_t upper = m_items.upper();
  while (upper >= 2 && upper > m_items.lower() && m_items[upper] == 0) --upper;
  m_items.resizeUpper(upper);
}

void ArrayList::AddItem(std::int32_t item) {
  while (m_next >= m_items.upper()) {
    std::int32_t upper = m_items.upper();
    m_items.resizeUpper(std::max(grownUpper(upper), upper + 1));
  }
  m_items[m_next++] = item;
}

void ArrayList::AddItemUnique(std::int32_t item, bool /*sorted*/) {
  for (std::int32_t i = m_items.lower(); i <= m_items.upper(); ++i)
    if (m_items[i] == item) return;
  AddItem(item);
}

bool ArrayList::SetItem(std::int32_t index, std::int32_t value) {
  if (!m_items.contains(index)) return false;
  m_items[index] = value;
  return true;
}

std::int32_t ArrayList::Item(std::int32_t index) const { return m_items.contains(index) ? m_items[index] : 0; }

void ArrayList::FromArray(const BoundedArray<std::int32_t>& array) {
  if (array.empty()) return Reset(static_cast<std::int16_t>(array.lower()));
  m_items = array;
  m_next = array.upper() + 1;
}

BoundedArray<std::int32_t> ArrayList::ToArray() const {
  BoundedArray<std::int32_t> out(m_items.lower());
  for (std::int32_t i = m_items.lower(); i < m_next; ++i) out.append(m_items[i]);
  return out;
}

Text ArrayList::ToString(const Text& delimiter) const {
  Text out;
  for (std::int32_t i = m_items.lower(); i <= m_items.upper(); ++i) {
    if (i > m_items.lower()) out += delimiter;
    out += fromUtf8(std::to_string(m_items[i]));
  }
  return out;
}

} // namespace pu
