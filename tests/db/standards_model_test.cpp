#include "db/standards_model.h"

#include <gtest/gtest.h>

#include <tuple>

#include "db/course_tables.h"
#include "db/database_helper.h"
#include "tests/db/course_db_fixture.h"

namespace pu {
namespace {

using test::treeOf;

TEST(NodeKeyTest, TreeAndNodeRightAligned) {
  EXPECT_EQ(MakeNodeKey(12, 3), u" 12      3");
  EXPECT_EQ(MakeNodeKey(5, 12), u"  5     12");
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
  struct Case {
    std::vector<std::pair<std::int16_t, std::int32_t>> nodes, linkedNodes;
    std::int16_t tree;
    const char16_t* expected;
  };
  const Case cases[] = {
      {{{2, 150}, {2, 100000}}, {}, 2, u"0020000"},
      {{{2, 150}}, {}, 9, u"0020000"},
      {{{2, 20000}}, {}, 2, u"0020001"},
      {{{2, 20000}, {2, 20417}, {2, 99999}}, {}, 2, u"0020418"},
      {{{2, 20000}}, {{2, 20005}, {3, 30000}}, 2, u"0020006"},
      {{{2, 99997}}, {}, 2, u"0099998"},
      {{{2, 20000}, {3, 99998}}, {}, 3, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.expected));
    sample::SampleContent content = treeOf({});
    content.standards.push_back({3, 1, 0, 1, "Root 3"});
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

} // namespace
} // namespace pu
