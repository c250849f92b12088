// A course database made elsewhere, which indexes node_id as a number
// (INDEX ON node_id TAG node_id) and names its tree tag treeid: the model's
// seeks, the roots' walk and the new node numbers work on it as on our own.
#include <gtest/gtest.h>

#include <memory>

#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/standards_model.h"
#include "db/standards_table.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/db/course_db_fixture.h"

namespace pu {
namespace {

class ForeignTagsTest : public test::CourseDbTest {
protected:
  void SetUp() override {
    sample::SampleContent content = test::treeOf({{2, 10, 1, 1, "1. Numbers"},
                                                  {2, 11, 1, 2, "2. Shapes"},
                                                  {2, 20, 10, 800, "Counting"},
                                                  {2, 21, 10, 805, "Adding"},
                                                  {3, 1, 0, 1, "Second tree"},
                                                  {2, 20009, 11, 1, "Marked deleted"},
                                                  {3, 20400, 1, 1, "Other tree"}});
    useDatabase(content);
    std::unique_ptr<table::Table> t;
    ASSERT_TRUE(table::Table::open(folder + "/standard.dbf", true, &t));
    std::unique_ptr<table::CompoundIndex> index;
    ASSERT_TRUE(table::CompoundIndex::create(folder + "/standard.cdx", *t,
                                             {{"StandardID", "STR(tree_id,3)+STR(node_id,7)", "", false, false, false, false},
                                              {"treeprntid", "STR(tree_id,3)+STR(parent_id,7)+STR(Order,3)", "", false, false, false, false},
                                              {"node_id", "node_id", "", false, false, false, false},
                                              {"treeid", "STR(tree_id,3)", "", false, false, false, false}},
                                             &index));
    // A row marked deleted keeps its number.
    ASSERT_TRUE(t->go(7));
    ASSERT_TRUE(t->setDeleted(true));
    ASSERT_TRUE(t->flush());
  }
};

TEST_F(ForeignTagsTest, RootsAndTheModelWorkOnTheTable) {
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
  EXPECT_EQ(ReparentNode(21, 11, 2).formerParent, 10);
  EXPECT_EQ(GetNodeRow(2, 21).parent, 11);
  EXPECT_TRUE(IsDescendantOf({2, 21}, {2, 11}));
  EXPECT_EQ(ReparentNode(77, 1, 2).formerParent, 0);
  EXPECT_EQ(NewNodeId(2), u"0020010");
  EXPECT_EQ(NewNodeId(3), u"0020401");
  expectTagsConsistent("standard");
}

} // namespace
} // namespace pu
