#include "app/frm_prefix_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>
#include <string>

#include "app/highlight_box.h"
#include "db/standards_model.h"
#include "db/state_prefix.h"
#include "msgbox/msg_box.h"
#include "platform/controls/screen_metrics.h"
#include "platform/controls/window_layout.h"
#include "tree/family_tree_group.h"
#include "tree/tree_text.h"
#include "util/ini_file.h"
#include "util/path_globals.h"
#include "util/stored_text.h"

namespace pu {
namespace {

// Design size of the client area, in twips.
constexpr int kDesignWidth = 10185;
constexpr int kDesignHeight = 10530;
constexpr int kGridRows = 10;

QRect twipsRect(int left, int top, int width, int height) {
  return {pixelsFromTwipsX(left), pixelsFromTwipsY(top), pixelsFromTwipsX(width), pixelsFromTwipsY(height)};
}

template <typename W>
W* named(W* widget, const QString& name, const QString& caption) {
  widget->setObjectName(name);
  widget->setAccessibleName(caption);
  return widget;
}

Text decimal(long value) { return fromUtf8(std::to_string(value)); }

} // namespace

frmPrefixUtil::frmPrefixUtil(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPrefixUtil"));
  setWindowTitle(QStringLiteral("List Prefix"));
  buildControls();
  connect(qApp, &QGuiApplication::focusWindowChanged, this, &frmPrefixUtil::onFocusWindowChanged);
}

void frmPrefixUtil::buildControls() {
  QFont sansSerif(QStringLiteral("MS Sans Serif"));
  m_familyTreeList = named(new FamilyTreeGroup(this), QStringLiteral("familyTreeList"), QStringLiteral("Family trees"));
  m_includeParentCheck = named(new QCheckBox(QStringLiteral("Include Parent Prefix"), this), QStringLiteral("includeParentCheck"),
                               QStringLiteral("Include Parent Prefix"));
  m_label1 = named(new QLabel(QStringLiteral("Highlight Identifier"), this), QStringLiteral("Label1"),
                   QStringLiteral("Highlight Identifier"));
  m_selectBox = named(new HighlightBox(this), QStringLiteral("selectBox"), QStringLiteral("Highlight Identifier"));
  m_label1->setBuddy(m_selectBox);
  for (QWidget* w : {static_cast<QWidget*>(m_includeParentCheck), static_cast<QWidget*>(m_label1),
                     static_cast<QWidget*>(m_selectBox)})
    w->setFont(sansSerif);
  m_setPrefixBut = named(new QPushButton(QStringLiteral("Set Prefix"), this), QStringLiteral("setPrefixBut"),
                         QStringLiteral("Set Prefix"));
  m_cmdVossa = named(new QPushButton(QStringLiteral("Replace : "), this), QStringLiteral("cmdVossa"), QStringLiteral("Replace : "));
  m_chkShowShortTitle = named(new QCheckBox(QStringLiteral("Show Short Titles"), this), QStringLiteral("chkShowShortTitle"),
                              QStringLiteral("Show Short Titles"));
  m_closeBut = named(new QPushButton(QStringLiteral("Back"), this), QStringLiteral("closeBut"), QStringLiteral("Back"));
  // Commands run by a click only: not default buttons, and a click leaves
  // the focus where it was, so no key repeats a command by accident.
  for (QPushButton* b : {m_setPrefixBut, m_cmdVossa, m_closeBut}) {
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
  }
  m_prefixTable = named(new QTableWidget(kGridRows, 3, this), QStringLiteral("prefixTable"), QStringLiteral("Level rules"));
  m_prefixTable->horizontalHeader()->hide();
  m_prefixTable->verticalHeader()->hide();
  m_prefixTable->verticalHeader()->setDefaultSectionSize(pixelsFromTwipsY(255));
  m_prefixTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_prefixTable->horizontalHeader()->setStretchLastSection(true);
  m_prefixTable->setColumnWidth(1, pixelsFromTwipsX(5000));

  connect(m_familyTreeList, &FamilyTreeGroup::FamilyTreeClick, this, &frmPrefixUtil::familyTreeList_FamilyTreeClick);
  connect(m_setPrefixBut, &QPushButton::clicked, this, &frmPrefixUtil::setPrefixBut_Click);
  connect(m_cmdVossa, &QPushButton::clicked, this, &frmPrefixUtil::cmdVossa_Click);
  connect(m_chkShowShortTitle, &QCheckBox::clicked, this, &frmPrefixUtil::chkShowShortTitle_Click);
  connect(m_closeBut, &QPushButton::clicked, this, &frmPrefixUtil::closeBut_Click);
  connect(m_familyTreeList, &FamilyTreeGroup::StandardTreeComboClick, this, &frmPrefixUtil::onTreePicked);
  connect(m_familyTreeList, &FamilyTreeGroup::StandardTreeOptionButtonClick, this, &frmPrefixUtil::onTreePicked);

  setMinimumSize(pixelsFromTwipsX(kDesignWidth), pixelsFromTwipsY(kDesignHeight));
  resize(minimumSize());
}

// The tree and the grid take up what the window gains; the commands keep
// their distance from the right edge and from the grid.
void frmPrefixUtil::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  int dx = std::max(0, width() - pixelsFromTwipsX(kDesignWidth));
  int dy = std::max(0, height() - pixelsFromTwipsY(kDesignHeight));
  m_familyTreeList->setGeometry(twipsRect(0, 0, 6975, 7455).adjusted(0, 0, dx, dy));
  m_includeParentCheck->setGeometry(twipsRect(7200, 240, 2535, 495).translated(dx, 0));
  m_label1->setGeometry(twipsRect(7200, 720, 2415, 375).translated(dx, 0));
  m_selectBox->setGeometry(twipsRect(7200, 1080, 2775, 375).translated(dx, 0));
  m_setPrefixBut->setGeometry(twipsRect(7200, 1680, 1095, 375).translated(dx, 0));
  m_cmdVossa->setGeometry(twipsRect(7080, 5760, 2295, 375).translated(dx, dy));
  m_chkShowShortTitle->setGeometry(twipsRect(7080, 6480, 2055, 375).translated(dx, dy));
  m_closeBut->setGeometry(twipsRect(8880, 7080, 1095, 375).translated(dx, dy));
  m_prefixTable->setGeometry(twipsRect(120, 7560, 9975, 2655).adjusted(0, dy, dx, dy));
}

// Activation counts when the window is first shown and when it comes back
// from another window of the program, not when the desktop switches
// programs, and not when a message the program showed is closed: the trees
// and the grid stay as the user left them.
void frmPrefixUtil::onFocusWindowChanged(QWindow* window) {
  if (!window || window == windowHandle()) return;
  Qt::WindowType type = window->type();
  if (type != Qt::Window && type != Qt::Dialog) return;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowHandle() == window && w->objectName() == QStringLiteral("frmMsgBox")) return;
  m_otherWindowWasActive = true;
}

void frmPrefixUtil::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
  case Qt::Key_Escape:
  case Qt::Key_Return:
  case Qt::Key_Enter:
    event->accept();
    return;
  default:
    QDialog::keyPressEvent(event);
  }
}

bool frmPrefixUtil::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && (!m_activatedOnce || m_otherWindowWasActive)) {
    m_activatedOnce = true;
    m_otherWindowWasActive = false;
    // After the handler that opened the other window has finished.
    QTimer::singleShot(0, this, [this] {
      if (isVisible() && BusyCount == 0) Form_Activate();
    });
  }
  return QDialog::event(event);
}

void frmPrefixUtil::Form_Activate() {
  // Centred once: a window that jumped back to the centre whenever a message
  // box closed would undo where the user put it.
  if (!m_centred) CenterForm(this);
  m_centred = true;
  RefreshTreeDisplay(false);
  clearGrid(kGridRows);
}

void frmPrefixUtil::RefreshTreeDisplay(bool keepView) {
  std::int32_t mode = m_chkShowShortTitle->isChecked() ? DisplayShort : DisplayStored;
  familyTree* shown = m_familyTreeList->CurrentFamilyTree();
  const std::int16_t shownTree = shown->CurrentTreeID;
  const familyTree::View view = shown->currentView();
  BeginBusy();
  m_refreshing = true;
  m_familyTreeList->init(true, false, false, false, mode);
  m_familyTreeList->StateOnly();
  m_refreshing = false;
  familyTree* now = m_familyTreeList->CurrentFamilyTree();
  if (keepView && now->CurrentTreeID == shownTree) now->restoreView(view);
  EndBusy();
}

void frmPrefixUtil::onTreePicked() {
  if (m_refreshing) return;
  CurrentNodeID = 0;
  CurrentNodeTree = 0;
  m_selectBox->clear();
}

void frmPrefixUtil::clearGrid(int rows) {
  m_prefixTable->clearContents();
  m_prefixTable->setRowCount(rows);
  m_prefixTable->setColumnCount(3);
  const char16_t* titles[] = {u"Level", u"Prefix", u"Parent"};
  for (int column = 0; column < 3; ++column)
    m_prefixTable->setItem(0, column, new QTableWidgetItem(qtext(titles[column])));
}

void frmPrefixUtil::familyTreeList_FamilyTreeClick(familyTree* tree) {
  // A row selected again after the trees were read anew is no new click.
  if (tree->SkipClick) return;
  StateTreeKey = decimal(m_familyTreeList->CurrentStateTreeID());
  CurrentNodeID = m_familyTreeList->CurrentFamilyTree()->SelectedNodeID;
  CurrentNodeTree = m_familyTreeList->CurrentTreeID();
  NodeRow row = GetNodeRow(CurrentNodeTree, CurrentNodeID);
  if (row.ref.node != 0) {
    m_selectBox->setText(qtext(DisplayTextOfTitle(DecodeStoredText(row.title), DisplayPlain)));
    // The identifier is at the start of the title: the box shows it there.
    m_selectBox->setCursorPosition(0);
  }
  std::vector<LevelRule> rules = ReadLevelRules(StateTreeKey);
  // A section with more levels than the grid has rows shows them all.
  clearGrid(std::max(kGridRows, static_cast<int>(rules.size()) + 1));
  for (const LevelRule& rule : rules) {
    m_prefixTable->setItem(rule.level, 0, new QTableWidgetItem(qtext(decimal(rule.level))));
    m_prefixTable->setItem(rule.level, 1, new QTableWidgetItem(qtext(rule.start + u" ... " + rule.end)));
    m_prefixTable->setItem(rule.level, 2, new QTableWidgetItem(qtext(rule.includeParent)));
  }
}

void frmPrefixUtil::setPrefixBut_Click() {
  // Not while another command or edit waits for a record (window events run then).
  if (BusyCount > 0) return;
  std::int16_t tree = m_familyTreeList->CurrentTreeID();
  // A standard clicked in another tree is no example for this one.
  if (CurrentNodeID == 0 || CurrentNodeTree != tree) return;
  auto* box = static_cast<HighlightBox*>(m_selectBox);
  int start = box->selStart();
  int length = box->selLength();
  PrefixExample example = TakePrefixExample(textOf(box->text()), start, length);
  box->setSelection(start, length);
  StateTreeKey = decimal(m_familyTreeList->CurrentStateTreeID());
  BeginBusy();
  CommandReport report = SetPrefix(tree, CurrentNodeID, example, m_includeParentCheck->isChecked());
  RefreshTreeDisplay();
  EndBusy();
  reportCommand(report);
}

void frmPrefixUtil::cmdVossa_Click() {
  if (BusyCount > 0) return;
  BeginBusy();
  CommandReport report = ReplaceColons(m_familyTreeList->CurrentTreeID());
  RefreshTreeDisplay();
  EndBusy();
  reportCommand(report);
}

void frmPrefixUtil::reportCommand(const CommandReport& report) {
  Text message = CommandReportMessage(report);
  if (!message.empty()) MsgBoxEx(message, report.anyFailed() ? MsgIcons::Exclamation : MsgIcons::Information);
}

void frmPrefixUtil::chkShowShortTitle_Click() { RefreshTreeDisplay(); }

void frmPrefixUtil::closeBut_Click() { accept(); }

void ShowPrefixWindow() {
  frmPrefixUtil window;
  window.exec();
}

} // namespace pu
