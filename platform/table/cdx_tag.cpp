#include "platform/table/cdx_tag.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pu::table {

using cdx::NodeData;

namespace {

constexpr std::size_t kMaxDepth = 32;

// Keys are short and compared a few dozen times per seek: eight bytes at a
// time in place, instead of a library call per comparison.
inline int compareKeys(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  for (; n >= 8; a += 8, b += 8, n -= 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x == y) continue;
    if constexpr (std::endian::native == std::endian::little) {
      x = __builtin_bswap64(x);
      y = __builtin_bswap64(y);
    }
    return x < y ? -1 : 1;
  }
  for (; n > 0; ++a, ++b, --n)
    if (*a != *b) return *a < *b ? -1 : 1;
  return 0;
}

int compareEntry(const std::uint8_t* k, std::uint32_t r, const std::uint8_t* key, std::uint32_t recno,
                 std::size_t n) {
  int c = compareKeys(k, key, n);
  if (c) return c;
  return r < recno ? -1 : r > recno ? 1 : 0;
}

// A binary search waits on one cache line after another; asking for all
// of the node's keys first lets those fetches overlap.
template <class T>
void prefetchAll(const std::vector<T>& v) {
  const char* p = reinterpret_cast<const char*>(v.data());
  for (std::size_t at = 0; at < v.size() * sizeof(T); at += 64) __builtin_prefetch(p + at);
}

void prefetchKeys(const NodeData& n) {
  prefetchAll(n.keys);
  prefetchAll(n.recnos);
  prefetchAll(n.children);
}

std::uint32_t lowerBound(const NodeData& n, const std::uint8_t* key, std::uint32_t recno, std::size_t len) {
  prefetchKeys(n);
  std::uint32_t lo = 0, hi = std::uint32_t(n.count());
  while (lo < hi) {
    std::uint32_t mid = (lo + hi) / 2;
    if (compareEntry(&n.keys[std::size_t(mid) * len], n.recnos[mid], key, recno, len) < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

std::uint32_t prefixLowerBound(const NodeData& n, const std::uint8_t* key, std::size_t prefix, std::size_t len) {
  prefetchKeys(n);
  std::uint32_t lo = 0, hi = std::uint32_t(n.count());
  while (lo < hi) {
    std::uint32_t mid = (lo + hi) / 2;
    if (compareKeys(&n.keys[std::size_t(mid) * len], key, prefix) < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

const std::uint8_t* bytes(std::string_view s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

} // namespace

CdxTag::CdxTag(cdx::PageStore& store, std::string name, std::uint32_t headerOffset, const cdx::IndexHeader& header,
               std::uint8_t filler, bool fillerKnown)
    : m_store(store),
      m_name(std::move(name)),
      m_headerOffset(headerOffset),
      m_header(header),
      m_filler(filler),
      m_fillerKnown(fillerKnown) {}

std::string CdxTag::where(std::uint32_t offset) const {
  return m_store.path() + ": tag " + m_name + ", node at offset " + std::to_string(offset);
}

Status CdxTag::load(std::uint32_t offset, NodeData** node) {
  if (NodeData* hit = cached(offset)) {
    *node = hit;
    return Status::ok();
  }
  if (!m_store.validNode(offset) || offset == m_headerOffset || offset == m_headerOffset + 512)
    return Status::corruption(where(offset) + ": pointer outside the node area");
  if (Status s = m_store.read(offset, cdx::kPageSize, &m_page); !s) return s;
  auto n = std::make_unique<NodeData>();
  if (Status s = cdx::decodeNode(m_page, keyLength(), m_filler, n.get(), where(offset)); !s) return s;
  *node = n.get();
  std::size_t page = offset / cdx::kPageSize;
  if (page >= m_nodes.size()) m_nodes.resize(page + 1);
  m_nodes[page] = std::move(n);
  return Status::ok();
}

void CdxTag::markDirty(std::uint32_t offset) {
  NodeData* n = cached(offset);
  if (n && !n->dirty) {
    n->dirty = true;
    m_dirty.push_back(offset);
  }
}

void CdxTag::dropCache() {
  m_nodes.clear();
  m_dirty.clear();
  m_rootDirty = false;
}

Status CdxTag::descend(std::string_view key, std::uint32_t recno, std::vector<Step>* path) {
  path->clear();
  std::uint32_t offset = m_header.root;
  const std::size_t len = keyLength();
  for (;;) {
    if (path->size() >= kMaxDepth) return Status::corruption(where(offset) + ": tree deeper than possible (a loop?)");
    NodeData* n = nullptr;
    if (Status s = load(offset, &n); !s) return s;
    std::uint32_t i = lowerBound(*n, bytes(key), recno, len);
    if (n->isLeaf()) {
      path->push_back({offset, n, i});
      return Status::ok();
    }
    if (n->count() == 0) return Status::corruption(where(offset) + ": interior node without keys");
    if (i == n->count()) i = std::uint32_t(n->count() - 1);
    path->push_back({offset, n, i});
    offset = n->children[i];
  }
}

template <class Pick>
Status CdxTag::downToLeaf(Pick pick, std::uint32_t* offset, NodeData** leaf) {
  *leaf = nullptr;
  std::uint32_t at = m_header.root;
  for (std::size_t depth = 0;; ++depth) {
    if (depth >= kMaxDepth) return Status::corruption(where(at) + ": tree deeper than possible (a loop?)");
    NodeData* n = nullptr;
    if (Status s = load(at, &n); !s) return s;
    if (n->isLeaf()) {
      if (n->count() == 0) {
        if (depth == 0) return Status::ok();
        return Status::corruption(where(at) + ": empty leaf below an interior node");
      }
      *offset = at;
      *leaf = n;
      return Status::ok();
    }
    if (n->count() == 0) return Status::corruption(where(at) + ": interior node without keys");
    std::uint32_t i = pick(*n);
    if (i >= n->count()) return Status::ok();
    at = n->children[i];
  }
}

Status CdxTag::seek(std::string_view key, TagCursor* cursor, SeekResult* result) {
  const std::size_t len = keyLength();
  std::size_t prefix = std::min(key.size(), len);
  cursor->valid = false;
  cursor->hops = 0;
  *result = SeekResult::End;
  auto lowerBound = [&](const NodeData& n) { return prefixLowerBound(n, bytes(key), prefix, len); };
  NodeData* n = nullptr;
  std::uint32_t offset = 0;
  // Past the last key of an interior node every key is smaller.
  if (Status s = downToLeaf(lowerBound, &offset, &n); !s || !n) return s;
  cursor->leaf = offset;
  cursor->valid = true;
  cursor->index = lowerBound(*n);
  if (cursor->index == n->count()) {
    // Only a tree whose separators lag behind gets here; step on.
    cursor->index = cursor->index - 1;
    if (Status s = next(cursor); !s) return s;
    if (!cursor->valid) return Status::ok();
    if (Status s = load(cursor->leaf, &n); !s) return s;
  }
  const std::uint8_t* k = &n->keys[std::size_t(cursor->index) * len];
  *result = compareKeys(k, bytes(key), prefix) == 0 ? SeekResult::Found : SeekResult::After;
  return Status::ok();
}

Status CdxTag::locate(std::string_view key, std::uint32_t recno, TagCursor* cursor) {
  cursor->valid = false;
  cursor->hops = 0;
  std::vector<Step> path;
  if (Status s = descend(key, recno, &path); !s) return s;
  const Step& leaf = path.back();
  if (leaf.index < leaf.node->count() &&
      compareEntry(&leaf.node->keys[std::size_t(leaf.index) * keyLength()], leaf.node->recnos[leaf.index],
                   bytes(key), recno, keyLength()) == 0) {
    cursor->leaf = leaf.offset;
    cursor->index = leaf.index;
    cursor->valid = true;
  }
  return Status::ok();
}

Status CdxTag::edge(bool toLast, TagCursor* cursor) {
  cursor->valid = false;
  cursor->hops = 0;
  NodeData* n = nullptr;
  std::uint32_t offset = 0;
  auto outer = [toLast](const NodeData& node) { return toLast ? std::uint32_t(node.count() - 1) : 0u; };
  if (Status s = downToLeaf(outer, &offset, &n); !s || !n) return s;
  cursor->leaf = offset;
  cursor->index = outer(*n);
  cursor->valid = true;
  return Status::ok();
}

Status CdxTag::first(TagCursor* cursor) { return edge(false, cursor); }
Status CdxTag::last(TagCursor* cursor) { return edge(true, cursor); }

Status CdxTag::next(TagCursor* cursor) { return step(cursor, true); }
Status CdxTag::prev(TagCursor* cursor) { return step(cursor, false); }

Status CdxTag::step(TagCursor* cursor, bool forward) {
  if (!cursor->valid) return Status::ok();
  NodeData* n = nullptr;
  if (Status s = load(cursor->leaf, &n); !s) return s;
  if (cursor->index >= n->count()) return Status::invalidArgument("tag " + m_name + ": cursor out of date");
  if (forward ? cursor->index + 1 < n->count() : cursor->index > 0) {
    cursor->index = forward ? cursor->index + 1 : cursor->index - 1;
    return Status::ok();
  }
  // Each step must reach a strictly greater (smaller) entry, so a damaged
  // sibling chain that leads back cannot make a walk endless.
  const std::size_t len = keyLength();
  std::vector<std::uint8_t> from(n->keys.begin() + std::ptrdiff_t(std::size_t(cursor->index) * len),
                                 n->keys.begin() + std::ptrdiff_t(std::size_t(cursor->index + 1) * len));
  std::uint32_t fromRecno = n->recnos[cursor->index];
  std::uint64_t hops = m_store.fileSize() / cdx::kPageSize;
  std::uint32_t origin = cursor->leaf;
  std::uint32_t offset = forward ? n->right : n->left;
  while (offset != cdx::kNone) {
    if (hops-- == 0) return Status::corruption(where(origin) + ": sibling chain loops");
    if (Status s = load(offset, &n); !s) return s;
    if (!n->isLeaf()) return Status::corruption(where(offset) + ": sibling of a leaf is not a leaf");
    if (n->count()) {
      std::uint32_t i = forward ? 0 : std::uint32_t(n->count() - 1);
      int c = compareEntry(&n->keys[std::size_t(i) * len], n->recnos[i], from.data(), fromRecno, len);
      if (m_fillerKnown && (forward ? c <= 0 : c >= 0))
        return Status::corruption(where(offset) + ": sibling leaf out of key order");
      if (++cursor->hops > m_store.fileSize() / cdx::kPageSize)
        return Status::corruption(where(origin) + ": sibling chain loops");
      cursor->leaf = offset;
      cursor->index = i;
      return Status::ok();
    }
    offset = forward ? n->right : n->left;
  }
  cursor->valid = false;
  return Status::ok();
}

Status CdxTag::entry(const TagCursor& cursor, std::string* key, std::uint32_t* recno) {
  NodeData* n = nullptr;
  if (!cursor.valid) return Status::invalidArgument("tag " + m_name + ": no current entry");
  if (Status s = load(cursor.leaf, &n); !s) return s;
  if (cursor.index >= n->count()) return Status::invalidArgument("tag " + m_name + ": cursor out of date");
  key->assign(reinterpret_cast<const char*>(&n->keys[std::size_t(cursor.index) * keyLength()]), keyLength());
  *recno = n->recnos[cursor.index];
  return Status::ok();
}

bool CdxTag::overfull(const NodeData& n) const {
  if (!n.isLeaf()) return n.count() > cdx::interiorCapacity(keyLength());
  if (n.usedBytes >= 0) return std::size_t(n.usedBytes) > cdx::kLeafRoom;
  return !cdx::leafFits(n.keys.data(), n.recnos.data(), n.count(), keyLength(), m_filler);
}

// Keeps a leaf's byte count up to date across one insertion at index i, or
// marks it unknown when the entry width changes.
void CdxTag::countInsert(NodeData* n, std::uint32_t i) {
  const std::size_t len = keyLength();
  if (n->usedBytes < 0) {
    unsigned eb = 0;
    n->usedBytes = std::int32_t(cdx::leafUsedBytes(n->keys.data(), n->recnos.data(), n->count(), keyLength(), m_filler, &eb));
    n->entryBytes = std::uint8_t(eb);
    return;
  }
  if (cdx::leafEntryBytes(keyLength(), n->recnos[i]) > n->entryBytes) {
    n->usedBytes = -1;
    countInsert(n, i);
    return;
  }
  const std::uint8_t* k = &n->keys[std::size_t(i) * len];
  const std::uint8_t* prev = i ? k - len : nullptr;
  std::int32_t delta = n->entryBytes + std::int32_t(cdx::storedKeyBytes(k, prev, keyLength(), m_filler));
  if (i + 1 < n->count()) {
    const std::uint8_t* next = k + len;
    delta += std::int32_t(cdx::storedKeyBytes(next, k, keyLength(), m_filler)) -
             std::int32_t(cdx::storedKeyBytes(next, prev, keyLength(), m_filler));
  }
  n->usedBytes += delta;
}

// Keeps a leaf's byte count up to date across the removal of entry i (still
// in place), or marks it unknown when the entry width changes.
void CdxTag::countErase(NodeData* n, std::uint32_t i) {
  if (n->usedBytes < 0) return;
  std::uint32_t maxRecno = 0;
  for (std::size_t j = 0; j < n->count(); ++j)
    if (j != i) maxRecno = std::max(maxRecno, n->recnos[j]);
  if (cdx::leafEntryBytes(keyLength(), maxRecno) != n->entryBytes) {
    n->usedBytes = -1;
    return;
  }
  const std::size_t len = keyLength();
  const std::uint8_t* k = &n->keys[std::size_t(i) * len];
  const std::uint8_t* prev = i ? k - len : nullptr;
  std::int32_t delta = -std::int32_t(n->entryBytes + cdx::storedKeyBytes(k, prev, keyLength(), m_filler));
  if (i + 1 < n->count()) {
    const std::uint8_t* next = k + len;
    delta += std::int32_t(cdx::storedKeyBytes(next, prev, keyLength(), m_filler)) -
             std::int32_t(cdx::storedKeyBytes(next, k, keyLength(), m_filler));
  }
  n->usedBytes += delta;
}

void CdxTag::setEntryFromLast(NodeData* parent, std::uint32_t index, const NodeData& child) {
  const std::size_t len = keyLength();
  std::memcpy(&parent->keys[std::size_t(index) * len], &child.keys[(child.count() - 1) * len], len);
  parent->recnos[index] = child.recnos[child.count() - 1];
}

Status CdxTag::propagate(std::vector<Step>& path, std::size_t level) {
  const std::size_t len = keyLength();
  for (std::size_t i = level; i > 0; --i) {
    NodeData* child = path[i].node;
    Step& up = path[i - 1];
    if (child->count() == 0) break;
    const std::uint8_t* last = &child->keys[(child->count() - 1) * len];
    std::uint8_t* slot = &up.node->keys[std::size_t(up.index) * len];
    if (std::memcmp(slot, last, len) == 0 && up.node->recnos[up.index] == child->recnos[child->count() - 1]) break;
    setEntryFromLast(up.node, up.index, *child);
    markDirty(up.offset);
    if (up.index + 1 != up.node->count()) break;
  }
  return Status::ok();
}

Status CdxTag::newNode(std::uint16_t attributes, std::uint32_t* offset, NodeData** node) {
  if (Status s = m_store.allocate(offset); !s) return s;
  auto n = std::make_unique<NodeData>();
  n->attributes = attributes;
  *node = n.get();
  std::size_t page = *offset / cdx::kPageSize;
  if (page >= m_nodes.size()) m_nodes.resize(page + 1);
  m_nodes[page] = std::move(n);
  markDirty(*offset);
  return Status::ok();
}

Status CdxTag::freeNode(std::uint32_t offset) {
  std::size_t page = offset / cdx::kPageSize;
  if (page < m_nodes.size()) m_nodes[page].reset();
  m_store.release(offset);
  return Status::ok();
}

Status CdxTag::settle(std::vector<Step>& path, std::size_t level, bool appended) {
  if (overfull(*path[level].node)) return split(path, level, appended);
  return propagate(path, level);
}

Status CdxTag::split(std::vector<Step>& path, std::size_t level, bool appended) {
  const std::size_t len = keyLength();
  std::uint32_t offset = path[level].offset;
  NodeData* n = path[level].node;
  std::size_t count = n->count();
  std::size_t m = count / 2;
  if (n->isLeaf()) {
    auto fits = [&](std::size_t b, std::size_t e) {
      return cdx::leafFits(&n->keys[b * len], &n->recnos[b], e - b, keyLength(), m_filler);
    };
    // Appending at the right edge keeps left nodes full, as a rebuild would.
    if (appended && n->right == cdx::kNone && fits(0, count - 1)) m = count - 1;
    while (m > 1 && !fits(0, m)) --m;
    while (m + 1 < count && !fits(m, count)) ++m;
  } else if (appended && n->right == cdx::kNone) {
    m = count - 1;
  }
  std::uint32_t rightOffset = 0;
  NodeData* r = nullptr;
  if (Status s = newNode(std::uint16_t(n->attributes & ~cdx::kAttrRoot), &rightOffset, &r); !s) return s;
  n = path[level].node;  // the map may have rehashed; node objects stay put
  r->keys.assign(n->keys.begin() + std::ptrdiff_t(m * len), n->keys.end());
  r->recnos.assign(n->recnos.begin() + std::ptrdiff_t(m), n->recnos.end());
  if (!n->isLeaf()) r->children.assign(n->children.begin() + std::ptrdiff_t(m), n->children.end());
  n->keys.resize(m * len);
  n->usedBytes = -1;
  n->recnos.resize(m);
  if (!n->isLeaf()) n->children.resize(m);
  r->left = offset;
  r->right = n->right;
  if (n->right != cdx::kNone) {
    NodeData* rn = nullptr;
    if (Status s = load(n->right, &rn); !s) return s;
    rn->left = rightOffset;
    markDirty(n->right);
  }
  n->right = rightOffset;
  markDirty(offset);
  if (level == 0) {
    std::uint32_t rootOffset = 0;
    NodeData* root = nullptr;
    if (Status s = newNode(cdx::kAttrRoot, &rootOffset, &root); !s) return s;
    n->attributes = std::uint16_t(n->attributes & ~cdx::kAttrRoot);
    root->keys.resize(2 * len);
    root->recnos.resize(2);
    root->children = {offset, rightOffset};
    setEntryFromLast(root, 0, *n);
    setEntryFromLast(root, 1, *r);
    m_header.root = rootOffset;
    m_rootDirty = true;
    return Status::ok();
  }
  Step& up = path[level - 1];
  NodeData* p = up.node;
  setEntryFromLast(p, up.index, *n);
  p->keys.insert(p->keys.begin() + std::ptrdiff_t((up.index + 1) * len), len, 0);
  p->recnos.insert(p->recnos.begin() + std::ptrdiff_t(up.index + 1), 0);
  p->children.insert(p->children.begin() + std::ptrdiff_t(up.index + 1), rightOffset);
  setEntryFromLast(p, up.index + 1, *r);
  markDirty(up.offset);
  up.index += 1;
  return settle(path, level - 1, appended && up.index + 1 == p->count());
}

void CdxTag::warm(std::string_view keyA, std::uint32_t recnoA, std::string_view keyB, std::uint32_t recnoB) const {
  const std::size_t len = keyLength();
  if (keyA.size() != len || keyB.size() != len) return;
  const NodeData* a = cached(m_header.root);
  const NodeData* b = a;
  for (std::size_t depth = 0; a && b && depth < kMaxDepth; ++depth) {
    prefetchKeys(*a);
    prefetchKeys(*b);
    if (a->isLeaf() || b->isLeaf() || a->count() == 0 || b->count() == 0) {
      // An erase looks at the right sibling for a merge.
      if (a->isLeaf() && a->right != cdx::kNone)
        if (const NodeData* r = cached(a->right)) __builtin_prefetch(r);
      return;
    }
    std::uint32_t i = std::min(lowerBound(*a, bytes(keyA), recnoA, len), std::uint32_t(a->count() - 1));
    std::uint32_t j = std::min(lowerBound(*b, bytes(keyB), recnoB, len), std::uint32_t(b->count() - 1));
    a = cached(a->children[i]);
    b = cached(b->children[j]);
    if (a) __builtin_prefetch(a);
    if (b) __builtin_prefetch(b);
  }
}

Status CdxTag::insert(std::string_view key, std::uint32_t recno) {
  if (key.size() != keyLength()) return Status::invalidArgument("tag " + m_name + ": key of wrong length");
  std::vector<Step>& path = m_path;  // reused: no allocation per change
  if (Status s = descend(key, recno, &path); !s) return s;
  Step& leaf = path.back();
  NodeData* n = leaf.node;
  const std::size_t len = keyLength();
  n->keys.insert(n->keys.begin() + std::ptrdiff_t(std::size_t(leaf.index) * len), bytes(key), bytes(key) + len);
  n->recnos.insert(n->recnos.begin() + std::ptrdiff_t(leaf.index), recno);
  countInsert(n, leaf.index);
  markDirty(leaf.offset);
  bool appended = leaf.index + 1 == n->count();
  return settle(path, path.size() - 1, appended);
}

Status CdxTag::removeNode(std::vector<Step>& path, std::size_t level) {
  std::uint32_t offset = path[level].offset;
  NodeData* n = path[level].node;
  std::uint32_t left = n->left, right = n->right;
  if (left != cdx::kNone) {
    NodeData* l = nullptr;
    if (Status s = load(left, &l); !s) return s;
    l->right = right;
    markDirty(left);
  }
  if (right != cdx::kNone) {
    NodeData* r = nullptr;
    if (Status s = load(right, &r); !s) return s;
    r->left = left;
    markDirty(right);
  }
  if (Status s = freeNode(offset); !s) return s;
  Step& up = path[level - 1];
  NodeData* p = up.node;
  const std::size_t len = keyLength();
  p->keys.erase(p->keys.begin() + std::ptrdiff_t(std::size_t(up.index) * len),
                p->keys.begin() + std::ptrdiff_t(std::size_t(up.index + 1) * len));
  p->recnos.erase(p->recnos.begin() + std::ptrdiff_t(up.index));
  p->children.erase(p->children.begin() + std::ptrdiff_t(up.index));
  markDirty(up.offset);
  if (p->count() == 0) {
    if (level - 1 > 0) return removeNode(path, level - 1);
    p->attributes = cdx::kAttrRoot | cdx::kAttrLeaf;  // the tree is empty again
    p->children.clear();
    return Status::ok();
  }
  if (up.index == p->count()) {
    up.index = std::uint32_t(p->count() - 1);
    return propagate(path, level - 1);
  }
  return Status::ok();
}

Status CdxTag::tryMerge(std::vector<Step>& path, std::size_t level, bool* merged) {
  *merged = false;
  Step& up = path[level - 1];
  const std::uint32_t index = up.index;
  if (up.index + 1 >= up.node->count()) return Status::ok();
  NodeData* n = path[level].node;
  std::uint32_t rightOffset = up.node->children[up.index + 1];
  if (rightOffset != n->right) return Status::ok();
  NodeData* r = nullptr;
  if (Status s = load(rightOffset, &r); !s) return s;
  if (!r->isLeaf()) return Status::corruption(where(rightOffset) + ": sibling of a leaf is not a leaf");
  // Measure the joined leaf without building it.
  const std::size_t len = keyLength();
  if ((n->count() + r->count()) * 2 > cdx::kLeafRoom) return Status::ok();  // entries take 2 bytes or more
  std::size_t used = 0;
  if (n->usedBytes >= 0 && r->usedBytes >= 0 && n->entryBytes == r->entryBytes && n->count() && r->count()) {
    // Both counted at one entry width, which the joined leaf keeps; only
    // the right node's first key gains a predecessor.
    const std::uint8_t* first = r->keys.data();
    used = std::size_t(n->usedBytes) + std::size_t(r->usedBytes) +
           cdx::storedKeyBytes(first, &n->keys[(n->count() - 1) * len], keyLength(), m_filler) -
           cdx::storedKeyBytes(first, nullptr, keyLength(), m_filler);
  } else {
    std::uint32_t maxRecno = 0;
    for (auto v : n->recnos) maxRecno = std::max(maxRecno, v);
    for (auto v : r->recnos) maxRecno = std::max(maxRecno, v);
    used = (n->count() + r->count()) * cdx::leafEntryBytes(keyLength(), maxRecno);
    for (std::size_t i = 0; i < n->count() && used <= cdx::kLeafRoom; ++i)
      used += cdx::storedKeyBytes(&n->keys[i * len], i ? &n->keys[(i - 1) * len] : nullptr, keyLength(), m_filler);
    for (std::size_t i = 0; i < r->count() && used <= cdx::kLeafRoom; ++i)
      used += cdx::storedKeyBytes(&r->keys[i * len], i ? &r->keys[(i - 1) * len] : &n->keys[(n->count() - 1) * len],
                                  keyLength(), m_filler);
  }
  if (used > cdx::kLeafRoom) return Status::ok();
  std::vector<std::uint8_t> keys = n->keys;
  keys.insert(keys.end(), r->keys.begin(), r->keys.end());
  std::vector<std::uint32_t> recnos = n->recnos;
  recnos.insert(recnos.end(), r->recnos.begin(), r->recnos.end());
  // The right node's contents move left; the right node is removed as if emptied.
  n->keys = std::move(keys);
  n->usedBytes = -1;
  n->recnos = std::move(recnos);
  markDirty(path[level].offset);
  std::vector<Step> rightPath(path.begin(), path.begin() + std::ptrdiff_t(level));
  rightPath.back().index = index + 1;
  rightPath.push_back({rightOffset, r, 0});
  if (Status s = removeNode(rightPath, level); !s) return s;
  // removeNode left the parent pointing at the merged node's old last key.
  path[level - 1].index = index;
  *merged = true;
  return Status::ok();
}

Status CdxTag::collapseRoot() {
  for (std::size_t guard = 0; guard < kMaxDepth; ++guard) {
    NodeData* root = nullptr;
    if (Status s = load(m_header.root, &root); !s) return s;
    if (root->isLeaf() || root->count() != 1) return Status::ok();
    std::uint32_t child = root->children[0];
    NodeData* c = nullptr;
    if (Status s = load(child, &c); !s) return s;
    c->attributes = std::uint16_t(c->attributes | cdx::kAttrRoot);
    c->left = c->right = cdx::kNone;
    markDirty(child);
    if (Status s = freeNode(m_header.root); !s) return s;
    m_header.root = child;
    m_rootDirty = true;
  }
  return Status::ok();
}

Status CdxTag::erase(std::string_view key, std::uint32_t recno) {
  if (key.size() != keyLength()) return Status::invalidArgument("tag " + m_name + ": key of wrong length");
  std::vector<Step>& path = m_path;  // reused: no allocation per change
  if (Status s = descend(key, recno, &path); !s) return s;
  const std::size_t len = keyLength();
  std::size_t level = path.size() - 1;
  Step& leaf = path[level];
  NodeData* n = leaf.node;
  if (leaf.index >= n->count() ||
      compareEntry(&n->keys[std::size_t(leaf.index) * len], n->recnos[leaf.index], bytes(key), recno, len) != 0)
    return Status::corruption(m_store.path() + ": tag " + m_name + " has no entry for record " +
                              std::to_string(recno));
  countErase(n, leaf.index);
  n->keys.erase(n->keys.begin() + std::ptrdiff_t(std::size_t(leaf.index) * len),
                n->keys.begin() + std::ptrdiff_t(std::size_t(leaf.index + 1) * len));
  n->recnos.erase(n->recnos.begin() + std::ptrdiff_t(leaf.index));
  markDirty(leaf.offset);
  Status s;
  if (level == 0) return Status::ok();
  if (n->count() == 0) {
    s = removeNode(path, level);
  } else {
    bool merged = false;
    s = tryMerge(path, level, &merged);
    if (s) s = propagate(path, level);
  }
  if (!s) return s;
  return collapseRoot();
}

Status CdxTag::flush() {
  std::uint8_t page[cdx::kPageSize];
  for (std::uint32_t offset : m_dirty) {
    NodeData* node = cached(offset);
    if (!node || !node->dirty) continue;
    const NodeData& n = *node;
    if (n.isLeaf()) {
      if (!cdx::encodeLeaf(n.keys.data(), n.recnos.data(), n.count(), keyLength(), m_filler, n.attributes, n.left,
                           n.right, page))
        return Status::corruption(where(offset) + ": leaf would overflow its page; not written");
      // The encoded page tells the byte count the next insertion starts from.
      const std::int32_t used = std::int32_t(cdx::kLeafRoom - cdx::readLe16(page + 12));
#ifndef NDEBUG
      // Splits and merges were decided on the count kept across changes.
      if (node->usedBytes >= 0 && (node->usedBytes != used || node->entryBytes != page[23]))
        return Status::corruption(where(offset) + ": leaf byte count kept in memory is out of step; not written");
#endif
      node->usedBytes = used;
      node->entryBytes = page[23];
    } else if (n.count() > cdx::interiorCapacity(keyLength())) {
      return Status::corruption(where(offset) + ": interior node would overflow its page; not written");
    } else
      cdx::encodeInterior(n.keys.data(), n.recnos.data(), n.children.data(), n.count(), keyLength(), n.attributes,
                          n.left, n.right, page);
    if (Status s = m_store.write(offset, page, cdx::kPageSize); !s) return s;
    node->dirty = false;
  }
  m_dirty.clear();
  if (m_rootDirty) {
    std::uint8_t root[4];
    cdx::writeLe32(root, m_header.root);
    if (Status s = m_store.write(m_headerOffset, root, 4); !s) return s;
    m_rootDirty = false;
  }
  return Status::ok();
}

Status CdxTag::check(std::unordered_set<std::uint32_t>* seen,
                     std::vector<std::pair<std::string, std::uint32_t>>* entries) {
  const std::size_t len = keyLength();
  struct Item {
    std::uint32_t offset;
    std::size_t depth;
  };
  std::vector<Item> stack{{m_header.root, 0}};
  std::vector<std::uint32_t> leaves;
  std::size_t leafDepth = SIZE_MAX;
  entries->clear();
  while (!stack.empty()) {
    Item it = stack.back();
    stack.pop_back();
    if (it.depth >= kMaxDepth) return Status::corruption(where(it.offset) + ": tree deeper than possible");
    if (!seen->insert(it.offset).second) return Status::corruption(where(it.offset) + ": node reached twice");
    NodeData* n = nullptr;
    if (Status s = load(it.offset, &n); !s) return s;
    bool isRoot = it.depth == 0;
    if (bool(n->attributes & cdx::kAttrRoot) != isRoot)
      return Status::corruption(where(it.offset) + ": root attribute wrong");
    for (std::size_t i = 1; m_fillerKnown && i < n->count(); ++i)
      if (compareEntry(&n->keys[(i - 1) * len], n->recnos[i - 1], &n->keys[i * len], n->recnos[i], len) >= 0)
        return Status::corruption(where(it.offset) + ": keys out of order at entry " + std::to_string(i));
    if (n->isLeaf()) {
      if (leafDepth == SIZE_MAX) leafDepth = it.depth;
      if (leafDepth != it.depth) return Status::corruption(where(it.offset) + ": leaves at different depths");
      if (n->count() == 0 && !isRoot) return Status::corruption(where(it.offset) + ": empty leaf");
      if (!cdx::leafFits(n->keys.data(), n->recnos.data(), n->count(), keyLength(), m_filler))
        return Status::corruption(where(it.offset) + ": leaf overfull");
      leaves.push_back(it.offset);
      continue;
    }
    if (n->count() == 0) return Status::corruption(where(it.offset) + ": interior node without keys");
    for (std::size_t i = n->count(); i-- > 0;) {
      NodeData* c = nullptr;
      std::uint32_t child = n->children[i];
      if (Status s = load(child, &c); !s) return s;
      if (c->count() == 0) return Status::corruption(where(child) + ": empty node below an interior node");
      if ((m_fillerKnown && std::memcmp(&n->keys[i * len], &c->keys[(c->count() - 1) * len], len) != 0) ||
          n->recnos[i] != c->recnos[c->count() - 1])
        return Status::corruption(where(it.offset) + ": entry " + std::to_string(i) +
                                  " does not match the last key of its child");
      stack.push_back({child, it.depth + 1});
    }
  }
  for (std::size_t i = 0; i < leaves.size(); ++i) {
    NodeData* n = nullptr;
    if (Status s = load(leaves[i], &n); !s) return s;
    std::uint32_t wantLeft = i ? leaves[i - 1] : cdx::kNone;
    std::uint32_t wantRight = i + 1 < leaves.size() ? leaves[i + 1] : cdx::kNone;
    if (n->left != wantLeft || n->right != wantRight)
      return Status::corruption(where(leaves[i]) + ": sibling pointers do not match the tree");
    for (std::size_t k = 0; k < n->count(); ++k) {
      std::string key(reinterpret_cast<const char*>(&n->keys[k * len]), len);
      if (m_fillerKnown && !entries->empty() && (entries->back().first > key ||
                                (entries->back().first == key && entries->back().second >= n->recnos[k])))
        return Status::corruption(where(leaves[i]) + ": keys out of order across leaves");
      entries->emplace_back(std::move(key), n->recnos[k]);
    }
  }
  return Status::ok();
}

} // namespace pu::table
