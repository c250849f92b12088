#include "platform/table/cdx_build.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace pu::table::cdx {

namespace {

std::uint64_t bigEndian(const std::uint8_t* k, std::size_t from, std::size_t len) {
  std::uint64_t p = 0;
  for (std::size_t b = from; b < from + 8; ++b) p = p << 8 | (b < len ? k[b] : 0);
  return p;
}

} // namespace

void sortEntries(SortedEntries* e) {
  const std::size_t n = e->count(), len = e->keyLength;
  const std::uint8_t* keys = e->keys.data();
  const std::uint32_t* recnos = e->recnos.data();
  auto before = [&](std::size_t a, std::size_t b) {
    int c = std::memcmp(keys + a * len, keys + b * len, len);
    return c ? c < 0 : recnos[a] < recnos[b];
  };
  // Keys often come in record order (numbers handed out as records are
  // added): one pass finds out, and such a tag needs no sort.
  bool sorted = true;
  for (std::size_t i = 1; i < n && sorted; ++i) sorted = before(i - 1, i);
  if (sorted) return;
  // A 16-byte big-endian prefix settles most comparisons without memcmp.
  struct Item {
    std::uint64_t high, low;
    std::uint32_t index;
  };
  std::vector<Item> items(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* k = keys + i * len;
    items[i] = {bigEndian(k, 0, len), bigEndian(k, 8, len), std::uint32_t(i)};
  }
  std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    if (len > 16) {
      int c = std::memcmp(keys + std::size_t(a.index) * len + 16, keys + std::size_t(b.index) * len + 16, len - 16);
      if (c) return c < 0;
    }
    return recnos[a.index] < recnos[b.index];
  });
  std::vector<std::uint8_t> sortedKeys(n * len);
  std::vector<std::uint32_t> sortedRecnos(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::memcpy(&sortedKeys[i * len], keys + std::size_t(items[i].index) * len, len);
    sortedRecnos[i] = recnos[items[i].index];
  }
  e->keys = std::move(sortedKeys);
  e->recnos = std::move(sortedRecnos);
}

std::size_t TreePlan::pages() const {
  std::size_t n = leaves.size();
  for (const auto& level : upper) n += level.size();
  return n;
}

namespace {

unsigned entryBytesFor(std::uint32_t keyLength, std::uint32_t maxRecno) {
  unsigned countBits = 0;
  for (std::uint32_t v = keyLength; v; v >>= 1) ++countBits;
  unsigned recBits = 1;
  for (std::uint32_t v = maxRecno >> 1; v; v >>= 1) ++recBits;
  return std::max(2u, (recBits + 2 * countBits + 7) / 8);
}

} // namespace

TreePlan planTree(const SortedEntries& e) {
  TreePlan plan;
  const std::size_t n = e.count(), len = e.keyLength;
  std::uint32_t maxRecno = 0;
  for (auto r : e.recnos) maxRecno = std::max(maxRecno, r);
  // The widest entry any leaf can need; a leaf with smaller record numbers
  // may pack tighter when encoded, never looser.
  const std::size_t entryBytes = entryBytesFor(e.keyLength, maxRecno);
  const std::size_t room = kPageSize - kLeafDataStart;
  std::size_t begin = 0, used = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* k = &e.keys[i * len];
    std::size_t trail = 0;
    while (trail < len && k[len - 1 - trail] == e.filler) ++trail;
    std::size_t dup = 0;
    if (i > begin)
      while (dup < len - trail && k[dup] == (k - len)[dup]) ++dup;
    std::size_t need = entryBytes + len - dup - trail;
    if (i > begin && used + need > room) {
      // Recount against an empty leaf: its first key shares nothing.
      plan.leaves.emplace_back(begin, i);
      begin = i;
      need = entryBytes + len - trail;
      used = 0;
    }
    used += need;
  }
  plan.leaves.emplace_back(begin, n);
  std::size_t below = plan.leaves.size();
  const std::size_t fanout = interiorCapacity(e.keyLength);
  while (below > 1) {
    std::vector<std::pair<std::size_t, std::size_t>> level;
    std::size_t nodes = (below + fanout - 1) / fanout;
    // Spread children evenly so that no node is left with a single child.
    for (std::size_t j = 0; j < nodes; ++j) level.emplace_back(below * j / nodes, below * (j + 1) / nodes);
    plan.upper.push_back(std::move(level));
    below = nodes;
  }
  return plan;
}

std::uint32_t encodeTree(const SortedEntries& e, const TreePlan& plan, std::uint32_t base, std::string* image) {
  const std::size_t len = e.keyLength;
  std::size_t total = plan.pages();
  std::size_t start = image->size();
  image->resize(start + total * kPageSize);
  auto page = [&](std::size_t i) { return reinterpret_cast<std::uint8_t*>(image->data()) + start + i * kPageSize; };
  auto offsetOf = [&](std::size_t i) { return std::uint32_t(base + i * kPageSize); };
  bool leafIsRoot = plan.upper.empty();
  // Last entry (key index) of each node of the level being built on.
  std::vector<std::size_t> lastEntry;
  std::size_t first = 0;
  for (std::size_t i = 0; i < plan.leaves.size(); ++i) {
    auto [b, end] = plan.leaves[i];
    std::uint32_t left = i ? offsetOf(i - 1) : kNone;
    std::uint32_t right = i + 1 < plan.leaves.size() ? offsetOf(i + 1) : kNone;
    if (!encodeLeaf(e.keys.data() + b * len, e.recnos.data() + b, end - b, e.keyLength, e.filler,
                    std::uint16_t(kAttrLeaf | (leafIsRoot ? kAttrRoot : 0)), left, right, page(i)))
      return 0;
    lastEntry.push_back(end ? end - 1 : 0);
  }
  std::size_t belowFirst = first;
  first += plan.leaves.size();
  std::vector<std::uint8_t> keys;
  std::vector<std::uint32_t> recnos, children;
  for (std::size_t lv = 0; lv < plan.upper.size(); ++lv) {
    const auto& level = plan.upper[lv];
    bool isRoot = lv + 1 == plan.upper.size();
    std::vector<std::size_t> nextLast;
    for (std::size_t j = 0; j < level.size(); ++j) {
      auto [b, end] = level[j];
      keys.clear();
      recnos.clear();
      children.clear();
      for (std::size_t c = b; c < end; ++c) {
        std::size_t k = lastEntry[c];
        keys.insert(keys.end(), e.keys.begin() + std::ptrdiff_t(k * len), e.keys.begin() + std::ptrdiff_t((k + 1) * len));
        recnos.push_back(e.recnos[k]);
        children.push_back(offsetOf(belowFirst + c));
      }
      std::uint32_t left = j ? offsetOf(first + j - 1) : kNone;
      std::uint32_t right = j + 1 < level.size() ? offsetOf(first + j + 1) : kNone;
      encodeInterior(keys.data(), recnos.data(), children.data(), children.size(), e.keyLength,
                     isRoot ? kAttrRoot : 0, left, right, page(first + j));
      nextLast.push_back(lastEntry[end - 1]);
    }
    lastEntry = std::move(nextLast);
    belowFirst = first;
    first += level.size();
  }
  return offsetOf(total - 1);
}

Status buildIndexImage(std::vector<BuiltTag>& tags, std::string* image) {
  std::sort(tags.begin(), tags.end(), [](const BuiltTag& a, const BuiltTag& b) { return a.name < b.name; });
  std::vector<TreePlan> plans;
  for (auto& t : tags) plans.push_back(planTree(t.entries));
  SortedEntries directory;
  directory.keyLength = 10;
  directory.filler = ' ';
  for (auto& t : tags) {
    std::string key = t.name.substr(0, 10);
    key.resize(10, ' ');
    directory.keys.insert(directory.keys.end(), key.begin(), key.end());
    directory.recnos.push_back(0);
  }
  // The directory's size depends on the tag offsets it holds; settle it.
  std::size_t dirPages = 1;
  TreePlan dirPlan;
  for (int round = 0; round < 8; ++round) {
    std::uint32_t at = std::uint32_t(kHeaderSize + dirPages * kPageSize);
    for (std::size_t i = 0; i < tags.size(); ++i) {
      directory.recnos[i] = at;
      at += std::uint32_t(kHeaderSize + plans[i].pages() * kPageSize);
    }
    dirPlan = planTree(directory);
    if (dirPlan.pages() == dirPages) break;
    dirPages = dirPlan.pages();
  }
  IndexHeader fileHeader;
  fileHeader.keyLength = 10;
  fileHeader.options = kOptCompact | kOptCompound | kOptDirectory;
  fileHeader.signature = 1;
  std::string bytes;
  image->clear();
  image->resize(kHeaderSize);
  fileHeader.root = encodeTree(directory, dirPlan, kHeaderSize, image);
  if (fileHeader.root == 0) return Status::invalidArgument("tag directory does not fit its pages");
  encodeHeader(fileHeader, &bytes);
  std::memcpy(image->data(), bytes.data(), kHeaderSize);
  for (std::size_t i = 0; i < tags.size(); ++i) {
    std::size_t headerAt = image->size();
    image->resize(headerAt + kHeaderSize);
    IndexHeader& h = tags[i].header;
    h.root = encodeTree(tags[i].entries, plans[i], std::uint32_t(image->size()), image);
    if (h.root == 0) return Status::invalidArgument("keys of tag " + tags[i].name + " do not fit their pages");
    h.freeList = 0;
    encodeHeader(h, &bytes);
    std::memcpy(image->data() + headerAt, bytes.data(), kHeaderSize);
  }
  return Status::ok();
}

} // namespace pu::table::cdx
