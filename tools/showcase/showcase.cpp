// Pictures of the tree controls for the documentation: run on a display
// (xvfb-run) over a sample database, it writes PNG files of the family tree
// control (open branches, a picked standard, the three special colours,
// create-new rows) and of the tree group in its full and state-only forms.
#include <QApplication>
#include <QVBoxLayout>
#include <cstdio>

#include "tree/family_tree.h"
#include "tree/family_tree_group.h"
#include "tree/tree_text.h"
#include "util/path_globals.h"

namespace {

constexpr std::int16_t kStateTree = 2;

bool save(QWidget& widget, const QString& path) {
  QApplication::processEvents();
  bool ok = widget.grab().save(path);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return ok;
}

bool showTree(const QString& out) {
  QWidget window;
  window.setWindowTitle(QStringLiteral("Family tree"));
  auto* layout = new QVBoxLayout(&window);
  auto* tree = new pu::familyTree(&window);
  layout->addWidget(tree);
  window.resize(560, 560);
  window.show();
  tree->StandardDisplayMode = 2;
  tree->init(1, true, true);
  tree->SetDisplayedTree(kStateTree);
  pu::TreeList* list = tree->TList();
  // Learn the nodes, then mark them: the first category blue (open), its
  // first child green (open), the fifth category red.
  list->setRowExpanded(0, true);
  std::int32_t blue = list->itemData(0), green = list->itemData(1), picked = list->itemData(2);
  std::int32_t red = list->itemData(list->findItemData(0, 0, list->count() - 1) - 2);
  tree->CollapseAll();
  tree->SpecialNodes->insert(pu::NodeNumberKey(blue), 1);
  tree->SpecialNodes->insert(pu::NodeNumberKey(green), 2);
  tree->SpecialNodes->insert(pu::NodeNumberKey(red), 3);
  tree->UpdateAllSpecialNodes();
  tree->AddStandardID(pu::MakeNodeKey(kStateTree, picked));
  tree->UpdateAllBookIcons();
  list->selectRow(list->findItemData(picked, 0, list->count() - 1) + 1);
  return save(window, out + QStringLiteral("/family-tree.png"));
}

bool showGroup(const QString& out) {
  pu::FamilyTreeGroup group;
  group.setWindowTitle(QStringLiteral("Tree group"));
  group.resize(500, 480);
  group.show();
  group.init(false, false, false, false, 2);
  bool ok = save(group, out + QStringLiteral("/tree-group-full.png"));
  group.StateOnly();
  return save(group, out + QStringLiteral("/tree-group-state-only.png")) && ok;
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: showcase DATABASE_FOLDER OUTPUT_FOLDER\n");
    return 2;
  }
  pu::SetDatabaseFolder(pu::fromUtf8(argv[1]));
  QString out = QString::fromLocal8Bit(argv[2]);
  bool ok = showTree(out);
  ok = showGroup(out) && ok;
  return ok ? 0 : 1;
}
