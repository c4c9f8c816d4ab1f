#include "frmFolder.h"

#include "desktop/CarryOn.h"
#include "frmSetting.h"
#include "desktop/Charset.h"
#include "platform/Dialogs.h"
#include "desktop/Placement.h"
#include "platform/Process.h"
#include "platform/Volumes.h"
#include "ui_frmFolder.h"

#include <QCloseEvent>
#include <QIcon>

namespace korima::config {

frmFolder::frmFolder(QWidget& mainWindow, frmSetting& setting)
    : ui_(std::make_unique<Ui::frmFolder>()), main_(mainWindow), setting_(setting) {
  ui_->setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose);
  desktop::MakeFixedDialog(this, &setting_);
  // Both sizes in the normal state, so that the title bar finds its 16 x 16 one.
  QIcon icon(QStringLiteral(":/icons/frmFolder.png"));
  icon.addFile(QStringLiteral(":/icons/frmFolder16.png"));
  setWindowIcon(icon);
  connect(ui_->Drive1, &desktop::DriveListBox::Change, this, &frmFolder::Drive1_Change);
  connect(ui_->cmdOK_0, &QPushButton::clicked, this, [this] { cmdOK_Click(0); });
  connect(ui_->cmdOK_1, &QPushButton::clicked, this, [this] { cmdOK_Click(1); });
}

frmFolder::~frmFolder() = default;

void frmFolder::Form_Load() {
  desktop::ApplyJapaneseCharset(this);
  desktop::CenterOverWhenShown(this, &main_);
  setting_.setEnabled(false);
  SelectInitialFolder();
}

void frmFolder::SelectInitialFolder() {
  const QString start = setting_.FolderCaption();
  if (ui_->Drive1->SetDrive(start) && ui_->Dir1->SetPath(start)) return;
  // The saved folder is gone (or its drive is): start where the process is, silently.
  const QString here = desktop::CurDir();
  if (ui_->Drive1->SetDrive(here)) ui_->Dir1->SetPath(here);
}

void frmFolder::Drive1_Change() {
  const QString dir = desktop::CurDirOnDrive(ui_->Drive1->Drive());
  if (!dir.isEmpty() && ui_->Dir1->SetPath(dir)) return;
  const platform::ErrorState e = desktop::Err();
  platform::Beep();
  // The number takes a sign position: a blank before a non-negative one.
  const QString number = (e.Number >= 0 ? QStringLiteral(" ") : QString()) + QString::number(e.Number);
  platform::MsgBox(QStringLiteral("ｴﾗｰ") + number + QStringLiteral("\r\n") + e.Description);
}

void frmFolder::cmdOK_Click(int index) {
  if (index != 1) setting_.SetFolderCaption(ui_->Dir1->Path());
  close();
}

void frmFolder::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  setting_.setEnabled(true);
  setting_.show();
  setting_.raise();
  setting_.activateWindow();
}

void frmFolder::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

}  // namespace korima::config
