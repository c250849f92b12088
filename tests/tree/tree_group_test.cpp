#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "tests/tree/tree_fixture.h"
#include "tree/family_tree_group.h"
#include "tree/family_tree_selector.h"

namespace pu {
namespace {

using sample::StandardRow;

class TreeGroupTest : public test::TreeTest {
protected:
  void SetUp() override {
    TreeTest::SetUp();
    LastStateTreeID = 0;
  }
  // Roots of the given trees (tree 1 titled "Corvane Classification").
  void useTrees(const std::vector<std::int16_t>& trees) {
    sample::SampleContent content;
    for (std::int16_t t : trees) {
      std::string title = t == 1 ? "Corvane Classification" : "State " + std::to_string(t);
      content.standards.push_back({t, 1, 0, 1, title, false});
      content.standards.push_back({t, 10, 1, 1, "Child of " + std::to_string(t), false});
    }
    useDatabase(content);
  }
  // Picks a list entry as the user does: opens the list, moves, presses Enter.
  static void pickEntry(QComboBox* combo, int index) {
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Space);
    combo->view()->setCurrentIndex(combo->model()->index(index, 0));
    QTest::keyClick(combo->view(), Qt::Key_Return);
  }

  // On the button's circle: a radio button answers clicks on its circle and caption only.
  static void clickOption(FamilyTreeSelector& s, int index) {
    QTest::mouseClick(s.option(index), Qt::LeftButton, Qt::NoModifier, QPoint(8, s.option(index)->height() / 2));
  }

};

// State trees only, each once (a damaged one has two roots), an untitled
// one by its number; the preferred tree decides the option.
TEST_F(TreeGroupTest, ListHoldsEachStateTreeOnceAndPreferredTreeDecidesTheOption) {
  sample::SampleContent content;
  content.standards = {{1, 1, 0, 1, "Corvane Classification"}, {2, 1, 0, 1, "Two"}, {2, 1, 0, 2, "Two again"},
                       {2, 10, 1, 1, "Child"}, {3, 1, 0, 1, ""}, {4, 1, 1, 1, "Enciphered four", true}, {450, 1, 0, 1, "Above"}};
  useDatabase(content);
  FamilyTreeSelector s;
  s.init();
  QComboBox* list = s.stateTreeList();
  ASSERT_EQ(list->count(), 4);  // tree 1 is never listed; node 10 is no root
  EXPECT_EQ(list->itemText(0) + "|" + list->itemText(1) + "|" + list->itemText(2), "Two|[State tree 3]|Enciphered four");
  EXPECT_EQ(s.CorvaneTreeTitle(), u"Corvane Classification");
  // No preference, or one not in the list: the first entry; below 400 the
  // option is Corvane.
  for (auto [preferred, type, stateTree] : {std::tuple<std::int16_t, int, int>{0, 0, 2}, {450, 1, 450}, {77, 0, 2}}) {
    LastStateTreeID = preferred;
    FamilyTreeSelector chosen;
    chosen.init();
    EXPECT_EQ(chosen.CurrentTreeType(), type) << preferred;
    EXPECT_EQ(chosen.CurrentStateTreeID(), stateTree) << preferred;
  }
}

// A kind of tree the database lacks cannot be chosen; State Only without
// state trees, and a database without any tree, say so.
TEST_F(TreeGroupTest, AMissingKindOfTreeCannotBeChosen) {
  const struct {
    std::vector<std::int16_t> trees;
    bool corvane, state;
    std::int32_t type;
  } cases[] = {{{2}, false, true, 1}, {{1}, true, false, 0}, {{}, false, false, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.corvane) + std::to_string(c.state));
    folder = dir.file(std::to_string(c.corvane) + std::to_string(c.state));
    useTrees(c.trees);
    MsgText.clear();
    setMsgBoxNextAnswer(MsgResult::Ok);
    setMsgBoxNextAnswer(MsgResult::Ok);
    FamilyTreeSelector s;
    s.init();
    EXPECT_EQ(pendingMsgBoxAnswers(), c.corvane || c.state ? 2u : 1u);  // no tree at all: said at once
    if (!c.corvane && !c.state) {
      EXPECT_EQ(MsgIcon, MsgIcons::Critical);
      EXPECT_EQ(s.CurrentTreeID(), 0);
    }
    EXPECT_EQ(s.IsCorvaneTreeValid(), c.corvane);
    EXPECT_EQ(s.IsStateTreeValid(), c.state);
    EXPECT_EQ(s.CorvaneTreeTitle(), u"Corvane Classification");
    if (!c.state) { EXPECT_EQ(s.StateTreeTitle(), u"[No Standards Installed]"); }
    s.setCurrentTreeType(1 - c.type);  // the missing kind: nothing
    s.StateOnly();
    EXPECT_EQ(s.CurrentTreeType(), c.type);
    EXPECT_EQ(MsgText, c.state ? u"" : u"No category trees found.\r\n\r\nPlease call 1-888-CORVANE or use the Live Chat option on the Help menu for more information.");
    clearMsgBoxAnswers();
  }
}

// The selector raises its events in order; the group shows the chosen tree
// and passes the events on with their tree.
TEST_F(TreeGroupTest, GroupShowsTheChosenTreeAndPassesEventsWithTheirTree) {
  useTrees({1, 2, 3});
  FamilyTreeGroup g;
  g.resize(500, 600);
  g.show();
  std::vector<std::string> order;
  QObject::connect(&g, &FamilyTreeGroup::StandardTreeOptionButtonClick,
                   [&](familyTree* now, familyTree* before) {
                     order.push_back("option");
                     EXPECT_NE(now, before);
                   });
  QObject::connect(&g, &FamilyTreeGroup::StandardTreeComboClick, [&] { order.push_back("combo"); });
  g.init(true, false, false, false, 1);
  EXPECT_EQ(g.CurrentFamilyTree(), g.ftTree(0));  // Corvane shown after init
  EXPECT_EQ(g.CurrentTreeID(), 1);
  EXPECT_TRUE(g.ftTree(0)->isVisible());
  EXPECT_FALSE(g.ftTree(1)->isVisible());
  // The selector's own events, in the order they come.
  FamilyTreeSelector& s = *g.ftsSelector();
  std::vector<std::string> events;
  QObject::connect(&s, &FamilyTreeSelector::StandardTreeOptionButtonClick, [&] { events.push_back("option"); });
  QObject::connect(&s, &FamilyTreeSelector::StandardTreeComboClick, [&] { events.push_back("combo"); });
  QObject::connect(&s, &FamilyTreeSelector::TreeIDChanged, [&] { events.push_back("changed"); });
  pickEntry(s.stateTreeList(), 1);
  EXPECT_EQ(events, std::vector<std::string>({"option", "changed", "combo", "changed"}));
  EXPECT_EQ(s.CurrentTreeID(), 3);
  events.clear();
  pickEntry(s.stateTreeList(), 0);
  EXPECT_EQ(events, std::vector<std::string>({"combo", "changed"}));
  events.clear();
  clickOption(s, 1);  // already selected: nothing
  EXPECT_TRUE(events.empty());
  clickOption(s, 0);
  EXPECT_EQ(events, std::vector<std::string>({"option", "changed"}));
  EXPECT_EQ(s.CurrentTreeID(), 1);
  order.clear();
  g.StateOnly();
  EXPECT_EQ(g.CurrentFamilyTree(), g.ftTree(1));
  EXPECT_EQ(g.CurrentTreeID(), 2);
  EXPECT_EQ(g.ftTree(1)->TList()->text(0), "Child of 2");
  pickEntry(g.ftsSelector()->stateTreeList(), 1);
  EXPECT_EQ(order, std::vector<std::string>({"option", "combo"}));
  EXPECT_EQ(g.CurrentTreeID(), 3);
  EXPECT_EQ(LastStateTreeID, 3);

  // Tree events come through with the control that raised them and with its own variables.
  familyTree* seen = nullptr;
  QObject::connect(&g, &FamilyTreeGroup::FamilyTreeClick, [&](familyTree* t) { seen = t; });
  QObject::connect(&g, &FamilyTreeGroup::FamilyTreeKeyDown, [](familyTree*, std::int16_t& key, std::int16_t&) { key = 0; });
  TreeList* list = g.ftTree(1)->TList();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->textRect(0).center());
  EXPECT_EQ(seen, g.ftTree(1));
  QTest::keyClick(list, Qt::Key_Down);  // swallowed by the host
  EXPECT_EQ(list->selectedRow(), 0);
  EXPECT_EQ(g.MergedStandardTags(), BoundedArray<Text>(0, {Text()}));

  // A second group prefers the tree the first one chose.
  FamilyTreeGroup second;
  second.init(false, false, false, false);
  second.StateOnly();
  EXPECT_EQ(second.CurrentTreeID(), 3);
}

} // namespace
} // namespace pu
