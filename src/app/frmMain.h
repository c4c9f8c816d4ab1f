#pragma once
// The main window: start-up, the file list, the idle and communicating states,
// and the doors to the settings dialog and the about box.
#include "config/Settings.h"
#include "link/Link.h"
#include "link/LinkView.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class frmMain;
}
namespace platform {
class TickSource;
}
namespace korima::config {
class frmSetting;
}
namespace korima::about {
class frmAbout;
}

namespace korima::app {

class frmMain : public QWidget, public link::LinkView {
  Q_OBJECT
 public:
  explicit frmMain(platform::TickSource* ticks = nullptr, QWidget* parent = nullptr);
  ~frmMain() override;

  void Form_Load();
  void ShowWorkFolder();
  void SetCommState(int state) override;
  void File1_DblClick();
  void Form_DblClick();
  void cmdSetting_Click();
  void cmdInfo_Click();
  void Form_Unload(bool& cancel);

  bool IsVistaOrLater = false;
  bool Communicating() const { return link_->Communicating(); }
  link::Link& Link() { return *link_; }
  Ui::frmMain& Form() { return *ui_; }
  config::MainWindowHooks Hooks();
  config::frmSetting* SettingDialog() const;
  about::frmAbout* AboutBox() const;

  // LinkView
  QString StatusText() const override { return status_; }
  void SetStatusText(const QString& text) override;
  QString ListFolder() const override;
  QString ListFileName() const override;
  int ListIndex() const override;
  void SetProgressMax(qint64 max) override;
  void SetProgressValue(qint64 value) override;
  void SetProgressVisible(bool visible) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::unique_ptr<Ui::frmMain> ui_;
  link::Link* link_ = nullptr;
  QString status_;
  qint64 progressScale_ = 1;
  QPointer<config::frmSetting> setting_;
  QPointer<about::frmAbout> about_;
};

}  // namespace korima::app
