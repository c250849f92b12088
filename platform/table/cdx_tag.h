#pragma once
// One tag of a compound index: a B-tree of (key, record number) entries in
// 512-byte nodes, ordered by key bytes and then by record number. Nodes are
// decoded once and kept; changed nodes are written by flush().
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/status.h"
#include "platform/table/cdx_format.h"
#include "platform/table/cdx_pages.h"

namespace pu::table {

// Outcome of a seek: an entry whose key begins with the sought bytes; none,
// but positioned on the next greater key; or past the last entry.
enum class SeekResult { Found, After, End };

struct TagCursor {
  std::uint32_t leaf = 0;
  std::uint32_t index = 0;
  bool valid = false;
  // Leaves entered since the cursor was placed; a walk that enters more
  // leaves than the file has pages is going round a damaged sibling chain.
  std::uint64_t hops = 0;
};

class CdxTag {
public:
  // fillerKnown false: the trailing-count byte is a guess (keys we cannot
  // compute), so check() does not compare key bytes.
  CdxTag(cdx::PageStore& store, std::string name, std::uint32_t headerOffset, const cdx::IndexHeader& header,
         std::uint8_t filler, bool fillerKnown = true);

  const std::string& name() const { return m_name; }
  const cdx::IndexHeader& header() const { return m_header; }
  std::uint32_t headerOffset() const { return m_headerOffset; }
  std::uint32_t keyLength() const { return m_header.keyLength; }
  std::uint8_t filler() const { return m_filler; }

  // Key bytes shorter than the key length match as a leading part.
  Status seek(std::string_view key, TagCursor* cursor, SeekResult* result);
  // The entry (key, recno) itself; cursor->valid false when it is absent.
  Status locate(std::string_view key, std::uint32_t recno, TagCursor* cursor);
  Status first(TagCursor* cursor);
  Status last(TagCursor* cursor);
  // Steps in key order; the cursor becomes invalid past either end.
  Status next(TagCursor* cursor);
  Status prev(TagCursor* cursor);
  Status entry(const TagCursor& cursor, std::string* key, std::uint32_t* recno);

  // Brings the decoded nodes on the ways down to two entries into the
  // processor's cache side by side, so that the cache misses of an erase
  // and an insert that follow overlap instead of adding up. Reads nothing
  // from the file and changes nothing.
  void warm(std::string_view keyA, std::uint32_t recnoA, std::string_view keyB, std::uint32_t recnoB) const;

  // key must be keyLength() bytes.
  Status insert(std::string_view key, std::uint32_t recno);
  Status erase(std::string_view key, std::uint32_t recno);

  Status flush();
  bool dirty() const { return !m_dirty.empty() || m_rootDirty; }
  // Forgets decoded nodes (after a failed write, or to bound memory).
  void dropCache();

  // Walks the whole tree: order, counts, sibling links, node attributes, and
  // no node reached twice (pages seen by other tags are in `seen`).
  Status check(std::unordered_set<std::uint32_t>* seen, std::vector<std::pair<std::string, std::uint32_t>>* entries);

private:
  struct Step {
    std::uint32_t offset;
    cdx::NodeData* node;
    std::uint32_t index;
  };

  Status load(std::uint32_t offset, cdx::NodeData** node);
  std::string where(std::uint32_t offset) const;
  Status descend(std::string_view key, std::uint32_t recno, std::vector<Step>* path);
  Status edge(bool toLast, TagCursor* cursor);
  // From the root down to a leaf through the child `pick` chooses at each
  // interior node; a choice past the last key ends the walk without a leaf,
  // as does an empty tree (*leaf null).
  template <class Pick>
  Status downToLeaf(Pick pick, std::uint32_t* offset, cdx::NodeData** leaf);
  Status step(TagCursor* cursor, bool forward);
  bool overfull(const cdx::NodeData& n) const;
  void countInsert(cdx::NodeData* n, std::uint32_t index);
  void countErase(cdx::NodeData* n, std::uint32_t index);
  Status settle(std::vector<Step>& path, std::size_t level, bool appended);
  Status split(std::vector<Step>& path, std::size_t level, bool appended);
  Status propagate(std::vector<Step>& path, std::size_t level);
  Status removeNode(std::vector<Step>& path, std::size_t level);
  Status tryMerge(std::vector<Step>& path, std::size_t level, bool* merged);
  Status collapseRoot();
  Status newNode(std::uint16_t attributes, std::uint32_t* offset, cdx::NodeData** node);
  Status freeNode(std::uint32_t offset);
  void setEntryFromLast(cdx::NodeData* parent, std::uint32_t index, const cdx::NodeData& child);

  cdx::PageStore& m_store;
  std::string m_name;
  std::uint32_t m_headerOffset;
  cdx::IndexHeader m_header;
  std::uint8_t m_filler;
  bool m_fillerKnown;
  cdx::NodeData* cached(std::uint32_t offset) const {
    std::size_t page = offset / cdx::kPageSize;
    return page < m_nodes.size() ? m_nodes[page].get() : nullptr;
  }
  void markDirty(std::uint32_t offset);

  std::vector<std::unique_ptr<cdx::NodeData>> m_nodes;  // by page number
  std::vector<std::uint32_t> m_dirty;
  bool m_rootDirty = false;
  std::string m_page;
  std::vector<Step> m_path;  // insert's and erase's way down
};

} // namespace pu::table
