#include "tools/sample/sample_content.h"

#include <algorithm>
#include <random>
#include <string>

namespace pu::sample {
namespace {

const char* const kTopics[] = {"Number sense", "Fractions", "Decimals", "Ratios and proportions", "Expressions",
                               "Equations", "Geometry", "Measurement", "Data analysis", "Probability",
                               "Functions", "Patterns", "Place value", "Estimation", "Angles", "Area and volume"};

std::string roman(int n) {
  static const std::pair<int, const char*> numerals[] = {{10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"}};
  std::string out;
  for (auto [value, letters] : numerals)
    for (; n >= value; n -= value) out += letters;
  return out;
}

class TreeBuilder {
public:
  TreeBuilder(SampleContent& content, std::int16_t tree) : m_content(content), m_tree(tree) {}

  std::int32_t root(const std::string& title) {
    // Roots are their own parent in some real databases and parentless in others.
    m_content.standards.push_back({m_tree, 1, m_tree % 2 == 0 ? 1 : 0, 1, title, false});
    return 1;
  }
  std::int32_t child(std::int32_t parent, std::int16_t order, const std::string& title, bool encipher = false) {
    std::int32_t node = ++m_lastNode;
    m_content.standards.push_back({m_tree, node, parent, order, title, encipher});
    return node;
  }

private:
  SampleContent& m_content;
  std::int16_t m_tree;
  std::int32_t m_lastNode = 1;
};

void classificationTree(SampleContent& c) {
  TreeBuilder b(c, 1);
  std::int32_t root = b.root("Corvane Classification");
  const char* subjects[] = {"Mathematics", "Science", "Language Arts", "Social Studies"};
  for (int s = 0; s < 4; ++s) {
    std::int32_t subject = b.child(root, static_cast<std::int16_t>(s + 1), subjects[s]);
    for (int t = 0; t < 4; ++t) b.child(subject, static_cast<std::int16_t>(t + 1), kTopics[(s * 4 + t) % 16]);
  }
}

// "1. Number sense", "1.2. Fractions", "A. Compare ..." with some titles already
// marked, some with ": " and some enciphered; unnumbered notes at 800 and up.
void decimalTree(SampleContent& c, std::int16_t tree, const std::string& name) {
  TreeBuilder b(c, tree);
  std::int32_t root = b.root(name);
  for (int i = 1; i <= 5; ++i) {
    std::string id = std::to_string(i) + ".";
    std::string title = i == 2 ? "*" + id + "* " + kTopics[i] : id + " " + kTopics[i];
    std::int32_t unit = b.child(root, static_cast<std::int16_t>(i), title, i == 4);
    for (int j = 1; j <= 4; ++j) {
      std::string sub = id + std::to_string(j) + ".";
      std::int32_t standard = b.child(unit, static_cast<std::int16_t>(j), sub + " " + kTopics[(i + j) % 16] + ": core skills");
      for (int k = 1; k <= 3; ++k) {
        std::string letter(1, static_cast<char>('A' + k - 1));
        b.child(standard, static_cast<std::int16_t>(k), letter + ". Apply " + kTopics[(i * j + k) % 16], (i + j + k) % 7 == 0);
      }
    }
    b.child(unit, 800, "Vocabulary for " + std::string(kTopics[i]));
    b.child(unit, 801, "Teacher notes");
  }
  b.child(root, 800, "Appendix: glossary");
}

// "Unit IV Geometry" style titles with Roman numerals and lettered strands.
void romanTree(SampleContent& c, std::int16_t tree, const std::string& name) {
  TreeBuilder b(c, tree);
  std::int32_t root = b.root(name);
  for (int i = 1; i <= 6; ++i) {
    std::int32_t strand = b.child(root, static_cast<std::int16_t>(i), "Strand " + roman(i) + " " + kTopics[i + 6]);
    for (int j = 1; j <= 3; ++j) {
      std::string letter(1, static_cast<char>('A' + j - 1));
      std::int32_t goal = b.child(strand, static_cast<std::int16_t>(j), letter + ") " + kTopics[(i + j + 3) % 16]);
      for (int k = 1; k <= 2; ++k)
        b.child(goal, static_cast<std::int16_t>(k), std::to_string(k) + ") Objective " + std::to_string(i * 10 + k));
    }
  }
}

// A large tree of about `nodes` nodes, eight children a node, for measurements.
void largeTree(SampleContent& c, std::int16_t tree, std::int32_t nodes, std::mt19937& random) {
  TreeBuilder b(c, tree);
  std::vector<std::pair<std::int32_t, std::string>> level{{b.root("Generated standards"), ""}};
  std::int32_t made = 1;
  while (made < nodes) {
    std::vector<std::pair<std::int32_t, std::string>> next;
    for (const auto& [parent, id] : level) {
      for (int i = 1; i <= 8 && made < nodes; ++i, ++made) {
        std::string childId = id + std::to_string(i) + ".";
        std::string title = childId + " " + kTopics[random() % 16];
        next.emplace_back(b.child(parent, static_cast<std::int16_t>(i), title), childId);
      }
    }
    level = std::move(next);
  }
}

void questionsAndLinks(SampleContent& c, std::mt19937& random) {
  std::int32_t questionCount = std::max<std::int32_t>(60, static_cast<std::int32_t>(c.standards.size() / 4));
  for (std::int32_t q = 1; q <= questionCount; ++q) c.questions.push_back(q);
  std::int32_t id = 0;
  for (const StandardRow& row : c.standards) {
    if (row.node == 1 || random() % 3 != 0) continue;
    int links = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < links; ++i)
      c.links.push_back({++id, row.tree, row.node, 1 + static_cast<std::int32_t>(random() % questionCount)});
  }
}

} // namespace

SampleContent makeSampleContent(std::int32_t extraNodes, std::uint32_t seed) {
  std::mt19937 random(seed);
  SampleContent c;
  classificationTree(c);
  decimalTree(c, 2, "Aldora Mathematics Standards");
  romanTree(c, 3, "Bremont Science Framework");
  decimalTree(c, 5, "Calder Grade 6 Mathematics");
  c.stateTrees.push_back({2, {{"1.", "9.", "0"}, {"1.1.", "9.9.", "1"}, {"A.", "Z.", "0"}}});
  c.stateTrees.push_back({3, {{"I", "X", "0"}, {"A)", "Z)", "0"}, {"1)", "9)", "0"}}});
  c.stateTrees.push_back({5, {{"1.", "9.", "0"}, {"1.1.", "9.9.", "1"}}});
  if (extraNodes > 0) {
    largeTree(c, 7, extraNodes, random);
    c.stateTrees.push_back({7, {{"1.", "8.", "0"}, {"1.1.", "8.8.", "1"}}});
  }
  questionsAndLinks(c, random);
  return c;
}

} // namespace pu::sample
