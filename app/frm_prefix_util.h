#pragma once
// frmPrefixUtil, "List Prefix": the program's working window. The user picks
// a state tree and a standard in the tree group, highlights the identifier in
// the standard's plain title and marks it in every title at that depth with
// "Set Prefix", or turns ": " into ":*" with "Replace : ".
#include <QDialog>
#include <cstdint>

#include "platform/text/ansi.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWindow;

namespace pu {

class FamilyTreeGroup;
class familyTree;

class frmPrefixUtil : public QDialog {
  Q_OBJECT
public:
  explicit frmPrefixUtil(QWidget* parent = nullptr);

  // The window's state between events.
  std::int32_t CurrentNodeID = 0;
  Text StateTreeKey;
  std::int16_t SelectedDepth = -1;
  Text SelectedText;
  Text IdentifierText;

  FamilyTreeGroup* familyTreeList() const { return m_familyTreeList; }
  QLineEdit* selectBox() const { return m_selectBox; }
  QTableWidget* prefixTable() const { return m_prefixTable; }

  void Form_Activate();
  void familyTreeList_FamilyTreeClick(familyTree* tree);
  void setPrefixBut_Click();
  void cmdVossa_Click();
  void chkShowShortTitle_Click();
  void closeBut_Click();

protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void buildControls();
  void RefreshTreeDisplay();
  void clearGrid(int rows);
  void reportCommand(const Text& message);
  void onFocusWindowChanged(QWindow* window);

  FamilyTreeGroup* m_familyTreeList = nullptr;
  QCheckBox* m_includeParentCheck = nullptr;
  QLabel* m_label1 = nullptr;
  QLineEdit* m_selectBox = nullptr;
  QPushButton* m_setPrefixBut = nullptr;
  QPushButton* m_cmdVossa = nullptr;
  QCheckBox* m_chkShowShortTitle = nullptr;
  QPushButton* m_closeBut = nullptr;
  QTableWidget* m_prefixTable = nullptr;
  bool m_activatedOnce = false;
  bool m_centred = false;
  bool m_otherWindowWasActive = false;
};

// Shows the window modally until "Back" or the close box.
void ShowPrefixWindow();

} // namespace pu
