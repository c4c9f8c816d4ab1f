#pragma once
// The folder picker: a drive list and a folder tree; OK hands the open folder
// to the settings dialog's folder label.
#include <QWidget>
#include <memory>

namespace Ui {
class frmFolder;
}

namespace korima::config {

class frmSetting;

class frmFolder : public QWidget {
  Q_OBJECT
 public:
  frmFolder(QWidget& mainWindow, frmSetting& setting);
  ~frmFolder() override;

  void Form_Load();
  void SelectInitialFolder();
  void Drive1_Change();
  void cmdOK_Click(int index);
  void Form_Unload();

  Ui::frmFolder& Form() { return *ui_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::unique_ptr<Ui::frmFolder> ui_;
  QWidget& main_;
  frmSetting& setting_;
  bool unloaded_ = false;
};

}  // namespace korima::config
