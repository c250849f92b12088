#pragma once
// A growable list of 32-bit integers with a chosen first index. The slot at
// the array's upper bound is always spare: the array grows before an item
// would be stored there, by the growth points callers can observe through
// ToArray, Item and ToString.
#include <cstdint>

#include "platform/text/ansi.h"
#include "util/bounded_array.h"

namespace pu {

class ArrayList {
public:
  ArrayList() { Reset(); }

  std::int16_t Count() const;
  void Reset(std::int16_t firstIndex = 0);
  // Shrinks the array to end at the last non-zero slot at index 2 or above;
  // slots at index 1 and below stay.
  void Trim();
  void AddItem(std::int32_t item);
  // Spare slots count too: a 0 is not added while a spare slot holds 0.
  void AddItemUnique(std::int32_t item, bool sorted = false);
  // False (nothing stored) for an index outside the array.
  bool SetItem(std::int32_t index, std::int32_t value);
  // 0 for an index outside the array.
  std::int32_t Item(std::int32_t index) const;
  void FromArray(const BoundedArray<std::int32_t>& array);
  BoundedArray<std::int32_t> ToArray() const;
  Text ToString(const Text& delimiter) const;

  std::int32_t upperBound() const { return m_items.upper(); }

private:
  BoundedArray<std::int32_t> m_items;
  std::int32_t m_next = 0;
};

} // namespace pu
