#include "frmSetting.h"

#include "frmFolder.h"
#include "desktop/Charset.h"
#include "desktop/Placement.h"
#include "ui_frmSetting.h"

#include <QCloseEvent>

namespace korima::config {

frmSetting::frmSetting(QWidget& mainWindow, MainWindowHooks hooks)
    : ui_(std::make_unique<Ui::frmSetting>()), main_(mainWindow), hooks_(std::move(hooks)) {
  ui_->setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose);
  desktop::MakeFixedDialog(this, &main_);
  for (QLineEdit* box : {ui_->txtLocalPort, ui_->txtRemoteHost, ui_->txtRemotePort})
    box->setAttribute(Qt::WA_InputMethodEnabled, false);  // digits and dots, typed directly

  connect(ui_->txtLocalPort, &QLineEdit::textChanged, this, [this](const QString& t) { work_.LocalPort = t; });
  connect(ui_->txtRemoteHost, &QLineEdit::textChanged, this, [this](const QString& t) { work_.RemoteHost = t; });
  connect(ui_->txtRemotePort, &QLineEdit::textChanged, this, [this](const QString& t) { work_.RemotePort = t; });
  connect(ui_->optTitle_0, &QRadioButton::toggled, this, [this](bool on) { if (on) optTitle_Click(0); });
  connect(ui_->optTitle_1, &QRadioButton::toggled, this, [this](bool on) { if (on) optTitle_Click(1); });
  connect(ui_->optStartUpSize_0, &QRadioButton::toggled, this, [this](bool on) { if (on) optStartUpSize_Click(0); });
  connect(ui_->optStartUpSize_1, &QRadioButton::toggled, this, [this](bool on) { if (on) optStartUpSize_Click(1); });
  connect(ui_->cmdOK_0, &QPushButton::clicked, this, [this] { cmdOK_Click(0); });
  connect(ui_->cmdOK_1, &QPushButton::clicked, this, [this] { cmdOK_Click(1); });
  connect(ui_->cmdFolderRef, &QPushButton::clicked, this, &frmSetting::cmdFolderRef_Click);
}

frmSetting::~frmSetting() { delete picker_; }

void frmSetting::Form_Load() {
  desktop::ApplyJapaneseCharset(this);
  desktop::CenterOverWhenShown(this, &main_);
  main_.setEnabled(false);
  // The working copy starts as the controls show it, so that it matches them
  // even where the fill below stops early.
  work_ = {};
  work_.WorkFolder = ui_->lblFolder->text();
  work_.LocalPort = ui_->txtLocalPort->text();
  work_.RemoteHost = ui_->txtRemoteHost->text();
  work_.RemotePort = ui_->txtRemotePort->text();
  work_.TitleLine = qint16(ui_->optTitle_1->isChecked() ? 1 : 0);
  work_.StartUpSize = qint16(ui_->optStartUpSize_1->isChecked() ? 1 : 0);
  ShowCurrentSettings();
}

void frmSetting::ShowCurrentSettings() {
  ui_->txtLocalPort->setText(Settings.LocalPort);
  ui_->txtRemoteHost->setText(Settings.RemoteHost);
  ui_->txtRemotePort->setText(Settings.RemotePort);
  SetFolderCaption(Settings.WorkFolder);
  QRadioButton* const titles[] = {ui_->optTitle_0, ui_->optTitle_1};
  QRadioButton* const sizes[] = {ui_->optStartUpSize_0, ui_->optStartUpSize_1};
  // A value with no button (a hand-edited file) ends the fill here.
  if (Settings.TitleLine < 0 || Settings.TitleLine > 1) return;
  titles[Settings.TitleLine]->setChecked(true);
  if (Settings.StartUpSize < 0 || Settings.StartUpSize > 1) return;
  sizes[Settings.StartUpSize]->setChecked(true);
  work_ = Settings;
}

void frmSetting::cmdOK_Click(int index) {
  if (index != 1) SaveSettings(work_, hooks_);
  close();
}

void frmSetting::cmdFolderRef_Click() {
  if (!picker_) picker_ = new frmFolder(main_, *this);
  picker_->Form_Load();
  picker_->show();
}

void frmSetting::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  main_.setEnabled(true);
}

QString frmSetting::FolderCaption() const { return ui_->lblFolder->text(); }

void frmSetting::SetFolderCaption(const QString& folder) {
  ui_->lblFolder->setText(folder);
  lblFolder_Change();
}

void frmSetting::lblFolder_Change() { work_.WorkFolder = ui_->lblFolder->text(); }
void frmSetting::optTitle_Click(int index) { work_.TitleLine = qint16(index); }
void frmSetting::optStartUpSize_Click(int index) { work_.StartUpSize = qint16(index); }

void frmSetting::closeEvent(QCloseEvent* event) {
  // Disabled by the folder picker: a disabled window takes no input, its close box included.
  if (!isEnabled()) return event->ignore();
  if (picker_) picker_->close();
  Form_Unload();
  event->accept();
}

}  // namespace korima::config
