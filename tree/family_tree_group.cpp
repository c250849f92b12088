#include "tree/family_tree_group.h"

#include <QVBoxLayout>

#include "platform/controls/elastic_panel.h"
#include "platform/controls/screen_metrics.h"
#include "tree/family_tree_selector.h"

namespace pu {

FamilyTreeGroup::FamilyTreeGroup(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FamilyTreeGroup"));
  m_vseTrees = new ElasticPanel(this);
  m_vseTrees->setObjectName(QStringLiteral("vseTrees"));
  m_vseTrees->setFillParent(true);
  auto* layout = new QVBoxLayout(m_vseTrees);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  m_selector = new FamilyTreeSelector(m_vseTrees);
  m_selector->setObjectName(QStringLiteral("ftsSelector"));
  m_selector->setFixedHeight(pixelsFromTwipsY(735));
  layout->addWidget(m_selector);
  for (int index : {0, 1}) {
    m_trees[index] = new familyTree(m_vseTrees);
    m_trees[index]->setObjectName(QStringLiteral("ftTree%1").arg(index));
    m_trees[index]->setAccessibleName(index == 0 ? QStringLiteral("Corvane tree") : QStringLiteral("State tree"));
    layout->addWidget(m_trees[index], 1);
    forwardEvents(m_trees[index]);
  }
  m_trees[1]->hide();
  m_current = m_trees[0];
  connect(m_selector, &FamilyTreeSelector::StandardTreeOptionButtonClick, this, &FamilyTreeGroup::onOptionSwitch);
  connect(m_selector, &FamilyTreeSelector::StandardTreeComboClick, this, &FamilyTreeGroup::onComboClick);
  resize(pixelsFromTwipsX(7545), pixelsFromTwipsY(7635));
}

void FamilyTreeGroup::forwardEvents(familyTree* tree) {
  connect(tree, &familyTree::Click, this, [this, tree] { emit FamilyTreeClick(tree); });
  connect(tree, &familyTree::Collapse, this, [this, tree](std::int32_t i) { emit FamilyTreeCollapse(tree, i); });
  connect(tree, &familyTree::DblClick, this, [this, tree] { emit FamilyTreeDblClick(tree); });
  connect(tree, &familyTree::Expand, this, [this, tree](std::int32_t i) { emit FamilyTreeExpand(tree, i); });
  connect(tree, &familyTree::KeyDown, this,
          [this, tree](std::int16_t& key, std::int16_t& shift) { emit FamilyTreeKeyDown(tree, key, shift); });
  connect(tree, &familyTree::KeyPress, this, [this, tree](std::int16_t& ascii) { emit FamilyTreeKeyPress(tree, ascii); });
  connect(tree, &familyTree::MouseDown, this, [this, tree](std::int16_t b, std::int16_t s, float x, float y) {
    emit FamilyTreeMouseDown(tree, b, s, x, y);
  });
  connect(tree, &familyTree::MouseMove, this, [this, tree](std::int16_t b, std::int16_t s, float x, float y) {
    emit FamilyTreeMouseMove(tree, b, s, x, y);
  });
  connect(tree, &familyTree::MouseUp, this, [this, tree](std::int16_t b, std::int16_t s, float x, float y) {
    emit FamilyTreeMouseUp(tree, b, s, x, y);
  });
  connect(tree, &familyTree::PictureClick, this, [this, tree] { emit FamilyTreePictureClick(tree); });
  connect(tree, &familyTree::PictureDblClick, this, [this, tree] { emit FamilyTreePictureDblClick(tree); });
  connect(tree, &familyTree::PlusMinusClick, this, [this, tree](std::int16_t i) { emit FamilyTreePlusMinusClick(tree, i); });
  connect(tree, &familyTree::VScroll, this, [this, tree](std::int16_t& cancel, std::int16_t code, std::int32_t pos) {
    emit FamilyTreeVScroll(tree, cancel, code, pos);
  });
  connect(tree, &familyTree::UpdateOK, this, [this, tree](bool& ok, bool& okDefault, bool& cancel) {
    emit FamilyTreeChanged(tree, ok, okDefault, cancel);
  });
}

void FamilyTreeGroup::setCurrentTreeType(std::int32_t TreeType) { m_selector->setCurrentTreeType(TreeType); }
std::int16_t FamilyTreeGroup::CurrentStateTreeID() const { return m_selector->CurrentStateTreeID(); }
bool FamilyTreeGroup::IsCorvaneTreeValid() const { return m_selector->IsCorvaneTreeValid(); }
bool FamilyTreeGroup::IsStateTreeValid() const { return m_selector->IsStateTreeValid(); }
Text FamilyTreeGroup::CorvaneTreeTitle() const { return m_selector->CorvaneTreeTitle(); }
Text FamilyTreeGroup::StateTreeTitle() const { return m_selector->StateTreeTitle(); }

void FamilyTreeGroup::init(bool EditAllowed, bool SelectAllowed, bool ShowMisc, bool DisplayRoot, std::int32_t dispMode) {
  for (familyTree* tree : m_trees) tree->ClearView();
  for (familyTree* tree : m_trees) tree->StandardDisplayMode = dispMode;
  m_trees[0]->init(0, EditAllowed, SelectAllowed, ShowMisc, DisplayRoot);
  m_trees[0]->BlankStandards();
  m_trees[0]->InitCorvane();
  m_trees[1]->init(1, EditAllowed, SelectAllowed, ShowMisc, DisplayRoot);
  m_trees[1]->BlankStandards();
  m_trees[1]->InitState(m_trees[1]->CurrentTreeID);
  m_selector->init();
  m_selector->setCurrentTreeType(0);
}

void FamilyTreeGroup::onOptionSwitch() {
  std::int32_t type = m_selector->CurrentTreeType() == 0 ? 0 : 1;
  m_current = m_trees[type];
  m_current->show();
  m_trees[1 - type]->hide();
  StandardTreeOptionButton_Click(type);
  emit StandardTreeOptionButtonClick(m_trees[type], m_trees[1 - type]);
}

void FamilyTreeGroup::onComboClick() {
  LastStateTreeID = m_selector->CurrentTreeID();
  m_trees[1]->SetDisplayedTree(LastStateTreeID);
  emit StandardTreeComboClick();
}

void FamilyTreeGroup::StandardTreeOptionButton_Click(std::int32_t TreeType) {
  if (TreeType != 0)
    StateTreeOptionButton_Click();
  else
    CorvaneTreeOptionButton_Click();
}

void FamilyTreeGroup::CorvaneTreeOptionButton_Click() { m_trees[0]->SetDisplayedTree(1); }

void FamilyTreeGroup::StateTreeOptionButton_Click() { m_trees[1]->SetDisplayedTree(m_selector->CurrentTreeID()); }

BoundedArray<Text> FamilyTreeGroup::MergedStandardTags() const {
  BoundedArray<Text> merged(0, {Text()});
  for (familyTree* tree : m_trees) {
    BoundedArray<Text> tags = tree->StandardDataTags();
    for (std::int32_t i = 1; i <= tags.upper(); ++i) merged.append(tags[i]);
  }
  return merged;
}

void FamilyTreeGroup::StateOnly() { m_selector->StateOnly(); }

} // namespace pu
