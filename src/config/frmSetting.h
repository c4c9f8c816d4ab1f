#pragma once
// The settings dialog: edits a working copy of the settings; OK saves it.
#include "WindowSettings.h"
#include "frmFolder.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class frmSetting;
}

namespace korima::config {


class frmSetting : public QWidget {
  Q_OBJECT
 public:
  frmSetting(QWidget& mainWindow, MainWindowHooks hooks);
  ~frmSetting() override;

  void Form_Load();
  void ShowCurrentSettings();
  void cmdOK_Click(int index);
  void cmdFolderRef_Click();
  void Form_Unload();

  // The folder label's caption; setting it fires lblFolder_Change as typing would.
  QString FolderCaption() const;
  void SetFolderCaption(const QString& folder);

  const SettingsRecord& WorkingCopy() const { return work_; }
  Ui::frmSetting& Form() { return *ui_; }
  frmFolder* Picker() const { return picker_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void lblFolder_Change();
  void optTitle_Click(int index);
  void optStartUpSize_Click(int index);

  std::unique_ptr<Ui::frmSetting> ui_;
  QWidget& main_;
  MainWindowHooks hooks_;
  SettingsRecord work_;
  QPointer<frmFolder> picker_;
  bool unloaded_ = false;
};

}  // namespace korima::config
