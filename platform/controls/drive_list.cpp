#include "platform/controls/drive_list.h"

#include "platform/fs/file_system.h"

namespace pu {

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::currentIndexChanged, this, [this] {
    if (!m_filling) emit changed();
  });
  refresh();
}

void DriveList::refresh() {
  std::string current = drive();
  m_drives = FileSystem::instance().roots();
  m_filling = true;
  clear();
  for (const std::string& d : m_drives) addItem(QString::fromStdString(d));
  int index = 0;
  for (std::size_t i = 0; i < m_drives.size(); ++i)
    if (m_drives[i] == current) index = static_cast<int>(i);
  if (!m_drives.empty()) setCurrentIndex(index);
  m_filling = false;
}

std::string DriveList::drive() const {
  int index = currentIndex();
  return index >= 0 && index < static_cast<int>(m_drives.size()) ? m_drives[static_cast<std::size_t>(index)] : std::string();
}

void DriveList::setDrive(const std::string& path) {
  std::string root = driveOf(m_drives, path);
  for (std::size_t i = 0; i < m_drives.size(); ++i)
    if (m_drives[i] == root) setCurrentIndex(static_cast<int>(i));
}

std::string DriveList::driveOf(const std::vector<std::string>& drives, const std::string& path) {
  std::string best;
  for (const std::string& root : drives) {
    bool contains = root == "/" ? !path.empty() && path.front() == '/'
                                : path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                                                   path[root.size()] == '/');
    if (contains && root.size() > best.size()) best = root;
  }
  return best;
}

} // namespace pu
