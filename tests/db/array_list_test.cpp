#include "db/array_list.h"

#include <gtest/gtest.h>

namespace pu {
namespace {

std::vector<std::int32_t> uppersWhileAdding(std::int16_t first, int items) {
  ArrayList list;
  list.Reset(first);
  std::vector<std::int32_t> uppers{list.upperBound()};
  for (int i = 0; i < items; ++i) {
    list.AddItem(i + 1);
    if (list.upperBound() != uppers.back()) uppers.push_back(list.upperBound());
  }
  return uppers;
}

TEST(ArrayListTest, GrowthPointsDependOnTheFirstIndex) {
  EXPECT_EQ(uppersWhileAdding(1, 30), (std::vector<std::int32_t>{1, 10, 15, 22, 33}));
  EXPECT_EQ(uppersWhileAdding(0, 20), (std::vector<std::int32_t>{0, 2, 3, 4, 6, 9, 14, 21}));
}

TEST(ArrayListTest, FreshListAndFirstItem) {
  ArrayList list;
  EXPECT_EQ(list.Count(), 0);
  list.AddItem(7);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.upperBound(), 2);
  EXPECT_EQ(list.Item(0), 7);
}

TEST(ArrayListTest, ToArrayKeepsTheFirstIndex) {
  ArrayList list;
  list.Reset(1);
  for (int v : {10, 20, 30}) list.AddItem(v);
  EXPECT_EQ(list.Count(), 3);
  BoundedArray<std::int32_t> array = list.ToArray();
  EXPECT_EQ(array, BoundedArray<std::int32_t>(1, {10, 20, 30}));
  list.Reset(1);
  EXPECT_TRUE(list.ToArray().empty());
}

TEST(ArrayListTest, AddItemUniqueLooksAtSpareSlotsToo) {
  ArrayList list;
  list.Reset(1);
  list.AddItem(5);
  list.AddItemUnique(5);
  list.AddItemUnique(0);  // a spare slot already holds 0
  list.AddItemUnique(6);
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(1, {5, 6}));
}

TEST(ArrayListTest, TrimKeepsSlotsAtIndexOneAndBelow) {
  ArrayList list;
  list.Reset(1);
  list.AddItem(4);
  list.AddItem(8);
  list.Trim();
  EXPECT_EQ(list.upperBound(), 2);
  EXPECT_EQ(list.ToString(u","), u"4,8");

  ArrayList zeros;
  zeros.Reset(0);
  zeros.AddItem(0);
  zeros.Trim();
  EXPECT_EQ(zeros.upperBound(), 1);
}

TEST(ArrayListTest, ItemOutsideTheArrayIsRefused) {
  ArrayList list;
  list.Reset(1);
  EXPECT_TRUE(list.SetItem(1, 3));
  EXPECT_FALSE(list.SetItem(5, 3));
  EXPECT_EQ(list.Item(1), 3);
  EXPECT_EQ(list.Item(5), 0);
}

TEST(ArrayListTest, FromArrayAndToStringShowEverySlot) {
  ArrayList list;
  list.FromArray(BoundedArray<std::int32_t>(3, {1, 2}));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.ToString(u";"), u"1;2");
  list.AddItem(9);  // grows; the new spare slots show as 0
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(3, {1, 2, 9}));
  EXPECT_EQ(list.ToString(u";").substr(0, 6), u"1;2;9;");

  list.FromArray(BoundedArray<std::int32_t>(1));
  EXPECT_EQ(list.Count(), 0);
  list.AddItem(1);
  EXPECT_EQ(list.Count(), 1);
}

TEST(ArrayListTest, NegativeFirstIndexStillGrows) {
  ArrayList list;
  list.Reset(-3);
  for (int i = 0; i < 5; ++i) list.AddItem(i);
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(-3, {0, 1, 2, 3, 4}));
}

} // namespace
} // namespace pu
