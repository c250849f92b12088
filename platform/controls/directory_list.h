#pragma once
// The directory list of the folder dialog: the open folder with its chain of
// parents above it, then the folders inside it. One click highlights an
// entry; a double click or Enter opens it. Paths are absolute UTF-8 paths
// with '/' separators, as the file system reports them.
#include <QTreeWidget>
#include <string>
#include <vector>

namespace pu {

class DirectoryList : public QTreeWidget {
  Q_OBJECT
public:
  explicit DirectoryList(QWidget* parent = nullptr);

  // The open folder.
  const std::string& path() const { return m_path; }
  // Opens folder (resolved through the file system). Raises changed() when
  // the open folder differs from the previous one.
  void setPath(const std::string& folder);
  // The highlighted entry's full path: the open folder until the user clicks another.
  std::string currentPath() const;
  // The entry whose full path is folder; null when not listed.
  QTreeWidgetItem* entryOf(const std::string& folder) const;
  // Full paths of the listed folders, from top to bottom.
  std::vector<std::string> entries() const;

signals:
  void changed();
  void clicked();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  // No fold markers: every entry stays open.
  void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
  void fill();
  void open(QTreeWidgetItem* item);

  std::string m_path;
};

} // namespace pu
