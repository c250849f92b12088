#pragma once
// Bottom-up construction of tag trees and whole index files from sorted
// entries: leaves filled in key order, then each interior level over the one
// below, root last.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"
#include "platform/table/cdx_format.h"

namespace pu::table::cdx {

struct SortedEntries {
  std::uint32_t keyLength = 0;
  std::uint8_t filler = ' ';
  std::vector<std::uint8_t> keys;  // keyLength bytes each
  std::vector<std::uint32_t> recnos;
  std::size_t count() const { return recnos.size(); }
};

// Sorts by key bytes, then record number.
void sortEntries(SortedEntries* entries);

struct TreePlan {
  std::vector<std::pair<std::size_t, std::size_t>> leaves;              // entry ranges
  std::vector<std::vector<std::pair<std::size_t, std::size_t>>> upper;  // child ranges, level by level
  std::size_t pages() const;
};

TreePlan planTree(const SortedEntries& entries);
// Appends the tree's pages to image, whose size must equal base; returns the
// root offset, or 0 when a planned leaf does not fit its page.
std::uint32_t encodeTree(const SortedEntries& entries, const TreePlan& plan, std::uint32_t base, std::string* image);

struct BuiltTag {
  std::string name;  // upper case, at most 10 bytes
  IndexHeader header;
  SortedEntries entries;
};

// The whole file: header and tag directory, then each tag's header and tree.
Status buildIndexImage(std::vector<BuiltTag>& tags, std::string* image);

} // namespace pu::table::cdx
