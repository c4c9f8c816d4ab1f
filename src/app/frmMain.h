#pragma once
// The main window: start-up, the file list, the idle and communicating states,
// the download of the selected file, and the doors to the settings dialog and
// the about box.
#include "config/WindowSettings.h"
#include "link/Download.h"
#include "StatusReport.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class frmMain;
}
namespace korima::config {
class frmSetting;
}
namespace korima::about {
class frmAbout;
}

namespace korima::app {

class frmMain : public QWidget {
  Q_OBJECT
 public:
  enum class CommState { Idle, Communicating };

  explicit frmMain(link::LinkServices services = link::ProgramServices(), QWidget* parent = nullptr);
  ~frmMain() override;

  void Form_Load();
  void ShowWorkFolder();
  // The buttons, the lamp and the file list of each state.
  void ShowState(CommState state);
  // 通信ｽﾀｰﾄ (or a double-click on a file): the selected file, with the settings.
  void StartDownload();
  // 通信ｽﾄｯﾌﾟ (or a close request during a download).
  void StopDownload();
  void File1_DblClick();
  void Form_DblClick();
  void cmdSetting_Click();
  void cmdInfo_Click();
  void Form_Unload(bool& cancel);

  bool Communicating() const { return communicating_; }
  link::Download& Download() { return *download_; }
  QString StatusText() const { return status_->Text(); }
  StatusReport& Status() { return *status_; }
  Ui::frmMain& Form() { return *ui_; }
  config::MainWindowHooks Hooks();
  config::frmSetting* SettingDialog() const;
  about::frmAbout* AboutBox() const;

  // The bar counts in int; sizes past 2 GiB are shown scaled down.
  void SetProgressMax(qint64 max);
  void SetProgressValue(qint64 value);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool AskAboutEncoding(const QString& path, std::optional<link::LineConversion>& conversion);
  void EndChecking();
  void OnEnded(const link::DownloadResult& result);

  std::unique_ptr<Ui::frmMain> ui_;
  link::Download* download_ = nullptr;
  StatusReport* status_ = nullptr;
  bool communicating_ = false;
  bool checking_ = false;   // the wait cursor while the file is read before "MASTER"
  bool hourglass_ = false;  // and while lines go
  qint64 progressMax_ = 0;
  qint64 progressScale_ = 1;
  QPointer<config::frmSetting> setting_;
  QPointer<about::frmAbout> about_;
};

}  // namespace korima::app
