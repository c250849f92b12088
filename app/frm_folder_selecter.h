#pragma once
// "Select Folder": a modal dialog that lets the user pick a folder in a
// drive list and a directory list, or type a path, and returns that path.
#include <QDialog>
#include <map>
#include <string>

#include "platform/text/ansi.h"

class QLabel;
class QLineEdit;

namespace pu {

class DirectoryList;
class DriveList;
class ElasticPanel;
class PushButton;

class frmFolderSelecter : public QDialog {
  Q_OBJECT
public:
  explicit frmFolderSelecter(QWidget* parent = nullptr);

  // Shows the dialog with caption as its prompt, opened at defaultFolder when
  // that folder exists. Returns the chosen path exactly as shown or typed;
  // empty when the user cancelled, or when createIfMissing is set and the
  // missing folder was not (or could not be) created.
  Text ShowFolderChooser(const Text& caption, const Text& defaultFolder, bool createIfMissing);

  // The result; empty in a new dialog and after "Cancel".
  Text SelectedPath;

private:
  void btnFolderNext_Click();
  void btnReportPathCancel_Click();
  void dirList_Change();
  void dirList_Click();
  void driveList_Change();
  // The folder a drive opens at: where the user last was on it, the working
  // folder when it lies on that drive, otherwise the drive's root.
  std::string currentFolderOf(const std::string& drive) const;

  ElasticPanel* m_vseForm;
  QLabel* m_lblTitle;
  DirectoryList* m_dirList;
  DriveList* m_driveList;
  QLabel* m_Label3;
  QLineEdit* m_txtReportPath;
  PushButton* m_btnFolderNext;
  PushButton* m_btnReportPathCancel;
  std::map<std::string, std::string> m_driveFolders;
};

} // namespace pu
