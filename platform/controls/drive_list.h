#pragma once
// The drive list of the folder dialog. On this platform the "drives" are the
// file-system roots and mounted volumes that FileSystem::roots() reports.
#include <QComboBox>
#include <string>
#include <vector>

namespace pu {

class DriveList : public QComboBox {
  Q_OBJECT
public:
  explicit DriveList(QWidget* parent = nullptr);

  // Reloads the list from the file system; keeps the current drive when it is still there.
  void refresh();
  const std::vector<std::string>& drives() const { return m_drives; }

  std::string drive() const;
  // Selects the drive that holds path (the longest root that contains it).
  // Raises changed() when the drive differs from the current one.
  void setDrive(const std::string& path);
  // The root among drives that holds path; empty when none does.
  static std::string driveOf(const std::vector<std::string>& drives, const std::string& path);

signals:
  // The current drive changed, by the user or by setDrive().
  void changed();

private:
  std::vector<std::string> m_drives;
  bool m_filling = false;
};

} // namespace pu
