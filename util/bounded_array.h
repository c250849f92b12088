#pragma once
// An array with a chosen lower bound, as the program's lists are passed
// around: lists the routines fill start at index 1, arrays handed out by
// ArrayList keep its first index. An array with no elements has upper() ==
// lower() - 1.
#include <cstdint>
#include <vector>

namespace pu {

template <typename T>
class BoundedArray {
public:
  BoundedArray() = default;
  explicit BoundedArray(std::int32_t lower, std::vector<T> items = {}) : m_lower(lower), m_items(std::move(items)) {}

  std::int32_t lower() const { return m_lower; }
  std::int32_t upper() const { return m_lower + static_cast<std::int32_t>(m_items.size()) - 1; }
  std::int32_t size() const { return static_cast<std::int32_t>(m_items.size()); }
  bool empty() const { return m_items.empty(); }
  bool contains(std::int32_t index) const { return index >= m_lower && index <= upper(); }

  T& operator[](std::int32_t index) { return m_items.at(static_cast<std::size_t>(index - m_lower)); }
  const T& operator[](std::int32_t index) const { return m_items.at(static_cast<std::size_t>(index - m_lower)); }

  void append(T value) { m_items.push_back(std::move(value)); }
  void clear(std::int32_t lower) {
    m_lower = lower;
    m_items.clear();
  }
  // Keeps the contents and the lower bound.
  void resizeUpper(std::int32_t upper) { m_items.resize(static_cast<std::size_t>(upper - m_lower + 1)); }

  const std::vector<T>& items() const { return m_items; }
  bool operator==(const BoundedArray&) const = default;

private:
  std::int32_t m_lower = 0;
  std::vector<T> m_items;
};

} // namespace pu
