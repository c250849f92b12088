#include "db/array_list.h"

#include <gtest/gtest.h>

namespace pu {
namespace {

// The upper bounds the array passes through while `items` are added.
std::vector<std::int32_t> uppersWhileAdding(ArrayList& list, int items) {
  std::vector<std::int32_t> uppers{list.upperBound()};
  for (int i = 0; i < items; ++i) {
    list.AddItem(i + 1);
    if (list.upperBound() != uppers.back()) uppers.push_back(list.upperBound());
  }
  return uppers;
}

// The array grows before an item would go into its last slot, by growth
// points that depend on the first index, which ToArray keeps.
TEST(ArrayListTest, GrowsKeepingItsFirstIndexAndASpareSlot) {
  ArrayList fromOne, fromZero, fromBelow;
  fromOne.Reset(1);
  fromBelow.Reset(-3);
  EXPECT_EQ(uppersWhileAdding(fromOne, 30), (std::vector<std::int32_t>{1, 10, 15, 22, 33}));
  EXPECT_EQ(uppersWhileAdding(fromZero, 20), (std::vector<std::int32_t>{0, 2, 3, 4, 6, 9, 14, 21}));
  (void)uppersWhileAdding(fromBelow, 5);
  EXPECT_EQ(fromOne.Count(), 30);
  EXPECT_EQ(fromZero.Item(0), 1);
  EXPECT_EQ(fromBelow.ToArray(), BoundedArray<std::int32_t>(-3, {1, 2, 3, 4, 5}));
  fromOne.Reset(1);
  EXPECT_TRUE(fromOne.ToArray().empty());
}

// Slots outside the array read as 0 and take nothing; AddItemUnique looks
// at the spare slots too; Trim keeps the slots at index 1 and below.
TEST(ArrayListTest, ItemsUniqueItemsTrimAndArrays) {
  ArrayList list;
  list.Reset(1);
  list.AddItem(5);
  list.AddItemUnique(5);
  list.AddItemUnique(0);  // a spare slot already holds 0
  list.AddItemUnique(6);
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(1, {5, 6}));
  EXPECT_FALSE(list.SetItem(11, 3));
  EXPECT_EQ(list.Item(11), 0);
  EXPECT_TRUE(list.SetItem(2, 8));
  EXPECT_EQ(list.Item(2), 8);
  list.Trim();
  EXPECT_EQ(list.upperBound(), 2);
  EXPECT_EQ(list.ToString(u","), u"5,8");
  ArrayList zeros;
  zeros.AddItem(0);
  zeros.Trim();
  EXPECT_EQ(zeros.upperBound(), 1);

  list.FromArray(BoundedArray<std::int32_t>(3, {1, 2}));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.ToString(u";"), u"1;2");
  list.AddItem(9);  // grows; the new spare slots show as 0
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(3, {1, 2, 9}));
  EXPECT_EQ(list.ToString(u";").substr(0, 6), u"1;2;9;");
  list.FromArray(BoundedArray<std::int32_t>(1));
  EXPECT_EQ(list.Count(), 0);
  list.AddItem(1);
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(1, {1}));
}

} // namespace
} // namespace pu
