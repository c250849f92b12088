#include "db/standards_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/state_prefix.h"
#include "platform/profile/profile.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/db/course_db_fixture.h"
#include "util/path_globals.h"

namespace pu {
namespace {

using test::treeOf;

TEST(NodeKeyTest, TreeAndNodeRightAligned) {
  EXPECT_EQ(MakeNodeKey(12, 3), u" 12      3");
  EXPECT_EQ(MakeNodeKey(1234, 12345678), u"123412345678");  // wider numbers are written whole
  EXPECT_EQ(ParseNodeKey(MakeNodeKey(7, 20001)), MakeNodeRef(7, 20001));
}

class StandardsModelTest : public test::CourseDbTest {};

// Tree 3 is whole: outline numbers follow "Order" (not the place among the
// siblings; an unnumbered row carries its parent's number) and a new child goes
// after the last numbered one. In tree 2 a cycle and a missing parent end the
// chains; in tree 4 a root is its own parent, which stands twice at the front of a path.
TEST_F(StandardsModelTest, OutlinesAncestorPathsAndDescendantsEndOnDamagedParentChains) {
  sample::SampleContent content = treeOf({{2, 10, 30, 1, "a"}, {2, 20, 10, 1, "b"}, {2, 30, 20, 1, "c"},
                                          {2, 40, 99, 1, "orphan"}, {4, 1, 1, 1, "Root"}, {4, 10, 1, 1, "a"},
                                          {3, 1, 0, 1, "Root 3"}, {3, 10, 1, 1, "a"}, {3, 20, 10, 1, "b"},
                                          {3, 30, 20, 2, "c"}, {3, 40, 1, 3, "d"}, {3, 50, 40, 800, "note"}});
  content.questions = {1};
  content.links = {{1, 2, 20, 1}};
  useDatabase(content);
  BoundedArray<std::int32_t> path;
  ASSERT_TRUE(AncestorPath(3, 30, path));
  EXPECT_EQ(path, BoundedArray<std::int32_t>(0, {1, 10, 20, 30}));
  EXPECT_FALSE(AncestorPath(3, 77, path));
  EXPECT_TRUE(IsDescendantOf({3, 30}, {3, 10}));
  EXPECT_TRUE(IsDescendantOf({3, 30}, {3, 30}));
  EXPECT_FALSE(IsDescendantOf({3, 40}, {3, 10}));
  EXPECT_FALSE(IsDescendantOf({2, 30}, {3, 10}));
  EXPECT_EQ(GetNodeRow(3, 20).parent, 10);
  EXPECT_EQ(GetNodeRow(3, 20).title, u"b");
  EXPECT_EQ(GetNodeRow(3, 77).ref, NodeRef{});
  EXPECT_EQ(CountNodeQuestions({3, 10}, 1, -1), 0);  // no links in the tree
  // options.ini of the sample numbers levels 0 and 1 in the style "1", level 2 in "A".
  for (auto [node, full, own] : {std::tuple{1, u"", u""}, {30, u"1.1.B.", u"B."}, {50, u"3.", u""}, {77, u"", u""}}) {
    EXPECT_EQ(OutlineNumber({3, node}, 1), full) << node;
    EXPECT_EQ(OutlineNumber({3, node}, 0), own) << node;
  }
  for (auto [parent, next] : {std::pair{1, 4}, {10, 2}, {40, 1}, {30, 1}}) EXPECT_EQ(NextChildOrder({3, parent}), next) << parent;

  EXPECT_FALSE(IsDescendantOf({2, 10}, {2, 1}));
  EXPECT_FALSE(AncestorPath(2, 20, path));
  EXPECT_EQ(OutlineNumber({2, 20}, 1), u"1.1.A.");  // the cycle is cut where it closes
  EXPECT_TRUE(AncestorPath(2, 40, path));  // a missing parent ends the path
  EXPECT_EQ(path, BoundedArray<std::int32_t>(0, {40}));
  EXPECT_EQ(CountNodeQuestions({2, 10}, 1, -1), 1);
  ASSERT_TRUE(AncestorPath(4, 10, path));
  EXPECT_EQ(path, BoundedArray<std::int32_t>(0, {1, 1, 10}));
  EXPECT_EQ(OutlineNumber({4, 1}, 1), u"");
  EXPECT_EQ(OutlineNumber({4, 10}, 1), u"1.");
}

// A new number lies above every number the tree uses in the standards
// table and in the link table (a deleted category's questions stay linked
// to its number), from 20000, never 99999 or more.
TEST_F(StandardsModelTest, NewNodeIdIsAboveEveryNumberTheTreeUses) {
  const struct {
    std::vector<std::pair<std::int16_t, std::int32_t>> nodes, linkedNodes;
    std::int16_t tree;
    const char16_t* expected;
  } cases[] = {
      {{{2, 150}, {2, 100000}}, {}, 2, u"0020000"},
      {{{2, 150}}, {}, 9, u"0020000"},
      {{{2, 20000}}, {}, 2, u"0020001"},
      {{{2, 20000}, {2, 20417}, {2, 99999}}, {}, 2, u"0020418"},
      {{{2, 20000}}, {{2, 20005}, {3, 30000}}, 2, u"0020006"},
      {{{2, 99997}}, {}, 2, u"0099998"},
      {{{2, 20000}, {3, 99998}}, {}, 3, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.expected));
    sample::SampleContent content = treeOf({{3, 1, 0, 1, "Root 3"}});
    for (auto [tree, node] : c.nodes) content.standards.push_back({tree, node, 1, 1, "n"});
    content.questions = {1};
    std::int32_t id = 0;
    for (auto [tree, node] : c.linkedNodes) content.links.push_back({++id, tree, node, 1});
    folder = dir.file("course" + std::to_string(&c - cases));
    useDatabase(content);
    EXPECT_EQ(NewNodeId(c.tree), c.expected);
  }
}

TEST_F(StandardsModelTest, RenumberUnnumberedKeepsThemConsecutiveAndCapsAt999) {
  sample::SampleContent content = treeOf({{2, 10, 1, 1, "numbered"}});
  for (std::int32_t i = 0; i < 205; ++i)
    content.standards.push_back({2, 100 + i, 1, static_cast<std::int16_t>(805 + 2 * (i % 90)), "u" + std::to_string(i)});
  useDatabase(content);
  (void)RenumberUnnumbered({2, 1});
  TableRec standard = OpenTable(u"standard");
  std::vector<std::int32_t> orders;
  while (DbHelper().SeekNextByTag(standard, u"treeprntid", MakeNodeKey(2, 1)))
    orders.push_back(DbHelper().FieldValLng(u"Order"));
  ASSERT_EQ(orders.size(), 206u);
  EXPECT_EQ(orders[0], 1);
  for (std::size_t i = 1; i < orders.size(); ++i)
    EXPECT_EQ(orders[i], std::min<std::int32_t>(799 + static_cast<std::int32_t>(i), 999)) << i;
  expectTagsConsistent("standard");
}

TEST_F(StandardsModelTest, QuestionCountsAreDistinctOverTheSubtree) {
  sample::SampleContent content = treeOf({{2, 10, 1, 1, "a"}, {2, 20, 10, 1, "b"}, {2, 30, 10, 2, "c"}});
  content.questions = {1, 2, 3, 4, 5};
  content.links = {{1, 2, 10, 1}, {2, 2, 10, 2}, {3, 2, 20, 2}, {4, 2, 20, 3}, {5, 2, 30, 4}, {6, 2, 30, 4}, {7, 3, 10, 5}};
  useDatabase(content);
  EXPECT_EQ(CountNodeQuestions({2, 10}, 0, -1), 2);
  EXPECT_EQ(CountNodeQuestions({2, 10}, 1, -1), 4);
  EXPECT_EQ(CountNodeQuestions({2, 10}, 1, 3), 2);  // stops after collecting 1, 2, 2
  EXPECT_EQ(CountNodeQuestions({2, 1}, 1, -1), 4);
  EXPECT_EQ(CountNodeQuestions({2, 99}, 1, -1), 0);
}

// A course database made elsewhere, which indexes node_id as a number
// (INDEX ON node_id TAG node_id) and names its tree tag treeid: the model's
// seeks, the roots' walk and the new node numbers work on it as on our own.
TEST_F(StandardsModelTest, RootsAndTheModelWorkOnTheTagsOfADatabaseMadeElsewhere) {
  useDatabase(treeOf({{2, 10, 1, 1, "1. Numbers"}, {2, 11, 1, 2, "2. Shapes"}, {2, 20, 10, 800, "Counting"},
                      {2, 21, 10, 805, "Adding"}, {3, 1, 0, 1, "Second tree"}, {2, 20009, 11, 1, "Marked deleted"},
                      {3, 20400, 1, 1, "Other tree"}}));
  {
    std::unique_ptr<table::Table> t;
    ASSERT_TRUE(table::Table::open(folder + "/standard.dbf", true, &t));
    std::unique_ptr<table::CompoundIndex> index;
    ASSERT_TRUE(table::CompoundIndex::create(folder + "/standard.cdx", *t,
                                             {{"StandardID", "STR(tree_id,3)+STR(node_id,7)", "", false, false, false, false},
                                              {"treeprntid", "STR(tree_id,3)+STR(parent_id,7)+STR(Order,3)", "", false, false, false, false},
                                              {"node_id", "node_id", "", false, false, false, false},
                                              {"treeid", "STR(tree_id,3)", "", false, false, false, false}},
                                             &index));
    ASSERT_TRUE(t->go(7));  // a row marked deleted keeps its number
    ASSERT_TRUE(t->setDeleted(true));
    ASSERT_TRUE(t->flush());
  }
  std::vector<std::int32_t> trees;
  for (const StandardRow& root : StandardsTable().roots()) trees.push_back(root.ref.tree);
  EXPECT_EQ(trees, (std::vector<std::int32_t>{2, 3}));
  trees.clear();
  while (RefSeekNext(standard::node_id, u"1")) trees.push_back(RefValLng(standard::tree_id));
  EXPECT_EQ(trees, (std::vector<std::int32_t>{2, 3}));
  EXPECT_EQ(GetNodeRow(2, 21).title, u"Adding");
  EXPECT_EQ(NextChildOrder({2, 1}), 3);
  (void)RenumberUnnumbered({2, 10});
  ASSERT_TRUE(RefFindFirst(standard::StandardID, MakeNodeKey(2, 21)));
  EXPECT_EQ(RefValLng(standard::Order), 801);
  // FindFirst leaves its walk open: stepping to the end closes it, so the next
  // test in the same program (one program runs them all on Windows) starts without it.
  while (RefSeekNext(standard::StandardID, MakeNodeKey(2, 21))) {
  }
  EXPECT_EQ(ReparentNode(21, 11, 2).formerParent, 10);
  EXPECT_EQ(GetNodeRow(2, 21).parent, 11);
  EXPECT_TRUE(IsDescendantOf({2, 21}, {2, 11}));
  EXPECT_EQ(ReparentNode(77, 1, 2).formerParent, 0);
  EXPECT_EQ(NewNodeId(2), u"0020010");
  EXPECT_EQ(NewNodeId(3), u"0020401");
  expectTagsConsistent("standard");
}

TEST(DisplayTextOfTitleTest, EachModeOverTheMarkupLayouts) {
  const struct {
    const char16_t* title;
    std::int32_t mode;
    const char16_t* expected;
  } cases[] = {
      {u"*1.2.* Fractions", DisplayPlain, u"1.2. Fractions"},
      {u"1.2 *Fractions", DisplayShort, u"1.2 "},  // pieces are not trimmed
      {u"Fractions", DisplayShort, u"Fractions"},
      {u"a*b*c*d", DisplayShort, u""},
      {u"*1.2*", DisplayShort, u"*1.2*"},  // one piece: the whole title
      {u"* *  1.2 * *", DisplayShort, u"* *  1.2 * *"},
      {u"*  *  *", DisplayShort, u""},  // no non-blank piece
      {u"**", DisplayStored, u"**"},
      {u"", DisplayShort, u""},
      {u"Fractions", 3, u""},
      {u"Fractions", -1, u""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DisplayTextOfTitle(c.title, c.mode), c.expected) << toUtf8(c.title) << " in mode " << c.mode;
}

// The user's highlight in a title: what it gives, and how it grows by the
// character after a letter or digit when there is one.
TEST(TakePrefixExampleTest, TheSelectionGivesTheExample) {
  const struct {
    const char16_t* text;
    int start, length;
    const char16_t *before, *identifier, *separator;
    int separatorCount, lengthAfter;
  } cases[] = {
      {u"1.2 Adding fractions", 0, 3, u"", u"1.2 ", u" ", 0, 4},
      {u"1.2. Topic", 0, 4, u"", u"1.2.", u".", 1, 4},  // ends with a point: no growth
      {u"Unit II. Poetry", 5, 3, u"Unit ", u"II.", u".", 0, 3},
      {u"Topic", 2, 0, u"To", u"", u"", -1, 0},
      {u"Unit 1.2", 5, 3, u"Unit ", u"1.2", u"2", 0, 3},  // nothing to grow into
      {u"1.2 x", 40, 50, u"1.2 x", u"", u"", -1, 0},       // past the end
      {u"1.2 x", -3, 50, u"", u"1.2 x", u"x", 0, 5},
  };
  for (const auto& c : cases) {
    int length = c.length;
    PrefixExample e = TakePrefixExample(c.text, c.start, length);
    SCOPED_TRACE(toUtf8(c.text));
    EXPECT_EQ(e.before, c.before);
    EXPECT_EQ(e.identifier, c.identifier);
    EXPECT_EQ(e.separator, c.separator);
    EXPECT_EQ(e.separatorCount, c.separatorCount);
    EXPECT_EQ(length, c.lengthAfter);
  }
}

// The identifier is found after the text before the example (without regard
// to case; a title without it keeps as many characters as that text, less
// one, as its head) as separatorCount + 1 runs ending in the separator; old
// markers go first.
TEST(MarkIdentifierTest, MarksTheSameRunsInEveryTitle) {
  const PrefixExample blank{u"", u"1.2 ", u" ", 0}, points{u"", u"1.2.", u".", 1}, unit{u"Unit ", u"II.", u".", 0};
  const struct {
    const char16_t* title;
    PrefixExample example;
    const char16_t *parent, *expected;
  } cases[] = {
      {u"3.4 Subtracting", blank, u"", u"*3.4 *Subtracting"},
      {u"3.4 Subtracting", blank, u"3.", u"*3.3.4 *Subtracting"},
      {u"*1.3.4 *Subtracting", blank, u"1.", u"*1.1.3.4 *Subtracting"},  // the parent goes in front once more
      {u"3.10. Other", points, u"", u"*3.10.* Other"},
      {u"*3.10.* Other", points, u"9.", u"*9.3.10.* Other"},
      {u"Unit IV. Drama", unit, u"", u"Unit *IV.* Drama"},
      {u"unit V. Lower case", unit, u"", u"unit *V.* Lower case"},
      {u"Nothing here", unit, u"", u"Noth**ing here"},
      {u"3.4 Subtracting", {u"", u"", u"", -1}, u"", u"**3.4 Subtracting"},
      {u"*3.10.* Other", {u"3.", u"10. ", u" ", 0}, u"", u"3.*10. *Other"},
  };
  for (const auto& c : cases) EXPECT_EQ(MarkIdentifier(c.title, c.example, c.parent), c.expected) << toUtf8(c.title);
}

// Stored enciphered with the program's own key, a title is deciphered before
// use. A failed seek leaves a row current (node 15 the next greater key, node
// 1 of tree 3 none); neither title is the missing standard's. Levels run
// until the first missing or "0" start, however many there are.
TEST_F(StandardsModelTest, TitlesOfTheStandardAskedForAndLevelRulesUpToTheFirstMissingStart) {
  useDatabase(treeOf({{2, 10, 1, 1, "*1.2.* Fractions"}, {2, 20, 1, 2, "Unit *IV* Geometry", true}}));
  EXPECT_EQ(StandardDisplayText(2, 10, DisplayShort), u"1.2.");
  EXPECT_EQ(StandardDisplayText(2, 10, DisplayStored), u"*1.2.* Fractions");
  EXPECT_EQ(StandardDisplayText(2, 20, DisplayShort), u"IV");
  EXPECT_EQ(StandardDisplayText(2, 20, DisplayPlain), u"Unit IV Geometry");
  for (std::int32_t mode : {DisplayPlain, DisplayShort, DisplayStored}) {
    EXPECT_EQ(StandardDisplayText(2, 15, mode), u"");
    EXPECT_EQ(StandardDisplayText(3, 1, mode), u"");
  }
  EXPECT_EQ(DbHelper().depth(), 0);

  auto write = [&](const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_NE(WritePrivateProfileStringA(section, key, value, folder + "/classification.ini"), 0);
  };
  EXPECT_TRUE(ReadLevelRules(u"12").empty());  // the sample writes no section for tree 2
  write("State12", "Level1End", "Z");
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
  write("State12", "Level1Start", "0");
  write("State12", "Level2Start", "1");
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
  write("State12", "Level1Start", "A");
  write("State12", "Level4Start", "i");  // after a gap: not a level
  auto text = [](const LevelRule& r) { return std::to_string(r.level) + toUtf8(u" " + r.start + u"," + r.end + u"," + r.includeParent); };
  std::vector<LevelRule> rules = ReadLevelRules(u"12");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(text(rules[0]), "1 A,Z,0");
  EXPECT_EQ(text(rules[1]), "2 1,0,0");
  EXPECT_TRUE(ReadLevelRules(u"13").empty());
  for (int k = 1; k <= 12; ++k) write("State5", "Level" + std::to_string(k) + "Start", std::to_string(k));
  rules = ReadLevelRules(u"5");
  ASSERT_EQ(rules.size(), 12u);
  EXPECT_EQ(text(rules[11]), "12 12,0,0");
  ClassTablePath = fromUtf8(dir.file("nowhere"));
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
}

} // namespace
} // namespace pu
