#include "frmMain.h"

#include "about/frmAbout.h"
#include "config/SettingsLocation.h"
#include "config/frmSetting.h"
#include "desktop/Charset.h"
#include "desktop/Placement.h"
#include "link/Wording.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"
#include "link/FileCheck.h"
#include "platform/TextFiles.h"
#include "ui_frmMain.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QShortcut>
#include <climits>

namespace korima::app {

using config::Settings;

frmMain::frmMain(link::LinkServices services, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::frmMain>()) {
  ui_->setupUi(this);
  desktop::MakeFixedMainWindow(this);
  ui_->Progbar->setVisible(false);
  ui_->Status_0->setVisible(false);
  ui_->Status_1->setVisible(false);
  ui_->File1->SetPattern(QStringLiteral("*.csv;*.txt"));
  download_ = new link::Download(services, this);
  status_ = new StatusReport(this);
  status_->Follow(*download_);
  connect(status_, &StatusReport::Changed, this, [this](const QString& text) {
    ui_->lblStatus->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  });
  connect(download_, &link::Download::Waiting, this, [this] { EndChecking(); });
  connect(download_, &link::Download::Connected, this, [this] {
    hourglass_ = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  });
  // The bar counts the file as it was opened to be sent.
  connect(download_, &link::Download::FileOpened, this, [this] {
    progressMax_ = download_->Result().fileBytes;
    SetProgressMax(progressMax_);
  });
  connect(download_, &link::Download::LineAcknowledged, this,
          [this] { SetProgressValue(std::min(download_->Result().sentBytes, progressMax_)); });
  connect(download_, &link::Download::Ended, this, &frmMain::OnEnded);

  connect(ui_->cmdComm_0, &QPushButton::clicked, this, &frmMain::StartDownload);
  connect(ui_->cmdComm_1, &QPushButton::clicked, this, &frmMain::StopDownload);
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
  desktop::ApplyJapaneseCharset(this);
  Settings.SettingsPath = config::SettingsFilePath();
  config::ReadSettings(Hooks());
  ShowWorkFolder();
  ShowState(CommState::Idle);
  ui_->lblNote->setText(QStringLiteral("KORIMAはUDPｸﾗｲｱﾝﾄとして動作します。\n") +
                        QStringLiteral("ｲｰｻﾈｯﾄｸﾚｰﾄﾞﾙをUDPｻｰﾊﾞｰに設定してください。"));
}

void frmMain::ShowWorkFolder() {
  ui_->lblFolder->setText(Settings.WorkFolder);
  if (!ui_->File1->SetPath(Settings.WorkFolder)) return;  // the rest is skipped
  if (Settings.StartUpSize == 1) setWindowState(windowState() | Qt::WindowMinimized);
  else if (Settings.StartUpSize == 0) setWindowState(windowState() & ~Qt::WindowMinimized);
}

void frmMain::ShowState(CommState state) {
  const bool idle = state == CommState::Idle;
  ui_->cmdComm_0->setEnabled(idle);
  ui_->cmdComm_1->setEnabled(!idle);
  ui_->Status_0->setVisible(idle);   // the red lamp
  ui_->Status_1->setVisible(!idle);  // the cyan lamp
  ui_->cmdSetting->setEnabled(idle);
  ui_->cmdInfo->setEnabled(idle);
  ui_->File1->setEnabled(idle);
}

void frmMain::StartDownload() {
  // A download still winding up owns the socket and the status.
  if (download_->Running()) {
    platform::Beep();
    return;
  }
  if (ui_->File1->ListIndex() < 0) {
    platform::Beep();
    platform::MsgBox(QStringLiteral("ﾌｧｲﾙが選択されていません"));
    return;
  }
  link::DownloadOptions options = config::DownloadOptionsFrom(Settings);
  options.filePath = QDir::toNativeSeparators(ui_->File1->Path() + u'/' + ui_->File1->FileName());
  if (!AskAboutEncoding(options.filePath, options.conversion)) return;
  communicating_ = true;
  ShowState(CommState::Communicating);
  const QFileInfo file(options.filePath);
  progressMax_ = file.isFile() ? file.size() : 0;
  SetProgressMax(progressMax_);
  ui_->Progbar->setVisible(true);
  SetProgressValue(0);
  // Every line is read and checked before "MASTER": the wait cursor shows meanwhile.
  checking_ = true;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  download_->Start(options);
}

// How the lines go: a file in UTF-8 or UTF-16 sent as it is arrives as
// garbage on the terminal, and so does one that is not Shift-JIS at all: the
// user chooses. Shift-JIS goes as it is without a question. False when the
// transfer is cancelled.
bool frmMain::AskAboutEncoding(const QString& path, std::optional<link::LineConversion>& conversion) {
  conversion = link::LineConversion::None;
  platform::EncodingVerdict verdict;
  platform::ErrorState error;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);  // all of a large file is read
  const bool read = platform::files::JudgeFile(path, verdict, error);
  QGuiApplication::restoreOverrideCursor();
  if (!read) return true;  // the download says why
  int answer = platform::vbYes;
  switch (verdict.encoding) {
    case platform::TextEncoding::Utf8:
    case platform::TextEncoding::Utf16LE:
    case platform::TextEncoding::Utf16BE: {
      const QString name = verdict.encoding == platform::TextEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("UTF-16");
      answer = platform::MsgBox(QStringLiteral("<") + path + QStringLiteral(">\r\nこのﾌｧｲﾙは") + name +
                                    QStringLiteral("で書かれています。\r\nShift-JISに変換して送信しますか？\r\n"
                                                   "(いいえ: 変換せずにそのまま送信します)"),
                                platform::vbYesNoCancel | platform::vbQuestion, name);
      if (answer == platform::vbYes) conversion = link::ConversionFor(verdict.encoding);
      break;
    }
    case platform::TextEncoding::Neither:
      answer = platform::MsgBox(QStringLiteral("このﾌｧｲﾙにはShift-JISとして読めないﾊﾞｲﾄがあります(%1行目 %2桁目)。"
                                               "このまま送信しますか？")
                                    .arg(verdict.where.line)
                                    .arg(verdict.where.column),
                                platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2,
                                QStringLiteral("Shift-JIS"));
      if (answer == platform::vbNo) answer = platform::vbCancel;  // いいえ sends nothing
      break;
    case platform::TextEncoding::Ascii:
    case platform::TextEncoding::ShiftJis: break;
  }
  if (answer != platform::vbYes && answer != platform::vbNo) {
    status_->Replace(link::wording::Cancelled());
    return false;
  }
  return true;
}

void frmMain::EndChecking() {
  if (std::exchange(checking_, false)) QGuiApplication::restoreOverrideCursor();
}

void frmMain::StopDownload() {
  communicating_ = false;
  ShowState(CommState::Idle);
  status_->AddLine(link::wording::StopPressed());
  download_->Stop();  // winds up before it returns
}

// The wrap-up of every download: the window is idle again, the label keeps
// the last texts as the record of what happened.
void frmMain::OnEnded(const link::DownloadResult& result) {
  if (result.outcome == link::Outcome::Complete) SetProgressValue(progressMax_);
  ui_->Progbar->setVisible(false);
  communicating_ = false;
  EndChecking();
  if (std::exchange(hourglass_, false)) QGuiApplication::restoreOverrideCursor();
  ShowState(CommState::Idle);
}

void frmMain::File1_DblClick() { StartDownload(); }

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
  if (communicating_) {
    StopDownload();
    cancel = true;
    return;
  }
  // Files are closed by their owners, and the socket with the last download.
  platform::EndProgram(0);
}

config::MainWindowHooks frmMain::Hooks() {
  config::MainWindowHooks hooks;
  hooks.SetStatus = [this](const QString& text) { status_->Replace(text); };
  hooks.ShowFolder = [this](const QString& folder) {
    ui_->lblFolder->setText(folder);
    ui_->File1->SetPath(folder);  // re-reads the list
  };
  return hooks;
}

void frmMain::SetProgressMax(qint64 max) {
  progressScale_ = max > INT_MAX ? max / INT_MAX + 1 : 1;
  ui_->Progbar->setRange(0, int(std::max<qint64>(1, max / progressScale_)));
}

void frmMain::SetProgressValue(qint64 value) { ui_->Progbar->setValue(int(value / progressScale_)); }

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
