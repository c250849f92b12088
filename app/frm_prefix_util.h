#pragma once
// frmPrefixUtil, "List Prefix": the program's working window. The user picks
// a state tree and a standard in the tree group, highlights the identifier in
// the standard's plain title and marks it in every title at that depth with
// "Set Prefix", or turns ": " into ":*" with "Replace : ".
#include <QDialog>
#include <cstdint>

#include "app/prefix_commands.h"
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

  // The window's state between events: the standard last clicked, in the
  // tree it was clicked in (0: none picked in the tree shown).
  std::int32_t CurrentNodeID = 0;
  std::int16_t CurrentNodeTree = 0;
  Text StateTreeKey;

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
  // Enter and Escape never reach the dialog: no button is a default one, and
  // only "Back" and the close box end the program.
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void buildControls();
  // keepView: the tree shown keeps its open branches and its selected row.
  void RefreshTreeDisplay(bool keepView = true);
  void clearGrid(int rows);
  void reportCommand(const CommandReport& report);
  void onFocusWindowChanged(QWindow* window);
  // Another tree was picked: nothing of the old tree stays picked.
  void onTreePicked();

  FamilyTreeGroup* m_familyTreeList = nullptr;
  QCheckBox* m_includeParentCheck = nullptr;
  QLabel* m_label1 = nullptr;
  QLineEdit* m_selectBox = nullptr;
  QPushButton* m_setPrefixBut = nullptr;
  QPushButton* m_cmdVossa = nullptr;
  QCheckBox* m_chkShowShortTitle = nullptr;
  QPushButton* m_closeBut = nullptr;
  QTableWidget* m_prefixTable = nullptr;
  bool m_refreshing = false;
  bool m_activatedOnce = false;
  bool m_centred = false;
  bool m_otherWindowWasActive = false;
};

// Shows the window modally until "Back" or the close box.
void ShowPrefixWindow();

} // namespace pu
