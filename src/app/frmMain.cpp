#include "frmMain.h"

#include "about/frmAbout.h"
#include "config/SettingsLocation.h"
#include "config/frmSetting.h"
#include "platform/Charset.h"
#include "platform/Placement.h"
#include "platform/Process.h"
#include "ui_frmMain.h"

#include <QCloseEvent>
#include <QShortcut>
#include <climits>

namespace korima::app {

using config::Settings;

frmMain::frmMain(platform::TickSource* ticks, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::frmMain>()) {
  ui_->setupUi(this);
  platform::MakeFixedMainWindow(this);
  ui_->Progbar->setVisible(false);
  ui_->Status_0->setVisible(false);
  ui_->Status_1->setVisible(false);
  ui_->File1->SetPattern(QStringLiteral("*.csv;*.txt"));
  link_ = new link::Link(*this, ticks, this);

  connect(ui_->cmdComm_0, &QPushButton::clicked, this, [this] { link_->cmdComm_Click(0); });
  connect(ui_->cmdComm_1, &QPushButton::clicked, this, [this] { link_->cmdComm_Click(1); });
  connect(ui_->cmdSetting, &QPushButton::clicked, this, &frmMain::cmdSetting_Click);
  connect(ui_->cmdInfo, &QPushButton::clicked, this, &frmMain::cmdInfo_Click);
  connect(ui_->File1, &QListWidget::itemDoubleClicked, this, &frmMain::File1_DblClick);
  // F5 re-reads the list, as a double-click on the background does.
  auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
  refresh->setContext(Qt::WindowShortcut);
  connect(refresh, &QShortcut::activated, this, &frmMain::Form_DblClick);
}

frmMain::~frmMain() {
  delete setting_;
  delete about_;
}

config::frmSetting* frmMain::SettingDialog() const { return setting_; }
about::frmAbout* frmMain::AboutBox() const { return about_; }

void frmMain::Form_Load() {
  IsVistaOrLater = platform::OsMajorVersion() >= 6;
  platform::ApplyJapaneseCharset(this);
  Settings.SettingsPath = config::SettingsFilePath();
  config::ReadSettings(Hooks());
  ShowWorkFolder();
  SetCommState(0);
  ui_->lblNote->setText(QStringLiteral("KORIMAはUDPｸﾗｲｱﾝﾄとして動作します。\n") +
                        QStringLiteral("ｲｰｻﾈｯﾄｸﾚｰﾄﾞﾙをUDPｻｰﾊﾞｰに設定してくだい。"));
}

void frmMain::ShowWorkFolder() {
  ui_->lblFolder->setText(Settings.WorkFolder);
  if (!ui_->File1->SetPath(Settings.WorkFolder)) return;  // the rest is skipped
  if (Settings.StartUpSize == 1) setWindowState(windowState() | Qt::WindowMinimized);
  else if (Settings.StartUpSize == 0) setWindowState(windowState() & ~Qt::WindowMinimized);
}

void frmMain::SetCommState(int state) {
  QWidget* const buttons[] = {ui_->cmdComm_0, ui_->cmdComm_1};
  QWidget* const lamps[] = {ui_->Status_0, ui_->Status_1};
  for (int i = 0; i < 2; ++i) {
    buttons[i]->setEnabled(false);
    lamps[i]->setVisible(false);
  }
  buttons[state]->setEnabled(true);
  lamps[state]->setVisible(true);
  const bool idle = state == 0;
  ui_->cmdSetting->setEnabled(idle);
  ui_->cmdInfo->setEnabled(idle);
  ui_->File1->setEnabled(idle);
}

void frmMain::File1_DblClick() { link_->cmdComm_Click(0); }

void frmMain::Form_DblClick() { ui_->File1->Refresh(); }

void frmMain::cmdSetting_Click() {
  if (!setting_) setting_ = new config::frmSetting(*this, Hooks());
  setting_->Form_Load();
  setting_->show();
}

void frmMain::cmdInfo_Click() {
  if (!about_) about_ = new about::frmAbout(*this);
  about_->Form_Load();
  about_->show();
}

void frmMain::Form_Unload(bool& cancel) {
  if (link_->Communicating()) {
    link_->cmdComm_Click(1);
    cancel = true;
    return;
  }
  // Files are closed by their owners; a settings save holds none between events.
  link_->CloseUDP();
  platform::EndProgram(0);
}

config::MainWindowHooks frmMain::Hooks() {
  config::MainWindowHooks hooks;
  hooks.IsVistaOrLater = IsVistaOrLater;
  hooks.SetStatus = [this](const QString& text) { SetStatusText(text); };
  hooks.ShowFolder = [this](const QString& folder) {
    ui_->lblFolder->setText(folder);
    ui_->File1->SetPath(folder);  // re-reads the list
  };
  return hooks;
}

void frmMain::SetStatusText(const QString& text) {
  status_ = text;
  ui_->lblStatus->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QString frmMain::ListFolder() const { return ui_->File1->Path(); }
QString frmMain::ListFileName() const { return ui_->File1->FileName(); }
int frmMain::ListIndex() const { return ui_->File1->ListIndex(); }

// The bar counts in int; sizes past 2 GiB are shown scaled down.
void frmMain::SetProgressMax(qint64 max) {
  progressScale_ = max > INT_MAX ? max / INT_MAX + 1 : 1;
  ui_->Progbar->setRange(0, int(std::max<qint64>(1, max / progressScale_)));
}

void frmMain::SetProgressValue(qint64 value) { ui_->Progbar->setValue(int(value / progressScale_)); }

void frmMain::SetProgressVisible(bool visible) { ui_->Progbar->setVisible(visible); }

void frmMain::closeEvent(QCloseEvent* event) {
  // Disabled by an open dialog: a disabled window takes no input, its close box included.
  if (!isEnabled()) return event->ignore();
  bool cancel = false;
  Form_Unload(cancel);
  if (cancel) event->ignore();
  else event->accept();
}

void frmMain::mouseDoubleClickEvent(QMouseEvent* event) {
  Form_DblClick();
  QWidget::mouseDoubleClickEvent(event);
}

}  // namespace korima::app
