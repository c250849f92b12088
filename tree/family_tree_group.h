#pragma once
// FamilyTreeGroup: a tree selector over two family tree controls, one for
// the Corvane classification and one for the chosen state tree. Only the
// control of the selected tree type shows. Every event of either control
// reaches the host with the control that raised it; arguments passed by
// reference are that control's own, so a value the host sets reaches it.
#include <QWidget>
#include <cstdint>

#include "tree/family_tree.h"
#include "util/bounded_array.h"

namespace pu {

class ElasticPanel;
class FamilyTreeSelector;

class FamilyTreeGroup : public QWidget {
  Q_OBJECT
public:
  explicit FamilyTreeGroup(QWidget* parent = nullptr);

  familyTree* CurrentFamilyTree() const { return m_current; }
  familyTree* ftTree(int index) const { return m_trees[index]; }
  FamilyTreeSelector* ftsSelector() const { return m_selector; }

  std::int32_t CurrentTreeType() const { return m_current->CurrentTreeType; }
  void setCurrentTreeType(std::int32_t TreeType);
  std::int16_t CurrentTreeID() const { return m_current->CurrentTreeID; }
  std::int16_t CurrentStateTreeID() const;
  bool IsCorvaneTreeValid() const;
  bool IsStateTreeValid() const;
  Text CorvaneTreeTitle() const;
  Text StateTreeTitle() const;

  void init(bool EditAllowed, bool SelectAllowed, bool ShowMisc, bool DisplayRoot, std::int32_t dispMode = 0);
  void StandardTreeOptionButton_Click(std::int32_t TreeType);
  void CorvaneTreeOptionButton_Click();
  void StateTreeOptionButton_Click();
  BoundedArray<Text> MergedStandardTags() const;
  void StateOnly();

signals:
  void FamilyTreeClick(familyTree* tree);
  void FamilyTreeCollapse(familyTree* tree, std::int32_t ItemIndex);
  void FamilyTreeDblClick(familyTree* tree);
  void FamilyTreeExpand(familyTree* tree, std::int32_t ItemIndex);
  void FamilyTreeKeyDown(familyTree* tree, std::int16_t& keycode, std::int16_t& Shift);
  void FamilyTreeKeyPress(familyTree* tree, std::int16_t& KeyAscii);
  void FamilyTreeMouseDown(familyTree* tree, std::int16_t Button, std::int16_t Shift, float X, float Y);
  void FamilyTreeMouseMove(familyTree* tree, std::int16_t Button, std::int16_t Shift, float X, float Y);
  void FamilyTreeMouseUp(familyTree* tree, std::int16_t Button, std::int16_t Shift, float X, float Y);
  void FamilyTreePictureClick(familyTree* tree);
  void FamilyTreePictureDblClick(familyTree* tree);
  void FamilyTreePlusMinusClick(familyTree* tree, std::int16_t ItemIndex);
  void FamilyTreeVScroll(familyTree* tree, std::int16_t& CancelDefault, std::int16_t ScrollCode, std::int32_t Pos);
  void FamilyTreeChanged(familyTree* tree, bool& OKEnabled, bool& OKDefault, bool& CancelCancel);
  void StandardTreeOptionButtonClick(familyTree* NewFamilyTree, familyTree* OldFamilyTree);
  void StandardTreeComboClick();

private:
  void forwardEvents(familyTree* tree);
  void onOptionSwitch();
  void onComboClick();

  ElasticPanel* m_vseTrees = nullptr;
  FamilyTreeSelector* m_selector = nullptr;
  familyTree* m_trees[2] = {};
  familyTree* m_current = nullptr;
};

} // namespace pu
