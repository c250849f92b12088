#include "app/frm_folder_selecter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "platform/controls/window_layout.h"
#include "msgbox/msg_box.h"
#include "platform/controls/directory_list.h"
#include "platform/controls/drive_list.h"
#include "platform/controls/elastic_panel.h"
#include "platform/controls/push_button.h"
#include "platform/controls/screen_metrics.h"
#include "platform/fs/file_system.h"
#include "util/general.h"

namespace pu {
namespace {

// Design values in twips.
constexpr int kClientWidth = 6840;
constexpr int kClientHeight = 4335;
constexpr int kMargin = 120;
constexpr int kTitleHeight = 495;
constexpr int kLabelWidth = 1815;
constexpr int kPathHeight = 405;
constexpr int kButtonWidth = 1095, kButtonHeight = 375;

QFont arial(const QFont& base) {
  QFont font = base;
  font.setFamily(QStringLiteral("Arial"));
  return font;
}

QString toQString(const Text& text) { return QString::fromStdU16String(text); }
Text fromPath(const std::string& path) { return fromUtf8(path); }

} // namespace

frmFolderSelecter::frmFolderSelecter(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmFolderSelecter"));
  setWindowTitle(QStringLiteral("Select Folder"));

  m_vseForm = new ElasticPanel(this);
  m_vseForm->setObjectName(QStringLiteral("vseForm"));

  m_lblTitle = new QLabel(m_vseForm);
  m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
  m_lblTitle->setFont(arial(font()));
  m_lblTitle->setWordWrap(true);
  m_lblTitle->setTextFormat(Qt::PlainText);
  m_lblTitle->setMinimumHeight(pixelsFromTwipsY(kTitleHeight));
  m_lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  m_dirList = new DirectoryList(m_vseForm);
  m_dirList->setObjectName(QStringLiteral("dirList"));

  m_driveList = new DriveList(m_vseForm);
  m_driveList->setObjectName(QStringLiteral("driveList"));

  m_Label3 = new QLabel(QStringLiteral("Selected Path:"), m_vseForm);
  m_Label3->setObjectName(QStringLiteral("Label3"));
  m_Label3->setFont(arial(font()));
  m_Label3->setMinimumWidth(pixelsFromTwipsX(kLabelWidth));

  m_txtReportPath = new QLineEdit(QStringLiteral("C:\\MyPath"), m_vseForm);
  m_txtReportPath->setObjectName(QStringLiteral("txtReportPath"));
  m_txtReportPath->setFont(arial(font()));
  m_txtReportPath->setMinimumHeight(pixelsFromTwipsY(kPathHeight));

  m_btnFolderNext = new PushButton(QStringLiteral("OK"), m_vseForm);
  m_btnFolderNext->setObjectName(QStringLiteral("btnFolderNext"));
  m_btnReportPathCancel = new PushButton(QStringLiteral("Cancel"), m_vseForm);
  m_btnReportPathCancel->setObjectName(QStringLiteral("btnReportPathCancel"));
  for (PushButton* b : {m_btnFolderNext, m_btnReportPathCancel})
    b->setMinimumSize(pixelsFromTwipsX(kButtonWidth), pixelsFromTwipsY(kButtonHeight));
  // Enter in the path box confirms the typed path.
  m_btnFolderNext->setDefault(true);

  // The lists take every change of the window's height; the rest keep theirs.
  auto* grid = new QGridLayout(m_vseForm);
  int margin = pixelsFromTwipsX(kMargin);
  grid->setContentsMargins(margin, margin, margin, margin);
  grid->addWidget(m_lblTitle, 0, 0, 1, 2);
  grid->addWidget(m_dirList, 1, 0, 1, 2);
  grid->addWidget(m_driveList, 2, 0, 1, 2);
  grid->addWidget(m_Label3, 3, 0);
  grid->addWidget(m_txtReportPath, 3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_btnFolderNext);
  buttons->addWidget(m_btnReportPathCancel);
  grid->addLayout(buttons, 4, 0, 1, 2);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(1, 1);

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(m_vseForm);
  resize(pixelsFromTwipsX(kClientWidth), pixelsFromTwipsY(kClientHeight));

  {
    // The lists start at the working folder; its drive is shown without reopening it.
    QSignalBlocker block(m_driveList);
    m_driveList->setDrive(m_dirList->path());
  }

  connect(m_btnFolderNext, &QPushButton::clicked, this, &frmFolderSelecter::btnFolderNext_Click);
  connect(m_btnReportPathCancel, &QPushButton::clicked, this, &frmFolderSelecter::btnReportPathCancel_Click);
  connect(m_dirList, &DirectoryList::changed, this, &frmFolderSelecter::dirList_Change);
  connect(m_dirList, &DirectoryList::clicked, this, &frmFolderSelecter::dirList_Click);
  connect(m_driveList, &DriveList::changed, this, &frmFolderSelecter::driveList_Change);
}

Text frmFolderSelecter::ShowFolderChooser(const Text& caption, const Text& defaultFolder, bool createIfMissing) {
  m_lblTitle->setText(toQString(caption));
  if (!defaultFolder.empty() && FolderExists(defaultFolder)) {
    std::string folder = FileSystem::instance().resolve(toUtf8(defaultFolder));
    m_driveList->setDrive(folder);
    m_dirList->setPath(folder);
    m_txtReportPath->setText(toQString(defaultFolder));
  }
  CenterForm(this);
  exec();

  if (!SelectedPath.empty() && createIfMissing && !FolderExists(SelectedPath)) {
    Text question = u"The path: \"" + SelectedPath + u"\" does not exist.\r\n\r\nWould you like to create it?";
    std::int32_t answer = MsgBoxEx(question, MsgButtons::YesNo, Text(u"Create Folder"));
    if (answer == MsgResult::Yes) {
      // The creation routine answers true for some failures; the folder itself decides.
      if (!MakeDirectory(SelectedPath) || !FolderExists(SelectedPath)) SelectedPath.clear();
    } else if (answer == MsgResult::No) {
      SelectedPath.clear();
    }
  }
  return SelectedPath;
}

void frmFolderSelecter::btnFolderNext_Click() {
  SelectedPath = m_txtReportPath->text().toStdU16String();
  accept();
}

void frmFolderSelecter::btnReportPathCancel_Click() {
  SelectedPath.clear();
  reject();
}

void frmFolderSelecter::dirList_Change() {
  const std::string& path = m_dirList->path();
  std::string drive = DriveList::driveOf(m_driveList->drives(), path);
  if (!drive.empty()) {
    m_driveFolders[drive] = path;
    // Opening a folder on another volume moves the drive list along, without reopening.
    QSignalBlocker block(m_driveList);
    m_driveList->setDrive(path);
  }
  m_txtReportPath->setText(toQString(fromPath(path)));
}

void frmFolderSelecter::dirList_Click() { m_txtReportPath->setText(toQString(fromPath(m_dirList->currentPath()))); }

void frmFolderSelecter::driveList_Change() { m_dirList->setPath(currentFolderOf(m_driveList->drive())); }

std::string frmFolderSelecter::currentFolderOf(const std::string& drive) const {
  auto known = m_driveFolders.find(drive);
  if (known != m_driveFolders.end()) return known->second;
  std::string working = FileSystem::instance().currentDirectory();
  if (DriveList::driveOf(m_driveList->drives(), working) == drive) return working;
  return drive;
}

} // namespace pu
