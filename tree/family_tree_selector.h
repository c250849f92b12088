#pragma once
// FamilyTreeSelector: which family tree is current, the Corvane
// classification (tree 1) or a state tree picked from a drop-down list. It
// reports the choice through three events, raised inside the handler that
// caused them.
#include <QWidget>
#include <cstdint>

#include "platform/text/ansi.h"

class QButtonGroup;
class QComboBox;
class QRadioButton;

namespace pu {

class ElasticPanel;

// The state tree last chosen in a tree group; 0 until one is chosen.
extern std::int16_t LastStateTreeID;

// Fills combo with the state trees (title, tree ID as item data) and makes
// the preferred tree, or the first, current; that raises the list's
// activated signal as a user's choice does. The option follows the result.
void FillStateTreeCombo(QComboBox* combo, std::int16_t preferred, QRadioButton* stateOption = nullptr);

class FamilyTreeSelector : public QWidget {
  Q_OBJECT
public:
  explicit FamilyTreeSelector(QWidget* parent = nullptr);

  std::int16_t CurrentTreeID() const;
  std::int16_t CurrentStateTreeID() const;
  // -1 when neither option is selected.
  std::int32_t CurrentTreeType() const;
  // Selects that option when it is enabled; nothing otherwise.
  void setCurrentTreeType(std::int32_t TreeType);
  bool IsCorvaneTreeValid() const;
  bool IsStateTreeValid() const;
  Text CorvaneTreeTitle() const;
  Text StateTreeTitle() const;

  void init();
  void StateOnly();

  QRadioButton* option(int index) const { return m_optTree[index]; }
  QComboBox* stateTreeList() const { return m_cboStateTree; }

signals:
  void StandardTreeOptionButtonClick();
  void StandardTreeComboClick();
  void TreeIDChanged();

private:
  void optTree_Click(int index);
  void cboStateTree_Click();
  void reselect(int index);
  void showNoTreesMessage();

  ElasticPanel* m_vseSelectTree = nullptr;
  ElasticPanel* m_vseSelectStateTree = nullptr;
  QRadioButton* m_optTree[2] = {};
  QButtonGroup* m_options = nullptr;
  QComboBox* m_cboStateTree = nullptr;
};

} // namespace pu
