#pragma once
// The rows of a sample course database: the classification tree, several
// state standards trees of realistic shape, questions and their links.
#include <cstdint>
#include <string>
#include <vector>

namespace pu::sample {

struct StandardRow {
  std::int16_t tree = 0;
  std::int32_t node = 0;
  std::int32_t parent = 0;
  std::int16_t order = 0;  // 1..799 numbered, 800.. unnumbered
  std::string title;       // plain; `encipher` asks for the stored form to be enciphered
  bool encipher = false;
};

struct LinkRow {
  std::int32_t id = 0;
  std::int16_t tree = 0;
  std::int32_t node = 0;
  std::int32_t question = 0;
};

struct LevelRule {
  std::string start, end, includeParent;
};

struct StateTree {
  std::int16_t tree = 0;
  std::vector<LevelRule> levels;
};

struct SampleContent {
  std::vector<StandardRow> standards;
  std::vector<std::int32_t> questions;
  std::vector<LinkRow> links;
  std::vector<StateTree> stateTrees;
};

// extraNodes > 0 adds one more state tree of about that many nodes.
SampleContent makeSampleContent(std::int32_t extraNodes, std::uint32_t seed);

} // namespace pu::sample
