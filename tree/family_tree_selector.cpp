#include "tree/family_tree_selector.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <set>

#include "db/standards_table.h"
#include "msgbox/msg_box.h"
#include "platform/controls/elastic_panel.h"
#include "platform/controls/screen_metrics.h"
#include "tree/tree_text.h"
#include "util/general.h"
#include "util/stored_text.h"

namespace pu {

std::int16_t LastStateTreeID = 0;

namespace {

constexpr std::int16_t kFirstStateOptionTree = 400;
const QColor kOptionBack(192, 192, 255);
const QColor kListBack(224, 255, 224);
const QColor kStateOnlyBack(192, 255, 192);
// The "node_id" tag holds the number left-aligned in 7 characters; the bare
// "1" would also match 10, 100, 1234 and so on.

QFont selectorFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(8.25);
  font.setBold(true);
  return font;
}

void setBack(QWidget* widget, const QColor& color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Window, color);
  p.setColor(QPalette::Button, color);
  widget->setPalette(p);
  widget->setAutoFillBackground(true);
}

// A title to show for a state tree: its root's title, or its number when the
// title is blank, so that the entry can still be told apart and chosen.
Text stateTreeTitle(const StandardRow& root) {
  Text title = TrimSpaces(DecodeStoredText(root.title));
  return title.empty() ? u"[State tree " + fromUtf8(std::to_string(root.ref.tree)) + u"]" : title;
}

} // namespace

void FillStateTreeCombo(QComboBox* combo, std::int16_t preferred, QRadioButton* stateOption) {
  combo->clear();
  std::set<std::int32_t> listed;
  for (const StandardRow& root : StandardsTable().roots()) {
    std::int16_t tree = root.ref.tree;
    if (tree == kCorvaneTree || !listed.insert(tree).second) continue;
    combo->addItem(qtext(stateTreeTitle(root)), tree);
  }
  if (combo->count() == 0) {
    combo->setEnabled(false);
    combo->addItem(QStringLiteral("[No Standards Installed]"), 0);
    combo->setCurrentIndex(0);
    if (stateOption) stateOption->setEnabled(false);
    emit combo->activated(0);
    return;
  }
  int current = std::max(combo->findData(static_cast<int>(preferred)), 0);
  combo->setEnabled(false);
  combo->setCurrentIndex(current);
  combo->setEnabled(true);
  if (stateOption) stateOption->setEnabled(true);
  emit combo->activated(current);
}

FamilyTreeSelector::FamilyTreeSelector(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FamilyTreeSelector"));
  m_vseSelectTree = new ElasticPanel(this);
  m_vseSelectTree->setObjectName(QStringLiteral("vseSelectTree"));
  m_vseSelectTree->setFillParent(true);
  auto* rows = new QVBoxLayout(m_vseSelectTree);
  rows->setContentsMargins(pixelsFromTwipsX(45), pixelsFromTwipsY(45), pixelsFromTwipsX(45), 0);
  rows->setSpacing(0);

  m_optTree[0] = new QRadioButton(QStringLiteral("Corvane Classification"), m_vseSelectTree);
  m_optTree[0]->setObjectName(QStringLiteral("optTree0"));
  m_optTree[0]->setAccessibleName(QStringLiteral("Corvane Classification"));
  m_optTree[0]->setFixedHeight(pixelsFromTwipsY(390));
  rows->addWidget(m_optTree[0]);

  m_vseSelectStateTree = new ElasticPanel(m_vseSelectTree);
  m_vseSelectStateTree->setObjectName(QStringLiteral("vseSelectStateTree"));
  m_vseSelectStateTree->setFixedHeight(pixelsFromTwipsY(390));
  auto* stateRow = new QHBoxLayout(m_vseSelectStateTree);
  stateRow->setContentsMargins(0, 0, 0, 0);
  m_optTree[1] = new QRadioButton(m_vseSelectStateTree);
  m_optTree[1]->setObjectName(QStringLiteral("optTree1"));
  m_optTree[1]->setAccessibleName(QStringLiteral("State tree"));
  m_optTree[1]->setFixedWidth(pixelsFromTwipsX(255));
  m_cboStateTree = new QComboBox(m_vseSelectStateTree);
  m_cboStateTree->setObjectName(QStringLiteral("cboStateTree"));
  m_cboStateTree->setAccessibleName(QStringLiteral("State trees"));
  m_cboStateTree->setFont(selectorFont());
  setBack(m_cboStateTree, kListBack);
  stateRow->addWidget(m_optTree[1]);
  stateRow->addWidget(m_cboStateTree, 1);
  rows->addWidget(m_vseSelectStateTree);
  rows->addStretch(1);

  m_optTree[0]->setFont(selectorFont());
  for (QRadioButton* option : m_optTree) setBack(option, kOptionBack);
  // The two options sit in different panels; the group keeps one selected.
  m_options = new QButtonGroup(this);
  m_options->addButton(m_optTree[0], 0);
  m_options->addButton(m_optTree[1], 1);
  for (int index : {0, 1})
    connect(m_optTree[index], &QRadioButton::toggled, this, [this, index](bool on) {
      if (on) optTree_Click(index);
    });
  connect(m_cboStateTree, &QComboBox::activated, this, [this](int) { cboStateTree_Click(); });
  resize(pixelsFromTwipsX(5970), pixelsFromTwipsY(870));
}

std::int16_t FamilyTreeSelector::CurrentStateTreeID() const {
  return static_cast<std::int16_t>(m_cboStateTree->currentData().toInt());
}

std::int16_t FamilyTreeSelector::CurrentTreeID() const {
  return m_optTree[0]->isChecked() ? kCorvaneTree : CurrentStateTreeID();
}

std::int32_t FamilyTreeSelector::CurrentTreeType() const {
  if (m_optTree[0]->isChecked()) return 0;
  return m_optTree[1]->isChecked() ? 1 : -1;
}

void FamilyTreeSelector::setCurrentTreeType(std::int32_t TreeType) {
  if ((TreeType == 0 || TreeType == 1) && m_optTree[TreeType]->isEnabled()) m_optTree[TreeType]->setChecked(true);
}

bool FamilyTreeSelector::IsCorvaneTreeValid() const { return m_optTree[0]->isEnabled(); }
bool FamilyTreeSelector::IsStateTreeValid() const { return m_optTree[1]->isEnabled(); }
Text FamilyTreeSelector::CorvaneTreeTitle() const { return textOf(m_optTree[0]->text()); }
Text FamilyTreeSelector::StateTreeTitle() const { return textOf(m_cboStateTree->currentText()); }

void FamilyTreeSelector::optTree_Click(int /*index*/) {
  // The group has already cleared the other option.
  emit StandardTreeOptionButtonClick();
  emit TreeIDChanged();
}

void FamilyTreeSelector::cboStateTree_Click() {
  m_optTree[1]->setChecked(true);
  emit StandardTreeComboClick();
  emit TreeIDChanged();
}

// Off and on again, so that the option's click runs even when it was selected.
void FamilyTreeSelector::reselect(int index) {
  m_options->setExclusive(false);
  m_optTree[index]->setChecked(false);
  m_options->setExclusive(true);
  m_optTree[index]->setChecked(true);
}

void FamilyTreeSelector::init() {
  FillStateTreeCombo(m_cboStateTree, LastStateTreeID, m_optTree[1]);
  if (std::optional<StandardRow> corvane = StandardsTable().find({kCorvaneTree, 1})) {
    m_optTree[0]->setText(qtext(TrimSpaces(DecodeStoredText(corvane->title))));
    m_optTree[0]->setAccessibleName(m_optTree[0]->text());
    if (m_optTree[1]->isEnabled())
      reselect(CurrentTreeID() >= kFirstStateOptionTree ? 1 : 0);
    else
      m_optTree[0]->setChecked(true);
    return;
  }
  if (!m_optTree[1]->isEnabled()) {
    m_optTree[0]->setEnabled(false);
    m_optTree[1]->setEnabled(false);
    showNoTreesMessage();
    return;
  }
  m_optTree[1]->setChecked(true);
  m_optTree[0]->setEnabled(false);
}

void FamilyTreeSelector::StateOnly() {
  if (!m_optTree[1]->isEnabled()) return showNoTreesMessage();
  m_optTree[0]->hide();
  m_optTree[1]->setFocus();
  m_optTree[1]->setChecked(true);
  for (QWidget* w : {static_cast<QWidget*>(m_optTree[1]), static_cast<QWidget*>(m_vseSelectStateTree),
                     static_cast<QWidget*>(m_vseSelectTree)})
    setBack(w, kStateOnlyBack);
  auto* rows = static_cast<QVBoxLayout*>(m_vseSelectTree->layout());
  rows->setContentsMargins(rows->contentsMargins().left(), 0, rows->contentsMargins().right(), 0);
  setFixedHeight(pixelsFromTwipsY(435));
}

void FamilyTreeSelector::showNoTreesMessage() {
  MsgBoxEx(u"No category trees found.\r\n\r\nPlease call 1-888-CORVANE or use the Live Chat option on the Help menu for more "
           u"information.",
           MsgIcons::Critical);
}

} // namespace pu
