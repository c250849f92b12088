#include "platform/controls/directory_list.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <algorithm>

#include "platform/fs/file_system.h"

namespace pu {
namespace {

constexpr int kPathRole = Qt::UserRole;

std::string joinPath(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// "/", "/home", "/home/ann" for "/home/ann".
std::vector<std::string> chainOf(const std::string& path) {
  std::vector<std::string> chain;
  if (path.empty()) return chain;
  if (path.front() == '/') chain.push_back("/");
  for (std::size_t pos = 1; pos <= path.size(); ++pos)
    if (pos == path.size() || path[pos] == '/') {
      std::string part = path.substr(0, pos);
      if (!part.empty() && part != "/" && (chain.empty() || chain.back() != part)) chain.push_back(part);
    }
  return chain;
}

QString nameOf(const std::string& path) {
  if (path == "/") return QStringLiteral("/");
  std::size_t slash = path.find_last_of('/');
  return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
}

QTreeWidgetItem* makeEntry(const std::string& path, const QString& name, QStyle::StandardPixmap icon) {
  auto* item = new QTreeWidgetItem(QStringList{name});
  item->setIcon(0, QApplication::style()->standardIcon(icon));
  item->setData(0, kPathRole, QString::fromStdString(path));
  return item;
}

} // namespace

DirectoryList::DirectoryList(QWidget* parent) : QTreeWidget(parent) {
  // A list that indents: every entry is open, none can be folded.
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setIndentation(12);
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QTreeWidget::itemClicked, this, [this] { emit clicked(); });
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { open(item); });
  m_path = FileSystem::instance().currentDirectory();
  fill();
}

void DirectoryList::setPath(const std::string& folder) {
  std::string resolved = FileSystem::instance().resolve(folder);
  while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
  bool differs = resolved != m_path;
  m_path = resolved;
  fill();
  if (differs) emit changed();
}

std::string DirectoryList::currentPath() const {
  QTreeWidgetItem* item = currentItem();
  return item ? item->data(0, kPathRole).toString().toStdString() : m_path;
}

QTreeWidgetItem* DirectoryList::entryOf(const std::string& folder) const {
  QString wanted = QString::fromStdString(folder);
  for (QTreeWidgetItemIterator it(const_cast<DirectoryList*>(this)); *it; ++it)
    if ((*it)->data(0, kPathRole).toString() == wanted) return *it;
  return nullptr;
}

std::vector<std::string> DirectoryList::entries() const {
  std::vector<std::string> paths;
  for (QTreeWidgetItemIterator it(const_cast<DirectoryList*>(this)); *it; ++it)
    paths.push_back((*it)->data(0, kPathRole).toString().toStdString());
  return paths;
}

void DirectoryList::keyPressEvent(QKeyEvent* event) {
  // Enter opens the highlighted folder and goes no further, so it does not
  // also press the dialog's default button.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
    open(currentItem());
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void DirectoryList::fill() {
  clear();
  QTreeWidgetItem* openEntry = nullptr;
  for (const std::string& folder : chainOf(m_path)) {
    QTreeWidgetItem* item = makeEntry(folder, nameOf(folder), QStyle::SP_DirOpenIcon);
    if (openEntry) {
      openEntry->addChild(item);
    } else {
      addTopLevelItem(item);
    }
    openEntry = item;
  }
  std::vector<std::string> names;
  // A folder we may not list still shows its chain of parents.
  if (FileSystem::instance().listDirectories(m_path, &names)) {
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n.empty() || n.front() == '.'; }),
                names.end());
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    for (const std::string& name : names) {
      QTreeWidgetItem* item = makeEntry(joinPath(m_path, name), QString::fromStdString(name), QStyle::SP_DirIcon);
      if (openEntry) {
        openEntry->addChild(item);
      } else {
        addTopLevelItem(item);
      }
    }
  }
  expandAll();
  if (openEntry) {
    setCurrentItem(openEntry);
    scrollToItem(openEntry, QAbstractItemView::PositionAtTop);
  }
}

void DirectoryList::open(QTreeWidgetItem* item) {
  if (item) setPath(item->data(0, kPathRole).toString().toStdString());
}

} // namespace pu
